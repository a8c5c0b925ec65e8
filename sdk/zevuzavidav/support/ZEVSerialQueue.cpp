#include "sdk/zevuzavidav/support/ZEVSerialQueue.hpp"

#include "platform/darwin/Threads.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// The queues whose blocks the calling thread is running right now (innermost last): a sync call to
// one of them runs at once instead of waiting for itself.
thread_local const void* runningQueues[16];
thread_local int runningDepth = 0;

bool running(const void* queue) {
    for (int i = 0; i < runningDepth; ++i) {
        if (runningQueues[i] == queue) return true;
    }
    return false;
}

struct Running {
    explicit Running(const void* queue) {
        if (runningDepth < 16) runningQueues[runningDepth] = queue;
        ++runningDepth;
    }
    ~Running() { --runningDepth; }
};

} // namespace

struct ZEVSerialQueue::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> blocks;
    bool stopping = false;
    std::thread worker;
};

ZEVSerialQueue::ZEVSerialQueue(std::string label)
    : label_(std::move(label)), state_(std::make_unique<State>()) {
    State* state = state_.get();
    std::string name = label_;
    state->worker = std::thread([state, name] {
        darwin::AlternateSignalStack altStack;
        darwin::setCurrentThreadName(name.c_str());
        darwin::setCurrentThreadQueueLabel(name.c_str());
        std::unique_lock lock(state->mutex);
        for (;;) {
            state->changed.wait(lock, [&] { return state->stopping || !state->blocks.empty(); });
            if (state->blocks.empty()) break;
            auto block = std::move(state->blocks.front());
            state->blocks.pop_front();
            lock.unlock();
            {
                Running mark(state);
                block();
            }
            lock.lock();
        }
        darwin::forgetCurrentThread();
    });
}

ZEVSerialQueue::~ZEVSerialQueue() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->changed.notify_all();
    if (state_->worker.joinable()) state_->worker.join();
}

void ZEVSerialQueue::async(std::function<void()> block) {
    {
        std::lock_guard lock(state_->mutex);
        state_->blocks.push_back(std::move(block));
    }
    state_->changed.notify_all();
}

void ZEVSerialQueue::sync(const std::function<void()>& block) {
    if (running(state_.get())) {
        block(); // already on this queue: running inline keeps the order and cannot deadlock
        return;
    }
    // A gate block parks the worker until the caller has run its block, so nothing queued later can
    // overtake it and nothing queued earlier is still running. The gate is shared with the worker:
    // the worker may still be leaving it after the caller has returned.
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool reached = false;
        bool released = false;
    };
    auto gate = std::make_shared<Gate>();
    async([gate] {
        std::unique_lock lock(gate->mutex);
        gate->reached = true;
        gate->changed.notify_all();
        gate->changed.wait(lock, [&] { return gate->released; });
    });
    {
        std::unique_lock lock(gate->mutex);
        gate->changed.wait(lock, [&] { return gate->reached; });
    }
    struct Release {
        Gate& gate;
        ~Release() {
            std::lock_guard lock(gate.mutex);
            gate.released = true;
            gate.changed.notify_all();
        }
    } release{*gate};
    Running mark(state_.get());
    block();
}
