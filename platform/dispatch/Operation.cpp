#include "platform/dispatch/Operation.hpp"

namespace dispatch {

Operation::Operation() = default;
Operation::~Operation() = default;

void Operation::start() {
    {
        std::lock_guard lock(mutex_);
        if (started_ || finished_) return;
        started_ = true;
    }
    if (isCancelled()) {
        finish();
        return;
    }
    setExecuting();
    main();
    if (!isAsynchronous()) finish();
}

void Operation::cancel() {
    cancelled_.store(true);
}

bool Operation::isExecuting() const {
    std::lock_guard lock(mutex_);
    return executing_;
}

bool Operation::isFinished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

void Operation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(block);
}

void Operation::setName(std::string name) {
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
}

std::string Operation::name() const {
    std::lock_guard lock(mutex_);
    return name_;
}

void Operation::waitUntilFinished() {
    std::unique_lock lock(mutex_);
    finishedCv_.wait(lock, [&] { return finished_; });
}

void Operation::setExecuting() {
    std::lock_guard lock(mutex_);
    started_ = true;
    if (!finished_) executing_ = true;
}

void Operation::finish() {
    std::function<void()> completion;
    std::function<void()> observer;
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        finished_ = true;
        executing_ = false;
        started_ = true;
        completion = std::move(completion_);
        observer = std::move(finishedObserver_);
    }
    finishedCv_.notify_all();
    if (completion) completion();
    if (observer) observer();
}

void Operation::setFinishedObserver(std::function<void()> observer) {
    {
        std::lock_guard lock(mutex_);
        if (!finished_) {
            finishedObserver_ = std::move(observer);
            return;
        }
    }
    observer();
}

BlockOperation::BlockOperation(std::function<void()> block) : block_(std::move(block)) {}

void BlockOperation::main() {
    if (block_) block_();
}

} // namespace dispatch
