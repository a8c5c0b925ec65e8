#include "platform/dispatch/detail/WorkerPool.hpp"

#include "platform/darwin/Threads.hpp"
#include "platform/dispatch/detail/Labels.hpp"

#include <algorithm>

namespace dispatch::detail {

WorkerPool::WorkerPool(std::string label, std::size_t threadCount)
    : label_(std::move(label)), interned_(internLabel(label_)) {
    listener_ = addClockListener([this] {
        { std::lock_guard lock(mutex_); }
        cv_.notify_all();
    });
    threadCount = std::max<std::size_t>(threadCount, 1);
    for (std::size_t i = 0; i < threadCount; ++i)
        threads_.emplace_back([this] { run(); });
    // A queue's threads carry its name from the moment it exists, so a crash record taken right after
    // (or a thread listing) never finds them unnamed.
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return named_ == threadCount; });
}

WorkerPool::~WorkerPool() {
    shutdown();
}

void WorkerPool::schedule(Nanoseconds deadline, WorkItem item) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        schedule_.push(deadline, std::move(item));
    }
    cv_.notify_all();
}

void WorkerPool::shutdown() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && threads_.empty()) return;
        stopping_ = true;
    }
    cv_.notify_all();
    for (auto& t : threads_) {
        if (t.joinable()) t.join();
    }
    threads_.clear();
    if (listener_) {
        removeClockListener(listener_);
        listener_ = 0;
    }
}

bool WorkerPool::isWorkerThread() const {
    return runningQueueLabel() == interned_ &&
           std::any_of(threads_.begin(), threads_.end(),
                       [](const std::thread& t) { return t.get_id() == std::this_thread::get_id(); });
}

void WorkerPool::run() {
    // The thread table keeps the full label for crash records (the kernel only the last 15 bytes),
    // and the alternate stack lets a stack overflow in a block still be reported.
    darwin::AlternateSignalStack signalStack;
    darwin::setCurrentThreadName(label_.c_str());
    std::unique_lock lock(mutex_);
    ++named_;
    cv_.notify_all();
    for (;;) {
        auto clock = currentClock();
        Nanoseconds now = clock->now();
        if (auto entry = schedule_.popDue(now)) {
            lock.unlock();
            {
                RunningQueueScope scope(interned_);
                entry->item.perform();
            }
            entry.reset(); // release the block's captures outside the lock
            lock.lock();
            continue;
        }
        if (stopping_) {
            schedule_.dropNotDue(now);
            if (schedule_.empty()) return;
            continue;
        }
        if (auto next = schedule_.nextDeadline()) {
            clock->waitUntil(cv_, lock, *next);
        } else {
            cv_.wait(lock);
        }
    }
}

} // namespace dispatch::detail
