// One recording of the process at a time: who waits for the turn, who does not, and how the recording
// that ends the process lets the waiting ones go first and then keeps it. Each runs in a child of its
// own: a turn taken arms the recording's real bound, which ends the process should the test stop short
// of passing it, and a turn kept to the end stays kept for the rest of the process.
#include "sdk/zevuzavidav/context/RecordingTurn.hpp"
#include "platform/darwin/ExceptionPorts.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/context/RecordingDeadline.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/ThreadState.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using zevuzavidav::RecordingTurn;

// What the threads of a test did, in the order they did it.
class Events {
  public:
    void add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    std::vector<std::string> all() {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> events_;
};

// A thread that asks for the turn, notes what it got, and passes the turn on when it took it.
struct Recorder {
    // `patienceNanos`: how long it waits for the turn before its patience is out.
    explicit Recorder(Events& events, long patienceNanos = zevuzavidav::kRecordingTurnPatienceNanos) {
        thread = std::thread([this, &events, patienceNanos] {
            id = darwin::currentThreadId();
            got = zevuzavidav::takeRecordingTurn(id, SIGABRT, patienceNanos);
            events.add(got == RecordingTurn::taken ? "the second took the turn" : "the second did not");
            if (got == RecordingTurn::taken) zevuzavidav::passRecordingTurn();
        });
    }
    // Until it waits for the turn (or has been through it already).
    void waitUntilItWaits() {
        ASSERT_TRUE(velotest::eventually([&] { return id.load() != 0; }, std::chrono::milliseconds(1)));
        velotest::waitUntilThreadStops(id);
    }
    std::atomic<pid_t> id{0};
    RecordingTurn got = RecordingTurn::notInTime;
    std::thread thread;
};

// A second recording waits until the first passes the turn: passed at once, or past the second's own
// patience while the first is within its bound (a machine whose cores are all taken may keep a recorder
// that long), when it records then rather than hand its crash on unrecorded and cut the first short.
TEST(RecordingTurn, ASecondRecordingWaitsUntilTheFirstPassesTheTurn) {
    for (const bool pastItsPatience : {false, true}) {
        SCOPED_TRACE(pastItsPatience ? "passed past the second's patience" : "passed at once");
        const int status = velotest::runInChild([pastItsPatience] {
            Events events;
            ASSERT_EQ(zevuzavidav::takeRecordingTurn(darwin::currentThreadId(), SIGABRT),
                      RecordingTurn::taken);
            if (pastItsPatience) { // the first's bound, from here, lies far past the second's patience
                zevuzavidav::disarmRecordingDeadline();
                ASSERT_TRUE(zevuzavidav::armRecordingDeadline(SIGABRT, velotest::kPatienceNanos));
            }
            // Past its patience from the start: only the first's bound keeps it waiting.
            Recorder second(events, pastItsPatience ? 0 : zevuzavidav::kRecordingTurnPatienceNanos);
            second.waitUntilItWaits();
            events.add("the first passes the turn");
            zevuzavidav::passRecordingTurn();
            second.thread.join();

            EXPECT_EQ(second.got, RecordingTurn::taken);
            EXPECT_EQ(events.all(),
                      (std::vector<std::string>{"the first passes the turn", "the second took the turn"}));
            EXPECT_EQ(zevuzavidav::recordingTurnHolder(), 0);
        });
        EXPECT_EQ(status, 0);
    }
}

// A crash inside a recording, on the recording thread: that recording will not finish, so neither the
// thread itself nor the exception server answering for it waits.
TEST(RecordingTurn, ACrashOfTheThreadThatHoldsTheTurnIsNotWaitedFor) {
    const int status = velotest::runInChild([] {
        const pid_t me = darwin::currentThreadId();
        ASSERT_EQ(zevuzavidav::takeRecordingTurn(me, SIGABRT), RecordingTurn::taken);
        EXPECT_EQ(zevuzavidav::recordingTurnHolder(), me);
        EXPECT_EQ(zevuzavidav::takeRecordingTurn(me, SIGABRT), RecordingTurn::heldByTheCrashedThread);
        RecordingTurn server = RecordingTurn::taken;
        std::thread([&] { server = zevuzavidav::takeRecordingTurn(me, SIGABRT); }).join();
        EXPECT_EQ(server, RecordingTurn::heldByTheCrashedThread);
        zevuzavidav::passRecordingTurn();
        EXPECT_EQ(zevuzavidav::recordingTurnHolder(), 0);
    });
    EXPECT_EQ(status, 0);
}

// The recording after which the process ends lets the one waiting record first, then holds the turn
// while the process ends. Should the process go on all the same, a later recording takes the turn once
// its patience is out.
TEST(RecordingTurn, TheRecordingThatEndsTheProcessLetsTheWaitingOneGoFirstAndThenKeepsTheTurn) {
    const int status = velotest::runInChild([] {
        Events events;
        const pid_t me = darwin::currentThreadId();
        ASSERT_EQ(zevuzavidav::takeRecordingTurn(me, SIGABRT), RecordingTurn::taken);
        Recorder second(events);
        second.waitUntilItWaits();
        zevuzavidav::keepRecordingTurnToTheEnd(me);
        events.add("the first keeps the turn");
        EXPECT_EQ(zevuzavidav::recordingTurnHolder(), me);
        second.thread.join();
        EXPECT_EQ(events.all(),
                  (std::vector<std::string>{"the second took the turn", "the first keeps the turn"}));

        RecordingTurn later = RecordingTurn::notInTime;
        pid_t laterId = 0;
        std::thread([&] {
            laterId = darwin::currentThreadId();
            later = zevuzavidav::takeRecordingTurn(laterId, SIGABRT);
        }).join();
        EXPECT_EQ(later, RecordingTurn::taken);
        EXPECT_EQ(zevuzavidav::recordingTurnHolder(), laterId);
    });
    EXPECT_EQ(status, 0);
}

// A kept turn waits for the end of one crash: told that this crash's thread went on (a handler of the
// app's stepped over its fault), the turn is free at once; told of another thread, it stays kept.
TEST(RecordingTurn, ATurnKeptForACrashThatDidNotEndTheProcessIsFreeAgain) {
    const int status = velotest::runInChild([] {
        const pid_t me = darwin::currentThreadId();
        const pid_t crashed = me + 1;
        ASSERT_EQ(zevuzavidav::takeRecordingTurn(crashed, SIGSEGV), RecordingTurn::taken);
        zevuzavidav::keepRecordingTurnToTheEnd(crashed);
        EXPECT_TRUE(zevuzavidav::recordingUnderWay()) << "recorded, its default action still to come";
        zevuzavidav::passRecordingTurnKeptFor(me);
        EXPECT_EQ(zevuzavidav::recordingTurnHolder(), me);
        zevuzavidav::passRecordingTurnKeptFor(crashed);
        EXPECT_EQ(zevuzavidav::recordingTurnHolder(), 0);
        EXPECT_FALSE(zevuzavidav::recordingUnderWay()) << "gone on: the program's, whatever its handler does";

        // The next recording takes it without waiting, and a late word of the same crash leaves it be.
        Events events;
        Recorder next(events);
        next.thread.join();
        EXPECT_EQ(next.got, RecordingTurn::taken);
        ASSERT_EQ(zevuzavidav::takeRecordingTurn(me, SIGABRT), RecordingTurn::taken);
        zevuzavidav::passRecordingTurnKeptFor(crashed);
        EXPECT_EQ(zevuzavidav::recordingTurnHolder(), me);
        zevuzavidav::passRecordingTurn();
    });
    EXPECT_EQ(status, 0);
}

// While it holds the turn the holder is the recording thread (its faults end the process at once); a
// recording that ended, passed or kept, is none.
TEST(RecordingTurn, TheHolderIsTheRecordingThreadUntilItsRecordingEnds) {
    const int status = velotest::runInChild([] {
        const pid_t me = darwin::currentThreadId();
        ASSERT_EQ(zevuzavidav::takeRecordingTurn(me, SIGABRT), RecordingTurn::taken);
        EXPECT_EQ(darwin::recordingThread(), me);
        zevuzavidav::passRecordingTurn();
        EXPECT_EQ(darwin::recordingThread(), 0);
        ASSERT_EQ(zevuzavidav::takeRecordingTurn(me, SIGSEGV), RecordingTurn::taken);
        zevuzavidav::keepRecordingTurnToTheEnd(me);
        EXPECT_EQ(darwin::recordingThread(), 0);
        EXPECT_EQ(zevuzavidav::recordingTurnHolder(), me);
    });
    EXPECT_EQ(status, 0);
}

} // namespace
