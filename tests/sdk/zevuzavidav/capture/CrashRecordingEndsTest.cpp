// No crash becomes a hang, whatever its recording meets: an exception thrown with little stack left is
// recorded from a stack with room, a fault on the thread that records ends the process at once by that
// fault's default action, a recording stuck for good ends it by the crash's own signal once its bound is
// out, a crash that an earlier handler steps over or returns from leaves the recording turn free, and
// one handed on to an earlier handler that faults ends the process at once by that fault. Forked children
// crash for real; the recorder's trouble comes from the library linked in for it
// (fixtures/recorder_trouble.cpp), whose syscall() the recorder calls. Suites are named Crash* so
// sanitizer runs can leave them out.
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/context/RecordingTurn.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"
#include "tests/sdk/zevuzavidav/fixtures/RecorderTrouble.h"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/LaterCrash.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <ucontext.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using crashtest::functionRange;
using crashtest::howItEnded;
using crashtest::kSetUpFailed;
using crashtest::LaterCrash;
using crashtest::stackHolds;
using crashtest::wholeRecordsIn;
using json = nlohmann::json;

void* parkForever(void*) {
    for (;;)
        pause();
}

// A thread of the child's own, left waiting: the recording has another thread to stop and record.
void startAWaitingThread() {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, parkForever, nullptr) != 0) _exit(kSetUpFailed);
}

// ---- an uncaught exception thrown with little stack left ------------------------------------------

// A thread with a 256 KiB stack, started as the program starts its threads, recurses until only so many
// KiB are left and throws. The recorder needs more than that: it must record from a stack with room,
// and both records, the exception's and its abort's, must be whole, with the thrower's frames on the
// crashed thread's stack as they stood at the throw. So too when the thread has given itself an
// alternate signal stack of its own too small for a record, on which the abort would be handled.
struct LittleStackCase {
    long kilobytesLeft;
    bool smallSignalStack;
};

void PrintTo(const LittleStackCase& param, std::ostream* out) {
    *out << param.kilobytesLeft << "KiBLeft";
    if (param.smallSignalStack) *out << "OnA" << kSmallSignalStackKiB << "KiBSignalStack";
}

class CrashThrowWithLittleStack : public ::testing::TestWithParam<LittleStackCase> {};

void* throwOnSmallSignalStack(void* kilobytes) {
    if (velo_fixture_give_small_signal_stack() != 0) _exit(kSetUpFailed);
    return velo_fixture_throw_with_little_stack(kilobytes);
}

TEST_P(CrashThrowWithLittleStack, TheExceptionAndItsAbortAreRecordedWhole) {
    const LittleStackCase& param = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        recordtest::initializeContext(dir);
        startAWaitingThread();
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, 256 * 1024);
        pthread_t thread;
        if (darwin::createThread(&thread, &attributes,
                                 param.smallSignalStack ? throwOnSmallSignalStack
                                                        : velo_fixture_throw_with_little_stack,
                                 reinterpret_cast<void*>(param.kilobytesLeft)) != 0) {
            _exit(kSetUpFailed);
        }
        for (;;)
            pause();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << howItEnded(status);
    for (const char* file : {"exception.zevrecord", "signal.zevrecord"}) {
        const auto crashed = wholeRecordsIn(dir, file);
        ASSERT_EQ(crashed.size(), 1u) << file;
        const json& stack = crashed[0]["stacktrace"];
        EXPECT_TRUE(stackHolds(stack, functionRange(velo_fixture_throw_deep))) << file << ": " << stack;
        EXPECT_TRUE(stackHolds(stack, functionRange(velo_fixture_descend))) << file << ": " << stack;
    }
}

