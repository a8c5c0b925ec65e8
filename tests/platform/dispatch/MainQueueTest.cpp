#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/Timer.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

class MainQueueOnVirtualClock : public ::testing::Test {
  protected:
    void SetUp() override { dispatch::main().removeAll(); }
    void TearDown() override { dispatch::main().removeAll(); }
    dispatch::VirtualClockScope clock;
};

TEST_F(MainQueueOnVirtualClock, DelayedWorkRunsInDeadlineOrderAtItsOwnTime) {
    std::vector<std::pair<std::string, double>> ran;
    auto& q = dispatch::main();
    auto record = [&](std::string name) {
        return [&ran, name] { ran.emplace_back(name, dispatch::toSeconds(dispatch::clock().now())); };
    };
    q.asyncAfter(2.0, record("two"));
    q.asyncAfter(0.5, [&] {
        record("half")();
        // Added while time is being advanced: must still run in order, at 1.5.
        q.asyncAfter(1.0, record("one-and-half"));
    });
    q.asyncAfter(2.0, record("two-again"));
    q.async(record("now"));

    EXPECT_EQ(q.drain(), 1u);
    EXPECT_EQ(q.advance(1.0), 1u);
    EXPECT_EQ(q.advance(5.0), 3u);

    std::vector<std::pair<std::string, double>> expected{
        {"now", 0.0}, {"half", 0.5}, {"one-and-half", 1.5}, {"two", 2.0}, {"two-again", 2.0}};
    EXPECT_EQ(ran, expected);
    EXPECT_DOUBLE_EQ(dispatch::toSeconds(dispatch::clock().now()), 6.0);
}

TEST_F(MainQueueOnVirtualClock, NothingRunsBeforeItsDeadline) {
    int count = 0;
    dispatch::main().asyncAfter(10, [&] { ++count; });
    EXPECT_EQ(dispatch::main().advance(9.999), 0u);
    EXPECT_EQ(count, 0);
    ASSERT_TRUE(dispatch::main().secondsUntilNextDue().has_value());
    EXPECT_NEAR(*dispatch::main().secondsUntilNextDue(), 0.001, 1e-9);
    dispatch::main().advance(0.001);
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(dispatch::main().secondsUntilNextDue().has_value());
}

TEST_F(MainQueueOnVirtualClock, CancelledWorkItemDoesNotRunButOthersDo) {
    int first = 0, second = 0;
    dispatch::WorkItem a([&] { ++first; });
    dispatch::WorkItem b([&] { ++second; });
    dispatch::main().asyncAfter(10, a);
    dispatch::main().asyncAfter(10, b);
    a.cancel(); // the copy held by the queue is the same item
    dispatch::main().advance(10);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(a.isCancelled());
    EXPECT_FALSE(b.isCancelled());
    a.perform();
    EXPECT_EQ(first, 0) << "perform on a cancelled item runs nothing";
}

TEST_F(MainQueueOnVirtualClock, ReplacingAStoredItemDoesNotCancelTheOldOne) {
    int runs = 0;
    dispatch::WorkItem stored([&] { ++runs; });
    dispatch::main().asyncAfter(10, stored);
    stored = dispatch::WorkItem([&] { runs += 10; });
    dispatch::main().asyncAfter(10, stored);
    stored.cancel();
    dispatch::main().advance(10);
    EXPECT_EQ(runs, 1);
}

TEST_F(MainQueueOnVirtualClock, PostsFromOtherThreadsWakeTheLoopAndRunOnTheMainThread) {
    std::atomic<int> ranOnMain{0};
    std::atomic<int> ranElsewhere{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            dispatch::main().async([&] { (dispatch::isMainThread() ? ranOnMain : ranElsewhere)++; });
            dispatch::main().asyncAfter(0.0,
                                        [&] { (dispatch::isMainThread() ? ranOnMain : ranElsewhere)++; });
        });
    }
    EXPECT_TRUE(dispatch::main().runUntil([&] { return ranOnMain.load() == 16; }, velotest::kPatience));
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(ranElsewhere.load(), 0);
}

