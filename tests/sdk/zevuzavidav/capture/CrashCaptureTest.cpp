// Forked children crash for real with the crash context installed; the parent checks how each child
// died and what it recorded. Suites are named Crash* so sanitizer runs can leave them out.
#include "platform/darwin/Threads.hpp"
#include "platform/dispatch/SerialQueue.hpp"
#include "sdk/zevuzavidav/capture/ExceptionObject.hpp"
#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"
#include "sdk/zevuzavidav/capture/ZEVMachException.hpp"
#include "sdk/zevuzavidav/kit/ZEVContextInitialize.hpp"
#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using json = nlohmann::json;
using recordtest::hex;
using recordtest::initializeContext;
using recordtest::readLines;

using crashtest::functionRange;
using crashtest::howItEnded;
using crashtest::kSetUpFailed;
using crashtest::recordsIn;
using crashtest::setUpOrEnd;
using crashtest::stackHolds;

json section(const std::vector<json>& lines, const char* name) {
    return recordtest::sectionOfRecord(lines, name);
}

// ---- the child's side -------------------------------------------------------------------------

std::atomic<int> parked{0};

__attribute__((noinline)) void parkForever() {
    parked.fetch_add(1);
    for (;;)
        pause();
}

// A block of an ordinary serial queue that never ends: its worker must show the queue in the record.
constexpr const char* kParkedQueue = "com.example.crash-test.parked-queue";
__attribute__((noinline)) void parkInQueue() {
    parked.fetch_add(1);
    for (;;)
        pause();
}

void startHelpers() {
    auto* queue = new dispatch::SerialQueue(kParkedQueue); // never destroyed: its block never ends
    queue->async(parkInQueue);
    for (int i = 0; i < 2; ++i) {
        std::thread([i] {
            std::string name = "com.example.crash-helper-number-" + std::to_string(i);
            darwin::setCurrentThreadName(name.c_str());
            parkForever();
        }).detach();
    }
    setUpOrEnd([] { return parked.load() == 3; });
}

__attribute__((noinline)) void nullWrite() {
    *static_cast<volatile int*>(nullptr) = 1;
}
__attribute__((noinline)) void readOnlyWrite() {
    void* page = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile char*>(page) = 1;
}
__attribute__((noinline)) void divideByZero() {
    volatile int zero = 0;
    volatile int result = 10 / zero;
    (void)result;
}
__attribute__((noinline)) void callAbort() {
    std::abort();
}
__attribute__((noinline)) void trapInstruction() {
    __builtin_trap();
}
__attribute__((noinline)) void truncatedMapping() {
    char path[] = "/tmp/zevbusXXXXXX";
    int fd = mkstemp(path);
    if (ftruncate(fd, 8192) != 0) _exit(4);
    auto* bytes = static_cast<volatile char*>(mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fd, 0));
    if (ftruncate(fd, 0) != 0) _exit(4);
    unlink(path);
    (void)bytes[4096];
}
// A breakpoint has already run when its signal arrives (the pc is past it): returning from the
// handler would carry on after it.
__attribute__((noinline)) void breakpoint() {
    asm volatile("int3");
}
__attribute__((noinline)) void raiseTrap() {
    raise(SIGTRAP);
}
__attribute__((noinline)) void killSegv() {
    kill(getpid(), SIGSEGV);
}
int recurseForever(int depth);
int (*volatile recurseAgain)(int) = recurseForever;
__attribute__((noinline)) int recurseForever(int depth) {
    volatile char pad[128];
    pad[0] = static_cast<char>(depth);
    return recurseAgain(depth + 1) + pad[0];
}
__attribute__((noinline)) void deepRecursion() {
    recurseForever(0);
}
__attribute__((noinline)) void throwRuntimeError() {
    throw std::runtime_error("boom");
}
__attribute__((noinline)) void throwInt() {
    throw 42;
}
__attribute__((noinline)) void throwCString() {
    throw "a C string";
}

