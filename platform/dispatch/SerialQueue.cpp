#include "platform/dispatch/SerialQueue.hpp"

#include "platform/dispatch/detail/Labels.hpp"
#include "platform/dispatch/detail/WorkerPool.hpp"

namespace dispatch {

struct SerialQueue::State {
    explicit State(std::string label) : pool(std::move(label), 1) {}
    detail::WorkerPool pool;
};

SerialQueue::SerialQueue(std::string label) : state_(std::make_unique<State>(std::move(label))) {}

SerialQueue::~SerialQueue() {
    state_->pool.shutdown();
}

const std::string& SerialQueue::label() const {
    return state_->pool.label();
}

void SerialQueue::schedule(Deadline deadline, WorkItem item) {
    state_->pool.schedule(std::move(deadline), std::move(item));
}

bool SerialQueue::isCurrent() const {
    return state_->pool.isWorkerThread();
}

std::size_t SerialQueue::waitingSyncCount() const {
    return state_->pool.waitingCallerCount();
}

void SerialQueue::sync(const std::function<void()>& block) {
    if (isCurrent()) {
        // Waiting for ourselves would never end; the block is next in line anyway.
        block();
        return;
    }
    // The queue lends its identity to the caller's thread once the blocks before this one have run:
    // no thread switch on an idle queue, one (the wake-up) on a busy one, and the blocks still run one at
    // a time in order, as the worker waits for this one.
    state_->pool.runOnCaller(block);
}

} // namespace dispatch
