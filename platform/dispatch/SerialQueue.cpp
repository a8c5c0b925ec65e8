#include "platform/dispatch/SerialQueue.hpp"

#include "platform/dispatch/detail/Labels.hpp"
#include "platform/dispatch/detail/WorkerPool.hpp"

#include <condition_variable>
#include <mutex>

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

void SerialQueue::schedule(Nanoseconds deadline, WorkItem item) {
    state_->pool.schedule(deadline, std::move(item));
}

bool SerialQueue::isCurrent() const {
    return state_->pool.isWorkerThread();
}

void SerialQueue::sync(const std::function<void()>& block) {
    if (isCurrent()) {
        // Waiting for ourselves would never end; the block is next in line anyway.
        block();
        return;
    }
    // An idle queue lends its identity to the caller's thread instead: two thread switches fewer, and
    // the blocks still run one at a time in order, as the worker waits for this one.
    if (state_->pool.runIfIdle(block)) return;
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    async([&] {
        block();
        // Notified under the lock: the waiter owns the condition variable and destroys it as soon as it
        // sees `done`.
        std::lock_guard lock(mutex);
        done = true;
        cv.notify_one();
    });
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return done; });
}

} // namespace dispatch
