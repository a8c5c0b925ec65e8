#include "platform/darwin/ExceptionPorts.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"
#include "sdk/zevuzavidav/capture/ZEVMachException.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/FakeContext.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/ThreadState.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

TEST(Context, TheCrashClaimIsWonOnceAndOnlyAfterInitialization) {
    FakeContext context;
    context.readOnly().initialized.store(0);
    EXPECT_FALSE(ZEVContextMarkAndCheckIfCrashed());
    EXPECT_EQ(context.writable().crashClaimed.load(), 0);
    context.readOnly().initialized.store(1);
    EXPECT_FALSE(ZEVContextMarkAndCheckIfCrashed(nullptr, 100));
    EXPECT_TRUE(ZEVContextMarkAndCheckIfCrashed(nullptr, 101));
    zevuzavidav::noteClaimedCrashRecorded();
    EXPECT_TRUE(ZEVContextMarkAndCheckIfCrashed(nullptr, 101));
    // Only the claimed crash's going on to a handler of the program frees the claim: the next crash is
    // recorded too.
    EXPECT_FALSE(zevuzavidav::reopenCrashClaim(101));
    EXPECT_TRUE(zevuzavidav::reopenCrashClaim(100));
    EXPECT_FALSE(ZEVContextMarkAndCheckIfCrashed(nullptr, 101));
    EXPECT_TRUE(ZEVContextMarkAndCheckIfCrashed(nullptr, 100));
}

// A crash that lost the claim waits with a patience far past this test's own, so that only the claimed
// crash's end lets it go on before the child's alarm.
constexpr long kLongerThanTheTest = 10 * velotest::kPatienceNanos;

// Another thread's crash lost the claim while the claimed one is recorded: it waits until that record is
// made, then is handed on as the kernel would (false), or, should the claimed crash go on to a handler of
// the program instead, is a crash of its own to record (true).
TEST(Context, ACrashThatLostTheClaimWaitsForTheClaimedOnesEnd) {
    for (const bool goesOn : {false, true}) {
        const int status = velotest::waitStatusOfChild([goesOn] {
            int result = crashtest::kSetUpFailed;
            { // the context's folder goes with it before the child ends
                FakeContext context;
                const pid_t claimer = darwin::currentThreadId();
                if (ZEVContextMarkAndCheckIfCrashed(nullptr, claimer)) _exit(crashtest::kSetUpFailed);
                std::atomic<pid_t> loser{0};
                std::atomic<int> back{-1};
                std::thread losing([&] {
                    int seen = 0;
                    const bool lost = ZEVContextMarkAndCheckIfCrashed(&seen, darwin::currentThreadId());
                    loser = darwin::currentThreadId();
                    if (lost)
                        back = zevuzavidav::waitForTheClaimedCrash(loser, SIGSYS, seen, kLongerThanTheTest);
                });
                crashtest::setUpOrEnd([&] { return loser.load() != 0; });
                const bool waiting =
                    velotest::waitUntilThreadStops(loser) == velotest::ThreadState::blocked &&
                    back.load() < 0;
                if (goesOn)
                    zevuzavidav::reopenCrashClaim(claimer);
                else
                    zevuzavidav::noteClaimedCrashRecorded();
                losing.join();
                if (waiting) result = back.load() == (goesOn ? 1 : 0) ? 0 : 5;
            }
            _exit(result);
        });
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << (goesOn ? "gone on: " : "recorded: ") << crashtest::howItEnded(status);
    }
}

