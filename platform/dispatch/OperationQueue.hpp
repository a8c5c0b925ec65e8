#pragma once
// An operation queue: runs added operations in the order added, at most `maxConcurrentOperationCount`
// at a time (the default is unlimited, bounded by the global queue's threads), each on a worker of the
// global queue. The SDK's work queue sets the count to 1, which makes it serial.
//
// Cancelled operations that have not started are still "run": start() sees the cancellation, skips
// main() and finishes them at once (so waiters and completion blocks are not left hanging).
//
// Thread-safety: every member may be called from any thread. waitUntilAllOperationsAreFinished() must
// not be called from one of this queue's own operations. The main operation queue (mainQueue()) runs
// its operations one at a time on the main queue.
#include "platform/dispatch/Operation.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dispatch {

class Queue;

class OperationQueue {
  public:
    static constexpr int kDefaultMaxConcurrentOperationCount = -1;

    OperationQueue();
    explicit OperationQueue(std::string name);
    ~OperationQueue(); // waits for the operations already added
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void setName(std::string name);
    std::string name() const;

    // 1 makes the queue serial; -1 (default) or 0 or less: unlimited.
    void setMaxConcurrentOperationCount(int count);
    int maxConcurrentOperationCount() const;

    void addOperation(std::shared_ptr<Operation> operation);
    std::shared_ptr<Operation> addOperation(std::function<void()> block);

    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();

    // Operations added and not yet finished.
    std::size_t operationCount() const;
    std::vector<std::shared_ptr<Operation>> operations() const;

    // While suspended, no operation starts (running ones go on).
    void setSuspended(bool suspended);
    bool isSuspended() const;

    // The queue whose operations run on the main queue, one at a time.
    static OperationQueue& mainQueue();

  private:
    explicit OperationQueue(Queue& target, std::string name, int maxConcurrent);
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace dispatch
