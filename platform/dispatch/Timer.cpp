#include "platform/dispatch/Timer.hpp"

#include "platform/dispatch/MainQueue.hpp"

namespace dispatch {

namespace {
constexpr double kMinimumRepeatInterval = 0.001;
}

Timer::Timer(Queue& queue, double interval, bool repeats, Block block)
    : queue_(queue),
      interval_(repeats && !(interval > 0) ? kMinimumRepeatInterval : (interval > 0 ? interval : 0)),
      repeats_(repeats), block_(std::move(block)) {}

std::shared_ptr<Timer> Timer::scheduled(Queue& queue, double interval, bool repeats, Block block) {
    auto timer = std::make_shared<Timer>(queue, interval, repeats, std::move(block));
    {
        std::lock_guard lock(timer->mutex_);
        timer->self_ = timer;
    }
    timer->arm(deadlineIn(fromSeconds(timer->interval_)));
    return timer;
}

std::shared_ptr<Timer> Timer::scheduled(Queue& queue, double firstFireDelay, double interval, double leeway,
                                        Block block) {
    auto timer = std::make_shared<Timer>(queue, interval, true, std::move(block));
    {
        std::lock_guard lock(timer->mutex_);
        timer->self_ = timer;
        timer->leeway_ = leeway > 0 ? leeway : 0;
    }
    timer->arm(deadlineIn(fromSeconds(firstFireDelay)));
    return timer;
}

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Block block) {
    return scheduled(main(), interval, repeats, std::move(block));
}

void Timer::arm(Deadline deadline) {
    std::uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        if (!valid_) return;
        generation = ++generation_;
        nextDeadline_ = deadline;
    }
    std::weak_ptr<Timer> weak = weak_from_this();
    queue_.schedule(std::move(deadline), WorkItem([weak, generation] {
                        if (auto timer = weak.lock()) timer->onDeadline(generation);
                    }));
}

void Timer::onDeadline(std::uint64_t generation) {
    std::shared_ptr<Timer> keep = shared_from_this();
    Deadline next;
    {
        std::lock_guard lock(mutex_);
        if (!valid_ || generation != generation_) return;
        if (repeats_) {
            const Nanoseconds interval = fromSeconds(interval_);
            next = deadlineIn(Nanoseconds{0});
            const Nanoseconds now = next.time;
            const Nanoseconds onSchedule = detail::addSaturating(nextDeadline_.time, interval);
            // The schedule goes on from the last deadline while its clock is in use; a late firing is not
            // caught up, and after a change of clock the interval counts from now.
            const bool onTime = nextDeadline_.clock == next.clock && onSchedule > now;
            next.time = onTime ? onSchedule : detail::addSaturating(now, interval);
        } else {
            valid_ = false;
            self_.reset();
        }
    }
    // Re-armed before the block runs, so a block that invalidates the timer cancels the next firing.
    if (repeats_) arm(std::move(next));
    block_(*this);
}

void Timer::invalidate() {
    std::shared_ptr<Timer> keep; // released after the lock
    std::lock_guard lock(mutex_);
    keep = std::move(self_);
    valid_ = false;
    ++generation_;
}

bool Timer::isValid() const {
    std::lock_guard lock(mutex_);
    return valid_;
}

void Timer::fire() {
    std::shared_ptr<Timer> keep = shared_from_this();
    if (!isValid()) return;
    block_(*this);
    if (!repeats_) invalidate();
}

} // namespace dispatch
