// Once a crash is recorded, the handlers from before the SDK come back where the SDK's own is still in
// place, and nowhere else: a program goes on after a crash handed on, and a handler it installed since
// (one that steps over its own faults, a sandbox's emulator, a second crash reporter that chains to the
// SDK) is the one it wants. Forked children crash for real; suites are named Crash* so sanitizer runs can
// leave them out.
#include "platform/darwin/ExceptionPorts.hpp"
#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"
#include "tests/sdk/zevuzavidav/fixtures/TrappedSystemCall.h"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <thread>
#include <ucontext.h>
#include <unistd.h>
#include <vector>

namespace {

using crashtest::howItEnded;
using crashtest::kSetUpFailed;
using crashtest::wholeRecordsIn;
using recordtest::Road;

using crashtest::roadName;

struct sigaction actionOf(void (*handler)(int, siginfo_t*, void*), int flags = 0) {
    struct sigaction action {};
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO | flags;
    sigemptyset(&action.sa_mask);
    return action;
}

void returnFromTheRaise(int, siginfo_t*, void*) {}

void stepOverTheLoad(int, siginfo_t*, void* context) {
    static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP] += 3; // movq (%rax), %rax
}

__attribute__((noinline)) void loadThroughNull() {
    long value = 0;
    asm volatile("movq (%%rax), %%rax" : "=a"(value) : "0"(0L) : "memory");
}

// The program's disposition for `number`, as the exception port's emulation has it where it owns the
// signal.
void* handlerOf(int number) {
    struct sigaction current {};
    darwin::signalAction(number, nullptr, &current);
    return (current.sa_flags & SA_SIGINFO) != 0 ? reinterpret_cast<void*>(current.sa_sigaction)
                                                : reinterpret_cast<void*>(current.sa_handler);
}

// ---- handlers installed after the SDK --------------------------------------------------------------

class CrashHandlersInstalledSince : public ::testing::TestWithParam<Road> {};

// The program installs, after the SDK, a SIGSEGV handler that steps over its faults and a SIGSYS handler
// that emulates a trapped call; then a raise of SIGABRT is recorded and handed on to the handler from
// before the SDK, which returns. The two handlers installed since still take their signals, and the
// program goes on, as it does without the SDK; the signals that still had the SDK's handler keep it, so
// that a later crash is recorded too.
TEST_P(CrashHandlersInstalledSince, KeepTheirSignalsAfterACrashIsHandedOn) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        const struct sigaction earlier = actionOf(returnFromTheRaise);
        sigaction(SIGABRT, &earlier, nullptr);
        recordtest::initializeContext(dir, GetParam());
        const struct sigaction stepper = actionOf(stepOverTheLoad);
        const struct sigaction emulator = actionOf(velofixture::emulateTrappedCall);
        sigaction(SIGSEGV, &stepper, nullptr);
        sigaction(SIGSYS, &emulator, nullptr);
        if (!velofixture::trapMarkedGetpid()) _exit(kSetUpFailed);
        raise(SIGABRT);
        loadThroughNull();
        if (syscall(SYS_getpid, velofixture::kTrappedMark) != velofixture::kEmulatedAnswer) _exit(5);
        for (int number : {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGTRAP})
            if (handlerOf(number) != reinterpret_cast<void*>(ZEVSignalHandler)) _exit(6);
        _exit(0);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << howItEnded(status, dir) << " (5: the call went unanswered; 6: the SDK's handler is gone)";
    EXPECT_EQ(wholeRecordsIn(dir, "signal.zevrecord").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(CrashHandlersInstalledSince, CrashHandlersInstalledSince,
                         ::testing::Values(Road::exceptionPort, Road::signals),
                         [](const auto& info) { return roadName(info.param); });

// ---- every disposition the restore writes, as the kernel sees it -------------------------------------

// The kernel's sigaction, as the rt_sigaction system call reads it.
struct KernelAction {
    void* handler;
    unsigned long flags;
    void* restorer;
    std::uint64_t mask;
};

// The dispositions written, in order, by the thread a filter watches, as a thread of the same process
// notes them: each is in place before the write goes on.
struct Written {
    int number;
    void* handler;
};
constexpr int kMostWritten = 64;
Written written[kMostWritten];
std::atomic<int> writtenCount{0};

std::atomic<int> listenerFd{-1};

void noteEveryWrite() {
    listenerFd.wait(-1);
    const int listener = listenerFd.load();
    for (;;) {
        seccomp_notif request{};
        if (ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &request) != 0) return;
        const int count = writtenCount.load(std::memory_order_relaxed);
        if (count < kMostWritten) {
            KernelAction action{};
            std::memcpy(&action, reinterpret_cast<const void*>(request.data.args[1]), sizeof action);
            written[count] = {static_cast<int>(request.data.args[0]), action.handler};
            writtenCount.store(count + 1, std::memory_order_release);
        }
        seccomp_notif_resp response{};
        response.id = request.id;
        response.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        if (ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &response) != 0) return;
    }
}