// The claimed crash was recorded and keeps the turn for its end; the earlier handler it was handed on
// to faults on the same thread (a guarded read the program steps over, say). That crash waits for
// nothing: the record it would wait for is its own, made, and it goes on at once to where the program
// sends it (the child's alarm ends a wait).
TEST(Context, ACrashOfTheClaimedCrashsOwnThreadGoesOnAtOnce) {
    const int status = velotest::waitStatusOfChild([] {
        const pid_t claimed = darwin::currentThreadId();
        if (zevuzavidav::takeRecordingTurn(claimed, SIGABRT) != zevuzavidav::RecordingTurn::taken)
            _exit(crashtest::kSetUpFailed);
        zevuzavidav::keepRecordingTurnToTheEnd(claimed);
        zevuzavidav::waitForTheClaimedCrash(claimed, SIGBUS, 1, kLongerThanTheTest);
        _exit(0);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << crashtest::howItEnded(status);
}

// How often `text` stands in the SDK log of `context`.
std::size_t timesLogged(const FakeContext& context, const std::string& text) {
    const std::string log = velotest::readFile(context.dir() + "/sdk.log");
    std::size_t times = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++times;
    return times;
}

// The exit's hold waits for a crash under way within its patience, and past it only while a recording is
// within its bound, which ends the process should that recording be stuck: a handler of the SDK at work
// with no recording lets the exit go on once the patience is out.
TEST(Context, PastItsPatienceTheExitWaitsOnlyForARecordingWithinItsBound) {
    const int status = velotest::runInChild([] {
        FakeContext context;
        velotest::Gate done;
        std::thread handler([&] { // a handler of the SDK at work
            const darwin::OwnWork work;
            done.wait();
        });
        ASSERT_TRUE(velotest::eventually([] { return darwin::ownWorkUnderWay(); }));
        zevuzavidav::waitForACrashUnderWay(0);
        EXPECT_EQ(timesLogged(context, "did not end in time"), 1u);

        ASSERT_TRUE(zevuzavidav::armRecordingDeadline(SIGABRT, 2 * velotest::kPatienceNanos));
        std::thread opener([&] {
            EXPECT_TRUE(velotest::eventually(
                [&] { return timesLogged(context, "exits while a crash is under way") == 2; }));
            done.open();
        });
        zevuzavidav::waitForACrashUnderWay(0);
        opener.join();
        handler.join();
        zevuzavidav::disarmRecordingDeadline();
        EXPECT_EQ(timesLogged(context, "did not end in time"), 1u)
            << "gave up on a recording within its bound";
    });
    EXPECT_EQ(status, 0);
}

// A child forked while its parent's crash is under way starts with none: only the forking thread lives
// there, and nothing of that crash would ever end in it. Its exit is held by nothing, and a crash of its
// own takes a reserve stack and the turn at once and waits for no record of the parent's.
TEST(Context, AChildForkedWhileACrashIsUnderWayStartsWithNone) {
    const int status = velotest::runInChild([] {
        ZEVContextCreate(); // as the SDK starts
        zevuzavidav::sharedReadOnlyContext()->initialized.store(1);
        velotest::Gate done;
        std::atomic<bool> recording{false};
        std::thread crashed([&] { // claimed, recording on a reserve stack
            const darwin::OwnWork work;
            const pid_t me = darwin::currentThreadId();
            if (ZEVContextMarkAndCheckIfCrashed() ||
                zevuzavidav::takeRecordingTurn(me, SIGSEGV) != zevuzavidav::RecordingTurn::taken ||
                zevuzavidav::takeReserveStack(zevuzavidav::ReserveStack::signal) == nullptr)
                return;
            zevuzavidav::disarmRecordingDeadline(); // its bound, from here, past the test's patience
            if (!zevuzavidav::armRecordingDeadline(SIGSEGV, 2 * velotest::kPatienceNanos)) return;
            recording = true;
            done.wait();
            zevuzavidav::giveBackReserveStack(zevuzavidav::ReserveStack::signal);
            zevuzavidav::passRecordingTurn();
        });
        ASSERT_TRUE(velotest::eventually([&] { return recording.load(); }));
        const pid_t child = velotest::forkTiedToThisProcess();
        if (child == 0) {
            const pid_t me = darwin::currentThreadId();
            int found = 0;
            if (darwin::ownWorkUnderWay() || zevuzavidav::recordingUnderWay()) found |= 1;
            if (zevuzavidav::takeReserveStack(zevuzavidav::ReserveStack::signal) == nullptr) found |= 2;
            if (zevuzavidav::takeRecordingTurn(me, SIGSEGV, 0) != zevuzavidav::RecordingTurn::taken)
                found |= 4;
            int seen = 0;
            if (ZEVContextMarkAndCheckIfCrashed(&seen, me)) // the test's patience ends a wait
                zevuzavidav::waitForTheClaimedCrash(me, SIGSEGV, seen, kLongerThanTheTest);
            _exit(found);
        }
        const int ended = velotest::reapWithin(child);
        done.open();
        crashed.join();
        EXPECT_TRUE(WIFEXITED(ended) && WEXITSTATUS(ended) == 0)
            << crashtest::howItEnded(ended) << " (1: under way, 2: reserve held, 4: no turn)";
    });
    EXPECT_EQ(status, 0);
}

TEST(MachException, RegisteredMaskFollowsTheOSVersionAndTheLeaveOutMask) {
    struct Case {
        std::uint32_t os, leaveOut, expected;
    } cases[] = {{0, 0x2, 0x4C}, {60000, 0x2, 0x104C}, {90000, 0, 0x104E}, {0, 0, 0x4E}, {0, 0x4E, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(zevuzavidav::registeredMachExceptionMask(c.os, c.leaveOut), c.expected) << c.os;
    EXPECT_EQ(ZEVMachExceptionMaskForSignal(SIGSEGV), 0x2u);
    EXPECT_EQ(ZEVMachExceptionMaskForSignal(SIGABRT), 0x400u);
    EXPECT_EQ(ZEVMachExceptionMaskForSignal(SIGUSR1), 0u);
    EXPECT_STREQ(zevuzavidav::machExceptionCodeName(1, 2), "KERN_PROTECTION_FAILURE");
    EXPECT_EQ(zevuzavidav::machExceptionCodeName(6, 1), nullptr);
    EXPECT_STREQ(zevuzavidav::machExceptionName(6), "EXC_BREAKPOINT");
}

TEST(MachException, UnregisteringPutsBackTheEarlierHandlersIncludingNone) {
    ZEVMachExceptionReadOnlyContext part{};
    ASSERT_TRUE(darwin::exceptionPortAllocate(&part.port));
    part.registeredMask = 0x4E;
    part.savedCount = zevuzavidav::kMachExceptionSavedCapacity;
    ASSERT_TRUE(darwin::taskSwapExceptionPorts(
        part.registeredMask, part.port, darwin::kExceptionDefaultWithCodes, darwin::kThreadStateNone,
        part.savedMasks, part.savedPorts, part.savedBehaviors, part.savedFlavors, &part.savedCount));
    ASSERT_EQ(part.savedCount, 1u); // no earlier handler: one entry, with no port
    EXPECT_EQ(part.savedPorts[0], 0u);
    EXPECT_EQ(part.savedMasks[0], 0x4Eu);
    ASSERT_TRUE(ZEVMachExceptionUnregister(&part, part.registeredMask));
    std::uint32_t masks[14], ports[14], count = 14;
    std::int32_t behaviors[14], flavors[14];
    ASSERT_TRUE(darwin::taskSwapExceptionPorts(0x4E, 0, 0, 0, masks, ports, behaviors, flavors, &count));
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(ports[0], 0u);
    darwin::exceptionPortDeallocate(part.port);
}

TEST(ExceptionRecord, CustomExceptionsStopAtTheLimitAndCarryFramesOnlyWhenGiven) {
    FakeContext context;
    zevuzavidav::sharedCrashContext().exceptionQueue =
        std::make_shared<dispatch::SerialQueue>("com.rizudiz.zevuzavidav.ios.exception");
    std::string custom = context.dir() + "/custom_exception.zevrecord";
    context.readOnly().exception.customPath = custom.c_str();
    context.readOnly().exception.customExceptionLimit = 16;
    std::vector<ZEVStackFrame> frames = {ZEVStackFrame::stackFrameWithAddress(0x1234)};
    frames[0].symbol = "main";
    for (int i = 0; i < 17; ++i) {
        ZEVExceptionRecord(zevuzavidav::kExceptionTypeCustom, "Name", "Reason", i == 0 ? &frames : nullptr,
                           false);
    }
    ZEVExceptionRecord(zevuzavidav::kExceptionTypeJavaScript, "exception", "boom", nullptr, false);
    auto lines = ZEVFileReadSections(custom.c_str(), false);
    ASSERT_TRUE(lines.has_value());
    ASSERT_EQ(lines->size(), 16u);
    EXPECT_EQ((*lines)[0]["exception"]["type"], "custom");
    EXPECT_EQ((*lines)[0]["exception"]["frames"][0]["pc"], 0x1234);
    EXPECT_EQ((*lines)[0]["exception"]["frames"][0]["symbol"], "6d61696e");
    EXPECT_FALSE((*lines)[1]["exception"].contains("frames"));
    EXPECT_EQ(context.writable().logging.customExceptionCount, 16u);
    zevuzavidav::sharedCrashContext().exceptionQueue.reset();
}

} // namespace
