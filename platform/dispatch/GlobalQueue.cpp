#include "platform/dispatch/GlobalQueue.hpp"

#include "platform/dispatch/detail/WorkerPool.hpp"

#include <algorithm>
#include <thread>

namespace dispatch {

struct GlobalQueue::State {
    explicit State(std::size_t threads)
        : pool("com.apple.root.default-qos", threads, detail::WorkerPool::Start::asWorkArrives) {}
    detail::WorkerPool pool;
};

GlobalQueue::GlobalQueue()
    : state_(new State(
          std::max<std::size_t>(2, std::min<std::size_t>(16, std::thread::hardware_concurrency())))) {}

const std::string& GlobalQueue::label() const {
    return state_->pool.label();
}

void GlobalQueue::schedule(Deadline deadline, WorkItem item) {
    state_->pool.schedule(std::move(deadline), std::move(item));
}

std::size_t GlobalQueue::threadCount() const {
    return state_->pool.threadCount();
}

std::size_t GlobalQueue::maximumThreadCount() const {
    return state_->pool.maximumThreadCount();
}

GlobalQueue& global() {
    static auto* queue = new GlobalQueue; // never destroyed: blocks may still run during exit
    return *queue;
}

} // namespace dispatch
