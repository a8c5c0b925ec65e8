#include "platform/darwin/Threads.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/dispatch/Group.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/SerialQueue.hpp"
#include "platform/dispatch/Timer.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

TEST(SerialQueue, RunsBlocksOneAtATimeInSubmissionOrder) {
    dispatch::SerialQueue queue("com.example.order");
    std::vector<int> order;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 200; ++i) {
        queue.async([&, i] {
            if (inside.fetch_add(1) != 0) overlapped = true;
            order.push_back(i);
            inside.fetch_sub(1);
        });
    }
    queue.sync([] {});
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_FALSE(overlapped.load());
}

TEST(SerialQueue, SyncWaitsForEarlierWorkAndReturnsValues) {
    dispatch::SerialQueue queue("com.example.sync");
    velotest::Gate release;
    std::atomic<bool> earlierDone{false};
    queue.async([&] {
        release.wait();
        earlierDone = true;
    });
    velotest::Waiter<bool> sawEarlier;
    std::jthread caller([&] { sawEarlier.set(queue.syncResult([&] { return earlierDone.load(); })); });
    // Declared after the caller: on every way out the earlier block is let go before it is joined.
    velotest::OnExit letGo([&] { release.open(); });
    // The sync is in line while the earlier block still runs (or, wrongly, has already returned).
    ASSERT_TRUE(velotest::eventually([&] { return queue.waitingSyncCount() == 1 || sawEarlier.wait(0); }));
    release.open();
    EXPECT_EQ(sawEarlier.wait(), true);
}

TEST(SerialQueue, SyncFromItsOwnThreadRunsInlineInsteadOfDeadlocking) {
    dispatch::SerialQueue queue("com.example.reentrant");
    int value = queue.syncResult([&] {
        EXPECT_TRUE(queue.isCurrent());
        return queue.syncResult([] { return 7; });
    });
    EXPECT_EQ(value, 7);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, ThreadAndLabelAreVisibleWhileABlockRuns) {
    dispatch::SerialQueue queue("com.example.analytics.maintenance");
    std::string label;
    std::string labelSeenFromOutside;
    std::string threadName;
    velotest::Waiter<pid_t> running;
    velotest::Gate release;
    // Declared after the queue: on every way out the block is let go before the queue waits for it.
    velotest::OnExit letGo([&] { release.open(); });
    queue.async([&] {
        label = dispatch::currentQueueLabel();
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        threadName = name;
        running.set(static_cast<pid_t>(::syscall(SYS_gettid)));
        release.wait();
    });
    const std::optional<pid_t> tid = running.wait();
    ASSERT_TRUE(tid) << "the block never ran";
    char seen[darwin::kThreadNameSize];
    if (darwin::queueLabel(*tid, seen, sizeof seen)) labelSeenFromOutside = seen;
    char fullName[darwin::kThreadNameSize];
    ASSERT_TRUE(darwin::threadName(*tid, fullName, sizeof fullName));
    release.open();
    queue.sync([] {});
    EXPECT_EQ(label, "com.example.analytics.maintenance");
    EXPECT_EQ(labelSeenFromOutside, "com.example.analytics.maintenance");
    EXPECT_EQ(threadName, "ics.maintenance");
    EXPECT_STREQ(fullName, "com.example.analytics.maintenance");
    EXPECT_EQ(dispatch::currentQueueLabel(), "");
    // Between blocks the worker runs no queue's work, so it shows no label (the worker may still be
    // leaving the last block when sync returns).
    EXPECT_TRUE(velotest::eventually([&] { return !darwin::queueLabel(*tid, seen, sizeof seen); }));
}

TEST(QueueLabel, GlobalAndMainQueueBlocksShowTheirLabelInTheThreadTable) {
    struct Seen {
        bool found = false;
        char label[darwin::kThreadNameSize] = {};
    };
    auto look = [](Seen& seen) {
        seen.found = darwin::queueLabel(darwin::currentThreadId(), seen.label, sizeof seen.label);
    };
    Seen onGlobal;
    std::atomic<bool> globalDone{false};
    dispatch::global().async([&] {
        look(onGlobal);
        globalDone = true;
    });
    ASSERT_TRUE(velotest::eventually([&] { return globalDone.load(); }));
    EXPECT_TRUE(onGlobal.found);
    EXPECT_STREQ(onGlobal.label, "com.apple.root.default-qos");

    Seen onMain;
    dispatch::main().async([&] { look(onMain); });
    dispatch::main().drain();
    EXPECT_TRUE(onMain.found);
    EXPECT_STREQ(onMain.label, "com.apple.main-thread");
    Seen afterwards;
    look(afterwards);
    EXPECT_FALSE(afterwards.found); // the thread that drained the main queue is no longer running it
}

