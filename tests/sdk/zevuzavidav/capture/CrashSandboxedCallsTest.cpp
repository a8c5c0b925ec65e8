// A sandbox's seccomp filter over a system call the SDK makes too (as it starts, idles, or handles a
// crash), for every thread: the program goes on as without the SDK, no trapped call is taken for a crash,
// and the abort it then calls ends it (by SIGABRT, where the sandbox lets it) with one whole record, never
// a hang. x86_64; forked children.
#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"
#include "tests/sdk/zevuzavidav/fixtures/TrappedSystemCall.h"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/LaterCrash.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>
#include <vector>

namespace {

using crashtest::howItEnded;
using crashtest::kSetUpFailed;
using recordtest::Road;

// A call carrying this as its sixth argument is the sandbox's own, let through; every other is the filter's.
constexpr long kSandboxsOwn = 0x5ecc0de;

// The program's sandbox: it makes the call it forbids itself, as a broker would, and answers with that.
void answerAsTheBroker(int, siginfo_t* info, void* context) {
    if (info->si_code != 1) return; // SYS_SECCOMP
    greg_t* registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
    registers[REG_RAX] = syscall(info->si_syscall, registers[REG_RDI], registers[REG_RSI], registers[REG_RDX],
                                 registers[REG_R10], registers[REG_R8], kSandboxsOwn);
}

void installTheBroker() {
    struct sigaction action {};
    action.sa_sigaction = answerAsTheBroker;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSYS, &action, nullptr);
}

// `number` for every thread of the process: `how` (trapped, refused, the calling thread killed), but for
// the sandbox's own calls.
bool filter(long number, unsigned how) {
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(number), 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[5])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(kSandboxsOwn), 1, 0),
        BPF_STMT(BPF_RET | BPF_K, how),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog fprog{static_cast<unsigned short>(sizeof program / sizeof program[0]), program};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &fprog) == 0;
}

// The sandbox's own id call, past its filter.
long sandboxsOwn(long number) {
    return syscall(number, 0, 0, 0, 0, 0, kSandboxsOwn);
}

// The program's own use of the call, which its sandbox answers; false when the answer is not the call's.
bool makeTheCall(long number) {
    return velofixture::useTheCall(number, sandboxsOwn) == 0;
}

struct SandboxCase {
    const char* name;
    long number;
    unsigned how;      // SECCOMP_RET_TRAP, SECCOMP_RET_ERRNO | EPERM, SECCOMP_RET_KILL_THREAD
    bool brokerBefore; // the program's sandbox from before the SDK, else installed after it
    // How the abort ends, and what its record names: a refused raise (its thread's id refused) ends in the
    // C library's last resort, a fault; a refused default action, by SIGKILL.
    int ending = SIGABRT;
    const char* cause = "SIGABRT";
    // The abort on a thread without an alternate signal stack: its handler runs on a stack lent to it,
    // and its record moves to another one.
    bool bareThread = false;
};

void PrintTo(const SandboxCase& c, std::ostream* out) {
    *out << c.name;
}

class CrashSandboxedCalls : public ::testing::TestWithParam<SandboxCase> {};

// The call trapped and answered, before or after the SDK started: the program goes on, no record; its
// abort then ends it by SIGABRT, recorded once. The call refused, or its caller killed: the abort ends the
// process all the same, as it would without the SDK, recorded whole, never a hang.
TEST_P(CrashSandboxedCalls, NoCallIsACrashAndTheAbortIsRecordedOnce) {
    const SandboxCase& c = GetParam();
    for (Road road : {Road::exceptionPort, Road::signals}) {
        const velotest::TempFolder folder;
        const std::string dir = folder.string();
        const int status = velotest::waitStatusOfChild([&] {
            const bool answered = (c.how & SECCOMP_RET_ACTION_FULL) == SECCOMP_RET_TRAP;
            if (answered && c.brokerBefore) installTheBroker();
            recordtest::initializeContext(dir, road);
            if (answered && !c.brokerBefore) installTheBroker();
            const stack_t none{nullptr, SS_DISABLE, 0};
            if (c.bareThread && sigaltstack(&none, nullptr) != 0) _exit(kSetUpFailed);
            if (!filter(c.number, c.how)) _exit(kSetUpFailed);
            if (answered && !makeTheCall(c.number)) _exit(5);
            if (answered && std::filesystem::exists(dir + "/signal.zevrecord")) _exit(6);
            std::abort();
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.ending)
            << crashtest::roadName(road) << ": " << howItEnded(status, dir)
            << " (5: the sandbox's answer was not the call's; 6: the trapped call was recorded)";
        // The port's road names a fault by its exception.
        const std::string cause =
            road == Road::exceptionPort && c.ending == SIGSEGV ? "EXC_BAD_ACCESS" : c.cause;
        EXPECT_EQ(crashtest::crashCausesIn(dir), std::vector<std::string>{cause})
            << crashtest::roadName(road);
    }
}

constexpr unsigned kTrap = SECCOMP_RET_TRAP;
constexpr unsigned kRefuse = SECCOMP_RET_ERRNO | EPERM;
constexpr unsigned kKill = SECCOMP_RET_KILL_THREAD;

INSTANTIATE_TEST_SUITE_P(
    CrashSandboxedCalls, CrashSandboxedCalls,
    ::testing::Values(SandboxCase{"GetpidAnsweredBefore", SYS_getpid, kTrap, true},
                      SandboxCase{"GettidAnsweredBefore", SYS_gettid, kTrap, true},
                      SandboxCase{"GettidAnsweredAfter", SYS_gettid, kTrap, false},
                      SandboxCase{"OpenatAnsweredBefore", SYS_openat, kTrap, true},
                      SandboxCase{"WriteAnsweredBefore", SYS_write, kTrap, true},
                      SandboxCase{"FutexAnsweredBefore", SYS_futex, kTrap, true},
                      SandboxCase{"FutexAnsweredAfter", SYS_futex, kTrap, false},
                      SandboxCase{"SigactionAnsweredBefore", SYS_rt_sigaction, kTrap, true},
                      SandboxCase{"SigaltstackAnsweredBefore", SYS_sigaltstack, kTrap, true},
                      SandboxCase{"SigaltstackAnsweredOnABareThread", SYS_sigaltstack, kTrap, true, SIGABRT,
                                  "SIGABRT", true},
                      SandboxCase{"ClockAnsweredBefore", SYS_clock_gettime, kTrap, true},
                      SandboxCase{"SigaltstackRefused", SYS_sigaltstack, kRefuse, true},
                      SandboxCase{"GettidRefused", SYS_gettid, kRefuse, true, SIGSEGV, "SIGSEGV"},
                      SandboxCase{"SigactionRefused", SYS_rt_sigaction, kRefuse, true, SIGKILL, "SIGABRT"},
                      SandboxCase{"ClockKillsItsCaller", SYS_clock_gettime, kKill, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