// A stand-in for the platform's exception objects, recognised through the catcher seam.
struct TestExceptionObject {
    std::string name;
    std::string reason;
    std::vector<std::uintptr_t> addresses;
};

bool catchTestObject(std::exception_ptr active, zevuzavidav::ExceptionObjectInfo& out) {
    try {
        std::rethrow_exception(active);
    } catch (const TestExceptionObject& object) {
        out = {object.name, object.reason, object.addresses};
        return true;
    } catch (...) {
        return false;
    }
}

__attribute__((noinline)) void throwExceptionObject() {
    throw TestExceptionObject{"NSRangeException", "index 3 beyond bounds", {0x1000, 0x2000}};
}

using Crasher = void (*)();

// The crash is two calls below the test's entry, so the recorded stack must hold all three.
Crasher activeCrasher = nullptr;
__attribute__((noinline)) void crashMiddle() {
    activeCrasher();
    asm volatile("" ::: "memory");
}
__attribute__((noinline)) void crashOuter() {
    crashMiddle();
    asm volatile("" ::: "memory");
}

// ---- the parent's side ------------------------------------------------------------------------

enum class Arrives { asFault, asSignal, asException };

struct CrashCase {
    const char* name;
    Crasher crash;
    Crasher crashingFunction; // must appear on the crashed stack
    int signal;
    Arrives arrives; // a fault reaches the exception port first, when it is on
    recordtest::Road road = recordtest::Road::exceptionPort;
};

// The file the crash is recorded in: the port's for a fault while it is on, else the signal handler's
// (or the terminate handler's for an exception).
std::string recordFile(const CrashCase& c) {
    if (c.arrives == Arrives::asException) return "exception.zevrecord";
    if (c.arrives == Arrives::asFault && c.road == recordtest::Road::exceptionPort)
        return "mach_exception.zevrecord";
    return "signal.zevrecord";
}

// Exceptions must not meet the test framework's own handlers in the forked child: a thread of its own
// has nothing above the crash to catch them, so they reach the terminate handler with the stack intact.
void* crashOnOwnThread(void*) {
    crashOuter();
    return nullptr;
}

struct ChildResult {
    int status = 0;
    velotest::TempFolder folder;
    std::string dir = folder.string();
};

ChildResult runChild(const CrashCase& c) {
    ChildResult result;
    result.status = velotest::waitStatusOfChild([&] {
        initializeContext(result.dir, c.road);
        zevuzavidav::setExceptionObjectCatcher(catchTestObject);
        startHelpers();
        activeCrasher = c.crash;
        if (c.arrives == Arrives::asException) {
            pthread_t thread;
            pthread_create(&thread, nullptr, crashOnOwnThread, nullptr);
            pthread_join(thread, nullptr);
        } else {
            crashOuter();
        }
    });
    return result;
}

class CrashCapture : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashCapture, ChildDiesByItsSignalAndRecordsEveryThread) {
    const CrashCase& c = GetParam();
    ChildResult child = runChild(c);
    ASSERT_TRUE(WIFSIGNALED(child.status)) << howItEnded(child.status);
    EXPECT_EQ(WTERMSIG(child.status), c.signal);

    int unparsable = 0;
    auto lines = readLines(child.dir + "/" + recordFile(c), &unparsable);
    EXPECT_EQ(unparsable, 0);
    ASSERT_FALSE(lines.empty());
    json threads = section(lines, "threads");
    json names = section(lines, "thread_names");
    json queues = section(lines, "dispatch_queue_names");
    ASSERT_TRUE(threads.is_array());
    ASSERT_EQ(threads.size(), names.size());
    ASSERT_EQ(threads.size(), queues.size());
    EXPECT_TRUE(section(lines, "process_stats").contains("resident"));
    EXPECT_TRUE(section(lines, "storage").is_object());

