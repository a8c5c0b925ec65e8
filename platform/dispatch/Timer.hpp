#pragma once
// A timer that fires on a queue (the main queue for main-loop timers), once or repeatedly.
//
// Repeating timers fire every `interval` from their start; a firing that comes late is not repeated to
// catch up. A firing that comes after a change of clock starts the schedule over on the clock in use.
// invalidate() stops all later firings (a firing already running finishes). The timer keeps itself alive
// while valid; dropping the last handle does not stop it, invalidate() does.
//
// Thread-safety: every member may be called from any thread.
#include "platform/dispatch/Queue.hpp"

#include <functional>
#include <memory>
#include <mutex>

namespace dispatch {

class Timer : public std::enable_shared_from_this<Timer> {
  public:
    using Block = std::function<void(Timer&)>;

    // Starts a timer that fires `interval` seconds from now on `queue`. A repeating timer with an
    // interval of 0 or less would spin; it is given a 1 ms interval instead.
    static std::shared_ptr<Timer> scheduled(Queue& queue, double interval, bool repeats, Block block);
    // Main-loop timer.
    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Block block);
    // A repeating timer whose first firing comes `firstFireDelay` seconds from now (0 or less: at once)
    // and every `interval` after it, as a dispatch timer source is set up. `leeway` is how late a firing
    // may come so that the system can group wake-ups; this implementation fires on time, which is within
    // any leeway.
    static std::shared_ptr<Timer> scheduled(Queue& queue, double firstFireDelay, double interval,
                                            double leeway, Block block);

    void invalidate();
    bool isValid() const;
    double interval() const { return interval_; }
    bool repeats() const { return repeats_; }
    double leeway() const { return leeway_; }
    // Fires now (on the calling thread), as a repeating timer's schedule goes on unchanged. Does nothing
    // once invalid; a non-repeating timer becomes invalid.
    void fire();

    Timer(Queue& queue, double interval, bool repeats, Block block); // use scheduled()

  private:
    void arm(Deadline deadline);
    void onDeadline(std::uint64_t generation);

    Queue& queue_;
    double interval_;
    bool repeats_;
    double leeway_ = 0;
    Block block_;
    mutable std::mutex mutex_;
    bool valid_ = true;
    std::uint64_t generation_ = 0;
    Deadline nextDeadline_;
    std::shared_ptr<Timer> self_; // keeps the timer alive while valid
};

} // namespace dispatch