std::vector<LittleStackCase> littleStackCases() {
    std::vector<LittleStackCase> cases;
    for (bool small : {false, true})
        for (long left : {8, 12, 16, 24})
            cases.push_back({left, small});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(CrashThrowWithLittleStack, CrashThrowWithLittleStack,
                         ::testing::ValuesIn(littleStackCases()),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- trouble on the thread that records ----------------------------------------------------------

enum class Crash { abort, exception, fault };

struct TroubleCase {
    std::string name;
    Crash crash;
    recordtest::Road road;
    int point;  // kTroubleAt...
    int action; // kTroubleFault or kTroubleStall

    // The file the recording writes.
    const char* record() const {
        return crash == Crash::abort       ? "signal.zevrecord"
               : crash == Crash::exception ? "exception.zevrecord"
                                           : "mach_exception.zevrecord";
    }
    // A fault of the recorder ends the process by itself; a stall, by the crash's own signal.
    int endsBy() const { return action == kTroubleFault || crash == Crash::fault ? SIGSEGV : SIGABRT; }
};

void PrintTo(const TroubleCase& trouble, std::ostream* out) {
    *out << trouble.name;
}

// Every road faulting at every point, and on the signal road once stopped (the exception port off); every
// road stalling once stopped.
std::vector<TroubleCase> troubleCases() {
    const std::pair<Crash, const char*> crashes[] = {
        {Crash::abort, "Abort"}, {Crash::exception, "Exception"}, {Crash::fault, "Port"}};
    const std::pair<int, const char*> points[] = {{kTroubleAtOpen, "AtOpen"},
                                                  {kTroubleAtList, "AtList"},
                                                  {kTroubleAtFirstStop, "AtFirstStop"},
                                                  {kTroubleOnceStopped, "OnceStopped"}};
    std::vector<TroubleCase> cases;
    for (const auto& [crash, road] : crashes) {
        for (const auto& [point, where] : points)
            cases.push_back({std::string(road) + "Faults" + where, crash, recordtest::Road::exceptionPort,
                             point, kTroubleFault});
        if (crash != Crash::fault) {
            cases.push_back({std::string(road) + "FaultsOnceStoppedOnTheSignalRoad", crash,
                             recordtest::Road::signals, kTroubleOnceStopped, kTroubleFault});
        }
        cases.push_back({std::string(road) + "StallsOnceStopped", crash, recordtest::Road::exceptionPort,
                         kTroubleOnceStopped, kTroubleStall});
    }
    return cases;
}

void* throwUncaught(void*) {
    throw std::runtime_error("thrown while the recorder is in trouble");
}

// A child that records into `dir` the crash `trouble` names, the recorder meeting its trouble; how it ended.
int crashInTrouble(const TroubleCase& trouble, const std::string& dir) {
    return velotest::waitStatusOfChild([&] {
        recordtest::initializeContext(dir, trouble.road);
        startAWaitingThread();
        velo_trouble_arm(trouble.point, trouble.action);
        if (trouble.crash == Crash::abort) std::abort();
        if (trouble.crash == Crash::fault) recordtest::writeThroughNull();
        // Thrown on a thread of its own, so that the test framework's handlers do not catch it.
        pthread_t thread;
        if (pthread_create(&thread, nullptr, throwUncaught, nullptr) != 0) _exit(kSetUpFailed);
        for (;;)
            pause();
    });
}

// A fault on the recording thread ends the process at once by that fault's default action, on every
// road and at every point, keeping what was flushed: never by the end a crash already claimed gives
// itself, nor by the recording's bound, nor hung. A recording that stalls for good ends the process by
// the crash's own signal once its bound is out, having written out what its buffer held.
class CrashRecorderInTrouble : public ::testing::TestWithParam<TroubleCase> {};

TEST_P(CrashRecorderInTrouble, TheProcessEndsByASignalKeepingWhatWasWritten) {
    const TroubleCase& trouble = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = crashInTrouble(trouble, dir);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == trouble.endsBy()) << howItEnded(status);
    const std::string log = velotest::readFile(dir + "/sdk.log");
    const bool bound = log.find("ZEVRecordingDeadline") != std::string::npos;
    EXPECT_EQ(bound, trouble.action == kTroubleStall) << log;
    EXPECT_EQ(log.find("ZEVContextEndAfterClaimedCrash"), std::string::npos) << log;
    // The recorder's own fault is no crash of its own: nothing else records it.
    if (trouble.crash != Crash::fault) {
        EXPECT_FALSE(std::ifstream(dir + "/mach_exception.zevrecord").good());
    }

    // The record is there for the next launch to send, with what was written of it.
    EXPECT_TRUE(std::ifstream(dir + "/" + trouble.record()).good()) << "no " << trouble.record();
    int unparsable = 0;
    const auto lines = recordtest::readLines(dir + "/" + trouble.record(), &unparsable);
    if (trouble.action == kTroubleStall) {
        // The bound writes out what the record's buffer held: the line under way, the closing section
        // begun before the recorder stalled as it asked for the storage's size, is kept as far as it went.
        EXPECT_EQ(unparsable, 1);
        const std::string text = velotest::readFile(dir + "/" + trouble.record());
        EXPECT_EQ(text.substr(text.rfind('\n') + 1), "{\"storage\":{") << "the line under way was not kept";
    } else if (trouble.point == kTroubleAtList || trouble.point == kTroubleAtFirstStop) {
        // The crashed thread is on disk before the other threads are listed, let alone asked to stop: the
        // threads' line is cut after it, and the next launch's repair keeps it whole.
        EXPECT_EQ(unparsable, 1);
        ASSERT_TRUE(zevuzavidav::closeCutArraySectionOfFile(dir + "/" + trouble.record(), "threads"));
        int stillCut = 0;
        const json threads = recordtest::sectionOfRecord(
            recordtest::readLines(dir + "/" + trouble.record(), &stillCut), "threads");
        EXPECT_EQ(stillCut, 0);
        ASSERT_TRUE(threads.is_array() && threads.size() == 1) << threads;
        EXPECT_TRUE(threads[0].value("crashed", false)) << threads[0];
        EXPECT_TRUE(recordtest::hasRegistersAndStack(threads[0])) << threads[0];
    } else {
        // A fault ends the process at once: what its buffer held is lost, whole lines are not.
        EXPECT_EQ(unparsable, 0) << "a line was cut short";
    }
    // The trouble came before the record's closing section, which it never has.
    EXPECT_FALSE(recordtest::sectionOfRecord(lines, "storage").is_object()) << "the trouble never came";
    if (trouble.point != kTroubleAtOpen) {
        ASSERT_FALSE(lines.empty()) << "nothing was kept of the record";
        EXPECT_TRUE(recordtest::isCauseSection(lines.front())) << lines.front();
    }
    if (trouble.point == kTroubleOnceStopped) {
        EXPECT_TRUE(recordtest::sectionOfRecord(lines, "threads").is_array()) << "the threads were not kept";
    }
}

INSTANTIATE_TEST_SUITE_P(CrashRecorderInTrouble, CrashRecorderInTrouble, ::testing::ValuesIn(troubleCases()),
                         [](const auto& info) { return info.param.name; });

// With no list of threads to be had (a sandbox without /proc), every road's record is still whole, with
// the crashed thread first and the recording one, each named; the process ends by the crash.
class CrashWithoutAListOfThreads : public ::testing::TestWithParam<TroubleCase> {};

TEST_P(CrashWithoutAListOfThreads, RecordsTheCrashedAndTheRecordingThreads) {
    const TroubleCase& trouble = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = crashInTrouble(trouble, dir);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == trouble.endsBy()) << howItEnded(status);
    EXPECT_NE(velotest::readFile(dir + "/sdk.log").find("unable to get task threads"), std::string::npos)
        << "the list was not refused";
    const auto records = wholeRecordsIn(dir, trouble.record());
    ASSERT_FALSE(records.empty());
    int unparsable = 0;
    const json threads = recordtest::sectionOfRecord(
        recordtest::readLines(dir + "/" + trouble.record(), &unparsable), "threads");
    ASSERT_TRUE(threads.is_array() && !threads.empty());
    EXPECT_TRUE(threads[0].value("crashed", false)) << "the first thread is not the crashed one";
    // The port's server records a fault of another thread: itself as well.
    EXPECT_EQ(threads.size(), trouble.crash == Crash::fault ? 2u : 1u) << threads;
}