    int crashed = 0;
    int helpers = 0;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        const json& stack = threads[i]["stacktrace"];
        if (threads[i].value("crashed", false)) {
            ++crashed;
            EXPECT_TRUE(stackHolds(stack, functionRange(c.crashingFunction))) << stack;
            if (c.crash != deepRecursion) {
                EXPECT_TRUE(stackHolds(stack, functionRange(crashMiddle))) << stack;
                EXPECT_TRUE(stackHolds(stack, functionRange(crashOuter))) << stack;
            }
        }
        if (names[i].get<std::string>().rfind("com.example.crash-helper-number-", 0) == 0) {
            ++helpers;
            EXPECT_TRUE(stackHolds(stack, functionRange(parkForever))) << names[i] << stack;
        }
    }
    EXPECT_EQ(crashed, 1);
    EXPECT_EQ(helpers, 2);
    // The crash reporter's own queue threads carry their queue's full name; an idle one runs no
    // queue's block, so it shows either no label or its own.
    bool loggingQueue = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == "com.rizudiz.zevuzavidav.ios.logging") {
            loggingQueue = true;
            EXPECT_TRUE(queues[i] == "" || queues[i] == names[i]) << queues[i];
        }
    }
    EXPECT_TRUE(loggingQueue) << names;
    int queueThreads = 0;
    for (std::size_t i = 0; i < queues.size(); ++i) {
        if (queues[i] != kParkedQueue) continue;
        ++queueThreads;
        EXPECT_EQ(names[i], kParkedQueue);
        EXPECT_TRUE(stackHolds(threads[i]["stacktrace"], functionRange(parkInQueue))) << threads[i];
    }
    EXPECT_EQ(queueThreads, 1) << queues;

    int metadataUnparsable = 0;
    auto metadata = readLines(child.dir + "/metadata.zevrecord", &metadataUnparsable);
    EXPECT_EQ(metadataUnparsable, 0);
    EXPECT_EQ(section(metadata, "identity")["session_id"], "report");
    EXPECT_TRUE(section(metadata, "executable")["uuid"].is_string());
}

const CrashCase kCrashCases[] = {
    {"NullWrite", nullWrite, nullWrite, SIGSEGV, Arrives::asFault},
    {"ReadOnlyWrite", readOnlyWrite, readOnlyWrite, SIGSEGV, Arrives::asFault},
    {"Abort", callAbort, callAbort, SIGABRT, Arrives::asSignal},
    {"TrapInstruction", trapInstruction, trapInstruction, SIGILL, Arrives::asFault},
    {"DivideByZero", divideByZero, divideByZero, SIGFPE, Arrives::asFault},
    {"TruncatedMapping", truncatedMapping, truncatedMapping, SIGBUS, Arrives::asFault},
    {"Breakpoint", breakpoint, breakpoint, SIGTRAP, Arrives::asFault},
    {"RaiseTrap", raiseTrap, raiseTrap, SIGTRAP, Arrives::asSignal},
    {"KillSegv", killSegv, killSegv, SIGSEGV, Arrives::asSignal},
    {"DeepRecursion", deepRecursion, reinterpret_cast<Crasher>(recurseForever), SIGSEGV, Arrives::asFault},
    {"RuntimeError", throwRuntimeError, throwRuntimeError, SIGABRT, Arrives::asException},
    {"ThrowInt", throwInt, throwInt, SIGABRT, Arrives::asException},
    {"ExceptionObject", throwExceptionObject, throwExceptionObject, SIGABRT, Arrives::asException},
};

