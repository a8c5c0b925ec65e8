#include "platform/dispatch/Clock.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace dispatch {

Nanoseconds fromSeconds(double seconds) {
    if (!(seconds > 0)) return Nanoseconds{0}; // also catches NaN
    // Beyond ~292 years the count would overflow; such a delay means "never" in practice.
    constexpr double kMaxSeconds = 9.0e9;
    if (seconds > kMaxSeconds) seconds = kMaxSeconds;
    return Nanoseconds{static_cast<std::int64_t>(std::llround(seconds * 1e9))};
}

double toSeconds(Nanoseconds duration) {
    return static_cast<double>(duration.count()) / 1e9;
}

bool Clock::hasReached(Nanoseconds deadline) const {
    return (isVirtual() && isRetired()) || now() >= deadline;
}

Nanoseconds RealClock::now() const {
    return std::chrono::duration_cast<Nanoseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

void RealClock::waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                          Nanoseconds deadline) {
    cv.wait_until(lock, std::chrono::steady_clock::time_point{
                            std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline)});
}

VirtualClock::VirtualClock(Nanoseconds start) : now_(start) {}

Nanoseconds VirtualClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void VirtualClock::waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                             Nanoseconds deadline) {
    if (hasReached(deadline)) return;
    // Advancing notifies every queue; the short real-time bound only guards against a missed wake-up.
    cv.wait_for(lock, std::chrono::milliseconds(20));
}

void VirtualClock::advance(Nanoseconds by) {
    if (by.count() <= 0) return;
    {
        std::lock_guard lock(mutex_);
        now_ += by;
    }
    detail::notifyClockListeners();
}

void VirtualClock::advanceTo(Nanoseconds time) {
    {
        std::lock_guard lock(mutex_);
        if (time <= now_) return;
        now_ = time;
    }
    detail::notifyClockListeners();
}

namespace {

struct ClockRegistry {
    std::mutex mutex;
    std::shared_ptr<Clock> current = std::make_shared<RealClock>();
    // Clocks once installed stay alive, so a Clock& handed out by clock() never dangles.
    std::vector<std::shared_ptr<Clock>> retired;
};

ClockRegistry& registry() {
    static auto* r = new ClockRegistry; // never destroyed: worker threads may read it at exit
    return *r;
}

struct Listeners {
    std::mutex mutex;
    std::uint64_t next = 1;
    std::map<std::uint64_t, std::function<void()>> wakes;
};

Listeners& listeners() {
    static auto* l = new Listeners;
    return *l;
}

} // namespace

Clock& clock() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return *r.current;
}

std::shared_ptr<Clock> currentClock() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.current;
}

std::shared_ptr<Clock> setClock(std::shared_ptr<Clock> clock) {
    if (!clock) clock = std::make_shared<RealClock>();
    std::shared_ptr<Clock> previous;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        previous = r.current;
        r.retired.push_back(previous);
        r.current = std::move(clock);
        // Flags first, listeners after: a queue woken by the change sees the old clock retired.
        previous->retired_ = previous != r.current;
        r.current->retired_ = false;
    }
    detail::notifyClockListeners();
    return previous;
}

Deadline deadlineIn(Nanoseconds delay) {
    auto in = currentClock();
    const Nanoseconds now = in->now();
    return Deadline{std::move(in), detail::addSaturating(now, delay)};
}

VirtualClockScope::VirtualClockScope() : clock_(std::make_shared<VirtualClock>()) {
    previous_ = setClock(clock_);
}

VirtualClockScope::~VirtualClockScope() {
    setClock(previous_);
}

namespace detail {

std::uint64_t addClockListener(std::function<void()> wake) {
    auto& l = listeners();
    std::lock_guard lock(l.mutex);
    auto token = l.next++;
    l.wakes.emplace(token, std::move(wake));
    return token;
}

void removeClockListener(std::uint64_t token) {
    auto& l = listeners();
    std::lock_guard lock(l.mutex);
    l.wakes.erase(token);
}

void notifyClockListeners() {
    auto& l = listeners();
    std::lock_guard lock(l.mutex);
    for (auto& [token, wake] : l.wakes)
        wake();
}

Nanoseconds shiftOnto(const Clock& from, const Clock& to, Nanoseconds latest) {
    const Nanoseconds onFrom = from.isVirtual() ? std::max(from.now(), latest) : from.now();
    Nanoseconds::rep shift;
    if (__builtin_sub_overflow(to.now().count(), onFrom.count(), &shift))
        return onFrom.count() < 0 ? Nanoseconds::max() : Nanoseconds::min();
    return Nanoseconds{shift};
}

Nanoseconds addSaturating(Nanoseconds a, Nanoseconds b) {
    Nanoseconds::rep sum;
    if (!__builtin_add_overflow(a.count(), b.count(), &sum)) return Nanoseconds{sum};
    return b.count() > 0 ? Nanoseconds::max() : Nanoseconds::min();
}

} // namespace detail

} // namespace dispatch