// From here on, every rt_sigaction of the calling thread that changes a disposition waits until a thread
// of this process has noted it (written, writtenCount); those that only read go through. For a child;
// false where the kernel takes no such filter.
bool noteDispositionsWritten() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_rt_sigaction, 0, 5),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[1])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 2),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[1]) + 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    // Started first: the C library's first thread start sets a disposition of its own, which would wait
    // for a noter not yet there.
    std::thread(noteEveryWrite).detach();
    const long listener =
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
            ? syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &program)
            : -1;
    listenerFd = static_cast<int>(listener);
    listenerFd.notify_all();
    return listener >= 0;
}

void steppedOverByTheProgram(int, siginfo_t*, void*) {}

ZEVSignalReadOnlyContext part{};

// Straight from the SDK's handler to each signal's earlier disposition: a thread of the program taking the
// signal meanwhile (a second thread trapping the same call) never meets the default action. Nothing is
// written over a handler the program installed since (SIGSEGV here), and a signal whose earlier action was
// the default one gets it back.
TEST(CrashHandlersPutBack, EachGoesStraightFromTheSDKsHandlerToItsOwn) {
    const velotest::TempFolder folder;
    const std::string path = folder.string() + "/signal.zevrecord";
    const int status = velotest::waitStatusOfChild([&] {
        const struct sigaction earlier = actionOf(velofixture::emulateTrappedCall);
        sigaction(SIGSYS, &earlier, nullptr);
        sigaction(SIGABRT, &earlier, nullptr);
        part.path = path.c_str();
        ZEVSignalInitialize(&part);
        const struct sigaction since = actionOf(steppedOverByTheProgram);
        sigaction(SIGSEGV, &since, nullptr);
        if (!noteDispositionsWritten()) _exit(kSetUpFailed);
        ZEVSignalSafeInstallPreexistingHandlers(&part);
        // One write for each signal but SIGSEGV, and that to its earlier action.
        std::vector<Written> expected;
        for (int i = 0; i < zevuzavidav::kSignalCount; ++i) {
            const int number = zevuzavidav::signalAtIndex(i);
            if (number == SIGSEGV) continue;
            void* before = number == SIGSYS || number == SIGABRT
                               ? reinterpret_cast<void*>(earlier.sa_sigaction)
                               : reinterpret_cast<void*>(SIG_DFL);
            expected.push_back({number, before});
        }
        const int count = writtenCount.load(std::memory_order_acquire);
        if (count != static_cast<int>(expected.size())) _exit(10 + count);
        for (int i = 0; i < count; ++i)
            if (written[i].number != expected[i].number || written[i].handler != expected[i].handler)
                _exit(30 + i);
        _exit(handlerOf(SIGSEGV) == reinterpret_cast<void*>(steppedOverByTheProgram) ? 0 : 6);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << howItEnded(status)
        << " (10 + n: n dispositions written; 30 + i: the i-th written is not the earlier one; 6: the "
           "program's own handler was written over)";
}

// ---- a second crash reporter that chains to the SDK ------------------------------------------------

int tellFd = -1;
struct sigaction replacedBySecond {};

void tell(char byte) {
    (void)!write(tellFd, &byte, 1);
}

// Installed after the SDK, as a second crash reporter is: it calls the handler it replaced (the SDK's),
// tells the test it has control back ('R'), and then does as such a reporter does with a signal that
// came from abort(): gives it the default action and raises it again. A fault it simply returns from.
void secondReporter(int number, siginfo_t* info, void* context) {
    if ((replacedBySecond.sa_flags & SA_SIGINFO) != 0) replacedBySecond.sa_sigaction(number, info, context);
    tell('R');
    if (number != SIGABRT) return;
    signal(number, SIG_DFL);
    raise(number);
}

// Installed before the SDK, as the terminal's restorer is: it gives the signal the default action and
// sends it again, which ends the process once the signal is let through.
void sendAgainByDefault(int number, siginfo_t*, void*) {
    signal(number, SIG_DFL);
    syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), number);
}