INSTANTIATE_TEST_SUITE_P(
    CrashWithoutAListOfThreads, CrashWithoutAListOfThreads,
    ::testing::Values(
        TroubleCase{"AnAbort", Crash::abort, recordtest::Road::exceptionPort, kTroubleAtList, kTroubleRefuse},
        TroubleCase{"AnException", Crash::exception, recordtest::Road::exceptionPort, kTroubleAtList,
                    kTroubleRefuse},
        TroubleCase{"AFault", Crash::fault, recordtest::Road::exceptionPort, kTroubleAtList, kTroubleRefuse}),
    [](const auto& info) { return info.param.name; });

// ---- a crash an earlier handler steps over -------------------------------------------------------

std::atomic<pid_t> stepperId{0};

// Installed before the crash reporter: steps over each fault of the stepping thread (a
// `movq (%rax), %rax`).
void stepOverOwnFault(int, siginfo_t*, void* context) {
    if (darwin::currentThreadId() == stepperId.load())
        static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP] += 3;
}

// The fault is recorded as the crash, and the process goes on: the turn kept for its end is free again
// once the earlier handler has handed the thread back, so an uncaught exception after it is recorded
// at once, not after the turn's patience.
TEST(CrashSteppedOver, TheTurnKeptForTheEndIsFreeOnceTheProcessGoesOn) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        struct sigaction stepping {};
        stepping.sa_sigaction = stepOverOwnFault;
        stepping.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&stepping.sa_mask);
        sigaction(SIGSEGV, &stepping, nullptr);
        recordtest::initializeContext(dir);
        startAWaitingThread();
        std::thread([] {
            stepperId = darwin::currentThreadId();
            long value = 0;
            asm volatile("movq (%%rax), %%rax" : "=a"(value) : "0"(0L) : "memory");
        }).join();
        crashtest::crashLaterOnAThreadOfItsOwn(LaterCrash::exception);
    });
    crashtest::expectTheLaterCrashWaitedOnNothing(status, dir, LaterCrash::exception);
}

// ---- a crash handed on to an earlier handler ------------------------------------------------------

