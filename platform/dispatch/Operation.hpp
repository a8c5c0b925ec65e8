#pragma once
// An operation: one unit of work with a life cycle (ready -> executing -> finished), cancellable, run
// by an OperationQueue or started directly with start().
//
// Synchronous operations do their work in main(); start() calls main() (unless cancelled) and then
// marks the operation finished. Asynchronous operations override isAsynchronous() to return true,
// start their work in start() or main() and call finish() when it completes, whatever the outcome; the
// queue counts them as running until then.
//
// Thread-safety: cancel(), the state queries, waitUntilFinished() and setCompletionBlock() may be called
// from any thread. start() must be called once; a second start, or a start after finishing, does
// nothing. Cancelling does not stop a running main(); long work should look at isCancelled().
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace dispatch {

class Operation : public std::enable_shared_from_this<Operation> {
  public:
    Operation();
    virtual ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    virtual void start();
    virtual void main() {}
    virtual bool isAsynchronous() const { return false; }

    void cancel();
    bool isCancelled() const { return cancelled_.load(); }
    bool isExecuting() const;
    bool isFinished() const;

    // Runs once, on the thread that finished the operation, after it is marked finished.
    void setCompletionBlock(std::function<void()> block);
    void setName(std::string name);
    std::string name() const;

    // Blocks until the operation has finished.
    void waitUntilFinished();

  protected:
    // Marks the operation executing (asynchronous operations that override start() call this).
    void setExecuting();
    // Marks the operation finished, runs the completion block and tells the queue. Idempotent.
    void finish();

  private:
    friend class OperationQueue;
    void setFinishedObserver(std::function<void()> observer);

    std::atomic<bool> cancelled_{false};
    mutable std::mutex mutex_;
    std::condition_variable finishedCv_;
    bool started_ = false;
    bool executing_ = false;
    bool finished_ = false;
    std::function<void()> completion_;
    std::function<void()> finishedObserver_;
    std::string name_;
};

// An operation that runs one block.
class BlockOperation final : public Operation {
  public:
    explicit BlockOperation(std::function<void()> block);
    void main() override;

  private:
    std::function<void()> block_;
};

} // namespace dispatch
