#pragma once
// The one clock everything timed goes through: delayed work, timers, animation completions.
//
// The app runs on the real (monotonic) clock. Unit tests install a VirtualClock, whose time only moves
// when the test advances it, so delayed work can be checked without sleeping. Times are nanoseconds
// since the clock's own epoch; only differences between two readings of the same clock mean anything.
//
// Thread-safety: every member may be called from any thread.
//
// A time means something only on the clock it was read on, so work and waits keep their deadline
// together with its clock (Deadline). When another clock is installed, what is pending moves onto it:
// the time left is kept for a deadline on a real clock, whose time goes on; a deadline on a virtual
// clock has come at once, since nothing moves that clock any more and its times read on the real clock
// would mean whatever the machine's time since boot makes of them. So work due on a virtual clock never
// waits on the real one, and a test that ends its clock with work still pending sees that work run.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace dispatch {

using Nanoseconds = std::chrono::nanoseconds;

// Seconds (the unit callers speak in) to the clock's unit. Negative and NaN delays count as zero.
Nanoseconds fromSeconds(double seconds);
double toSeconds(Nanoseconds duration);

class Clock {
  public:
    virtual ~Clock() = default;

    // Time since the clock's epoch.
    virtual Nanoseconds now() const = 0;

    // Blocks on `cv` (with `lock` held by the caller) until it is notified, or until this clock reaches
    // `deadline`. Spurious returns are allowed; callers re-check their condition.
    virtual void waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                           Nanoseconds deadline) = 0;

    virtual bool isVirtual() const { return false; }

    // Whether this clock has reached `deadline`. A virtual clock that has been replaced has reached every
    // deadline (see above).
    bool hasReached(Nanoseconds deadline) const;
    // Installed once and since replaced by another clock.
    bool isRetired() const { return retired_.load(); }

  private:
    friend std::shared_ptr<Clock> setClock(std::shared_ptr<Clock> clock);
    std::atomic<bool> retired_{false};
};

// A time on one clock: the clock in use when it was read, and the time on it.
struct Deadline {
    std::shared_ptr<Clock> clock;
    Nanoseconds time{0};
};

// The monotonic system clock.
class RealClock final : public Clock {
  public:
    Nanoseconds now() const override;
    void waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   Nanoseconds deadline) override;
};

// A clock that stands still until advanced. Advancing wakes every queue so that work which became due
// runs (on the worker threads of serial and global queues at once; on the main queue when the test runs
// it, see MainQueue::advance which also steps through intermediate deadlines in order).
class VirtualClock final : public Clock {
  public:
    explicit VirtualClock(Nanoseconds start = Nanoseconds{0});

    Nanoseconds now() const override;
    void waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   Nanoseconds deadline) override;
    bool isVirtual() const override { return true; }

    // Moves time forward (never backward: a target before now() is ignored) and wakes all queues.
    void advance(Nanoseconds by);
    void advanceTo(Nanoseconds time);

  private:
    mutable std::mutex mutex_;
    Nanoseconds now_;
};

// The clock in use (a RealClock until something else is installed).
Clock& clock();
std::shared_ptr<Clock> currentClock();

// Installs `clock` (nullptr restores the real clock) and returns the previous one.
std::shared_ptr<Clock> setClock(std::shared_ptr<Clock> clock);

// `delay` from now on the clock in use.
Deadline deadlineIn(Nanoseconds delay);

// Installs a fresh VirtualClock for the lifetime of the scope and restores the previous clock after.
class VirtualClockScope {
  public:
    VirtualClockScope();
    ~VirtualClockScope();
    VirtualClockScope(const VirtualClockScope&) = delete;
    VirtualClockScope& operator=(const VirtualClockScope&) = delete;

    VirtualClock& clock() { return *clock_; }

  private:
    std::shared_ptr<VirtualClock> clock_;
    std::shared_ptr<Clock> previous_;
};

namespace detail {
// Every queue registers a wake-up so that a clock change (a virtual advance, a new clock) re-evaluates
// its deadlines. Returns a token for unregistering.
std::uint64_t addClockListener(std::function<void()> wake);
void removeClockListener(std::uint64_t token);
void notifyClockListeners();

// What to add to times on `from`, up to `latest`, to have them on `to`: the time left on a real clock,
// or, from a virtual clock, the shift that makes every one of them due now on `to`.
Nanoseconds shiftOnto(const Clock& from, const Clock& to, Nanoseconds latest);
// a + b, held at the ends of the range instead of wrapping.
Nanoseconds addSaturating(Nanoseconds a, Nanoseconds b);
} // namespace detail

} // namespace dispatch
