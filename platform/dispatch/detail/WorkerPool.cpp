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

void WorkerPool::schedule(Nanoseconds deadline, WorkItem item) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
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

bool WorkerPool::runIfIdle(const std::function<void()>& block) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || callerRunning_ || free_ != threads_.size()) return false;
        if (!schedule_.empty() && *schedule_.nextDeadline() <= currentClock()->now()) return false;
        callerRunning_ = true;
    }
    struct Release {
        WorkerPool& pool;
        // Notified under the lock: once the worker sees the flag, the pool may be destroyed (a queue
        // released by its own block is destroyed on another thread as soon as that block has run).
        ~Release() {
            std::lock_guard lock(pool.mutex_);
            pool.callerRunning_ = false;
            pool.cv_.notify_all();
        }
    } release{*this};
    RunningPoolScope scope(*this);
    block();
    return true;
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
        auto clock = currentClock();
        Nanoseconds now = clock->now();
        if (auto entry = schedule_.popDue(now)) {
            --free_;
            growIfNeeded(); // what is left waits for a free worker, as in a pool started whole
            lock.unlock();
            {
                RunningPoolScope scope(*this);
                entry->item.perform();
            }
            entry.reset(); // release the block's captures outside the lock
            lock.lock();
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