struct ChainCase {
    int number; // SIGABRT from abort(), or SIGSEGV from a fault
    Road road;
    // An earlier handler that sends the signal again stands behind the SDK; the second reporter then
    // holds the signal off while it runs (no SA_NODEFER), as the kernel leaves it.
    bool earlierSendsAgain = false;
};

void PrintTo(const ChainCase& c, std::ostream* out) {
    *out << (c.number == SIGABRT ? "AnAbort" : "AFault") << roadName(c.road)
         << (c.earlierSendsAgain ? "BeforeAnEarlierHandlerThatSendsItAgain" : "");
}

class CrashBehindASecondReporter : public ::testing::TestWithParam<ChainCase> {};

// The crash reaches the SDK through the second reporter, is recorded once, and the second reporter gets
// control back each time it hands the crash on (never held, never called again by the SDK), also when the
// handler behind the SDK sends the signal again: held off by the reporter's mask, that signal waits for
// the reporter to return. The process ends by the crash's signal: an abort by the reporter's own raise (or
// the earlier handler's), a fault as it runs again.
TEST_P(CrashBehindASecondReporter, IsRecordedAndTheReporterGetsControlBack) {
    const ChainCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    crashtest::ToldPipe told;
    const int status = velotest::waitStatusOfChild([&] {
        tellFd = told.fds[1];
        if (c.earlierSendsAgain) {
            const struct sigaction earlier = actionOf(sendAgainByDefault, SA_ONSTACK);
            sigaction(c.number, &earlier, nullptr);
        }
        recordtest::initializeContext(dir, c.road);
        const struct sigaction second = actionOf(secondReporter, c.earlierSendsAgain ? 0 : SA_NODEFER);
        sigaction(c.number, &second, &replacedBySecond);
        if (c.number == SIGABRT) std::abort();
        loadThroughNull();
        _exit(5);
    });
    const std::string bytes = told.readAll();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.number) << howItEnded(status, dir);
    // Each time the reporter hands the crash on: once, as without the SDK. A fault the exception port
    // records goes on within the reporter's call too, rather than running again through it.
    EXPECT_EQ(bytes, "R");
    const char* file = c.number == SIGSEGV && c.road == Road::exceptionPort ? "mach_exception.zevrecord"
                                                                            : "signal.zevrecord";
    EXPECT_EQ(wholeRecordsIn(dir, file).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    CrashBehindASecondReporter, CrashBehindASecondReporter,
    ::testing::Values(ChainCase{SIGABRT, Road::exceptionPort}, ChainCase{SIGABRT, Road::signals},
                      ChainCase{SIGSEGV, Road::exceptionPort}, ChainCase{SIGSEGV, Road::signals},
                      ChainCase{SIGABRT, Road::exceptionPort, true}, ChainCase{SIGABRT, Road::signals, true}),
    [](const auto& info) { return ::testing::PrintToString(info.param); });

} // namespace