TEST_F(MainQueueOnVirtualClock, DelayedPostFromAnotherThreadWaitsForVirtualTime) {
    std::atomic<bool> posted{false};
    bool ran = false;
    std::thread poster([&] {
        dispatch::main().asyncAfter(3.0, [&] { ran = true; });
        posted = true;
    });
    poster.join();
    ASSERT_TRUE(posted.load());
    dispatch::main().drain();
    EXPECT_FALSE(ran);
    dispatch::main().advance(3.0);
    EXPECT_TRUE(ran);
}

TEST_F(MainQueueOnVirtualClock, RunStopsWhenAskedAndHandsIdleTheTimeToTheNextItem) {
    std::vector<std::optional<double>> idleCalls;
    dispatch::main().asyncAfter(4.0, [] {});
    dispatch::main().run([&](std::optional<double> until) {
        idleCalls.push_back(until);
        dispatch::main().stop();
    });
    ASSERT_EQ(idleCalls.size(), 1u);
    ASSERT_TRUE(idleCalls[0].has_value());
    EXPECT_DOUBLE_EQ(*idleCalls[0], 4.0);
}

TEST_F(MainQueueOnVirtualClock, RepeatingTimerFiresOnScheduleUntilInvalidated) {
    std::vector<double> firings;
    auto timer = dispatch::Timer::scheduled(2.0, true, [&](dispatch::Timer& t) {
        firings.push_back(dispatch::toSeconds(dispatch::clock().now()));
        if (firings.size() == 3) t.invalidate();
    });
    dispatch::main().advance(100);
    EXPECT_EQ(firings, (std::vector<double>{2, 4, 6}));
    EXPECT_FALSE(timer->isValid());
}

TEST_F(MainQueueOnVirtualClock, TimerWithItsOwnFirstFireThenRepeatsAtItsInterval) {
    std::vector<double> firings;
    auto timer = dispatch::Timer::scheduled(dispatch::main(), 0.5, 3.0, 10.0, [&](dispatch::Timer&) {
        firings.push_back(dispatch::toSeconds(dispatch::clock().now()));
    });
    dispatch::main().advance(7);
    EXPECT_EQ(firings, (std::vector<double>{0.5, 3.5, 6.5}));
    EXPECT_EQ(timer->leeway(), 10.0);
    timer->invalidate();
    // A first fire already due comes at once.
    firings.clear();
    auto late = dispatch::Timer::scheduled(dispatch::main(), -4, 3.0, 0, [&](dispatch::Timer&) {
        firings.push_back(dispatch::toSeconds(dispatch::clock().now()));
    });
    dispatch::main().drain();
    EXPECT_EQ(firings, (std::vector<double>{7}));
    late->invalidate();
}

TEST_F(MainQueueOnVirtualClock, OneShotTimerFiresOnceAndInvalidatedTimerNever) {
    int once = 0, never = 0;
    auto a = dispatch::Timer::scheduled(1.0, false, [&](dispatch::Timer&) { ++once; });
    auto b = dispatch::Timer::scheduled(1.0, false, [&](dispatch::Timer&) { ++never; });
    b->invalidate();
    dispatch::main().advance(5);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(never, 0);
    EXPECT_FALSE(a->isValid());
}

TEST(Clock, SecondsConversionTreatsBadDelaysAsZero) {
    EXPECT_EQ(dispatch::fromSeconds(-1).count(), 0);
    EXPECT_EQ(dispatch::fromSeconds(std::numeric_limits<double>::quiet_NaN()).count(), 0);
    EXPECT_EQ(dispatch::fromSeconds(0.25).count(), 250'000'000);
    EXPECT_GT(dispatch::fromSeconds(1e300).count(), 0) << "huge delays must not overflow into the past";
}

TEST(Clock, VirtualClockNeverGoesBackward) {
    dispatch::VirtualClock clock(dispatch::Nanoseconds{100});
    clock.advanceTo(dispatch::Nanoseconds{50});
    EXPECT_EQ(clock.now().count(), 100);
    clock.advance(dispatch::Nanoseconds{-5});
    EXPECT_EQ(clock.now().count(), 100);
}

} // namespace
