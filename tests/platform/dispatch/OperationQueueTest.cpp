#include "platform/dispatch/OperationQueue.hpp"
#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// One at a time: while the first operation runs no other starts. The first is held until the rest are
// added and the queue is suspended; a suspended queue's wait covers the operations it has started, so
// any it had started beside the first would run before that wait ends.
TEST(OperationQueue, MaxOneRunsOperationsOneAtATimeInOrder) {
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> inside{0};
    std::atomic<int> maxInside{0};
    velotest::Waiter<bool> firstRunning;
    velotest::Gate releaseFirst;
    dispatch::OperationQueue queue("com.example.work-queue");
    // Declared after the queue: on every way out the first is let go and the rest may run, before the
    // queue waits for them as it goes.
    velotest::OnExit letGo([&] {
        releaseFirst.open();
        queue.setSuspended(false);
    });
    queue.setMaxConcurrentOperationCount(1);
    for (int i = 0; i < 20; ++i) {
        queue.addOperation([&, i] {
            int now = ++inside;
            int seen = maxInside.load();
            while (now > seen && !maxInside.compare_exchange_weak(seen, now)) {
            }
            if (i == 0) {
                firstRunning.set(true);
                releaseFirst.wait();
            }
            {
                std::lock_guard lock(mutex);
                order.push_back(i);
            }
            --inside;
        });
        if (i == 0) {
            ASSERT_TRUE(firstRunning.wait()) << "the first operation never started";
        }
    }
    queue.setSuspended(true);
    releaseFirst.open();
    queue.waitUntilAllOperationsAreFinished();
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(order, std::vector<int>{0}) << "operations ran beside the first";
    }
    EXPECT_EQ(queue.operationCount(), 19u);
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(maxInside.load(), 1);
    ASSERT_EQ(order.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, CancelledOperationsSkipTheirWorkButFinish) {
    dispatch::OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    queue.setSuspended(true);
    std::atomic<int> ran{0};
    std::atomic<int> completions{0};
    std::vector<std::shared_ptr<dispatch::Operation>> ops;
    for (int i = 0; i < 3; ++i) {
        auto op = std::make_shared<dispatch::BlockOperation>([&] { ran++; });
        op->setCompletionBlock([&] { completions++; });
        ops.push_back(op);
        queue.addOperation(op);
    }
    ops[1]->cancel();
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran.load(), 2);
    EXPECT_EQ(completions.load(), 3);
    for (auto& op : ops)
        EXPECT_TRUE(op->isFinished());
}

// Finishes from another thread some time after start, like a network operation.
class DelayedOperation : public dispatch::Operation {
  public:
    explicit DelayedOperation(std::atomic<int>& running, std::atomic<int>& peak)
        : running_(running), peak_(peak) {}
    bool isAsynchronous() const override { return true; }
    void main() override {
        int now = ++running_;
        int seen = peak_.load();
        while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
        }
        auto self = shared_from_this();
        dispatch::global().asyncAfter(0.005, [this, self] {
            --running_;
            finish();
        });
    }

  private:
    std::atomic<int>& running_;
    std::atomic<int>& peak_;
};

TEST(OperationQueue, AsynchronousOperationsCountAsRunningUntilTheyFinish) {
    dispatch::OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    std::atomic<int> running{0}, peak{0};
    for (int i = 0; i < 5; ++i)
        queue.addOperation(std::make_shared<DelayedOperation>(running, peak));
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(peak.load(), 1);
    EXPECT_EQ(running.load(), 0);
}

TEST(OperationQueue, AnOperationAddedTwiceRunsOnce) {
    dispatch::OperationQueue queue;
    std::atomic<int> ran{0};
    auto op = std::make_shared<dispatch::BlockOperation>([&] { ran++; });
    queue.setSuspended(true);
    queue.addOperation(op);
    queue.addOperation(op);
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    queue.addOperation(op); // already finished
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran.load(), 1);
}

TEST(OperationQueue, MainOperationQueueRunsOnTheMainLoop) {
    dispatch::main().removeAll();
    bool ranOnMain = false;
    auto op =
        dispatch::OperationQueue::mainQueue().addOperation([&] { ranOnMain = dispatch::isMainThread(); });
    EXPECT_FALSE(op->isFinished());
    EXPECT_TRUE(dispatch::main().runUntil([&] { return op->isFinished(); }, velotest::kPatience));
    EXPECT_TRUE(ranOnMain);
}

TEST(Operation, StartingDirectlyRunsSynchronouslyAndOnlyOnce) {
    int ran = 0;
    auto op = std::make_shared<dispatch::BlockOperation>([&] { ++ran; });
    op->start();
    op->start();
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(op->isFinished());
    EXPECT_FALSE(op->isExecuting());
}

} // namespace