TEST(SerialQueue, DelayedWorkWaitsForTheVirtualClock) {
    dispatch::VirtualClockScope clock;
    dispatch::SerialQueue queue("com.example.delayed");
    std::atomic<int> ran{0};
    queue.asyncAfter(5.0, [&] { ran = 2; });
    queue.after(1'000'000'000, [&] { ran = 1; });
    queue.sync([] {});
    EXPECT_EQ(ran.load(), 0);
    clock.clock().advance(dispatch::fromSeconds(1));
    EXPECT_TRUE(velotest::eventually([&] { return ran.load() == 1; })) << ran.load();
    clock.clock().advance(dispatch::fromSeconds(4));
    EXPECT_TRUE(velotest::eventually([&] { return ran.load() == 2; })) << ran.load();
}

TEST(SerialQueue, DestructionFinishesQueuedWorkAndDropsFutureWork) {
    std::atomic<int> ran{0};
    {
        dispatch::SerialQueue queue("com.example.teardown");
        for (int i = 0; i < 10; ++i)
            queue.async([&] { ran++; });
        queue.asyncAfter(3600, [&] { ran += 100; });
    }
    EXPECT_EQ(ran.load(), 10);
}

TEST(GlobalQueue, RunsBlocksConcurrently) {
    ASSERT_GE(dispatch::global().maximumThreadCount(), 2u);
    std::mutex mutex;
    std::condition_variable cv;
    int arrived = 0;
    bool bothInside = false;
    dispatch::Group group;
    for (int i = 0; i < 2; ++i) {
        group.async(dispatch::global(), [&] {
            std::unique_lock lock(mutex);
            ++arrived;
            cv.notify_all();
            // Only returns early if the other block is running at the same time.
            bothInside = cv.wait_for(lock, std::chrono::duration<double>(velotest::kPatience), [&] {
                return arrived == 2;
            }) || bothInside;
        });
    }
    EXPECT_TRUE(group.wait());
    EXPECT_TRUE(bothInside);
}

TEST(Group, NotifyRunsOnceAfterEveryMemberLeft) {
    dispatch::main().removeAll();
    dispatch::Group group;
    velotest::Gate membersGo;
    std::atomic<int> done{0};
    int notified = 0;
    // On every way out the members are let go, and have left before what they use is gone.
    velotest::OnExit letGo([&] {
        membersGo.open();
        group.wait();
    });
    for (int i = 0; i < 5; ++i) {
        group.async(dispatch::global(), [&] {
            membersGo.wait();
            done++;
        });
    }
    group.enter();
    group.notify(dispatch::main(), [&] {
        ++notified;
        EXPECT_EQ(done.load(), 5);
    });
    group.leave();
    dispatch::main().drain(); // a notify handed on too early would be on the main queue by now
    EXPECT_EQ(notified, 0) << "told while every member was still held";
    membersGo.open();
    EXPECT_TRUE(dispatch::main().runUntil([&] { return notified == 1; }, velotest::kPatience));
    dispatch::main().drain();
    EXPECT_EQ(notified, 1);
}

TEST(Group, NotifyOnAnEmptyGroupRunsAndUnbalancedLeaveIsIgnored) {
    dispatch::main().removeAll();
    dispatch::Group group;
    group.leave(); // ignored
    EXPECT_EQ(group.outstanding(), 0u);
    int notified = 0;
    group.notify(dispatch::main(), [&] { ++notified; });
    dispatch::main().drain();
    EXPECT_EQ(notified, 1);
    group.enter();
    EXPECT_EQ(group.outstanding(), 1u) << "the ignored leave must not have gone below zero";
}

// A wait with a time-out gives up once dispatch::clock() has passed it, and not before; real time has no
// part in it: on a virtual clock an hour passes only as the test moves the clock on.
TEST(Group, WaitTimesOutOnTheClock) {
    dispatch::VirtualClockScope clock;
    dispatch::Group group;
    group.enter();
    struct Outcome {
        bool emptied;
        dispatch::Nanoseconds waited; // on the clock, from just before the call until it returned
    };
    velotest::Waiter<Outcome> outcome;
    std::jthread waiter([&] {
        const auto start = clock.clock().now();
        const bool emptied = group.wait(3600.0);
        outcome.set({emptied, clock.clock().now() - start});
    });
    // Declared after the waiter: on every way out the group empties, so the wait ends before the join.
    velotest::OnExit empty([&] {
        if (group.outstanding() > 0) group.leave();
    });
    // The wait reads its deadline off the clock when it begins, which cannot be seen from here: the
    // clock goes on ten minutes at a time until the wait has given up.
    ASSERT_TRUE(velotest::eventually([&] {
        clock.clock().advance(dispatch::fromSeconds(600));
        return outcome.wait(0).has_value();
    })) << "the wait never gave up";
    EXPECT_FALSE(outcome.wait()->emptied);
    EXPECT_GE(outcome.wait()->waited, dispatch::fromSeconds(3600));
    EXPECT_EQ(group.outstanding(), 1u);
    group.leave();
    EXPECT_TRUE(group.wait(0.0)); // an empty group is waited for at once, with no time to wait
}

TEST(Timer, RepeatingTimerOnASerialQueue) {
    dispatch::SerialQueue queue("com.example.timer");
    std::atomic<int> firings{0};
    auto timer = dispatch::Timer::scheduled(queue, 0.005, true, [&](dispatch::Timer& t) {
        if (++firings == 3) t.invalidate();
    });
    ASSERT_TRUE(velotest::eventually([&] { return !timer->isValid(); }));
    queue.sync([] {}); // a firing already on the queue would have run by now
    EXPECT_EQ(firings.load(), 3);
}

} // namespace