// Installed before the crash reporter, as a second crash reporter's would be.
void installEarlierAbortHandler(void (*handler)(int, siginfo_t*, void*)) {
    struct sigaction action {};
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGABRT, &action, nullptr);
}

// As one touching a corrupted heap does.
void faultInTheHandler(int, siginfo_t*, void*) {
    recordtest::writeThroughNull();
}

struct HandedOnCase {
    std::string name;
    Crash crash; // abort or exception: either ends in an abort, whose SIGABRT is handed on
    recordtest::Road road;
};

void PrintTo(const HandedOnCase& handedOn, std::ostream* out) {
    *out << handedOn.name;
}

// The abort is recorded, then handed on to the earlier handler, which faults on the crashed thread. That
// fault ends the process at once by its default action, on the exception port's road as on the signal
// handlers' alone: it is no crash of its own to record, and waiting for the end of the crash already
// claimed would be waiting for itself.
class CrashHandedOnToAFaultingHandler : public ::testing::TestWithParam<HandedOnCase> {};

TEST_P(CrashHandedOnToAFaultingHandler, TheProcessEndsAtOnceByTheFaultWithTheRecordsWhole) {
    const HandedOnCase& handedOn = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        installEarlierAbortHandler(faultInTheHandler);
        recordtest::initializeContext(dir, handedOn.road);
        startAWaitingThread();
        if (handedOn.crash == Crash::abort) std::abort();
        pthread_t thread;
        if (pthread_create(&thread, nullptr, throwUncaught, nullptr) != 0) _exit(kSetUpFailed);
        for (;;)
            pause();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << howItEnded(status);
    const std::string log = velotest::readFile(dir + "/sdk.log");
    EXPECT_EQ(log.find("was not recorded in time"), std::string::npos) << "it waited for itself:\n" << log;
    EXPECT_EQ(wholeRecordsIn(dir, "signal.zevrecord").size(), 1u);
    if (handedOn.crash == Crash::exception) {
        EXPECT_EQ(wholeRecordsIn(dir, "exception.zevrecord").size(), 1u);
    }
    EXPECT_FALSE(std::ifstream(dir + "/mach_exception.zevrecord").good())
        << "the handler's fault was recorded";
}

INSTANTIATE_TEST_SUITE_P(
    CrashHandedOnToAFaultingHandler, CrashHandedOnToAFaultingHandler,
    ::testing::Values(HandedOnCase{"AbortOnThePortsRoad", Crash::abort, recordtest::Road::exceptionPort},
                      HandedOnCase{"ExceptionOnThePortsRoad", Crash::exception,
                                   recordtest::Road::exceptionPort},
                      HandedOnCase{"AbortOnTheSignalRoad", Crash::abort, recordtest::Road::signals},
                      HandedOnCase{"ExceptionOnTheSignalRoad", Crash::exception, recordtest::Road::signals}),
    [](const auto& info) { return info.param.name; });

void returnFromTheHandler(int, siginfo_t*, void*) {}

struct GoneOnCase {
    std::string name;
    LaterCrash later;
    recordtest::Road road;
};

void PrintTo(const GoneOnCase& goneOn, std::ostream* out) {
    *out << goneOn.name;
}

// A thread raises SIGABRT; it is recorded, handed on to the earlier handler, which returns, and the
// thread goes on. The turn kept for the end that never came is free again and the claimed crash has
// gone on: a later fault on another thread ends the process at once by that fault, and a later
// exception is recorded at once, whole.
class CrashHandedOnToAReturningHandler : public ::testing::TestWithParam<GoneOnCase> {};

TEST_P(CrashHandedOnToAReturningHandler, ALaterCrashEndsTheProcessAtOnce) {
    const GoneOnCase& goneOn = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        installEarlierAbortHandler(returnFromTheHandler);
        recordtest::initializeContext(dir, goneOn.road);
        startAWaitingThread();
        raise(SIGABRT);
        crashtest::crashLaterOnAThreadOfItsOwn(goneOn.later);
    });
    crashtest::expectTheLaterCrashWaitedOnNothing(status, dir, goneOn.later);
}

INSTANTIATE_TEST_SUITE_P(
    CrashHandedOnToAReturningHandler, CrashHandedOnToAReturningHandler,
    ::testing::Values(
        GoneOnCase{"FaultOnThePortsRoad", LaterCrash::fault, recordtest::Road::exceptionPort},
        GoneOnCase{"ExceptionOnThePortsRoad", LaterCrash::exception, recordtest::Road::exceptionPort},
        GoneOnCase{"FaultOnTheSignalRoad", LaterCrash::fault, recordtest::Road::signals},
        GoneOnCase{"ExceptionOnTheSignalRoad", LaterCrash::exception, recordtest::Road::signals}),
    [](const auto& info) { return info.param.name; });

} // namespace
