#pragma once
// Worker threads draining one schedule: the engine of serial queues (one thread) and of the global queue
// (several). A pool starts its threads either all at once, named from the moment the pool exists (a
// serial queue's one thread, which crash records list even while it idles), or as work arrives, up to
// its size (the global queue, whose launch uses two workers of eight). A pool that grows keeps one
// worker free whenever work waits, or is full, so it reaches the same concurrency as one started whole.
// Threads are named after the label before they take any work, and live until shutdown.
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/WorkItem.hpp"
#include "platform/dispatch/detail/Schedule.hpp"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dispatch::detail {

class WorkerPool {
  public:
    enum class Start { whole, asWorkArrives };
    WorkerPool(std::string label, std::size_t maximumThreads, Start start = Start::whole);
    ~WorkerPool(); // shutdown()
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    const std::string& label() const { return label_; }
    const char* internedLabel() const { return interned_; }
    void schedule(Deadline deadline, WorkItem item);
    // Stops accepting work, lets due work finish, drops delayed work, joins the threads. Idempotent.
    void shutdown();
    // True while the calling thread runs one of the pool's blocks (on a worker, or through runIfIdle or
    // runOnCaller).
    bool isWorkerThread() const;
    // Runs `block` on the calling thread as one of the pool's blocks (its label current, workers held
    // back until it returns) when no block is running and none is due; returns false without running it
    // otherwise, or once the pool is shutting down. Meant for one-thread pools, whose blocks must never
    // overlap. An exception from the block reaches the caller after the workers are released.
    bool runIfIdle(const std::function<void()>& block);
    // As runIfIdle, but waits for its turn instead of giving up: the block takes its place in line when
    // the call is made, after the blocks due by then and before any scheduled later, and runs on the
    // calling thread once those before it have finished. Callers that find the pool free go at once, even
    // past callers still waking up to their turn (as threads take a mutex), but never past a block
    // scheduled before them; callers that wait are let in one at a time in order of arrival.
    void runOnCaller(const std::function<void()>& block);
    // Callers of runOnCaller waiting for their turn.
    std::size_t waitingCallerCount() const;
    // Threads started so far, and the most the pool starts.
    std::size_t threadCount() const;
    std::size_t maximumThreadCount() const { return maximumThreads_; }

  private:
    struct WaitingCaller;
    void run();
    // Whether a caller whose place in line is `place` may run its block now (lock held).
    bool callerMayRun(const Schedule::Place& place) const;
    // Runs a caller's block, callerRunning_ set, and hands the pool on when it returns.
    void runHeld(const std::function<void()>& block);
    // After a caller's block: lets in the next caller in line, or wakes the workers (lock held).
    void handOn();
    // Starts one worker (lock held).
    void startWorker();
    // Starts a worker when work waits and none is free (lock held).
    void growIfNeeded();
    // Moves the schedule and the waiting callers' places onto the clock in use and returns it (lock
    // held).
    std::shared_ptr<Clock> followClock();

    std::string label_;
    const char* interned_;
    const std::size_t maximumThreads_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    Schedule schedule_;
    bool stopping_ = false;
    bool callerRunning_ = false;         // a caller's thread runs a block through runIfIdle or runOnCaller
    std::deque<WaitingCaller*> waiting_; // callers of runOnCaller waiting their turn, in order of arrival
    std::size_t busy_ = 0;               // workers running a block
    std::size_t free_ = 0;               // started workers not running a block
    std::size_t named_ = 0;              // started workers that have taken the label as their name
    std::vector<std::thread> threads_;
    std::uint64_t listener_ = 0;
};

} // namespace dispatch::detail
