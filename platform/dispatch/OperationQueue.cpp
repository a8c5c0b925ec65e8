#include "platform/dispatch/OperationQueue.hpp"

#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/dispatch/MainQueue.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace dispatch {

struct OperationQueue::State : std::enable_shared_from_this<OperationQueue::State> {
    Queue* target = nullptr;
    mutable std::mutex mutex;
    std::condition_variable cv;
    std::string name;
    int maxConcurrent = kDefaultMaxConcurrentOperationCount;
    bool suspended = false;
    std::deque<std::shared_ptr<Operation>> pending;
    std::vector<std::shared_ptr<Operation>> running;

    void pump() {
        std::vector<std::shared_ptr<Operation>> toStart;
        {
            std::lock_guard lock(mutex);
            while (!suspended && !pending.empty() &&
                   (maxConcurrent <= 0 || running.size() < static_cast<std::size_t>(maxConcurrent))) {
                auto op = pending.front();
                pending.pop_front();
                running.push_back(op);
                toStart.push_back(std::move(op));
            }
        }
        for (auto& op : toStart) {
            std::weak_ptr<State> weak = weak_from_this();
            op->setFinishedObserver([weak, raw = op.get()] {
                if (auto state = weak.lock()) state->finished(raw);
            });
            target->async([op] { op->start(); });
        }
    }

    void finished(Operation* op) {
        {
            std::lock_guard lock(mutex);
            auto it =
                std::find_if(running.begin(), running.end(), [&](const auto& r) { return r.get() == op; });
            if (it != running.end()) running.erase(it);
        }
        cv.notify_all();
        pump();
    }
};

OperationQueue::OperationQueue() : OperationQueue(std::string{}) {}

OperationQueue::OperationQueue(std::string name) : state_(std::make_shared<State>()) {
    state_->target = &global();
    state_->name = std::move(name);
}

OperationQueue::OperationQueue(Queue& target, std::string name, int maxConcurrent)
    : state_(std::make_shared<State>()) {
    state_->target = &target;
    state_->name = std::move(name);
    state_->maxConcurrent = maxConcurrent;
}

OperationQueue::~OperationQueue() {
    waitUntilAllOperationsAreFinished();
}

void OperationQueue::setName(std::string name) {
    std::lock_guard lock(state_->mutex);
    state_->name = std::move(name);
}

std::string OperationQueue::name() const {
    std::lock_guard lock(state_->mutex);
    return state_->name;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(state_->mutex);
        state_->maxConcurrent = count;
    }
    state_->pump();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->maxConcurrent;
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
    // An operation that already ran (or is running elsewhere) cannot run again.
    if (!operation || operation->isFinished() || operation->isExecuting()) return;
    {
        std::lock_guard lock(state_->mutex);
        auto same = [&](const auto& op) { return op == operation; };
        if (std::any_of(state_->pending.begin(), state_->pending.end(), same) ||
            std::any_of(state_->running.begin(), state_->running.end(), same))
            return; // added twice: it runs once
        state_->pending.push_back(std::move(operation));
    }
    state_->pump();
}

std::shared_ptr<Operation> OperationQueue::addOperation(std::function<void()> block) {
    auto op = std::make_shared<BlockOperation>(std::move(block));
    addOperation(op);
    return op;
}

void OperationQueue::cancelAllOperations() {
    for (auto& op : operations())
        op->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(state_->mutex);
    state_->cv.wait(lock, [&] {
        // A suspended queue never drains its pending operations; waiting then covers the running ones.
        return state_->running.empty() && (state_->pending.empty() || state_->suspended);
    });
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->pending.size() + state_->running.size();
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
    std::lock_guard lock(state_->mutex);
    std::vector<std::shared_ptr<Operation>> all(state_->running.begin(), state_->running.end());
    all.insert(all.end(), state_->pending.begin(), state_->pending.end());
    return all;
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(state_->mutex);
        state_->suspended = suspended;
    }
    state_->cv.notify_all();
    state_->pump();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(state_->mutex);
    return state_->suspended;
}

OperationQueue& OperationQueue::mainQueue() {
    static auto* queue = new OperationQueue(main(), "Main Queue", 1);
    return *queue;
}

} // namespace dispatch
