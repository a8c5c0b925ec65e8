// A crash handed on to a handler installed before the crash reporter reaches it as the kernel would have
// delivered it without one: its flags and mask hold, it gets the crash's own siginfo and context, and the
// process ends (or goes on) as it would have. Whatever that handler does, returning, leaving by a long
// jump, nothing later waits on the crash it took. Forked children crash for real; suites are named Crash*
// so sanitizer runs can leave them out.
#include "platform/darwin/SignalDelivery.hpp"
#include "sdk/zevuzavidav/context/RecordingTurn.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "tests/sdk/zevuzavidav/fixtures/TrappedSystemCall.h"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/LaterCrash.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>
#include <vector>

namespace {

using crashtest::howItEnded;
using crashtest::kSetUpFailed;
using crashtest::LaterCrash;
using crashtest::wholeRecordsIn;
using json = nlohmann::json;
using recordtest::Road;

using crashtest::roadName;

using Pipe = crashtest::ToldPipe;
int tellFd = -1;

void tell(char byte) {
    (void)!write(tellFd, &byte, 1);
}

void installEarlier(int number, void (*handler)(int, siginfo_t*, void*), int flags,
                    const sigset_t* mask = nullptr) {
    struct sigaction action {};
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO | flags;
    if (mask != nullptr)
        action.sa_mask = *mask;
    else
        sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
}

// ---- faults of every kind, handed on to a logging handler that asked for the default action back ----

// A fault of each kind the exception port owns, made by the instruction that raises it.
__attribute__((noinline)) void segv() {
    recordtest::writeThroughNull();
}
__attribute__((noinline)) void sigill() {
    asm volatile("ud2");
}
__attribute__((noinline)) void sigfpe() {
    int quotient = 1;
    asm volatile("cltd\n\tidivl %1" : "+a"(quotient) : "r"(0) : "edx");
}
__attribute__((noinline)) void sigbus() {
    // A page of a file that ends before it.
    const int file = static_cast<int>(syscall(SYS_memfd_create, "velo-bus", 0));
    void* page = mmap(nullptr, 4096, PROT_READ, MAP_SHARED, file, 0);
    if (page == MAP_FAILED) _exit(kSetUpFailed);
    (void)*static_cast<volatile char*>(page);
}

struct FaultCase {
    const char* name;
    int number;
    void (*fault)();
};
const FaultCase kFaults[] = {{"SIGSEGV", SIGSEGV, segv},
                             {"SIGBUS", SIGBUS, sigbus},
                             {"SIGILL", SIGILL, sigill},
                             {"SIGFPE", SIGFPE, sigfpe}};

// As a logging crash handler does: it notes the crash and returns, counting on the default action it
// asked for (SA_RESETHAND) to end the process when the fault runs again.
void logAndReturn(int, siginfo_t*, void*) {
    tell('h');
}

struct ResetCase {
    FaultCase fault;
    Road road;
    bool onAnotherThread;
};

void PrintTo(const ResetCase& c, std::ostream* out) {
    *out << c.fault.name << roadName(c.road) << (c.onAnotherThread ? "OnAnotherThread" : "OnTheMainThread");
}

class CrashHandedOnToAResettingHandler : public ::testing::TestWithParam<ResetCase> {};

TEST_P(CrashHandedOnToAResettingHandler, IsCalledOnceAndTheFaultThenEndsTheProcess) {
    const ResetCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    Pipe told;
    const int status = velotest::waitStatusOfChild([&] {
        tellFd = told.fds[1];
        installEarlier(c.fault.number, logAndReturn, SA_RESETHAND);
        recordtest::initializeContext(dir, c.road);
        if (!c.onAnotherThread) c.fault.fault();
        pthread_t thread;
        if (pthread_create(
                &thread, nullptr,
                [](void* fault) -> void* {
                    reinterpret_cast<void (*)()>(fault)();
                    return nullptr;
                },
                reinterpret_cast<void*>(c.fault.fault)) != 0) {
            _exit(kSetUpFailed);
        }
        for (;;)
            pause();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.fault.number) << howItEnded(status);
    EXPECT_EQ(told.readAll(), "h") << "the earlier handler was not called once";
    const char* file = c.road == Road::exceptionPort ? "mach_exception.zevrecord" : "signal.zevrecord";
    EXPECT_EQ(wholeRecordsIn(dir, file).size(), 1u);
}

std::vector<ResetCase> resetCases() {
    std::vector<ResetCase> cases;
    for (const FaultCase& fault : kFaults)
        for (Road road : {Road::exceptionPort, Road::signals})
            for (bool onAnotherThread : {false, true})
                cases.push_back({fault, road, onAnotherThread});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(CrashHandedOnToAResettingHandler, CrashHandedOnToAResettingHandler,
                         ::testing::ValuesIn(resetCases()),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- an earlier handler that ends the process itself ----------------------------------------------

// As the terminal's restorer does, it gives the signal its default action and raises it again, which ends
// the process once it returns; first, another thread crashes, and the handler waits until that crash's
// record is begun beside the first one's (or made already), so that the end may cut it short.
std::string recordedAt;
std::atomic<bool> faulting{false};

void* faultMeanwhile(void*) {
    faulting = true;
    recordtest::writeThroughNull();
    return nullptr;
}

void crashMeanwhileAndEnd(int number, siginfo_t*, void*) {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, faultMeanwhile, nullptr) != 0) _exit(kSetUpFailed);
    crashtest::setUpOrEnd([] {
        for (const char* record :
             {"/signal.zevrecord.next", "/mach_exception.zevrecord.next", "/mach_exception.zevrecord"})
            if (access((recordedAt + record).c_str(), F_OK) == 0) return true;
        return false;
    });
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(number, &fallback, nullptr);
    raise(number);
}

struct EndingCase {
    const char* name;
    int number;
    Road road;
};

void PrintTo(const EndingCase& c, std::ostream* out) {
    *out << c.name << roadName(c.road);
}

class CrashHandedOnToAnEndingHandler : public ::testing::TestWithParam<EndingCase> {};

// The crash goes on to a handler that ends the process by it; meanwhile another thread crashes, which is a
// crash of its own (the first went on) and is recorded beside the first one's record, taking its place only
// once whole. However the end cuts it, one whole record is left, of either crash, never a cut one.
TEST_P(CrashHandedOnToAnEndingHandler, ACrashMeanwhileNeverCutsTheRecordShort) {
    const EndingCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        recordedAt = dir;
        installEarlier(c.number, crashMeanwhileAndEnd, SA_ONSTACK);
        recordtest::initializeContext(dir, c.road);
        if (c.number == SIGABRT) std::abort();
        recordtest::writeThroughNull();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && (WTERMSIG(status) == c.number || WTERMSIG(status) == SIGSEGV))
        << howItEnded(status);
    EXPECT_EQ(crashtest::crashCausesIn(dir).size(), 1u) << "one whole record, of either crash";
}

INSTANTIATE_TEST_SUITE_P(CrashHandedOnToAnEndingHandler, CrashHandedOnToAnEndingHandler,
                         ::testing::Values(EndingCase{"AnAbort", SIGABRT, Road::exceptionPort},
                                           EndingCase{"AnAbort", SIGABRT, Road::signals},
                                           EndingCase{"AFault", SIGSEGV, Road::exceptionPort},
                                           EndingCase{"AFault", SIGSEGV, Road::signals}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- the mask and flags a handler runs under, beside the kernel's own delivery -------------------

// Steps over the faulting `movq (%rax), %rax`, telling what it runs under: whether the signal the
// interrupted code held off (SIGUSR1), the one its sa_mask names (SIGUSR2) and the fault's own are held
// off, as one byte each.
void noteMaskAndStepOver(int number, siginfo_t*, void* context) {
    sigset_t now;
    pthread_sigmask(SIG_SETMASK, nullptr, &now);
    tell(sigismember(&now, SIGUSR1) == 1 ? 'I' : 'i');
    tell(sigismember(&now, SIGUSR2) == 1 ? 'M' : 'm');
    tell(sigismember(&now, number) == 1 ? 'S' : 's');
    static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP] += 3;
}

__attribute__((noinline)) void faultToStepOver() {
    long value = 0;
    asm volatile("movq (%%rax), %%rax" : "=a"(value) : "0"(0L) : "memory");
}

enum class Deliverer { kernel, exceptionPort, signals };

struct FlagsCase {
    const char* name;
    unsigned flags;
    bool maskUsr2;
};

// What the handler saw in a child where `deliverer` hands it two faults of the thread, one after the
// other, and how the child ended (0: it went on to the end).
std::pair<std::string, int> deliverTwoFaults(const FlagsCase& c, Deliverer deliverer,
                                             const std::string& dir) {
    Pipe told;
    const int status = velotest::waitStatusOfChild(
        [&] {
            tellFd = told.fds[1];
            sigset_t mask;
            sigemptyset(&mask);
            if (c.maskUsr2) sigaddset(&mask, SIGUSR2);
            installEarlier(SIGSEGV, noteMaskAndStepOver, static_cast<int>(c.flags), &mask);
            if (deliverer != Deliverer::kernel)
                recordtest::initializeContext(dir, deliverer == Deliverer::exceptionPort ? Road::exceptionPort
                                                                                         : Road::signals);
            sigset_t usr1;
            sigemptyset(&usr1);
            sigaddset(&usr1, SIGUSR1);
            pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
            faultToStepOver();
            tell('|');
            faultToStepOver();
            _exit(0);
        },
        3);
    return {told.readAll(), WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

class CrashHandedOnUnderItsFlags : public ::testing::TestWithParam<FlagsCase> {};

// The first fault is the crash the SDK records and hands on; the second goes to whatever the first left.
// Both must go as they go without the SDK: same masks seen, same number of calls, same end.
TEST_P(CrashHandedOnUnderItsFlags, AsTheKernelDeliversIt) {
    const FlagsCase& c = GetParam();
    const velotest::TempFolder kernelFolder;
    const auto kernel = deliverTwoFaults(c, Deliverer::kernel, kernelFolder.string());
    ASSERT_NE(kernel.first.find('|'), std::string::npos) << "the kernel's own delivery did not go on";
    for (Deliverer deliverer : {Deliverer::exceptionPort, Deliverer::signals}) {
        const velotest::TempFolder folder;
        const auto sdk = deliverTwoFaults(c, deliverer, folder.string());
        const char* road =
            deliverer == Deliverer::exceptionPort ? "on the port's road" : "on the signal road";
        EXPECT_EQ(sdk.first, kernel.first) << road;
        EXPECT_EQ(sdk.second, kernel.second) << road;
        const char* file =
            deliverer == Deliverer::exceptionPort ? "mach_exception.zevrecord" : "signal.zevrecord";
        EXPECT_EQ(wholeRecordsIn(folder.string(), file).size(), 1u) << road;
    }
}

INSTANTIATE_TEST_SUITE_P(CrashHandedOnUnderItsFlags, CrashHandedOnUnderItsFlags,
                         ::testing::Values(FlagsCase{"NoFlags", 0, false}, FlagsCase{"ItsOwnMask", 0, true},
                                           FlagsCase{"NoDefer", SA_NODEFER, true},
                                           FlagsCase{"ResetHand", SA_RESETHAND, false},
                                           FlagsCase{"ResetHandNoDefer", SA_RESETHAND | SA_NODEFER, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- a system call a seccomp filter traps, emulated by an earlier handler ------------------------

// The handler from before the SDK, a sandbox's (it handles SIGSYS alone), answers both traps: the program's
// own business, no crash, so nothing is recorded.
TEST(CrashHandedOnATrappedSystemCall, ReturnsWhatTheEarlierHandlerAnsweredEveryTime) {
    for (Road road : {Road::exceptionPort, Road::signals}) {
        const velotest::TempFolder folder;
        const std::string dir = folder.string();
        const int status = velotest::waitStatusOfChild([&] {
            installEarlier(SIGSYS, velofixture::emulateTrappedCall, 0);
            recordtest::initializeContext(dir, road);
            if (!velofixture::trapMarkedGetpid()) _exit(kSetUpFailed);
            if (syscall(SYS_getpid, velofixture::kTrappedMark) != velofixture::kEmulatedAnswer) _exit(5);
            if (syscall(SYS_getpid, velofixture::kTrappedMark) != velofixture::kEmulatedAnswer) _exit(6);
            _exit(0);
        });
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << roadName(road) << ": " << howItEnded(status) << " (5, 6: a wrong answer)";
        EXPECT_FALSE(std::filesystem::exists(dir + "/signal.zevrecord")) << roadName(road);
    }
}

// ---- a crash the program goes on from, on a thread that then holds every signal off -------------

void returnFromAbort(int, siginfo_t*, void*) {}

void stepOverTheFault(int, siginfo_t*, void* context) {
    static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP] += 3;
}

struct GoesOnCase {
    int crash; // SIGABRT raised to a handler that returns, or SIGSEGV one that steps over the fault
    Road road;
};

void PrintTo(const GoesOnCase& c, std::ostream* out) {
    *out << (c.crash == SIGABRT ? "ARaiseThatReturns" : "AFaultSteppedOver") << roadName(c.road);
}

std::atomic<int> wentOn{0};

void* goOnThenHoldEverySignalOff(void* raw) {
    const auto& c = *static_cast<const GoesOnCase*>(raw);
    if (c.crash == SIGABRT)
        raise(SIGABRT);
    else
        faultToStepOver();
    // As a worker that leaves signals to another thread does: its mask no longer tells anything.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    wentOn = 1;
    for (;;)
        pause();
}

class CrashWentOnFromAHandedOnHandler : public ::testing::TestWithParam<GoesOnCase> {};

// The crash is recorded and handed on; the handler comes back and the thread goes on. The turn its
// recording kept is free at once, whatever the thread holds off afterwards.
TEST_P(CrashWentOnFromAHandedOnHandler, TheTurnIsFreeAsItComesBack) {
    const GoesOnCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        installEarlier(c.crash, c.crash == SIGABRT ? returnFromAbort : stepOverTheFault, 0);
        recordtest::initializeContext(dir, c.road);
        pthread_t thread;
        if (pthread_create(&thread, nullptr, goOnThenHoldEverySignalOff, const_cast<GoesOnCase*>(&c)) != 0)
            _exit(kSetUpFailed);
        crashtest::setUpOrEnd([] { return wentOn.load() != 0; });
        _exit(zevuzavidav::recordingTurnHolder() == 0 ? 0 : crashtest::kTurnStillHeld);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << howItEnded(status) << " (" << crashtest::kTurnStillHeld << ": the turn stayed kept)";
    const char* file =
        c.crash == SIGSEGV && c.road == Road::exceptionPort ? "mach_exception.zevrecord" : "signal.zevrecord";
    EXPECT_EQ(wholeRecordsIn(dir, file).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(CrashWentOnFromAHandedOnHandler, CrashWentOnFromAHandedOnHandler,
                         ::testing::Values(GoesOnCase{SIGABRT, Road::exceptionPort},
                                           GoesOnCase{SIGABRT, Road::signals},
                                           GoesOnCase{SIGSEGV, Road::exceptionPort},
                                           GoesOnCase{SIGSEGV, Road::signals}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- several threads taking at once a signal the program goes on from ---------------------------

std::atomic<int> arrived{0};
std::atomic<bool> goTogether{false};
std::atomic<int> answered{0};

enum class GoesOn { trappedCall, raisedAbort };

struct AtOnceCase {
    GoesOn signal;
    int threads;
    Road road;
};

void PrintTo(const AtOnceCase& c, std::ostream* out) {
    *out << c.threads << (c.signal == GoesOn::trappedCall ? "ThreadsTrapACall" : "ThreadsRaiseSIGABRT")
         << roadName(c.road);
}

constexpr int kCallsEach = 5;

void* takeTheSignalTogether(void* raw) {
    const auto& c = *static_cast<const AtOnceCase*>(raw);
    if (c.signal == GoesOn::trappedCall && !velofixture::trapMarkedGetpid()) _exit(kSetUpFailed);
    arrived.fetch_add(1);
    goTogether.wait(false);
    for (int i = 0; i < kCallsEach; ++i) {
        if (c.signal == GoesOn::raisedAbort) {
            raise(SIGABRT);
            answered.fetch_add(1);
        } else if (syscall(SYS_getpid, velofixture::kTrappedMark) == velofixture::kEmulatedAnswer) {
            answered.fetch_add(1);
        }
    }
    return nullptr;
}

class CrashHandedOnAtOnce : public ::testing::TestWithParam<AtOnceCase> {};

// Each signal is handed on as the kernel would, and the program goes on as it does without the SDK: every
// call answered, every raise come back. A raise is a crash the SDK records, one at a time: those taken while
// one is recorded lost the claim and are handed on once the record is made; each later one, once the one
// before went on, is recorded in its place. A trapped call a sandbox's handler answers is no crash at all.
TEST_P(CrashHandedOnAtOnce, EveryOneIsHandedOnAndTheProgramGoesOn) {
    const AtOnceCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        if (c.signal == GoesOn::trappedCall)
            installEarlier(SIGSYS, velofixture::emulateTrappedCall, 0);
        else
            installEarlier(SIGABRT, returnFromAbort, 0);
        recordtest::initializeContext(dir, c.road);
        std::vector<pthread_t> threads(static_cast<std::size_t>(c.threads));
        for (pthread_t& thread : threads)
            if (pthread_create(&thread, nullptr, takeTheSignalTogether, const_cast<AtOnceCase*>(&c)) != 0)
                _exit(kSetUpFailed);
        crashtest::setUpOrEnd([&] { return arrived.load() == c.threads; });
        goTogether = true;
        goTogether.notify_all();
        for (pthread_t thread : threads)
            pthread_join(thread, nullptr);
        _exit(answered.load() == c.threads * kCallsEach ? 0 : 5);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << howItEnded(status, dir) << " (5: a call went unanswered)";
    if (c.signal == GoesOn::trappedCall)
        EXPECT_FALSE(std::filesystem::exists(dir + "/signal.zevrecord"));
    else
        EXPECT_EQ(wholeRecordsIn(dir, "signal.zevrecord").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(CrashHandedOnAtOnce, CrashHandedOnAtOnce,
                         ::testing::Values(AtOnceCase{GoesOn::trappedCall, 3, Road::exceptionPort},
                                           AtOnceCase{GoesOn::trappedCall, 3, Road::signals},
                                           AtOnceCase{GoesOn::raisedAbort, 2, Road::exceptionPort},
                                           AtOnceCase{GoesOn::raisedAbort, 4, Road::signals}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- a handler handed the crash that reads memory it may not have, guarded by the program ----------

// The program's own guarded read, as a second crash reporter or a runtime makes it: the read faults, and
// the program's SIGSEGV handler (installed before the SDK) steps over the faulting instruction or leaves
// it by siglongjmp.
enum class Guard { stepOver, jumpOut };
sigjmp_buf guardedRead;
Guard guard = Guard::stepOver;

void leaveTheGuardedRead(int, siginfo_t*, void*) {
    siglongjmp(guardedRead, 1);
}

// The handler the crash is handed on to (a raise of SIGABRT it returns from, or a system call a seccomp
// filter trapped, which it emulates): it reads through a null pointer first, guarded, and tells 'g' once
// past it.
void readGuardedFirst(int number, siginfo_t* info, void* context) {
    if (guard == Guard::stepOver) {
        faultToStepOver();
        tell('g');
    } else if (sigsetjmp(guardedRead, 1) == 0) {
        faultToStepOver();
    } else {
        tell('g');
    }
    if (number == SIGSYS) velofixture::emulateTrappedCall(number, info, context);
}

struct GuardedCase {
    int crash; // SIGABRT, raised; SIGSYS, a trapped call
    Guard guard;
};

void PrintTo(const GuardedCase& c, std::ostream* out) {
    *out << (c.crash == SIGABRT ? "ARaisedAbort" : "ATrappedCall")
         << (c.guard == Guard::stepOver ? "WhoseReadIsSteppedOver" : "WhoseReadIsLeftByAJump");
}

// What the handlers told in a child where `deliverer` hands the crash on (twice: two raises, or two
// trapped calls), and how the child ended (0: it went on to the end).
std::pair<std::string, int> crashToAGuardedRead(const GuardedCase& c, Deliverer deliverer,
                                                const std::string& dir) {
    Pipe told;
    const int status = velotest::waitStatusOfChild([&] {
        tellFd = told.fds[1];
        guard = c.guard;
        installEarlier(SIGSEGV, c.guard == Guard::stepOver ? stepOverTheFault : leaveTheGuardedRead, 0);
        installEarlier(c.crash, readGuardedFirst, 0);
        if (deliverer != Deliverer::kernel)
            recordtest::initializeContext(dir, deliverer == Deliverer::exceptionPort ? Road::exceptionPort
                                                                                     : Road::signals);
        if (c.crash == SIGSYS && !velofixture::trapMarkedGetpid()) _exit(kSetUpFailed);
        for (int i = 0; i < 2; ++i) {
            if (c.crash == SIGABRT)
                raise(SIGABRT);
            else if (syscall(SYS_getpid, velofixture::kTrappedMark) != velofixture::kEmulatedAnswer)
                _exit(5);
            tell('|');
        }
        _exit(0);
    });
    return {told.readAll(), WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

class CrashHandedOnToAGuardedRead : public ::testing::TestWithParam<GuardedCase> {};

// The crash is recorded and handed on; the handler reads memory it may not have, and the program's own
// SIGSEGV handler steps over that fault or jumps back past it. The fault is the program's: it goes where
// the program sends it, at once, the handler finishes its work, and the program goes on, as it does
// without the SDK. A raise is recorded (each once the one before went on, in its place), and its handler's
// fault is part of it; a trapped call the sandbox's handler answers is no crash, so the fault of that
// handler's read is one of its own.
TEST_P(CrashHandedOnToAGuardedRead, TheHandlerFinishesAndTheProgramGoesOn) {
    const GuardedCase& c = GetParam();
    const velotest::TempFolder kernelFolder;
    const auto kernel = crashToAGuardedRead(c, Deliverer::kernel, kernelFolder.string());
    ASSERT_EQ(kernel, std::make_pair(std::string("g|g|"), 0)) << "the kernel's own delivery";
    for (Deliverer deliverer : {Deliverer::exceptionPort, Deliverer::signals}) {
        const velotest::TempFolder folder;
        const char* road =
            deliverer == Deliverer::exceptionPort ? "on the port's road" : "on the signal road";
        EXPECT_EQ(crashToAGuardedRead(c, deliverer, folder.string()), kernel) << road;
        // The raise's record, or, of a trapped call (no crash), that of the guarded read's fault: a crash of
        // its own the program went on from, which an exit would drop.
        const bool portsFault = c.crash == SIGSYS && deliverer == Deliverer::exceptionPort;
        EXPECT_EQ(wholeRecordsIn(folder.string(), "signal.zevrecord").size(), portsFault ? 0u : 1u) << road;
        EXPECT_EQ(wholeRecordsIn(folder.string(), "mach_exception.zevrecord").size(), portsFault ? 1u : 0u)
            << road;
    }
}

INSTANTIATE_TEST_SUITE_P(CrashHandedOnToAGuardedRead, CrashHandedOnToAGuardedRead,
                         ::testing::Values(GuardedCase{SIGABRT, Guard::stepOver},
                                           GuardedCase{SIGABRT, Guard::jumpOut},
                                           GuardedCase{SIGSYS, Guard::stepOver},
                                           GuardedCase{SIGSYS, Guard::jumpOut}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- an earlier handler that leaves by a long jump -----------------------------------------------

sigjmp_buf backToTheTest;
jmp_buf backKeepingTheMask;
pid_t jumper = 0;

// Back into the program on the thread that crashed first; a later crash of another thread is returned
// from, and goes on as it would without this handler (an abort ends the process).
void jumpOut(int, siginfo_t*, void*) {
    if (static_cast<pid_t>(syscall(SYS_gettid)) == jumper) siglongjmp(backToTheTest, 1);
}

// The same by a jump that keeps the handler's mask, as longjmp does.
void jumpOutKeepingTheMask(int, siginfo_t*, void*) {
    if (static_cast<pid_t>(syscall(SYS_gettid)) == jumper) longjmp(backKeepingTheMask, 1);
}

struct JumpCase {
    const char* name;
    int crash; // the crash the earlier handler leaves: SIGABRT (raised) or SIGSEGV (a fault)
    LaterCrash later;
    Road road;
    bool keepsTheMask = false; // longjmp, not siglongjmp
};

void PrintTo(const JumpCase& c, std::ostream* out) {
    *out << c.name << roadName(c.road);
}

class CrashLeftByALongJump : public ::testing::TestWithParam<JumpCase> {};

// The crash is recorded and handed on; the earlier handler jumps back into the program, which goes on.
// Nothing of that crash is waited for any more: the turn it kept is free as it went on, and a later fault,
// or a later exception and the abort it ends with, is recorded in its place and ends the process; the
// program's exit is not held by it, and drops its record. So too after a jump that keeps the handler's
// mask, which holds the recorder's stop off for good: that thread is recorded without its registers.
TEST_P(CrashLeftByALongJump, NothingLaterWaitsOnIt) {
    const JumpCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        installEarlier(c.crash, c.keepsTheMask ? jumpOutKeepingTheMask : jumpOut, SA_ONSTACK);
        jumper = static_cast<pid_t>(syscall(SYS_gettid));
        recordtest::initializeContext(dir, c.road);
        if ((c.keepsTheMask ? setjmp(backKeepingTheMask) : sigsetjmp(backToTheTest, 1)) == 0) {
            if (c.crash == SIGABRT) std::abort();
            recordtest::writeThroughNull();
        }
        crashtest::crashLaterOnAThreadOfItsOwn(c.later, c.keepsTheMask);
    });
    // A later fault meets the earlier SIGSEGV handler when there is one, which returns from it: that fault
    // is left to the SIGABRT case.
    crashtest::expectTheLaterCrashWaitedOnNothing(status, dir, c.later, c.keepsTheMask);
}

INSTANTIATE_TEST_SUITE_P(
    CrashLeftByALongJump, CrashLeftByALongJump,
    ::testing::Values(
        JumpCase{"AnAbortThenAFault", SIGABRT, LaterCrash::fault, Road::exceptionPort},
        JumpCase{"AnAbortThenAFault", SIGABRT, LaterCrash::fault, Road::signals},
        JumpCase{"AnAbortThenAThrow", SIGABRT, LaterCrash::exception, Road::exceptionPort},
        JumpCase{"AnAbortThenAThrow", SIGABRT, LaterCrash::exception, Road::signals},
        JumpCase{"AFaultThenAThrow", SIGSEGV, LaterCrash::exception, Road::exceptionPort},
        JumpCase{"AFaultThenAThrow", SIGSEGV, LaterCrash::exception, Road::signals},
        JumpCase{"AnAbortKeepingTheMaskThenAFault", SIGABRT, LaterCrash::fault, Road::exceptionPort, true},
        JumpCase{"AnAbortKeepingTheMaskThenAFault", SIGABRT, LaterCrash::fault, Road::signals, true},
        JumpCase{"AFaultKeepingTheMaskThenAnExit", SIGSEGV, LaterCrash::exit, Road::exceptionPort, true},
        JumpCase{"AnAbortKeepingTheMaskThenAnExit", SIGABRT, LaterCrash::exit, Road::signals, true}),
    [](const auto& info) { return ::testing::PrintToString(info.param); });

// ---- a crash on another thread as the process exits ----------------------------------------------

// When the crash begins against the exit's hold: main calls exit once the SDK's handler is at work; the
// crash begins as the exit is marked committed, right before the hold's last look; or past that look.
enum class AtTheExit { whileItsHandlerWorks, atTheLastLook, pastTheLastLook };

struct ExitCase {
    const char* name;
    AtTheExit when;
    bool steppedOver; // the program's SIGSEGV handler, from before the SDK, steps over the fault
    Road road;
    bool throws = false; // the crash is an uncaught exception, not a fault
};

void PrintTo(const ExitCase& c, std::ostream* out) {
    *out << c.name << roadName(c.road);
}

AtTheExit exitWhen = AtTheExit::whileItsHandlerWorks;
bool exitCrashThrows = false;
velotest::Gate crashNow;
std::atomic<bool> crashWentOn{false};

// Lets the crash begin once the hold stands where the case wants it, and holds the exit there until the
// crash is under way: at the last look, until its handler is at work, which that look then sees; past it,
// until the crash has ended the process (the SDK's handler sends its signal at once) or gone on.
void crashAtTheExit(zevuzavidav::ExitHoldMoment moment) {
    const bool atTheLastLook = exitWhen == AtTheExit::atTheLastLook;
    if (moment != (atTheLastLook ? zevuzavidav::ExitHoldMoment::committed
                                 : zevuzavidav::ExitHoldMoment::pastTheLastLook))
        return;
    crashNow.open();
    crashtest::setUpOrEnd([&] { return atTheLastLook ? darwin::ownWorkUnderWay() : crashWentOn.load(); });
}

class CrashAtTheExit : public ::testing::TestWithParam<ExitCase> {};

// A crash on another thread at any moment of the process's exit ends the process by its signal, as it
// would without the SDK, never with the exit's status 0: one the exit's hold sees is waited for, recorded
// whole or not at all, and one that begins past the hold's last look records nothing and ends the process
// at once. Handed on to a handler of the program that steps over it, it goes on, and the exit with it.
TEST_P(CrashAtTheExit, EndsTheProcessByItsSignal) {
    const ExitCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    Pipe told;
    const int status = velotest::waitStatusOfChild([&] {
        tellFd = told.fds[1];
        exitWhen = c.when;
        exitCrashThrows = c.throws;
        if (c.steppedOver) installEarlier(SIGSEGV, stepOverTheFault, 0);
        recordtest::initializeContext(dir, c.road);
        pthread_t thread;
        if (pthread_create(
                &thread, nullptr,
                [](void*) -> void* {
                    if (!crashNow.wait()) _exit(kSetUpFailed);
                    if (exitCrashThrows) throw std::runtime_error("thrown as the process exits");
                    faultToStepOver();
                    tell('s');
                    crashWentOn = true;
                    for (;;)
                        pause();
                },
                nullptr) != 0)
            _exit(kSetUpFailed);
        if (c.when == AtTheExit::whileItsHandlerWorks) {
            crashNow.open();
            crashtest::setUpOrEnd([] { return darwin::ownWorkUnderWay(); });
        } else {
            zevuzavidav::exitHoldTestHook = crashAtTheExit;
        }
        std::exit(0);
    });
    if (c.steppedOver) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << howItEnded(status, dir);
        EXPECT_EQ(told.readAll(), "s");
    } else {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == (c.throws ? SIGABRT : SIGSEGV))
            << howItEnded(status, dir);
    }
    const std::size_t records = wholeRecordsIn(dir, "signal.zevrecord").size() +
                                wholeRecordsIn(dir, "mach_exception.zevrecord").size() +
                                wholeRecordsIn(dir, "exception.zevrecord").size();
    switch (c.when) {
    case AtTheExit::whileItsHandlerWorks:
        EXPECT_EQ(records, 1u);
        break;
    case AtTheExit::atTheLastLook:
        EXPECT_LE(records, 1u);
        break;
    case AtTheExit::pastTheLastLook:
        EXPECT_EQ(records, 0u) << "a record the exit would cut short";
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CrashAtTheExit, CrashAtTheExit,
    ::testing::Values(ExitCase{"WhileItsHandlerWorks", AtTheExit::whileItsHandlerWorks, false, Road::signals},
                      ExitCase{"AtTheLastLook", AtTheExit::atTheLastLook, false, Road::signals},
                      ExitCase{"PastTheLastLook", AtTheExit::pastTheLastLook, false, Road::signals},
                      ExitCase{"PastTheLastLook", AtTheExit::pastTheLastLook, false, Road::exceptionPort},
                      ExitCase{"PastTheLastLookSteppedOver", AtTheExit::pastTheLastLook, true, Road::signals},
                      ExitCase{"PastTheLastLookAThrow", AtTheExit::pastTheLastLook, false, Road::signals,
                               true}),
    [](const auto& info) { return ::testing::PrintToString(info.param); });

} // namespace
