#pragma once
// Worker threads draining one schedule: the engine of serial queues (one thread) and of the global queue
// (several). Threads are named after the label.
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/WorkItem.hpp"
#include "platform/dispatch/detail/Schedule.hpp"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dispatch::detail {

class WorkerPool {
  public:
    WorkerPool(std::string label, std::size_t threadCount);
    ~WorkerPool(); // shutdown()
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    const std::string& label() const { return label_; }
    const char* internedLabel() const { return interned_; }
    void schedule(Nanoseconds deadline, WorkItem item);
    // Stops accepting work, lets due work finish, drops delayed work, joins the threads. Idempotent.
    void shutdown();
    bool isWorkerThread() const;
    std::size_t threadCount() const { return threads_.size(); }

  private:
    void run();

    std::string label_;
    const char* interned_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    Schedule schedule_;
    bool stopping_ = false;
    std::size_t named_ = 0; // threads that have taken the label as their name
    std::vector<std::thread> threads_;
    std::uint64_t listener_ = 0;
};

} // namespace dispatch::detail
