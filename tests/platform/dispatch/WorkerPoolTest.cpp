// Worker pools start threads as work arrives, reuse free ones, and still reach the concurrency their
// work needs (blocks that wait for each other, blocks queued before any worker ran).
#include "platform/dispatch/detail/WorkerPool.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using dispatch::detail::WorkerPool;

// Counts blocks in and lets them wait for one another.
struct Meeting {
    std::mutex mutex;
    std::condition_variable cv;
    int arrived = 0;
    int finished = 0;

    // Arrives and waits until `expected` blocks have arrived (false when they have not after kPatience).
    bool meet(int expected) {
        std::unique_lock lock(mutex);
        ++arrived;
        cv.notify_all();
        return cv.wait_for(lock, std::chrono::duration<double>(velotest::kPatience),
                           [&] { return arrived >= expected; });
    }
    void finish() {
        std::lock_guard lock(mutex);
        ++finished;
        cv.notify_all();
    }
    bool waitFinished(int expected) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::duration<double>(velotest::kPatience),
                           [&] { return finished >= expected; });
    }
};

TEST(WorkerPool, NoThreadBeforeWorkAndAFreeWorkerIsReused) {
    WorkerPool pool("com.example.pool.reuse", 4, WorkerPool::Start::asWorkArrives);
    EXPECT_EQ(pool.threadCount(), 0u);
    Meeting meeting;
    for (int i = 1; i <= 10; ++i) {
        pool.schedule(dispatch::deadlineIn(dispatch::Nanoseconds{0}),
                      dispatch::WorkItem([&] { meeting.finish(); }));
        ASSERT_TRUE(meeting.waitFinished(i));
        // Until the worker has left the block and is free again: only then is it there to be reused.
        ASSERT_TRUE(velotest::eventually([&] { return pool.runIfIdle([] {}); }))
            << "the worker never came back from block " << i;
    }
    // Each block found the one worker free again.
    EXPECT_EQ(pool.threadCount(), 1u);
    EXPECT_EQ(pool.maximumThreadCount(), 4u);
}

TEST(WorkerPool, GrowsToTheConcurrencyItsBlocksNeedAndNoFurther) {
    WorkerPool pool("com.example.pool.grow", 8, WorkerPool::Start::asWorkArrives);
    Meeting meeting;
    int met = 0;
    for (int i = 0; i < 3; ++i) {
        pool.schedule(dispatch::deadlineIn(dispatch::Nanoseconds{0}), dispatch::WorkItem([&] {
                          const bool all = meeting.meet(3); // only true when all three run at once
                          std::lock_guard lock(meeting.mutex);
                          met += all;
                          ++meeting.finished;
                          meeting.cv.notify_all();
                      }));
    }
    ASSERT_TRUE(meeting.waitFinished(3));
    EXPECT_EQ(met, 3);
    EXPECT_EQ(pool.threadCount(), 3u);
}

TEST(WorkerPool, WorkQueuedBehindABusyWorkerGetsAWorkerOfItsOwn) {
    // Both blocks are queued before any worker runs; the first waits for the second.
    WorkerPool pool("com.example.pool.queued", 2, WorkerPool::Start::asWorkArrives);
    Meeting meeting;
    bool together = false;
    pool.schedule(dispatch::deadlineIn(dispatch::Nanoseconds{0}), dispatch::WorkItem([&] {
                      together = meeting.meet(2);
                      meeting.finish();
                  }));
    pool.schedule(dispatch::deadlineIn(dispatch::Nanoseconds{0}), dispatch::WorkItem([&] {
                      meeting.meet(2);
                      meeting.finish();
                  }));
    ASSERT_TRUE(meeting.waitFinished(2));
    EXPECT_TRUE(together);
}

TEST(WorkerPool, APoolStartedWholeHasItsNamedThreadsAtOnce) {
    WorkerPool pool("com.example.pool.whole", 2);
    EXPECT_EQ(pool.threadCount(), 2u);
}

// The first block is held while the rest arrive: a pool that did not keep to its one thread would
// start another for them at once, as it does for work that finds every worker busy.
TEST(WorkerPool, AGrowingPoolOfOneRunsOneBlockAtATimeOnOneThread) {
    std::atomic<int> inside{0}, most{0};
    Meeting meeting;
    velotest::Waiter<bool> firstRunning;
    velotest::Gate releaseFirst;
    WorkerPool pool("com.example.pool.serial", 1, WorkerPool::Start::asWorkArrives);
    // Declared after the pool: on every way out the first block is let go before the pool waits for it.
    velotest::OnExit letGo([&] { releaseFirst.open(); });
    for (int i = 0; i < 5; ++i) {
        pool.schedule(dispatch::deadlineIn(dispatch::Nanoseconds{0}), dispatch::WorkItem([&, i] {
                          most = std::max(most.load(), ++inside);
                          if (i == 0) {
                              firstRunning.set(true);
                              releaseFirst.wait();
                          }
                          --inside;
                          meeting.finish();
                      }));
        if (i == 0) {
            ASSERT_TRUE(firstRunning.wait()) << "the first block never ran";
        }
    }
    EXPECT_EQ(pool.threadCount(), 1u) << "a thread started beside the busy one";
    releaseFirst.open();
    ASSERT_TRUE(meeting.waitFinished(5));
    EXPECT_EQ(most.load(), 1);
    EXPECT_EQ(pool.threadCount(), 1u);
}

// A caller of runOnCaller takes its place in line when it calls: its block runs on its own thread, after
// the blocks queued before the call and before those queued while it waited, and waiting callers go in
// the order they came.
TEST(WorkerPool, CallersWaitingTheirTurnRunOnTheirOwnThreadsInTheirPlaceInLine) {
    WorkerPool pool("com.example.pool.callers", 1);
    const auto now = [] { return dispatch::deadlineIn(dispatch::Nanoseconds{0}); };
    std::mutex mutex;
    std::vector<std::string> order;
    auto note = [&](std::string what) {
        std::lock_guard lock(mutex);
        order.push_back(std::move(what));
    };
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::vector<std::jthread> callers;
    // Declared after the callers, so that on every way out the held block is let go before they are
    // joined.
    struct LetGo {
        std::promise<void>& release;
        bool done = false;
        void operator()() {
            if (!std::exchange(done, true)) release.set_value();
        }
        ~LetGo() { (*this)(); }
    } letGo{release};

    pool.schedule(now(), dispatch::WorkItem([&, released] {
                      released.wait();
                      note("held");
                  }));
    pool.schedule(now(), dispatch::WorkItem([&] { note("queued before"); }));
    for (std::size_t c = 1; c <= 2; ++c) {
        callers.emplace_back([&, c] {
            const auto self = std::this_thread::get_id();
            pool.runOnCaller([&, c, self] {
                const bool own = std::this_thread::get_id() == self && pool.isWorkerThread();
                note("caller " + std::to_string(c) + (own ? "" : " not on its own thread"));
            });
        });
        ASSERT_TRUE(velotest::eventually([&] { return pool.waitingCallerCount() == c; }))
            << "caller " << c << " never waited for its turn";
    }
    pool.schedule(now(), dispatch::WorkItem([&] { note("queued while they wait"); }));
    letGo();
    pool.runOnCaller([] {}); // after everything above
    EXPECT_EQ(order, (std::vector<std::string>{"held", "queued before", "caller 1", "caller 2",
                                               "queued while they wait"}));
}

} // namespace
