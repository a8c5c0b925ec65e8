// A change of clock moves what is pending onto the new clock. On a virtual clock that is replaced, work
// is due at once and a wait has run out: nothing moves that clock any more, and its times read on the
// real clock would mean whatever the machine's time since boot made of them. On a real clock the time
// left is kept. The virtual clocks here first go a century ahead, far past any machine's time since
// boot, so that a virtual time read on the real clock would be waited for.
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
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using dispatch::Nanoseconds;
using velotest::OnExit;

const Nanoseconds kCentury = dispatch::fromSeconds(100 * 365.25 * 86400);

// A virtual clock a century ahead, which the test ends while work or a wait is still pending on it.
struct AheadVirtualClock {
    AheadVirtualClock() { scope->clock().advance(kCentury); }
    void end() { scope.reset(); }
    std::optional<dispatch::VirtualClockScope> scope{std::in_place};
};

// The names of the blocks that ran, in order, handed over once `expected` have run.
struct Ran {
    explicit Ran(std::size_t expected) : expected(expected) {}
    std::function<void()> block(std::string name) {
        return [this, name] {
            std::lock_guard lock(mutex);
            names.push_back(name);
            if (names.size() == expected) all.set(names);
        };
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return names.size();
    }
    const std::size_t expected;
    std::mutex mutex;
    std::vector<std::string> names;
    velotest::Waiter<std::vector<std::string>> all;
};

TEST(ClockChange, WorkDueOnAReplacedVirtualClockRunsAtOnceInItsOrder) {
    dispatch::main().removeAll();
    OnExit clean([] { dispatch::main().removeAll(); });
    dispatch::SerialQueue serial("com.example.clock.serial");
    struct Case {
        const char* name;
        dispatch::Queue& queue;
        bool oneAtATime; // the global queue may run them side by side, in any order
    };
    const Case cases[] = {{"serial queue", serial, true},
                          {"global queue", dispatch::global(), false},
                          {"main queue", dispatch::main(), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Shared with the blocks: should they never run, they outlive the test unharmed.
        auto ran = std::make_shared<Ran>(3);
        {
            AheadVirtualClock clock;
            c.queue.asyncAfter(600, [ran] { ran->block("later")(); });
            c.queue.asyncAfter(60, [ran] { ran->block("sooner")(); });
            c.queue.async([ran] { ran->block("now")(); });
            clock.end();
        }
        const bool onMain = &c.queue == &dispatch::main();
        if (onMain) dispatch::main().runUntil([&] { return ran->count() == 3; }, velotest::kPatience);
        const auto names = ran->all.wait(onMain ? 0 : velotest::kPatience);
        ASSERT_TRUE(names) << "work due on the replaced clock still waits; ran " << ran->count();
        if (c.oneAtATime) {
            EXPECT_EQ(*names, (std::vector<std::string>{"now", "sooner", "later"}));
        }
    }
}

// A virtual clock a century ahead that tells when the watched thread begins to wait on it (a wait reads
// its deadline before it waits).
class WatchedVirtualClock final : public dispatch::Clock {
  public:
    void watchThisThread() { watched_ = std::this_thread::get_id(); }
    Nanoseconds now() const override { return kCentury; }
    void waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Nanoseconds) override {
        if (std::this_thread::get_id() == watched_.load()) waiting.set(true);
        // Its time never moves: only a wake from the waiter's owner ends the wait.
        cv.wait(lock);
    }
    bool isVirtual() const override { return true; }
    velotest::Waiter<bool> waiting;

  private:
    std::atomic<std::thread::id> watched_{};
};

TEST(ClockChange, AGroupWaitBegunOnAVirtualClockRunsOutWhenTheClockIsReplaced) {
    auto watched = std::make_shared<WatchedVirtualClock>();
    const auto previous = dispatch::setClock(watched);
    OnExit restore([&] {
        if (dispatch::currentClock() == watched) dispatch::setClock(previous);
    });
    dispatch::Group group;
    group.enter();
    velotest::Waiter<bool> emptied;
    std::jthread waiter([&] {
        watched->watchThisThread();
        emptied.set(group.wait(600.0));
    });
    // Declared after the waiter: on every way out the group empties, so the wait ends before the join.
    OnExit leave([&] {
        if (group.outstanding() > 0) group.leave();
    });
    ASSERT_TRUE(watched->waiting.wait()) << "the wait never began";
    dispatch::setClock(previous);
    const auto outcome = emptied.wait();
    ASSERT_TRUE(outcome) << "the wait went on after its clock was replaced";
    EXPECT_FALSE(*outcome) << "the group was still busy";
}

// The caller's place in line moves with the work queued before it, so work queued on the new clock
// after it still comes after it.
TEST(ClockChange, ASyncWaitingInLineKeepsItsPlaceWhenItsVirtualClockIsReplaced) {
    AheadVirtualClock first;
    dispatch::SerialQueue queue("com.example.clock.line");
    velotest::Gate release;
    queue.async([&] { release.wait(); });
    velotest::Waiter<bool> synced;
    std::jthread caller([&] {
        queue.sync([] {});
        synced.set(true);
    });
    std::optional<dispatch::VirtualClockScope> second;
    // On every way out the held block goes, and anything the caller might wait for becomes due, before
    // the caller is joined.
    OnExit letGo([&] {
        release.open();
        if (second) second->clock().advance(kCentury + kCentury);
    });
    ASSERT_TRUE(velotest::eventually([&] { return queue.waitingSyncCount() == 1; }))
        << "the caller never waited for its turn";
    second.emplace();
    queue.asyncAfter(3600, [] {});
    release.open();
    EXPECT_TRUE(synced.wait()) << "the caller waited for work queued after it";
}

TEST(ClockChange, ARepeatingTimerOnAReplacedVirtualClockFiresAtOnceThenCountsItsIntervalOnTheNewClock) {
    dispatch::main().removeAll();
    AheadVirtualClock first;
    int firings = 0;
    auto timer = dispatch::Timer::scheduled(10.0, true, [&](dispatch::Timer&) { ++firings; });
    dispatch::VirtualClockScope second;
    OnExit stop([&] {
        timer->invalidate();
        dispatch::main().removeAll();
    });
    dispatch::main().drain();
    EXPECT_EQ(firings, 1) << "the firing due on the replaced clock";
    dispatch::main().advance(9.5);
    EXPECT_EQ(firings, 1);
    dispatch::main().advance(0.5);
    EXPECT_EQ(firings, 2);
}

// A clock that is not virtual and stands still, so that the time left on it is exact.
class StoppedClock final : public dispatch::Clock {
  public:
    Nanoseconds now() const override { return dispatch::fromSeconds(1000); }
    void waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Nanoseconds) override {
        cv.wait(lock); // it reaches no deadline: only a wake ends the wait
    }
};

TEST(ClockChange, WorkDueOnANonVirtualClockKeepsItsTimeLeftOnAClockInstalledMeanwhile) {
    dispatch::main().removeAll();
    const auto previous = dispatch::setClock(std::make_shared<StoppedClock>());
    OnExit restore([&] {
        dispatch::main().removeAll();
        dispatch::setClock(previous);
    });
    int ran = 0;
    dispatch::main().asyncAfter(3600, [&] { ++ran; });
    dispatch::VirtualClockScope clock;
    dispatch::main().advance(3599.5);
    EXPECT_EQ(ran, 0);
    dispatch::main().advance(0.5);
    EXPECT_EQ(ran, 1);
}

} // namespace
