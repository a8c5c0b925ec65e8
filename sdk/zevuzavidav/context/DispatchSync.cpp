#include "sdk/zevuzavidav/context/DispatchSync.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace zevuzavidav {

namespace {

// The queues whose synchronous blocks the calling thread is running right now (innermost last).
constexpr int kMaxNesting = 16;
thread_local const dispatch::SerialQueue* runningQueues[kMaxNesting];
thread_local int runningDepth = 0;

bool runningOn(const dispatch::SerialQueue& queue) {
    for (int i = 0; i < runningDepth && i < kMaxNesting; ++i) {
        if (runningQueues[i] == &queue) return true;
    }
    return queue.isCurrent();
}

struct Running {
    explicit Running(const dispatch::SerialQueue& queue) {
        if (runningDepth < kMaxNesting) runningQueues[runningDepth] = &queue;
        ++runningDepth;
    }
    ~Running() { --runningDepth; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};

// Parks the queue's worker until the caller has run its block. Shared with the worker, which may still
// be leaving it after the caller has returned.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool reached = false;
    bool released = false;
};

struct Release {
    Gate& gate;
    ~Release() {
        std::lock_guard lock(gate.mutex);
        gate.released = true;
        gate.changed.notify_all();
    }
};

} // namespace

void dispatchSync(dispatch::SerialQueue& queue, const std::function<void()>& block) {
    if (runningOn(queue)) {
        block(); // already on this queue: running inline keeps the order and cannot deadlock
        return;
    }
    auto gate = std::make_shared<Gate>();
    queue.async([gate] {
        std::unique_lock lock(gate->mutex);
        gate->reached = true;
        gate->changed.notify_all();
        gate->changed.wait(lock, [&] { return gate->released; });
    });
    {
        std::unique_lock lock(gate->mutex);
        gate->changed.wait(lock, [&] { return gate->reached; });
    }
    Release release{*gate};
    Running mark(queue);
    block();
}

} // namespace zevuzavidav