// The same crashes with the exception port switched off: faults then reach the signal handlers.
std::vector<CrashCase> onTheSignalRoad() {
    std::vector<CrashCase> cases;
    for (CrashCase c : kCrashCases) {
        if (c.arrives != Arrives::asFault) continue;
        c.road = recordtest::Road::signals;
        cases.push_back(c);
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(CrashFaults, CrashCapture, ::testing::ValuesIn(kCrashCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(CrashFaultsOnTheSignalRoad, CrashCapture, ::testing::ValuesIn(onTheSignalRoad()),
                         [](const auto& info) { return std::string(info.param.name); });

struct ExceptionCase {
    const char* name;
    Crasher crash;
    const char* type;
    const char* exceptionName;
    const char* reason;
};

class CrashException : public ::testing::TestWithParam<ExceptionCase> {};

TEST_P(CrashException, RecordsTheExceptionSectionBeforeTheProcessState) {
    const ExceptionCase& c = GetParam();
    ChildResult child = runChild({c.name, c.crash, c.crash, SIGABRT, Arrives::asException});
    ASSERT_TRUE(WIFSIGNALED(child.status));
    EXPECT_EQ(WTERMSIG(child.status), SIGABRT);
    int unparsable = 0;
    auto lines = readLines(child.dir + "/exception.zevrecord", &unparsable);
    ASSERT_FALSE(lines.empty());
    ASSERT_TRUE(lines[0].contains("exception"));
    const json& exception = lines[0]["exception"];
    EXPECT_EQ(exception["type"], c.type);
    EXPECT_EQ(exception["name"], hex(c.exceptionName));
    EXPECT_EQ(exception["reason"], hex(c.reason));
    if (c.crash == throwExceptionObject) {
        ASSERT_EQ(exception["frames"].size(), 2u);
        EXPECT_EQ(exception["frames"][1]["pc"], 0x2000);
        EXPECT_EQ(exception["frames"][1]["offset"], 0);
    } else {
        EXPECT_FALSE(exception.contains("frames"));
    }
    // The abort that follows is recorded too, by the signal handler, which wins the crash claim.
    auto signalLines = readLines(child.dir + "/signal.zevrecord", &unparsable);
    EXPECT_EQ(section(signalLines, "signal")["name"], "SIGABRT");
    EXPECT_EQ(section(signalLines, "signal")["code_name"], "ABORT");
}

INSTANTIATE_TEST_SUITE_P(
    CrashExceptions, CrashException,
    ::testing::Values(ExceptionCase{"RuntimeError", throwRuntimeError, "c++", "std::runtime_error", "boom"},
                      ExceptionCase{"CString", throwCString, "c++", "char const*", "a C string"},
                      ExceptionCase{"ThrowInt", throwInt, "c++", "int", ""},
                      ExceptionCase{"ExceptionObject", throwExceptionObject, "objective-c",
                                    "NSRangeException", "index 3 beyond bounds"},
                      ExceptionCase{"PlatformException", ZEVExceptionRaiseTestException, "objective-c",
                                    "ZevuzavidavTestException",
                                    "This is an Objective-C exception using for testing."}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

namespace {

void previousSegvHandler(int) {
    _exit(errno == 1234 ? 7 : 8);
}

__attribute__((noinline)) void nullWriteKeepingErrno() {
    errno = 1234;
    *static_cast<volatile int*>(nullptr) = 1;
}

struct PortCase {
    const char* name;
    Crasher crash;
    int signal;              // expected death signal, or 0 for an exit status
    int exitStatus;          // expected when signal is 0
    std::uint32_t leaveOut;  // exception kinds left to the signal handlers
    bool previousHandler;    // a SIGSEGV handler installed before ours
    std::uint64_t exception; // 0: no exception record expected
    std::uint64_t firstCode;
    const char* exceptionName;
    const char* codeName;
};

class CrashExceptionPort : public ::testing::TestWithParam<PortCase> {};

TEST_P(CrashExceptionPort, RecordsFaultsArrivingAtThePortAndStillDiesOfThem) {
    const PortCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        if (c.previousHandler) signal(SIGSEGV, previousSegvHandler);
        zevuzavidav::setMachExceptionEmulationEnabled(true);
        ZEVContextInitData data;
        data.apiKey = "key";
        data.reportDirectory = dir.c_str();
        data.reportIdentifier = "report";
        data.installationIdentifier = "install";
        data.machExceptionMask = c.leaveOut;
        ZEVContextInitialize(&data);
        setUpOrEnd([&] { return ZEVContextIsInitialized(); });
        startHelpers();
        activeCrasher = c.crash;
        crashOuter();
    });
    ASSERT_NE(status, -1);
    if (c.signal != 0) {
        ASSERT_TRUE(WIFSIGNALED(status)) << howItEnded(status);
        EXPECT_EQ(WTERMSIG(status), c.signal);
    } else {
        ASSERT_TRUE(WIFEXITED(status)) << howItEnded(status);
        EXPECT_EQ(WEXITSTATUS(status), c.exitStatus);
    }
    int unparsable = 0;
    auto machLines = readLines(dir + "/mach_exception.zevrecord", &unparsable);
    auto signalLines = readLines(dir + "/signal.zevrecord", &unparsable);
    EXPECT_EQ(unparsable, 0);
    if (c.exception == 0) {
        EXPECT_TRUE(machLines.empty());
        EXPECT_FALSE(signalLines.empty());
    } else {
        EXPECT_TRUE(signalLines.empty());
        json exception = section(machLines, "mach_exception");
        ASSERT_TRUE(exception.is_object());
        EXPECT_EQ(exception["exception"], c.exception);
        ASSERT_EQ(exception["codes"].size(), 2u);
        EXPECT_EQ(exception["codes"][0], c.firstCode);
        EXPECT_EQ(exception["name"], c.exceptionName);
        if (c.codeName != nullptr) {
            EXPECT_EQ(exception["code_name"], c.codeName);
        } else {
            EXPECT_TRUE(exception["code_name"].is_null());
        }
        json threads = section(machLines, "threads");
        int crashed = 0;
        for (const auto& thread : threads) {
            if (!thread.value("crashed", false)) continue;
            ++crashed;
            EXPECT_TRUE(stackHolds(thread["stacktrace"], functionRange(c.crash))) << thread["stacktrace"];
            EXPECT_TRUE(stackHolds(thread["stacktrace"], functionRange(crashOuter)));
        }
        EXPECT_EQ(crashed, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(CrashEmulated, CrashExceptionPort,
                         ::testing::Values(PortCase{"NullWrite", nullWrite, SIGSEGV, 0, 0, false, 1, 1,
                                                    "EXC_BAD_ACCESS", "KERN_INVALID_ADDRESS"},
                                           PortCase{"ReadOnlyWrite", readOnlyWrite, SIGSEGV, 0, 0, false, 1,
                                                    2, "EXC_BAD_ACCESS", "KERN_PROTECTION_FAILURE"},
                                           PortCase{"TrapInstruction", trapInstruction, SIGILL, 0, 0, false,
                                                    2, ILL_ILLOPN, "EXC_BAD_INSTRUCTION", nullptr},
                                           PortCase{"DivideByZero", divideByZero, SIGFPE, 0, 0, false, 3,
                                                    FPE_INTDIV, "EXC_ARITHMETIC", nullptr},
                                           PortCase{"Breakpoint", breakpoint, SIGTRAP, 0, 0, false, 6,
                                                    SI_KERNEL, "EXC_BREAKPOINT", nullptr},
                                           PortCase{"LeftToSignals", nullWrite, SIGSEGV, 0, 0x2, false, 0, 0,
                                                    nullptr, nullptr},
                                           PortCase{"ChainsToEarlierHandler", nullWriteKeepingErrno, 0, 7, 0,
                                                    true, 1, 1, "EXC_BAD_ACCESS", "KERN_INVALID_ADDRESS"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

// ---- a crash while other threads fault -----------------------------------------------------------

namespace {

// A child that crashed at a fault while other threads faulted too: it ended by SIGSEGV, and its one
// record is whole, its crashed thread at `crashedIn`. The record's lines.
std::vector<json> expectEndedByTheFaultWithAWholeRecord(int status, const std::string& dir,
                                                        crashtest::Range crashedIn) {
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << howItEnded(status);
    int unparsable = 0;
    const auto records = recordsIn(dir + "/mach_exception.zevrecord", &unparsable);
    EXPECT_EQ(unparsable, 0);
    EXPECT_EQ(records.size(), 1u);
    if (records.empty()) return {};
    const json crashed = recordtest::expectWholeRecord(records[0], "the exception port's record");
    if (crashed.is_object()) {
        EXPECT_TRUE(stackHolds(crashed["stacktrace"], crashedIn)) << crashed["stacktrace"];
    }
    return records[0];
}

std::atomic<int> atTheLine{0};
std::atomic<bool> go{false};

// Each crashing thread stands here until the test lets them all go at once. It spins, so that they go
// together; should the word never come within the shared patience, the child ends with kSetUpFailed.
void meetTheOthers() {
    atTheLine.fetch_add(1);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(velotest::kPatience);
    while (!go.load()) {
        if (std::chrono::steady_clock::now() > deadline) _exit(kSetUpFailed);
        std::this_thread::yield();
    }
}

__attribute__((noinline)) void faultWithTheOthers() {
    meetTheOthers();
    recordtest::writeThroughNull();
}

// Threads that fault at the same moment: the first one's crash is recorded whole, the others wait for
// the record (each had its own fault to report) and the process then ends by the fault.
class CrashFaultsAtOnce : public ::testing::TestWithParam<int> {};

TEST_P(CrashFaultsAtOnce, TheFirstIsRecordedWholeAndTheProcessEndsByTheFault) {
    const int faulting = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        initializeContext(dir);
        startHelpers();
        for (int i = 0; i < faulting; ++i)
            std::thread(faultWithTheOthers).detach();
        setUpOrEnd([&] { return atTheLine.load() == faulting; });
        go = true;
        for (;;)
            pause();
    });
    expectEndedByTheFaultWithAWholeRecord(status, dir, functionRange(recordtest::writeThroughNull));
    int unparsable = 0;
    EXPECT_TRUE(readLines(dir + "/signal.zevrecord", &unparsable).empty()) << "a second record";
}

INSTANTIATE_TEST_SUITE_P(CrashFaultsAtOnce, CrashFaultsAtOnce, ::testing::Values(2, 8, 32),
                         [](const auto& info) { return std::to_string(info.param) + "Threads"; });

__attribute__((noinline)) void throwWithTheOthers() {
    meetTheOthers();
    throw std::runtime_error("thrown while another thread crashes");
}

// Nothing above the routines catches: an exception ends in the terminate handler, its stack intact.
void* throwingThread(void*) {
    throwWithTheOthers();
    return nullptr;
}
void* faultingThread(void*) {
    faultWithTheOthers();
    return nullptr;
}

struct MeetingCase {
    const char* name;
    void* (*second)(void*); // the first thread throws
    recordtest::Road road;
};

void PrintTo(const MeetingCase& meeting, std::ostream* out) {
    *out << meeting.name;
}

// An uncaught exception records the process without the crash claim, so its recording meets the
// recording of a crash on another thread at the same moment, or of its own abort while another
// exception is recorded. One waits for the other: every record written is whole, with every thread's
// registers and stack, and the process ends by one of the crashes.
class CrashRecordingsMeet : public ::testing::TestWithParam<MeetingCase> {};

TEST_P(CrashRecordingsMeet, EveryRecordWrittenIsWhole) {
    const MeetingCase& meeting = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        initializeContext(dir, meeting.road);
        startHelpers();
        pthread_t thread;
        if (pthread_create(&thread, nullptr, throwingThread, nullptr) != 0 ||
            pthread_create(&thread, nullptr, meeting.second, nullptr) != 0)
            _exit(kSetUpFailed);
        setUpOrEnd([] { return atTheLine.load() == 2; });
        go = true;
        for (;;)
            pause();
    });
    const bool twoExceptions = meeting.second == throwingThread;
    EXPECT_TRUE(WIFSIGNALED(status) &&
                (WTERMSIG(status) == SIGABRT || (!twoExceptions && WTERMSIG(status) == SIGSEGV)))
        << howItEnded(status);
    std::size_t written = 0;
    for (const char* cause : recordtest::kCauseSections) {
        const std::string file = std::string(cause) + ".zevrecord";
        int unparsable = 0;
        const auto records = recordsIn(dir + "/" + file, &unparsable);
        EXPECT_EQ(unparsable, 0) << file;
        for (const auto& record : records)
            recordtest::expectWholeRecord(record, file);
        written += records.size();
    }
    EXPECT_GE(written, 1u) << "no record at all";
}

INSTANTIATE_TEST_SUITE_P(
    CrashRecordingsMeet, CrashRecordingsMeet,
    ::testing::Values(MeetingCase{"AnExceptionAndAFault", faultingThread, recordtest::Road::exceptionPort},
                      MeetingCase{"AnExceptionAndAFaultOnTheSignalRoad", faultingThread,
                                  recordtest::Road::signals},
                      MeetingCase{"TwoExceptions", throwingThread, recordtest::Road::exceptionPort}),
    [](const auto& info) { return std::string(info.param.name); });

// A thread of the app that handles its own faults: its handler, installed with sigaction after the
// crash reporter started, steps over each one and hands any other thread's fault to the handler it
// replaced.
std::atomic<pid_t> stepperId{0};
std::atomic<long> stepped{0};
struct sigaction beforeStepper {};

void stepOverOwnFault(int number, siginfo_t* info, void* context) {
    if (darwin::currentThreadId() == stepperId.load()) {
        static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP] += 3; // movq (%rax), %rax
        stepped.fetch_add(1);
        return;
    }
    if ((beforeStepper.sa_flags & SA_SIGINFO) != 0) beforeStepper.sa_sigaction(number, info, context);
}

__attribute__((noinline)) void faultAndStepOverForEver() {
    stepperId = darwin::currentThreadId();
    struct sigaction stepping {};
    stepping.sa_sigaction = stepOverOwnFault;
    stepping.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&stepping.sa_mask);
    sigaction(SIGSEGV, &stepping, &beforeStepper);
    for (;;) {
        long value = 0;
        asm volatile("movq (%%rax), %%rax" : "=a"(value) : "0"(0L) : "memory");
    }
}

// The app's handler keeps working while the other thread's crash is recorded: the stepping thread goes
// on faulting meanwhile, and the handlers from before the crash reporter come back only after the
// record is closed, so the process then ends by the stepping thread's next fault or the crashed one's.
TEST(CrashBesideAThreadSteppingOverItsFaults, TheCrashIsRecordedWhole) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        initializeContext(dir);
        startHelpers();
        std::thread(faultAndStepOverForEver).detach();
        setUpOrEnd([] { return stepped.load() >= 1000; });
        recordtest::writeThroughNull();
    });
    const auto lines =
        expectEndedByTheFaultWithAWholeRecord(status, dir, functionRange(recordtest::writeThroughNull));
    const json threads = section(lines, "threads");
    const auto stepper = std::find_if(threads.begin(), threads.end(), [](const json& thread) {
        return stackHolds(thread["stacktrace"], functionRange(faultAndStepOverForEver));
    });
    EXPECT_NE(stepper, threads.end()) << "the stepping thread is not in the record";
}

// The app's crash callback runs on the thread that recorded the crash, once the record is closed. A
// fault there must end the process at once by the default action: nothing else will answer the fault
// the recording thread is still answering, and the record stays as it was written.
struct FaultingCallback : zevuzavidav::CrashCallbackTarget {
    void deliverCrashDelegateCallback() override { recordtest::writeThroughNull(); }
};

TEST(CrashInsideTheRecordingThread, AFaultInTheCrashCallbackEndsTheProcessAtOnce) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        zevuzavidav::setMachExceptionEmulationEnabled(true);
        static FaultingCallback callback;
        ZEVContextInitData data;
        data.apiKey = "key";
        data.reportDirectory = dir.c_str();
        data.reportIdentifier = "report";
        data.installationIdentifier = "install";
        data.crashCallbackTarget = &callback;
        ZEVContextInitialize(&data);
        setUpOrEnd([&] { return ZEVContextIsInitialized(); });
        startHelpers();
        activeCrasher = nullWrite;
        crashOuter();
    });
    // Not by the 5 s end of a crash already claimed (status 1), nor hung (SIGALRM).
    expectEndedByTheFaultWithAWholeRecord(status, dir, functionRange(nullWrite));
}

} // namespace
