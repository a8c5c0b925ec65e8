#include "platform/dispatch/detail/WorkerPool.hpp"

#include "platform/darwin/ThreadStart.hpp"
#include "platform/dispatch/detail/Labels.hpp"

#include <algorithm>

namespace dispatch::detail {

namespace {

// The pool whose block the calling thread runs (innermost), with its label current for the thread.
thread_local const WorkerPool* tRunningPool = nullptr;

class RunningPoolScope {
  public:
    explicit RunningPoolScope(const WorkerPool& pool) noexcept
        : label_(pool.internedLabel()), previous_(tRunningPool) {
        tRunningPool = &pool;
    }
    ~RunningPoolScope() { tRunningPool = previous_; }
    RunningPoolScope(const RunningPoolScope&) = delete;
    RunningPoolScope& operator=(const RunningPoolScope&) = delete;

  private:
    RunningQueueScope label_;
    const WorkerPool* previous_;
};

} // namespace

WorkerPool::WorkerPool(std::string label, std::size_t maximumThreads, Start start)
    : label_(std::move(label)), interned_(internLabel(label_)),
      maximumThreads_(std::max<std::size_t>(maximumThreads, 1)) {
    listener_ = addClockListener([this] {
        { std::lock_guard lock(mutex_); }
        cv_.notify_all();
    });
    threads_.reserve(maximumThreads_);
    if (start == Start::asWorkArrives) return;
    std::unique_lock lock(mutex_);
    while (threads_.size() < maximumThreads_)
        startWorker();
    // A queue's threads carry its name from the moment it exists, so a crash record taken right after
    // (or a thread listing) never finds them unnamed.
    cv_.wait(lock, [&] { return named_ == maximumThreads_; });
}

WorkerPool::~WorkerPool() {
    shutdown();
}

void WorkerPool::schedule(Deadline deadline, WorkItem item) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        followClock();
        schedule_.push(deadline, std::move(item));
        growIfNeeded();
    }
    cv_.notify_all();
}

void WorkerPool::startWorker() {
    ++free_; // free from its start: it takes work as soon as it has named itself
    // The thread table keeps the full label for crash records (the kernel only the last 15 bytes).
    threads_.push_back(darwin::startThread(label_.c_str(), [this] { run(); }));
}

void WorkerPool::growIfNeeded() {
    if (free_ == 0 && !stopping_ && !schedule_.empty() && threads_.size() < maximumThreads_) startWorker();
}

void WorkerPool::shutdown() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && threads_.empty()) return;
        stopping_ = true;
    }
    cv_.notify_all();
    // No thread starts once stopping is set, so the list holds still.
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
    // The label check catches a block of another queue nested inside ours (main-queue re-entry).
    return tRunningPool == this && runningQueueLabel() == interned_;
}

// A caller of runOnCaller waiting for its turn. Only the first in line is ever woken, so its turn is
// never taken by another waiter.
struct WorkerPool::WaitingCaller {
    Schedule::Place place;
    std::condition_variable cv;
};

std::shared_ptr<Clock> WorkerPool::followClock() {
    auto clock = currentClock();
    const Nanoseconds shift = schedule_.follow(clock);
    if (shift != Nanoseconds{0})
        for (WaitingCaller* caller : waiting_)
            caller->place.deadline = addSaturating(caller->place.deadline, shift);
    return clock;
}

bool WorkerPool::callerMayRun(const Schedule::Place& place) const {
    return !callerRunning_ && busy_ == 0 && schedule_.allAfter(place);
}

void WorkerPool::handOn() {
    if (!waiting_.empty() && callerMayRun(waiting_.front()->place)) {
        waiting_.front()->cv.notify_one();
    } else if (!schedule_.empty() || stopping_) {
        // A block came before the next caller (or a deadline has to be waited for again, or the pool is
        // going): the workers' turn.
        cv_.notify_all();
    }
}

void WorkerPool::runHeld(const std::function<void()>& block) {
    struct Release {
        WorkerPool& pool;
        // Notified under the lock: once the worker or the next caller sees the flag, the pool may be
        // destroyed (a queue released by its own block is destroyed on another thread as soon as that
        // block has run).
        ~Release() {
            std::lock_guard lock(pool.mutex_);
            pool.callerRunning_ = false;
            pool.handOn();
        }
    } release{*this};
    RunningPoolScope scope(*this);
    block();
}

bool WorkerPool::runIfIdle(const std::function<void()>& block) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || callerRunning_ || busy_ != 0) return false;
        if (!schedule_.empty() && !callerMayRun(schedule_.takePlace(followClock()->now()))) return false;
        callerRunning_ = true;
    }
    runHeld(block);
    return true;
}

void WorkerPool::runOnCaller(const std::function<void()>& block) {
    {
        std::unique_lock lock(mutex_);
        // A free pool with nothing queued needs no place in line (nor the clock's time).
        if (callerRunning_ || busy_ != 0 || !schedule_.empty()) {
            WaitingCaller self{schedule_.takePlace(followClock()->now()), {}};
            if (!callerMayRun(self.place)) {
                waiting_.push_back(&self);
                self.cv.wait(lock, [&] { return waiting_.front() == &self && callerMayRun(self.place); });
                waiting_.pop_front();
            }
        }
        callerRunning_ = true;
    }
    runHeld(block);
}

std::size_t WorkerPool::waitingCallerCount() const {
    std::lock_guard lock(mutex_);
    return waiting_.size();
}

std::size_t WorkerPool::threadCount() const {
    std::lock_guard lock(mutex_);
    return threads_.size();
}

void WorkerPool::run() {
    std::unique_lock lock(mutex_);
    ++named_;
    cv_.notify_all();
    for (;;) {
        if (callerRunning_) {
            cv_.wait(lock); // the caller's block is one of ours: wait until it has returned
            continue;
        }
        if (!waiting_.empty() && schedule_.allAfter(waiting_.front()->place)) {
            // The first caller in line came before every queued block: its turn.
            if (busy_ == 0) waiting_.front()->cv.notify_one();
            cv_.wait(lock);
            continue;
        }
        auto clock = followClock();
        Nanoseconds now = clock->now();
        if (auto entry = schedule_.popDue(now)) {
            --free_;
            ++busy_;
            growIfNeeded(); // what is left waits for a free worker, as in a pool started whole
            lock.unlock();
            {
                RunningPoolScope scope(*this);
                entry->item.perform();
            }
            entry.reset(); // release the block's captures outside the lock
            lock.lock();
            --busy_;
            ++free_;
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
