// A crash handed on by the SDK, beside the kernel alone: one table of shapes, each run in forked children
// without the SDK and with it on each road, and compared. How the child ends (or hangs), what its handler
// saw (the signal, its code, sigaltstack's answer, which stack it runs on and where its frame stands
// against the interrupted stack pointer, the signal mask it runs under), the bytes written below each
// stack (below a thread's own stack and its alternate stack; on the main thread, how far below the
// crash's stack pointer, as the handler is entered and once the program went on), the registers and red
// zone the interrupted code finds as it goes on, the errno the handler and the interrupted code find, the
// SDK log's word of a bounded wait that ran out, and, with the SDK, the record it left: any difference is
// a line of the failure's table, unless the matrix names its kind for that row as allowed (kAllowed). A
// few rows run in every build; the whole matrix runs on demand (tools/handon-matrix). Forked children
// crash for real; suites are named Crash* so sanitizer runs can leave them out. x86_64.
#include "platform/darwin/ThreadStart.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "tests/sdk/zevuzavidav/fixtures/TrappedSystemCall.h"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/HandOnMatrix.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csetjmp>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <ucontext.h>
#include <unistd.h>
#include <vector>

// What the crash site and the handlers' entries (asm, below) read and write by name: the registers the
// interrupted code found as it went on, and the main thread's stretch watched below the crash.
struct MatrixRegisters {
    std::uint64_t framePointer; // the crash site's own, kept while the register holds a known value
    std::uint64_t stackPointer; // the crash site's, kept while a call stands below the red zone
    std::uint64_t seen[11];     // rbx, rbp, r12, r13, r14, r15, rsi, rdi, r8, r9, r10 as the code went on
    std::uint64_t answer;       // rax: a system call's answer
    std::uint64_t redZone[16];  // the 128 bytes below the stack pointer, lowest first
    std::uint64_t vectors[16];  // xmm0 to xmm15's low halves as the code went on
    std::uint32_t mxcsr;        // the vector unit's control and status as the code went on
    std::uint32_t mxcsrBefore;  // as it was before the crash site set its own
};
static_assert(offsetof(MatrixRegisters, seen) == 16 && offsetof(MatrixRegisters, answer) == 104 &&
                  offsetof(MatrixRegisters, redZone) == 112 && offsetof(MatrixRegisters, vectors) == 240 &&
                  offsetof(MatrixRegisters, mxcsr) == 368 && offsetof(MatrixRegisters, mxcsrBefore) == 372,
              "the offsets in the crash site's asm");

extern "C" {
__attribute__((tls_model("local-exec"), visibility("hidden"))) thread_local MatrixRegisters velo_matrix_regs;
// [bottom, top) untouched while every byte holds `fill`; top 0 where nothing is watched.
__attribute__((visibility("hidden"))) std::uintptr_t velo_matrix_watch_bottom = 0;
__attribute__((visibility("hidden"))) std::uintptr_t velo_matrix_watch_top = 0;
__attribute__((visibility("hidden"))) unsigned char velo_matrix_watch_fill = 0;
// The deepest byte written there when a handler's entry last looked; 0 for none.
__attribute__((visibility("hidden"))) std::uintptr_t velo_matrix_deepest_at_entry = 0;
// A page past the end of its file, whose read is the SIGBUS.
__attribute__((visibility("hidden"))) long velo_matrix_bus_address = 0;
// The program's handlers as the kernel enters them (below).
void velo_matrix_program_handler(int number, siginfo_t* info, void* context);
void velo_matrix_program_plain_handler(int number);
void velo_matrix_first_reporter(int number, siginfo_t* info, void* context);
void velo_matrix_second_reporter(int number, siginfo_t* info, void* context);
void velo_matrix_plain_reporter(int number);
void velo_matrix_one_shot_reporter(int number, siginfo_t* info, void* context);
}

namespace {

using handon::kNoCode;
using handon::kNotChecked;
using handon::Note;
using recordtest::Road;

// ---- the rows ---------------------------------------------------------------------------------------

// The crash; ownCalls is none: the program's own calls that its sandbox traps, answered by its broker.
enum class Crash : std::uint8_t { segv, bus, ill, fpe, trap, raisedAbort, abortCall, trappedCall, ownCalls };
// The handler the program had before the SDK started, or its SIG_IGN.
enum class Earlier : std::uint8_t { none, sigaction, signalCall, ignored };
// What the program did to the signal after the SDK started: nothing; installed its handler then; the
// put-back idiom (old = signal(n, probe); signal(n, old)); a second reporter that calls the action it
// replaced; one that calls the pointer signal() gave it, with one argument; two reporters, one over the
// other; a reporter that calls the action it replaced and then takes itself out (signal(n, SIG_DFL)).
enum class Since : std::uint8_t {
    nothing,
    sigaction,
    putBack,
    reporter,
    reporterThroughSignal,
    twoReporters,
    oneShotReporter
};
// What the program's handler does; sendsAgain: as the app's terminal restorer does, it gives the signal the
// default action and sends it to its thread again, which ends the process once the signal is let through.
enum class Does : std::uint8_t {
    returns,
    stepsOver,
    jumpsOut,
    aborts,
    faultsGuarded,
    faultsUnguarded,
    sendsAgain
};
// The main thread where it stands, or at a new deepest point; another thread with plenty of its own stack
// left, or placed so that the frame the kernel makes for its crash leaves Row::room bytes of that stack
// above its guard page.
enum class Where : std::uint8_t { main, mainDeep140K, mainDeep1M, mainDeep7M, thread, threadAtFrame };
// A sandbox that traps system calls for every thread, closed right before the crash: every getpid and
// openat, which the program's SIGSYS handler from before the SDK answers as a broker does; or every getpid,
// with no handler to answer it.
enum class Sandbox : std::uint8_t { none, brokers, unanswered };
// Main ends the process (exit, quick_exit) as soon as a crash on another thread is under way.
enum class Exit : std::uint8_t { none, exit, quickExit };

struct Row {
    Crash crash = Crash::segv;
    Earlier earlier = Earlier::sigaction;
    Since since = Since::nothing;
    int flags = SA_SIGINFO | SA_ONSTACK; // the program's handler's, where it installs one with sigaction
    Where where = Where::main;
    int altKiB = 64; // the crashing thread's alternate stack; 0: none (SS_DISABLE)
    int company = 1; // threads crashing at once, the same way
    Does does = Does::stepsOver;
    bool copiesRefused = false; // a seccomp filter refuses process_vm_readv and process_vm_writev
    bool masks = false;         // the program's handler holds SIGUSR1 and SIGUSR2 off (its sa_mask)
    bool blocked = false;       // the crashing threads hold the crash signal blocked
    Sandbox sandbox = Sandbox::none;
    bool spaceFull = false; // the address space may not grow when it crashes (RLIMIT_AS at its size)
    Exit exits = Exit::none;
    int room = 0; // Where::threadAtFrame: the bytes of its own stack left below the kernel's frame

    std::string name() const;
    bool mainThread() const { return where <= Where::mainDeep7M; }
    // Whether a program handler of this row is told the crash's si_code: installed with SA_SIGINFO, and
    // not put back by signal() since.
    bool codeVisible() const {
        return (earlier == Earlier::sigaction || since == Since::sigaction) && (flags & SA_SIGINFO) != 0 &&
               since != Since::putBack;
    }
};

int numberOf(Crash crash) {
    constexpr int kNumbers[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT, SIGABRT, SIGSYS, SIGSYS};
    return kNumbers[static_cast<int>(crash)];
}

bool isFault(Crash crash) {
    return crash <= Crash::fpe;
}

bool sentByTheProcess(Crash crash) {
    return crash == Crash::raisedAbort || crash == Crash::abortCall;
}

std::string Row::name() const {
    static const char* const kCrashes[] = {
        "SEGV", "BUS", "ILL", "FPE", "TRAP", "raise(ABRT)", "abort()", "SYS", "own-getpid+openat"};
    static const char* const kEarlier[] = {"", "sigaction", "signal()", "SIG_IGN"};
    static const char* const kSince[] = {
        "", "sigaction", "put-back", "reporter", "signal()-reporter", "two-reporters", "one-shot-reporter"};
    static const char* const kDoes[] = {"returns",        "steps-over",       "jumps-out",  "aborts",
                                        "faults-guarded", "faults-unguarded", "sends-again"};
    static const char* const kWhere[] = {"main",    "main@140K", "main@1M",
                                         "main@7M", "thread",    "thread@frame+"};
    std::string out = kCrashes[static_cast<int>(crash)];
    if (earlier != Earlier::none) out += std::string(" before:") + kEarlier[static_cast<int>(earlier)];
    if (since != Since::nothing) out += std::string(" since:") + kSince[static_cast<int>(since)];
    if (earlier == Earlier::sigaction || since == Since::sigaction) {
        std::string named;
        for (auto [flag, text] :
             {std::pair{SA_SIGINFO, "SIGINFO"}, std::pair{SA_ONSTACK, "ONSTACK"},
              std::pair{static_cast<int>(SA_RESETHAND), "RESETHAND"}, std::pair{SA_NODEFER, "NODEFER"}})
            if ((flags & flag) != 0) named += (named.empty() ? "" : "|") + std::string(text);
        out += "[" + named + "]";
    }
    out += std::string(" ") + kWhere[static_cast<int>(where)];
    if (where == Where::threadAtFrame) out += std::to_string(room);
    out += altKiB == 0 ? " noalt" : " alt" + std::to_string(altKiB) + "K";
    if (company > 1) out += " x" + std::to_string(company);
    if (earlier == Earlier::sigaction || earlier == Earlier::signalCall || since == Since::sigaction)
        out += std::string(" ") + kDoes[static_cast<int>(does)];
    if (copiesRefused) out += " copies-refused";
    if (masks) out += " masking:USR1+USR2";
    if (blocked) out += " blocked";
    if (sandbox == Sandbox::brokers) out += " sandbox:brokered-getpid+openat";
    if (sandbox == Sandbox::unanswered) out += " sandbox:unanswered-getpid+openat";
    if (spaceFull) out += " address-space-full";
    if (exits == Exit::exit) out += " main-exits";
    if (exits == Exit::quickExit) out += " main-quick-exits";
    return out;
}

// Differences a row may show without failing, each for a reason the maintainer has weighed: rows whose
// name holds both words of `rows`, on `road` (null: either), differences of `kind` (ending, hang, saw,
// errno, bytes, below sp, below sp by the SDK's handler, held, waits, record). README.md names each.
struct Allowed {
    const char* rows[2];
    const char* road;
    const char* kind;
    const char* reason;
};
const Allowed kAllowed[] = {
    // The suspension signal (SIGRTMAX - 1) is held off while a handler the SDK handed a crash on to runs,
    // so that a recording elsewhere meanwhile does not stop it on what may be the last of its stack. It is
    // reported apart from the rest of the mask ("held"), which is compared in full; once the program went
    // on, its mask is compared with that signal in it.
    {{"", ""}, nullptr, "held", "the SDK holds SIGRTMAX - 1 off while the handler it handed on to runs"},
    // Where the SDK's handler runs on the main thread's own stack, its frames stand below the kernel's (or
    // below a reporter's that calls it) before the program's handler is entered at the kernel's frame: no
    // alternate stack, its handler put back by signal() (which keeps no SA_ONSTACK), or called by a
    // reporter installed by signal(). What passes is that room alone: the first handler entered exactly
    // kSDKHandlerBytes deeper, or as deep, and the stack never written further below than the kernel's run
    // by more than that.
    {{"noalt", ""},
     nullptr,
     "below sp by the SDK's handler",
     "the SDK's handler runs below the kernel's frame"},
    {{"put-back", ""},
     nullptr,
     "below sp by the SDK's handler",
     "the SDK's handler runs below the kernel's frame"},
    {{"signal()-reporter", ""},
     nullptr,
     "below sp by the SDK's handler",
     "the SDK's handler runs below the reporter that calls it"},
    // Put back by signal(), which keeps no SA_ONSTACK, the SDK's handler takes its first crash on the
    // interrupted stack, where the kernel alone, for a signal the program ignores, runs no handler at all.
    {{"put-back", "SIG_IGN"},
     nullptr,
     "below sp",
     "the SDK's handler put back by signal() runs on the interrupted stack"},
};

// ---- the program: its handlers, threads and crashes (in the child) ----------------------------------

constexpr int kKnownErrno = EDOM;

// Each crashing thread's stacks, in memory the test reads once the child is gone: a watched stretch
// filled with a pattern, a guard page, the thread's own stack; another watched stretch, then its
// alternate stack.
constexpr std::size_t kWatched = 16 * 1024;
constexpr std::size_t kGuard = 4096;
constexpr std::size_t kOwnStack = 256 * 1024;
constexpr std::size_t kAltMost = 64 * 1024;
constexpr std::size_t kSlot = kWatched + kGuard + kOwnStack + kWatched + kAltMost;
constexpr std::size_t kOwnLow = kWatched + kGuard;
constexpr std::size_t kAltWatched = kOwnLow + kOwnStack;
constexpr std::size_t kAltLow = kAltWatched + kWatched;
constexpr unsigned char kPattern = 0xa5;
// The main thread's stack is the child's own: it watches kWatched bytes of it itself, from right below the
// red zone of the stack pointer its crash is taken at; for an abort() (whose depth is not measured) and
// the calls of a row with no crash, from this far below where the crash site is called (its own frames
// and calls stand above).
constexpr std::uintptr_t kAboveTheWatched = 1024;

// What the crash site loads before it crashes (in velo_matrix_regs' order: rbx, rbp, r12 to r15, rsi, rdi,
// r8 to r10, this plus 1 to 11), writes in its red zone (this plus 0 to 15, lowest first), loads in the
// vector registers' low halves (xmm0 to xmm15, this plus 0 to 15) and sets as the vector unit's control
// (flush to zero, round toward zero, every exception masked; a program's handler runs with the default).
// The first six are the registers a call keeps, and the control too.
constexpr std::uint64_t kKnownRegister = 0x7e57000000000000;
constexpr std::uint64_t kKnownRedZone = 0x7e575a0000000000;
constexpr std::uint64_t kKnownVector = 0x7e57ec0000000000;
constexpr std::uint32_t kKnownMxcsr = 0xff80;
const char* const kCheckedRegisters[] = {"rbx", "rbp", "r12", "r13", "r14",      "r15", "rsi",
                                         "rdi", "r8",  "r9",  "r10", "red-zone", "xmm", "mxcsr"};
constexpr int kRegisterBits = static_cast<int>(std::size(kCheckedRegisters));

Row row;
int toldFd = -1;
unsigned char* slots = nullptr;
int stepLength = 0;
struct sigaction replacedByFirst {};
struct sigaction replacedBySecond {};
void (*replacedPointer)(int) = SIG_DFL;
std::atomic<int> ready{0};
std::atomic<bool> go{false};
std::atomic<bool> aCrashWentOn{false};
bool withTheSDK = false;
pid_t processId = 0;          // as read before a sandbox closed
std::uintptr_t crashBase = 0; // the main thread's stack pointer where it crashes
// The id the first crashing thread is given (the row runs in a PID namespace of its own); 0: any.
int placedId = 0;

// The calling thread's stacks, as its handlers classify their frames.
struct Place {
    std::uintptr_t ownLow, ownHigh, altLow, altHigh;
    int index;
};
thread_local Place place;
thread_local sigjmp_buf jumpBack;
thread_local int nested = 0; // inside a handler another handler called

// Where the kernel makes a signal frame: below the interrupted stack pointer's red zone (or at the top of
// the alternate stack), its FPU state from the 64-byte boundary under that, then the rest, down to the
// handler's return address 8 bytes below a 64-byte boundary. How far that goes grows with the CPU's vector
// state, from some 3 KiB to far more; measured in the test on a thread made as the crashing ones are
// (measureTheKernelsFrame) before the children are forked.
struct FrameGeometry {
    std::uintptr_t frame = 0;      // from a 64-byte boundary down to the handler's entry stack pointer
    std::uintptr_t siteDepth = 0;  // from where crashHere is called down to where its own crash is taken
    std::uintptr_t raiseDepth = 0; // the same for its raise
};
FrameGeometry kernelFrame;

// What measureTheKernelsFrame sends; the matrix's programs neither send nor handle it.
constexpr int kProbeSignal = SIGURG;
constexpr int kProbes = 2; // crashHere sends it twice: from its own system call, and by raise
thread_local int probesTaken = 0;
thread_local std::uintptr_t probedFrames[kProbes];        // the handler's entry stack pointer
thread_local std::uintptr_t probedStackPointers[kProbes]; // the stack pointer the signal interrupted

void tell(const Note& note) {
    (void)!write(toldFd, &note, sizeof note);
}

std::uint64_t signalMask() {
    std::uint64_t mask = 0;
    syscall(SYS_rt_sigprocmask, SIG_BLOCK, nullptr, &mask, sizeof mask);
    return mask;
}

// The main thread's watched stretch: the deepest byte written there, or 0. Inlined where the crash site
// reads it as it goes on, so that no frame of a call of its own lands in the stretch first.
__attribute__((always_inline)) inline std::uintptr_t deepestWritten() {
    const auto* bottom = reinterpret_cast<const volatile unsigned char*>(velo_matrix_watch_bottom);
    const auto* top = reinterpret_cast<const volatile unsigned char*>(velo_matrix_watch_top);
    for (const volatile unsigned char* at = bottom; at < top; ++at)
        if (*at != velo_matrix_watch_fill) return reinterpret_cast<std::uintptr_t>(at);
    return 0;
}

std::int32_t belowTheCrash(std::uintptr_t deepest) {
    if (velo_matrix_watch_top == 0) return -1;
    return deepest == 0 ? 0 : static_cast<std::int32_t>(crashBase - deepest);
}

void tellPassing(char what, int number, int error) {
    Note note{};
    note.what = what;
    note.altState = note.stack = '-';
    note.thread = static_cast<std::int8_t>(place.index);
    note.number = static_cast<std::int16_t>(number);
    note.code = kNoCode;
    note.error = error;
    note.mask = signalMask();
    tell(note);
}

// What a handler entered at `frame` (the place of its return address) sees. `uc` may be read only.
// `deepest`: what its entry found written below the crash.
void tellEntered(char what, int number, const siginfo_t* info, const ucontext_t* uc, std::uintptr_t frame,
                 int error, std::uintptr_t deepest) {
    Note note{};
    note.what = what;
    note.thread = static_cast<std::int8_t>(place.index);
    note.number = static_cast<std::int16_t>(number);
    note.code = info != nullptr ? static_cast<std::int16_t>(info->si_code) : kNoCode;
    note.error = error;
    note.below = belowTheCrash(deepest);
    note.mask = signalMask();
    if (nested != 0) {
        note.altState = note.stack = '-';
    } else {
        stack_t now{};
        sigaltstack(nullptr, &now);
        note.altState = (now.ss_flags & SS_ONSTACK) != 0 ? 'a' : (now.ss_flags & SS_DISABLE) != 0 ? 'd' : 'o';
        const auto at = reinterpret_cast<std::uintptr_t>(uc);
        if (frame >= place.ownLow && frame < place.ownHigh) {
            // Without the SDK, the kernel enters a little-stack row's handler right where the row was
            // placed to have it; anywhere else, the row is not the one it is named for.
            if (!withTheSDK && row.where == Where::threadAtFrame && frame != place.ownLow + row.room)
                _exit(crashtest::kSetUpFailed);
            note.stack = 'o';
            note.frame = static_cast<std::int32_t>(
                static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]) - frame);
        } else if (frame >= place.altLow && frame < place.altHigh) {
            note.stack = 'a';
            note.frame = static_cast<std::int32_t>(place.altHigh - frame);
        } else {
            note.stack = 'e';
        }
        note.context = static_cast<std::int32_t>(at - frame);
        const auto fpregs = reinterpret_cast<std::uintptr_t>(uc->uc_mcontext.fpregs);
        note.fpregs = fpregs != 0 ? static_cast<std::int32_t>(fpregs - frame) : 0;
    }
    tell(note);
}

// A read that may fault (a handler's own), of a known length for a handler that steps over it.
__attribute__((noinline)) void loadFrom(long address) {
    long value = 0;
    asm volatile("movq (%%rax), %%rax" : "=a"(value) : "0"(address) : "memory"); // 3 bytes
}

void act(int number, ucontext_t* uc) {
    switch (row.does) {
    case Does::returns:
        break;
    case Does::stepsOver:
        uc->uc_mcontext.gregs[REG_RIP] += stepLength;
        return;
    case Does::jumpsOut:
        siglongjmp(jumpBack, 1);
    case Does::aborts:
        std::abort();
    case Does::faultsGuarded:
    case Does::faultsUnguarded:
        loadFrom(0);
        tellPassing('i', number, errno);
        if (isFault(row.crash)) uc->uc_mcontext.gregs[REG_RIP] += stepLength;
        break;
    case Does::sendsAgain:
        signal(number, SIG_DFL);
        syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), number);
        return;
    }
    if (number == SIGSYS && uc != nullptr) uc->uc_mcontext.gregs[REG_RAX] = velofixture::kEmulatedAnswer;
}

// The entry of each handler below as the kernel (or a handler calling it) enters it: before the handler's
// frame is made, it finds the deepest byte written in the main thread's watched stretch (for a handler
// entered at the kernel's frame: whatever ran before it wrote there, the kernel's frame and what was handed
// it), touching no register a handler is called with and writing nothing to the stack, then goes on to
// the handler, which finds the stack pointer as the kernel left it.
#define VELO_MATRIX_ENTRY(entry, body)                                                                       \
    asm(".text\n"                                                                                            \
        ".p2align 4\n"                                                                                       \
        ".globl " entry "\n"                                                                                 \
        ".hidden " entry "\n"                                                                                \
        ".type " entry ", @function\n" entry ":\n"                                                           \
        "    xorl %r9d, %r9d\n"                                                                              \
        "    movq velo_matrix_watch_top(%rip), %rax\n"                                                       \
        "    movq velo_matrix_watch_bottom(%rip), %rcx\n"                                                    \
        "    movzbl velo_matrix_watch_fill(%rip), %r8d\n"                                                    \
        "1:  cmpq %rax, %rcx\n"                                                                              \
        "    jae 3f\n"                                                                                       \
        "    cmpb %r8b, (%rcx)\n"                                                                            \
        "    jne 2f\n"                                                                                       \
        "    incq %rcx\n"                                                                                    \
        "    jmp 1b\n"                                                                                       \
        "2:  movq %rcx, %r9\n"                                                                               \
        "3:  movq %r9, velo_matrix_deepest_at_entry(%rip)\n"                                                 \
        "    jmp " body "\n"                                                                                 \
        ".size " entry ", .-" entry "\n")

VELO_MATRIX_ENTRY("velo_matrix_program_handler", "velo_matrix_program_handler_body");
VELO_MATRIX_ENTRY("velo_matrix_program_plain_handler", "velo_matrix_program_plain_handler_body");
VELO_MATRIX_ENTRY("velo_matrix_first_reporter", "velo_matrix_first_reporter_body");
VELO_MATRIX_ENTRY("velo_matrix_second_reporter", "velo_matrix_second_reporter_body");
VELO_MATRIX_ENTRY("velo_matrix_plain_reporter", "velo_matrix_plain_reporter_body");
VELO_MATRIX_ENTRY("velo_matrix_one_shot_reporter", "velo_matrix_one_shot_reporter_body");

void programHandler(int number, siginfo_t* info, void* context) asm("velo_matrix_program_handler_body");
void programPlainHandler(int number) asm("velo_matrix_program_plain_handler_body");
void firstReporter(int number, siginfo_t* info, void* context) asm("velo_matrix_first_reporter_body");
void secondReporter(int number, siginfo_t* info, void* context) asm("velo_matrix_second_reporter_body");
void plainReporter(int number) asm("velo_matrix_plain_reporter_body");
void oneShotReporter(int number, siginfo_t* info, void* context) asm("velo_matrix_one_shot_reporter_body");

// The program's handler. Without SA_SIGINFO it reads its context where the kernel puts it, above the
// frame, and never writes there.
__attribute__((used)) void programHandler(int number, siginfo_t* info, void* context) {
    const std::uintptr_t deepest = velo_matrix_deepest_at_entry;
    const int error = errno;
    const auto frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) + sizeof(void*);
    const bool siginfo = (row.flags & SA_SIGINFO) != 0;
    auto* uc = siginfo ? static_cast<ucontext_t*>(context) : reinterpret_cast<ucontext_t*>(frame + 8);
    tellEntered('h', number, siginfo ? info : nullptr, uc, frame, error, deepest);
    act(number, siginfo ? uc : nullptr);
    errno = error;
}

// The same, installed with signal(): it never writes to its context either.
__attribute__((used)) void programPlainHandler(int number) {
    const std::uintptr_t deepest = velo_matrix_deepest_at_entry;
    const int error = errno;
    const auto frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) + sizeof(void*);
    tellEntered('h', number, nullptr, reinterpret_cast<ucontext_t*>(frame + 8), frame, error, deepest);
    act(number, nullptr);
    errno = error;
}

// The program's guard for a read that may fault: steps over it.
void guardStepper(int number, siginfo_t*, void* context) {
    tellPassing('s', number, errno);
    static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP] += 3;
}

void putBackProbe(int) {}

bool hasHandler(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 ? action.sa_sigaction != nullptr
                                               : action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

void callReplaced(const struct sigaction& replaced, int number, siginfo_t* info, void* context) {
    ++nested;
    if ((replaced.sa_flags & SA_SIGINFO) != 0 && replaced.sa_sigaction != nullptr)
        replaced.sa_sigaction(number, info, context);
    else if (hasHandler(replaced))
        replaced.sa_handler(number);
    --nested;
}

// As a crash reporter ends its turn: a signal the process sent itself is raised again under the default
// action; a fault runs again, under the default action when no handler was there to take it.
void finishReporting(int number, bool replacedHadHandler) {
    if (sentByTheProcess(row.crash)) {
        signal(number, SIG_DFL);
        raise(number);
        return;
    }
    if (!replacedHadHandler) signal(number, SIG_DFL);
}

// What a reporter installed with sigaction, entered at `frame`, does first: it tells it was entered (as
// `entered`) and passes the crash to the action it replaced, then tells it is back (as `back`).
struct Entered {
    std::uintptr_t frame, deepest;
    int error;
};
void reportAndPass(char entered, char back, const struct sigaction& replaced, int number, siginfo_t* info,
                   void* context, const Entered& at) {
    const auto [frame, deepest, error] = at;
    tellEntered(entered, number, info, static_cast<ucontext_t*>(context), frame, error, deepest);
    callReplaced(replaced, number, info, context);
    tellPassing(back, number, errno);
}

__attribute__((used)) void firstReporter(int number, siginfo_t* info, void* context) {
    const Entered at{reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) + sizeof(void*),
                     velo_matrix_deepest_at_entry, errno};
    reportAndPass('r', 'b', replacedByFirst, number, info, context, at);
    finishReporting(number, hasHandler(replacedByFirst));
    errno = at.error;
}

__attribute__((used)) void secondReporter(int number, siginfo_t* info, void* context) {
    const Entered at{reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) + sizeof(void*),
                     velo_matrix_deepest_at_entry, errno};
    reportAndPass('q', 'p', replacedBySecond, number, info, context, at);
    finishReporting(number, hasHandler(replacedBySecond));
    errno = at.error;
}

__attribute__((used)) void plainReporter(int number) {
    const std::uintptr_t deepest = velo_matrix_deepest_at_entry;
    const int error = errno;
    const auto frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) + sizeof(void*);
    tellEntered('r', number, nullptr, reinterpret_cast<ucontext_t*>(frame + 8), frame, error, deepest);
    const bool handler = replacedPointer != SIG_DFL && replacedPointer != SIG_IGN;
    ++nested;
    if (handler) replacedPointer(number);
    --nested;
    tellPassing('b', number, errno);
    finishReporting(number, handler);
    errno = error;
}

// A reporter that steps aside once it has passed the crash on: it calls the action it replaced, then takes
// itself out and returns, whatever the crash.
__attribute__((used)) void oneShotReporter(int number, siginfo_t* info, void* context) {
    const Entered at{reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) + sizeof(void*),
                     velo_matrix_deepest_at_entry, errno};
    reportAndPass('r', 'b', replacedByFirst, number, info, context, at);
    signal(number, SIG_DFL);
    errno = at.error;
}

bool endsWith(const char* text, const char* end) {
    const std::size_t length = std::strlen(text);
    const std::size_t endLength = std::strlen(end);
    return length >= endLength && std::strcmp(text + length - endLength, end) == 0;
}

// The program's SIGSYS handler from before the SDK, answering what its sandbox traps as a broker does:
// getpid with the id read before the sandbox closed, openat through open where the path allows it (one
// taken from the working folder or whole), anything else with ENOSYS. It tells each answer: 'P' for a
// getpid, 'O' for an openat (code 1 when it opened a crash record file).
void broker(int number, siginfo_t* info, void* context) {
    const int error = errno;
    auto& registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
    Note note{};
    note.what = '?';
    note.altState = note.stack = '-';
    note.thread = static_cast<std::int8_t>(place.index);
    note.number = static_cast<std::int16_t>(number);
    long answer = -ENOSYS;
    if (info->si_code == velofixture::kTrappedBySeccomp && info->si_syscall == SYS_getpid) {
        note.what = 'P';
        answer = processId;
    } else if (info->si_code == velofixture::kTrappedBySeccomp && info->si_syscall == SYS_openat) {
        const auto* path = reinterpret_cast<const char*>(registers[REG_RSI]);
        note.what = 'O';
        note.code = static_cast<std::int16_t>(path != nullptr && endsWith(path, ".zevrecord"));
        if (path != nullptr && (static_cast<int>(registers[REG_RDI]) == AT_FDCWD || path[0] == '/')) {
            const long opened = syscall(SYS_open, path, registers[REG_RDX], registers[REG_R10]);
            answer = opened >= 0 ? opened : -errno;
        }
    }
    registers[REG_RAX] = answer;
    note.error = static_cast<std::int32_t>(answer < 0 ? -answer : 0);
    tell(note);
    errno = error;
}

void install(int number, void (*handler)(int, siginfo_t*, void*), int flags, struct sigaction* old = nullptr,
             bool masks = false) {
    struct sigaction action {};
    action.sa_sigaction = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    if (masks) {
        sigaddset(&action.sa_mask, SIGUSR1);
        sigaddset(&action.sa_mask, SIGUSR2);
    }
    sigaction(number, &action, old);
}

// A seccomp filter for every thread.
bool filterEveryThread(sock_filter* filter, unsigned short length) {
    sock_fprog program{length, filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &program) == 0;
}

// A sandbox that will not let the process copy memory of its own through the kernel.
bool refuseMemoryCopies() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_process_vm_readv, 1, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_process_vm_writev, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    return filterEveryThread(filter, sizeof filter / sizeof filter[0]);
}

// A sandbox that traps every getpid and every openat, whatever their arguments.
bool trapCalls() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_getpid, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
    };
    return filterEveryThread(filter, sizeof filter / sizeof filter[0]);
}

// No mapping can be added any more: the address space's limit becomes its size now (VmSize), and a page
// asked for is refused.
bool fillAddressSpace() {
    // Other threads (the SDK's own) may unmap memory between the look and the limit: the limit is set again
    // at the size it then has, until not a page more can be mapped.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        char status[8192];
        const int file = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
        const ssize_t length = file >= 0 ? read(file, status, sizeof status - 1) : -1;
        if (file >= 0) close(file);
        if (length <= 0) return false;
        status[length] = 0;
        const char* size = std::strstr(status, "VmSize:");
        unsigned long kib = 0;
        if (size == nullptr || std::sscanf(size, "VmSize: %lu kB", &kib) != 1) return false;
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = kib * 1024;
        if (setrlimit(RLIMIT_AS, &limit) != 0) return false;
        void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (page == MAP_FAILED) return true;
        munmap(page, 4096);
    }
    return false;
}

// A page of a file that ends before it: reading it is a SIGBUS.
long pastTheEndOfAFile() {
    const int file = static_cast<int>(syscall(SYS_memfd_create, "velo-matrix-bus", 0));
    void* page = file >= 0 ? mmap(nullptr, 4096, PROT_READ, MAP_SHARED, file, 0) : MAP_FAILED;
    return page == MAP_FAILED ? 0 : reinterpret_cast<long>(page);
}

// The main thread's stack mapping, [low, high), as it stands now.
bool mainStack(std::uintptr_t* low, std::uintptr_t* high) {
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr) return false;
    char line[512];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long begin = 0;
        unsigned long end = 0;
        if (std::strstr(line, "[stack]") != nullptr && std::sscanf(line, "%lx-%lx", &begin, &end) == 2) {
            *low = begin;
            *high = end;
            found = true;
        }
    }
    std::fclose(maps);
    return found;
}

void wentOn(long answer, std::uint32_t registers, std::uintptr_t deepest) {
    const int error = errno;
    Note note{};
    note.what = 'g';
    note.altState = note.stack = '-';
    note.thread = static_cast<std::int8_t>(place.index);
    note.code = row.crash == Crash::trappedCall
                    ? static_cast<std::int16_t>(answer == velofixture::kEmulatedAnswer)
                : row.crash == Crash::ownCalls ? static_cast<std::int16_t>(answer)
                                               : kNoCode;
    note.error = error;
    note.below = belowTheCrash(deepest);
    note.regs = registers;
    note.mask = signalMask();
    tell(note);
    aCrashWentOn = true;
}

// The registers the crash site found changed as it went on, a bit each in kCheckedRegisters' order, the
// red zone's last: all it loaded, but where the crash itself takes one (a system call's argument), and for
// a call (raise) only those a call keeps.
std::uint32_t registersChanged() {
    // Read through a pointer the compiler cannot see into: it would fold the known values into the
    // variable's thread offset, past what that offset's relocation holds.
    const MatrixRegisters* check = &velo_matrix_regs;
    asm("" : "+r"(check));
    const bool call = row.crash == Crash::raisedAbort;
    const int checked = call ? 6 : 11;
    std::uint32_t changed = 0;
    for (int i = 0; i < checked; ++i)
        if (check->seen[i] != kKnownRegister + static_cast<std::uint64_t>(i) + 1 &&
            !(row.crash == Crash::trappedCall && i == 7))
            changed |= 1u << i;
    for (int i = 0; i < 16; ++i) {
        if (check->redZone[i] != kKnownRedZone + static_cast<std::uint64_t>(i)) changed |= 1u << 11;
        if (!call && check->vectors[i] != kKnownVector + static_cast<std::uint64_t>(i)) changed |= 1u << 12;
    }
    // The status flags a fault's own instruction may raise (the low six bits) are not the handler's.
    if ((check->mxcsr & ~0x3fU) != kKnownMxcsr) changed |= 1u << 13;
    return changed;
}

// The program's own calls its sandbox traps, as its broker answers them: 1 when both were.
long ownCallsAnswered() {
    const long id = syscall(SYS_getpid);
    const long file = syscall(SYS_openat, AT_FDCWD, "/dev/null", O_RDONLY | O_CLOEXEC);
    if (file >= 0) close(static_cast<int>(file));
    return id == processId && file >= 0 ? 1 : 0;
}

// The crash site: known values in the registers and the red zone, the crash, and what they hold once the
// code went on, kept in velo_matrix_regs; the frame pointer is set aside meanwhile. Each faulting
// instruction has the length a handler that steps over it adds: movq (%rax), %rax 3 bytes, ud2 2, idivl
// %ecx 2.
#define VELO_MATRIX_RED(at) "movq %%rax, " #at "(%%rsp)\n\tincq %%rax\n\t"
// The vector registers and the vector unit's control as the crash site knows them, and as it reads them
// back (setting the control it found before back).
#define VELO_MATRIX_VECTORS_KNOWN                                                                            \
    "movabsq %[vector]+0, %%rax\n\tmovq %%rax, %%xmm0\n\t"                                                   \
    "movabsq %[vector]+1, %%rax\n\tmovq %%rax, %%xmm1\n\t"                                                   \
    "movabsq %[vector]+2, %%rax\n\tmovq %%rax, %%xmm2\n\t"                                                   \
    "movabsq %[vector]+3, %%rax\n\tmovq %%rax, %%xmm3\n\t"                                                   \
    "movabsq %[vector]+4, %%rax\n\tmovq %%rax, %%xmm4\n\t"                                                   \
    "movabsq %[vector]+5, %%rax\n\tmovq %%rax, %%xmm5\n\t"                                                   \
    "movabsq %[vector]+6, %%rax\n\tmovq %%rax, %%xmm6\n\t"                                                   \
    "movabsq %[vector]+7, %%rax\n\tmovq %%rax, %%xmm7\n\t"                                                   \
    "movabsq %[vector]+8, %%rax\n\tmovq %%rax, %%xmm8\n\t"                                                   \
    "movabsq %[vector]+9, %%rax\n\tmovq %%rax, %%xmm9\n\t"                                                   \
    "movabsq %[vector]+10, %%rax\n\tmovq %%rax, %%xmm10\n\t"                                                 \
    "movabsq %[vector]+11, %%rax\n\tmovq %%rax, %%xmm11\n\t"                                                 \
    "movabsq %[vector]+12, %%rax\n\tmovq %%rax, %%xmm12\n\t"                                                 \
    "movabsq %[vector]+13, %%rax\n\tmovq %%rax, %%xmm13\n\t"                                                 \
    "movabsq %[vector]+14, %%rax\n\tmovq %%rax, %%xmm14\n\t"                                                 \
    "movabsq %[vector]+15, %%rax\n\tmovq %%rax, %%xmm15\n\t"                                                 \
    "stmxcsr %%fs:velo_matrix_regs@tpoff+372\n\t"                                                            \
    "movl %[mxcsr], %%fs:velo_matrix_regs@tpoff+368\n\t"                                                     \
    "ldmxcsr %%fs:velo_matrix_regs@tpoff+368\n\t"
#define VELO_MATRIX_VECTORS_SEEN                                                                             \
    "movq %%xmm0, %%fs:velo_matrix_regs@tpoff+240\n\t"                                                       \
    "movq %%xmm1, %%fs:velo_matrix_regs@tpoff+248\n\t"                                                       \
    "movq %%xmm2, %%fs:velo_matrix_regs@tpoff+256\n\t"                                                       \
    "movq %%xmm3, %%fs:velo_matrix_regs@tpoff+264\n\t"                                                       \
    "movq %%xmm4, %%fs:velo_matrix_regs@tpoff+272\n\t"                                                       \
    "movq %%xmm5, %%fs:velo_matrix_regs@tpoff+280\n\t"                                                       \
    "movq %%xmm6, %%fs:velo_matrix_regs@tpoff+288\n\t"                                                       \
    "movq %%xmm7, %%fs:velo_matrix_regs@tpoff+296\n\t"                                                       \
    "movq %%xmm8, %%fs:velo_matrix_regs@tpoff+304\n\t"                                                       \
    "movq %%xmm9, %%fs:velo_matrix_regs@tpoff+312\n\t"                                                       \
    "movq %%xmm10, %%fs:velo_matrix_regs@tpoff+320\n\t"                                                      \
    "movq %%xmm11, %%fs:velo_matrix_regs@tpoff+328\n\t"                                                      \
    "movq %%xmm12, %%fs:velo_matrix_regs@tpoff+336\n\t"                                                      \
    "movq %%xmm13, %%fs:velo_matrix_regs@tpoff+344\n\t"                                                      \
    "movq %%xmm14, %%fs:velo_matrix_regs@tpoff+352\n\t"                                                      \
    "movq %%xmm15, %%fs:velo_matrix_regs@tpoff+360\n\t"                                                      \
    "stmxcsr %%fs:velo_matrix_regs@tpoff+368\n\t"                                                            \
    "ldmxcsr %%fs:velo_matrix_regs@tpoff+372\n\t"
#define VELO_MATRIX_KNOWN                                                                                    \
    "movq %%rbp, %%fs:velo_matrix_regs@tpoff\n\t"                                                            \
    "movabsq %[known]+1, %%rbx\n\t"                                                                          \
    "movabsq %[known]+2, %%rbp\n\t"                                                                          \
    "movabsq %[known]+3, %%r12\n\t"                                                                          \
    "movabsq %[known]+4, %%r13\n\t"                                                                          \
    "movabsq %[known]+5, %%r14\n\t"                                                                          \
    "movabsq %[known]+6, %%r15\n\t"                                                                          \
    "movabsq %[known]+7, %%rsi\n\t"                                                                          \
    "movabsq %[known]+8, %%rdi\n\t"                                                                          \
    "movabsq %[known]+9, %%r8\n\t"                                                                           \
    "movabsq %[known]+10, %%r9\n\t"                                                                          \
    "movabsq %[known]+11, %%r10\n\t"                                                                         \
    "movabsq %[red], %%rax\n\t" VELO_MATRIX_RED(-128) VELO_MATRIX_RED(-120) VELO_MATRIX_RED(-112)            \
        VELO_MATRIX_RED(-104) VELO_MATRIX_RED(-96) VELO_MATRIX_RED(-88) VELO_MATRIX_RED(-80)                 \
            VELO_MATRIX_RED(-72) VELO_MATRIX_RED(-64) VELO_MATRIX_RED(-56) VELO_MATRIX_RED(-48)              \
                VELO_MATRIX_RED(-40) VELO_MATRIX_RED(-32) VELO_MATRIX_RED(-24) VELO_MATRIX_RED(-16)          \
                    VELO_MATRIX_RED(-8) VELO_MATRIX_VECTORS_KNOWN
#define VELO_MATRIX_SEEN_RED(at, slot)                                                                       \
    "movq " #at "(%%rsp), %%rax\n\tmovq %%rax, %%fs:velo_matrix_regs@tpoff+" #slot "\n\t"
#define VELO_MATRIX_SEEN                                                                                     \
    "movq %%rax, %%fs:velo_matrix_regs@tpoff+104\n\t"                                                        \
    "movq %%rbx, %%fs:velo_matrix_regs@tpoff+16\n\t"                                                         \
    "movq %%rbp, %%fs:velo_matrix_regs@tpoff+24\n\t"                                                         \
    "movq %%r12, %%fs:velo_matrix_regs@tpoff+32\n\t"                                                         \
    "movq %%r13, %%fs:velo_matrix_regs@tpoff+40\n\t"                                                         \
    "movq %%r14, %%fs:velo_matrix_regs@tpoff+48\n\t"                                                         \
    "movq %%r15, %%fs:velo_matrix_regs@tpoff+56\n\t"                                                         \
    "movq %%rsi, %%fs:velo_matrix_regs@tpoff+64\n\t"                                                         \
    "movq %%rdi, %%fs:velo_matrix_regs@tpoff+72\n\t"                                                         \
    "movq %%r8, %%fs:velo_matrix_regs@tpoff+80\n\t"                                                          \
    "movq %%r9, %%fs:velo_matrix_regs@tpoff+88\n\t"                                                          \
    "movq %%r10, %%fs:velo_matrix_regs@tpoff+96\n\t" VELO_MATRIX_SEEN_RED(-128, 112) VELO_MATRIX_SEEN_RED(   \
        -120, 120) VELO_MATRIX_SEEN_RED(-112, 128) VELO_MATRIX_SEEN_RED(-104, 136)                           \
        VELO_MATRIX_SEEN_RED(-96, 144) VELO_MATRIX_SEEN_RED(-88, 152) VELO_MATRIX_SEEN_RED(-80, 160)         \
            VELO_MATRIX_SEEN_RED(-72, 168) VELO_MATRIX_SEEN_RED(-64, 176) VELO_MATRIX_SEEN_RED(-56, 184)     \
                VELO_MATRIX_SEEN_RED(-48, 192) VELO_MATRIX_SEEN_RED(-40, 200) VELO_MATRIX_SEEN_RED(-32, 208) \
                    VELO_MATRIX_SEEN_RED(-24, 216) VELO_MATRIX_SEEN_RED(-16, 224) VELO_MATRIX_SEEN_RED(      \
                        -8, 232) "movq %%fs:velo_matrix_regs@tpoff, %%rbp\n\t" VELO_MATRIX_VECTORS_SEEN
#define VELO_MATRIX_VALUES                                                                                   \
    [known] "i"(kKnownRegister), [red] "i"(kKnownRedZone), [vector] "i"(kKnownVector),                       \
        [mxcsr] "i"(kKnownMxcsr)
#define VELO_MATRIX_CLOBBERS                                                                                 \
    "rax", "rbx", "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11", "r12", "r13", "r14", "r15", "cc",    \
        "memory", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10",   \
        "xmm11", "xmm12", "xmm13", "xmm14", "xmm15"
// raise(number), called below the red zone, on a stack pointer aligned as a call wants it.
#define VELO_MATRIX_RAISE                                                                                    \
    "movq %%rsp, %%fs:velo_matrix_regs@tpoff+8\n\t"                                                          \
    "subq $128, %%rsp\n\t"                                                                                   \
    "andq $-16, %%rsp\n\t"                                                                                   \
    "movl %[number], %%edi\n\t"                                                                              \
    "call raise@PLT\n\t"                                                                                     \
    "movq %%fs:velo_matrix_regs@tpoff+8, %%rsp\n\t"

// Crashes as the row has it, on a stack of its own (crashStackPointer) whose stretch below it the main
// thread watches, and tells how the code went on where it does. Kept a function that calls others, so
// that the compiler keeps nothing in its red zone. `probing` (not null): sends the probe signal instead,
// from where a crash is taken (measureTheKernelsFrame).
void crashHere(void* probing) {
    if (row.where == Where::main)
        for (auto* at = reinterpret_cast<volatile unsigned char*>(velo_matrix_watch_bottom);
             at < reinterpret_cast<volatile unsigned char*>(velo_matrix_watch_top); ++at)
            *at = kPattern;
    long answer = 0;
    errno = kKnownErrno;
    if (probing != nullptr) {
        // A signal sent by a system call made here is taken at the stack pointer a fault, a trap or a
        // trapped call of the crash site is taken at; one sent by raise, where the raised crash is.
        const long process = getpid();
        const long thread = syscall(SYS_gettid);
        asm volatile("syscall"
                     : "=a"(answer)
                     : "0"(SYS_tgkill), "D"(process), "S"(thread), "d"(kProbeSignal)
                     : "rcx", "r11", "memory");
        asm volatile(VELO_MATRIX_RAISE : : [number] "i"(kProbeSignal) : VELO_MATRIX_CLOBBERS);
        return;
    }
    switch (row.crash) {
    case Crash::segv:
        asm volatile(VELO_MATRIX_KNOWN "xorl %%eax, %%eax\n\tmovq (%%rax), %%rax\n\t" VELO_MATRIX_SEEN
                     :
                     : VELO_MATRIX_VALUES
                     : VELO_MATRIX_CLOBBERS);
        break;
    case Crash::bus:
        asm volatile(VELO_MATRIX_KNOWN "movq velo_matrix_bus_address(%%rip), %%rax\n\t"
                                       "movq (%%rax), %%rax\n\t" VELO_MATRIX_SEEN
                     :
                     : VELO_MATRIX_VALUES
                     : VELO_MATRIX_CLOBBERS);
        break;
    case Crash::ill:
        asm volatile(VELO_MATRIX_KNOWN "ud2\n\t" VELO_MATRIX_SEEN
                     :
                     : VELO_MATRIX_VALUES
                     : VELO_MATRIX_CLOBBERS);
        break;
    case Crash::fpe:
        asm volatile(VELO_MATRIX_KNOWN
                     "movl $1, %%eax\n\txorl %%ecx, %%ecx\n\tcltd\n\tidivl %%ecx\n\t" VELO_MATRIX_SEEN
                     :
                     : VELO_MATRIX_VALUES
                     : VELO_MATRIX_CLOBBERS);
        break;
    case Crash::trap:
        asm volatile(VELO_MATRIX_KNOWN "int3\n\t" VELO_MATRIX_SEEN
                     :
                     : VELO_MATRIX_VALUES
                     : VELO_MATRIX_CLOBBERS);
        break;
    case Crash::raisedAbort:
        asm volatile(VELO_MATRIX_KNOWN VELO_MATRIX_RAISE VELO_MATRIX_SEEN
                     :
                     : VELO_MATRIX_VALUES, [number] "i"(SIGABRT)
                     : VELO_MATRIX_CLOBBERS);
        break;
    case Crash::abortCall:
        std::abort();
    case Crash::trappedCall:
        asm volatile(VELO_MATRIX_KNOWN
                     "movl %[call], %%eax\n\tmovq %[mark], %%rdi\n\tsyscall\n\t" VELO_MATRIX_SEEN
                     :
                     : VELO_MATRIX_VALUES, [call] "i"(SYS_getpid), [mark] "i"(velofixture::kTrappedMark)
                     : VELO_MATRIX_CLOBBERS);
        break;
    case Crash::ownCalls:
        answer = ownCallsAnswered();
        wentOn(answer, kNotChecked, deepestWritten());
        return;
    }
    const std::uintptr_t deepest = deepestWritten();
    wentOn(static_cast<long>(velo_matrix_regs.answer), registersChanged(), deepest);
}

// Where the crash happens on this thread: the stack pointer crashHere is called at.
std::uintptr_t crashStackPointer() {
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    std::size_t depth = 0;
    switch (row.where) {
    case Where::main:
    case Where::thread:
        return (here - 4096) & ~std::uintptr_t{63};
    case Where::threadAtFrame:
        // The crash is taken the measured depth below this (at crashHere's own instructions, or inside its
        // raise); the kernel begins its frame below the red zone there, on a 64-byte boundary (a room and
        // the frame add up to whole 64-byte steps), and ends it `room` bytes above the guard page. The
        // depth of an abort() is not measured: no row crashes so with little stack.
        if (row.crash == Crash::abortCall || row.crash == Crash::ownCalls) _exit(crashtest::kSetUpFailed);
        return place.ownLow + static_cast<std::uintptr_t>(row.room) + kernelFrame.frame + 128 +
               (row.crash == Crash::raisedAbort ? kernelFrame.raiseDepth : kernelFrame.siteDepth);
    case Where::mainDeep140K:
        depth = 140 * 1024;
        break;
    case Where::mainDeep1M:
        depth = 1024 * 1024;
        break;
    case Where::mainDeep7M:
        depth = 7 * 1024 * 1024;
        break;
    }
    // Past the deepest point the stack ever reached, 512 bytes into a page it never used: the handler's
    // frame goes down into the next page, which the stack gains only as it is written.
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
    if (!mainStack(&low, &high)) _exit(crashtest::kSetUpFailed);
    return (std::min(high - depth, low - 4096) & ~std::uintptr_t{4095}) + 512;
}

// The main thread watches kWatched bytes of its stack from right below the red zone of the stack pointer
// its crash is taken at, `at` being where crashHere is called. Where the stack stands, crashHere lays the
// pattern there; at a new depth it lays nothing, and the pages the stack gains there come zeroed: the stack
// must grow for the crash's frames as it would.
void watchBelow(std::uintptr_t at) {
    std::uintptr_t above = kAboveTheWatched;
    if (row.crash == Crash::raisedAbort)
        above = kernelFrame.raiseDepth + 128;
    else if (row.crash != Crash::abortCall && row.crash != Crash::ownCalls)
        above = kernelFrame.siteDepth + 128;
    crashBase = at;
    velo_matrix_watch_top = at - above;
    velo_matrix_watch_bottom = velo_matrix_watch_top - kWatched;
    velo_matrix_watch_fill = row.where == Where::main ? kPattern : 0;
}

void setUpThisThread(int index) {
    unsigned char* slot = slots + static_cast<std::size_t>(index) * kSlot;
    place.index = index;
    if (row.mainThread()) {
        std::uintptr_t low = 0;
        if (!mainStack(&low, &place.ownHigh)) _exit(crashtest::kSetUpFailed);
        rlimit limit{};
        getrlimit(RLIMIT_STACK, &limit);
        place.ownLow = place.ownHigh - std::min<rlim_t>(limit.rlim_cur, 64 * 1024 * 1024);
    } else {
        place.ownLow = reinterpret_cast<std::uintptr_t>(slot + kOwnLow);
        place.ownHigh = place.ownLow + kOwnStack;
    }
    stack_t alternate{};
    if (row.altKiB == 0) {
        alternate.ss_flags = SS_DISABLE;
    } else {
        alternate.ss_sp = slot + kAltLow;
        alternate.ss_size = static_cast<std::size_t>(row.altKiB) * 1024;
        place.altLow = reinterpret_cast<std::uintptr_t>(alternate.ss_sp);
        place.altHigh = place.altLow + alternate.ss_size;
    }
    if (sigaltstack(&alternate, nullptr) != 0) _exit(crashtest::kSetUpFailed);
    if (row.crash == Crash::trappedCall && !velofixture::trapMarkedGetpid()) _exit(crashtest::kSetUpFailed);
    if (row.blocked) {
        sigset_t crash;
        sigemptyset(&crash);
        sigaddset(&crash, numberOf(row.crash));
        pthread_sigmask(SIG_BLOCK, &crash, nullptr);
    }
}

// What the program does last before it crashes, once everything the crash needs is in place (on the
// crashing thread of a main-thread row; otherwise on main, the crashing threads ready): its sandbox closes
// and its address space is full.
void rightBeforeTheCrash() {
    if (row.sandbox != Sandbox::none && !trapCalls()) _exit(crashtest::kSetUpFailed);
    if (row.spaceFull && !fillAddressSpace()) _exit(crashtest::kSetUpFailed);
}

void crashOnThisThread() {
    const std::uintptr_t at = crashStackPointer();
    if (row.mainThread()) {
        watchBelow(at);
        rightBeforeTheCrash();
    }
    if (sigsetjmp(jumpBack, 1) == 0)
        darwin::runOnStack(reinterpret_cast<void*>(at), crashHere, nullptr);
    else
        wentOn(0, kNotChecked, deepestWritten());
}

void* crashingThread(void* raw) {
    setUpThisThread(static_cast<int>(reinterpret_cast<std::intptr_t>(raw)));
    if (placedId != 0 && place.index == 0 && syscall(SYS_gettid) != placedId) _exit(crashtest::kSetUpFailed);
    ready.fetch_add(1);
    go.wait(false);
    crashOnThisThread();
    return nullptr;
}

// Whether the SDK has claimed a crash, read through its own context.
bool crashClaimed() {
    const ZEVWritableContext* writable = withTheSDK ? zevuzavidav::sharedWritableContext() : nullptr;
    return reinterpret_cast<std::uintptr_t>(writable) >= 4096 && (writable->crashClaimed.load() & 1) != 0;
}

// Main ends the process as soon as a crash is under way: once the SDK has claimed one, or the crashing
// thread went on. The kernel alone ends the process of a fatal crash while main waits.
[[noreturn]] void exitOnceACrashIsUnderWay() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!aCrashWentOn.load() && !crashClaimed()) {
        if (std::chrono::steady_clock::now() >= deadline) _exit(crashtest::kSetUpFailed);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (row.exits == Exit::quickExit) std::quick_exit(0);
    std::exit(0);
}

// The next process or thread made in the caller's PID namespace gets `id`. False where the kernel refuses
// (the caller must hold CAP_SYS_ADMIN over that namespace).
bool placeNext(int id) {
    const int file = open("/proc/sys/kernel/ns_last_pid", O_WRONLY | O_CLOEXEC);
    if (file < 0) return false;
    const std::string text = std::to_string(id - 1);
    const bool placed = write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(file);
    return placed;
}

enum class Deliverer : std::uint8_t { kernel, exceptionPort, signals };

void runProgram(const Row& shape, Deliverer deliverer, const std::string& dir, int fd,
                unsigned char* memory) {
    row = shape;
    toldFd = fd;
    slots = memory;
    withTheSDK = deliverer != Deliverer::kernel;
    processId = getpid();
    if (placedId != 0 && row.mainThread() && processId != placedId) _exit(crashtest::kSetUpFailed);
    fcntl(fd, F_SETFL, O_NONBLOCK); // a handler called without end must not block on a full pipe
    const int number = numberOf(row.crash);
    stepLength = row.crash == Crash::segv || row.crash == Crash::bus ? 3 : 2;
    if (row.crash == Crash::bus && (velo_matrix_bus_address = pastTheEndOfAFile()) == 0)
        _exit(crashtest::kSetUpFailed);
    if (row.does == Does::faultsGuarded) install(SIGSEGV, guardStepper, SA_SIGINFO);
    if (row.sandbox == Sandbox::brokers) install(SIGSYS, broker, SA_SIGINFO | SA_ONSTACK);
    if (row.earlier == Earlier::sigaction)
        install(number, velo_matrix_program_handler, row.flags, nullptr, row.masks);
    else if (row.earlier == Earlier::signalCall)
        signal(number, velo_matrix_program_plain_handler);
    else if (row.earlier == Earlier::ignored)
        signal(number, SIG_IGN);
    if (withTheSDK)
        recordtest::initializeContext(dir, deliverer == Deliverer::exceptionPort ? Road::exceptionPort
                                                                                 : Road::signals);
    switch (row.since) {
    case Since::nothing:
        break;
    case Since::sigaction:
        install(number, velo_matrix_program_handler, row.flags, nullptr, row.masks);
        break;
    case Since::putBack:
        signal(number, signal(number, putBackProbe));
        break;
    case Since::reporter:
        install(number, velo_matrix_first_reporter, SA_SIGINFO | SA_ONSTACK, &replacedByFirst);
        break;
    case Since::reporterThroughSignal:
        replacedPointer = signal(number, velo_matrix_plain_reporter);
        break;
    case Since::twoReporters:
        install(number, velo_matrix_first_reporter, SA_SIGINFO | SA_ONSTACK, &replacedByFirst);
        install(number, velo_matrix_second_reporter, SA_SIGINFO | SA_ONSTACK, &replacedBySecond);
        break;
    case Since::oneShotReporter:
        install(number, velo_matrix_one_shot_reporter, SA_SIGINFO | SA_ONSTACK, &replacedByFirst);
        break;
    }
    if (row.copiesRefused && !refuseMemoryCopies()) _exit(crashtest::kSetUpFailed);
    if (row.mainThread()) {
        setUpThisThread(0);
        crashOnThisThread();
        _exit(0);
    }
    std::vector<pthread_t> threads(static_cast<std::size_t>(row.company));
    for (int i = 0; i < row.company; ++i) {
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstack(&attributes, memory + static_cast<std::size_t>(i) * kSlot + kOwnLow, kOwnStack);
        if ((i == 0 && placedId != 0 && !placeNext(placedId)) ||
            pthread_create(&threads[static_cast<std::size_t>(i)], &attributes, crashingThread,
                           reinterpret_cast<void*>(static_cast<std::intptr_t>(i))) != 0)
            _exit(crashtest::kSetUpFailed);
    }
    crashtest::setUpOrEnd([] { return ready.load() == row.company; });
    rightBeforeTheCrash();
    go = true;
    go.notify_all();
    if (row.exits != Exit::none) exitOnceACrashIsUnderWay();
    for (pthread_t thread : threads)
        pthread_join(thread, nullptr);
    _exit(0);
}

// Ends this process as the one whose wait status is `status` ended: by the same signal, or with the same
// exit status.
[[noreturn]] void endAs(int status) {
    if (WIFSIGNALED(status)) {
        const int number = WTERMSIG(status);
        signal(number, SIG_DFL);
        sigset_t it;
        sigemptyset(&it);
        sigaddset(&it, number);
        sigprocmask(SIG_UNBLOCK, &it, nullptr);
        kill(getpid(), number);
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : crashtest::kSetUpFailed);
}

// A step into a PID namespace of one's own that failed, and its errno; `failed` null where none did.
struct Step {
    const char* failed = nullptr;
    int error = 0;
};

Step failedAt(const char* step) {
    return {step, errno};
}

// The caller's first steps into a PID namespace of its own: one for the children it makes next, and a
// mount namespace whose mounts are all private, so that the /proc mounted there (mountOwnProc) shows in no
// other. Where "/" is no mount point (in a chroot), there is none to make private: "/" is bound on itself
// first, and the caller's root and working folder moved onto that mount.
Step unshareNamespaces() {
    if (unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) return failedAt("unshare(CLONE_NEWPID | CLONE_NEWNS)");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) return {};
    if (errno != EINVAL) return failedAt("making / private");
    char folder[PATH_MAX];
    if (getcwd(folder, sizeof folder) == nullptr) return failedAt("getcwd");
    if (mount("/", "/", nullptr, MS_BIND | MS_REC, nullptr) != 0) return failedAt("binding / on itself");
    // "/" still names the root under that mount; ".." from there steps onto the mount.
    if (chroot("/..") != 0 || chdir(folder) != 0) return failedAt("entering / bound on itself");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return failedAt("making / private");
    return {};
}

// The next step, in the new PID namespace's first process: a /proc of that namespace, whose thread ids are
// the ones its threads are told.
Step mountOwnProc() {
    if (mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
        return failedAt("mounting a /proc of the namespace");
    return {};
}

// Runs `program` in a PID namespace of its own, with a /proc of that namespace, and ends as it ended. It
// runs as the namespace's second process: the first, its init, has every signal it has no handler for
// ignored, which a crash must not be. For a main-thread row the process itself is given the placed id;
// otherwise runProgram places its first crashing thread.
[[noreturn]] void runInAPidNamespace(bool placeTheProcess, const std::function<void()>& program) {
    int report[2];
    if (unshareNamespaces().failed != nullptr || pipe2(report, O_CLOEXEC) != 0)
        _exit(crashtest::kSetUpFailed);
    const pid_t init = fork();
    if (init == 0) {
        close(report[0]);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        pollfd parent{report[1], 0, 0};
        if (poll(&parent, 1, 0) != 0) _exit(crashtest::kSetUpFailed); // its reader is gone already
        if (mountOwnProc().failed != nullptr || (placeTheProcess && !placeNext(placedId)))
            _exit(crashtest::kSetUpFailed);
        const pid_t child = fork();
        if (child == 0) {
            close(report[1]);
            program();
            _exit(0);
        }
        int status = 0;
        while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (child > 0) (void)!write(report[1], &status, sizeof status);
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    const bool told = init > 0 && read(report[0], &status, sizeof status) == sizeof status;
    while (init > 0 && waitpid(init, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!told) _exit(crashtest::kSetUpFailed);
    endAs(status);
}

// ---- the observations (in the test) -----------------------------------------------------------------

// The crashing threads' stacks, shared with the child.
struct Slots {
    unsigned char* memory = nullptr;
    std::size_t size = 0;
    explicit Slots(int company) : size(static_cast<std::size_t>(company) * kSlot) {
        void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return;
        memory = static_cast<unsigned char*>(mapped);
        std::memset(memory, kPattern, size);
        for (std::size_t at = 0; at < size; at += kSlot)
            mprotect(memory + at + kWatched, kGuard, PROT_NONE);
    }
    ~Slots() {
        if (memory != nullptr) munmap(memory, size);
    }
    Slots(const Slots&) = delete;
    Slots& operator=(const Slots&) = delete;
    static std::size_t written(const unsigned char* from) {
        return static_cast<std::size_t>(
            std::count_if(from, from + kWatched, [](unsigned char byte) { return byte != kPattern; }));
    }
    // The bytes written below each thread's stacks, as text ("none" when none).
    std::string writtenBelow(const Row& shape) const {
        std::string out;
        for (int i = 0; i < shape.company; ++i) {
            const unsigned char* slot = memory + static_cast<std::size_t>(i) * kSlot;
            const std::size_t own = shape.mainThread() ? 0 : written(slot);
            const std::size_t alternate = written(slot + kAltWatched);
            if (own != 0)
                out += "thread " + std::to_string(i) + ": " + std::to_string(own) + " below its stack; ";
            if (alternate != 0)
                out += "thread " + std::to_string(i) + ": " + std::to_string(alternate) +
                       " below its alternate stack; ";
        }
        return out.empty() ? "none" : out;
    }
};

// ---- the kernel's frame, measured (in the test) ----------------------------------------------------

void probeTaken(int, siginfo_t*, void* context) {
    if (probesTaken < kProbes) {
        probedFrames[probesTaken] = reinterpret_cast<std::uintptr_t>(context) - sizeof(void*);
        probedStackPointers[probesTaken] =
            static_cast<std::uintptr_t>(static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_RSP]);
    }
    ++probesTaken;
}

struct Probing {
    unsigned char* slot = nullptr;
    std::uintptr_t top = 0; // where crashHere is called
    int taken = 0;
    std::uintptr_t frames[kProbes] = {};
    std::uintptr_t stackPointers[kProbes] = {};
};

// On a thread made as a crashing one is, once it has used the vector registers as theirs have by their
// crash (in the C library's string functions, which pick them for the CPU): crashHere's probe signals,
// taken on the alternate stack.
void* probeOnThisThread(void* raw) {
    auto& probing = *static_cast<Probing*>(raw);
    void* (*volatile copy)(void*, const void*, std::size_t) = std::memcpy;
    copy(probing.slot + kAltLow, probing.slot + kOwnLow, 4096);
    stack_t alternate{};
    alternate.ss_sp = probing.slot + kAltLow;
    alternate.ss_size = kAltMost;
    sigset_t probe;
    sigemptyset(&probe);
    sigaddset(&probe, kProbeSignal);
    if (sigaltstack(&alternate, nullptr) != 0 || pthread_sigmask(SIG_UNBLOCK, &probe, nullptr) != 0)
        return nullptr;
    darwin::runOnStack(reinterpret_cast<void*>(probing.top), crashHere, &probing);
    probing.taken = probesTaken;
    std::copy(std::begin(probedFrames), std::end(probedFrames), probing.frames);
    std::copy(std::begin(probedStackPointers), std::end(probedStackPointers), probing.stackPointers);
    alternate.ss_flags = SS_DISABLE;
    sigaltstack(&alternate, nullptr);
    return nullptr;
}

// Measures kernelFrame, once, and prints the frame's size (which edge of which CPU a log's little-stack
// rows ran at): "" where it could, else why not.
std::string measureTheKernelsFrame() {
    static const std::string trouble = [] {
        const Slots stacks(1);
        if (stacks.memory == nullptr) return std::string("no memory to measure the kernel's frame on");
        Probing probing;
        probing.slot = stacks.memory;
        probing.top = reinterpret_cast<std::uintptr_t>(stacks.memory + kOwnLow + kOwnStack / 2);
        struct sigaction probe {};
        struct sigaction before {};
        probe.sa_sigaction = probeTaken;
        probe.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&probe.sa_mask);
        sigaction(kProbeSignal, &probe, &before);
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstack(&attributes, stacks.memory + kOwnLow, kOwnStack);
        pthread_t thread;
        if (pthread_create(&thread, &attributes, probeOnThisThread, &probing) == 0)
            pthread_join(thread, nullptr);
        pthread_attr_destroy(&attributes);
        sigaction(kProbeSignal, &before, nullptr);
        const auto altTop = reinterpret_cast<std::uintptr_t>(stacks.memory + kAltLow + kAltMost);
        if (probing.taken != kProbes || probing.frames[0] != probing.frames[1] ||
            probing.frames[0] <= altTop - kAltMost || probing.frames[0] >= altTop)
            return "the probe signal was taken " + std::to_string(probing.taken) + " times, not " +
                   std::to_string(kProbes) + " on the alternate stack in frames of one size";
        kernelFrame.frame = altTop - probing.frames[0];
        kernelFrame.siteDepth = probing.top - probing.stackPointers[0];
        kernelFrame.raiseDepth = probing.top - probing.stackPointers[1];
        std::printf(
            "The kernel's signal frame here: %zu bytes from a 64-byte boundary to the handler's entry "
            "(AT_MINSIGSTKSZ %lu); little-stack rows leave their room below it.\n",
            static_cast<std::size_t>(kernelFrame.frame), getauxval(AT_MINSIGSTKSZ));
        // The rows are placed as the kernel lays frames out on x86_64: ending 8 bytes below a 64-byte
        // boundary, and taken where a call left the stack pointer aligned (crashStackPointer).
        if (kernelFrame.frame % 64 != 8 || kernelFrame.siteDepth % 16 != 0 ||
            kernelFrame.raiseDepth % 16 != 0)
            return "the kernel's frame (" + std::to_string(kernelFrame.frame) +
                   " bytes) or the crashes' depths below where crashHere is called (" +
                   std::to_string(kernelFrame.siteDepth) + ", " + std::to_string(kernelFrame.raiseDepth) +
                   ") are not aligned as the little-stack rows' placing takes them to be";
        return std::string();
    }();
    return trouble;
}

struct Observed {
    std::string ending, saw, errors, bytes, held, waits, records;
    // On the main thread: how far below the crash's stack pointer its stack had been written as the first
    // handler the crash reached was entered, and at the most (by the last word any of them, or the code
    // that went on, told); -1 where none told.
    int entered = -1;
    int deepest = -1;
    // Of a run with the SDK that a signal ended: seconds from the SDK's last write in its folder (the
    // record's end, or its log's last line) to the process's end; -1 where not timed.
    double endAfterLastWrite = -1;
    std::string below() const {
        if (deepest < 0) return "none";
        return (entered < 0 ? std::string("no handler") : "entered at " + std::to_string(entered)) +
               ", deepest " + std::to_string(deepest);
    }
};

// A signal mask as text ("SEGV+USR1"; "-" for none).
std::string maskText(std::uint64_t mask) {
    std::string out;
    for (int number = 1; number <= 64; ++number) {
        if ((mask & (std::uint64_t{1} << (number - 1))) == 0) continue;
        const std::string name = number == SIGRTMAX - 1   ? "RTMAX-1"
                                 : number == SIGRTMAX - 2 ? "RTMAX-2"
                                                          : handon::signalName(number);
        out += (out.empty() ? "" : "+") + name;
    }
    return out.empty() ? "-" : out;
}

constexpr std::uint64_t kSuspensionBit = std::uint64_t{1} << 62; // SIGRTMAX - 1, the SDK's stop signal

std::string noteText(const Row& shape, const Note& note) {
    std::string out(1, note.what);
    if (note.what == 'g') {
        if (note.code != kNoCode) out += note.code != 0 ? ":answered" : ":unanswered";
        if (note.regs != kNotChecked) {
            std::string changed;
            for (int i = 0; i < kRegisterBits; ++i)
                if ((note.regs & (1u << i)) != 0)
                    changed += (changed.empty() ? "" : ",") + std::string(kCheckedRegisters[i]);
            out += changed.empty() ? ":regs-ok" : ":regs-changed:" + changed;
        }
        // Once the program went on, its mask is compared whole.
        return out + "/mask:" + maskText(note.mask);
    }
    out += ":" + handon::signalName(note.number);
    const bool codeVisible = note.what == 's' ||
                             ((note.what == 'r' || note.what == 'q') &&
                              (shape.since == Since::reporter || shape.since == Since::twoReporters ||
                               shape.since == Since::oneShotReporter)) ||
                             (note.what == 'h' && shape.codeVisible());
    if (codeVisible && note.code != kNoCode) out += "/c" + std::to_string(note.code);
    if (note.altState != '-') {
        out += std::string("/alt:") + note.altState + "/";
        out += note.stack == 'o'   ? "own-" + std::to_string(note.frame)
               : note.stack == 'a' ? "altTop-" + std::to_string(note.frame)
                                   : std::string("elsewhere");
        out += "/ctx+" + std::to_string(note.context) + "/fp+" + std::to_string(note.fpregs);
    }
    return out + "/mask:" + maskText(note.mask & ~kSuspensionBit);
}

// A list of notes as text: in order for one thread; for several, sorted and counted ("16x g"), each
// distinct one once when the process ended before every thread could tell (how far the others came
// depends on the moment).
std::string listed(std::vector<std::string> items, int company, bool allWentOn) {
    if (company > 1) {
        std::sort(items.begin(), items.end());
        std::vector<std::string> counted;
        for (auto at = items.begin(); at != items.end();) {
            const auto end =
                std::find_if(at, items.end(), [&](const std::string& item) { return item != *at; });
            counted.push_back(allWentOn ? std::to_string(end - at) + "x " + *at : *at);
            at = end;
        }
        items = std::move(counted);
    }
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : " ") + item;
    return "[" + out + "]";
}

// A list as the table shows it: a handler called without end fills the pipe, and a dozen notes tell as
// much.
std::string shown(const std::string& list) {
    constexpr int kShown = 12;
    std::size_t at = 0;
    for (int i = 0; i < kShown && at != std::string::npos; ++i)
        at = list.find(' ', at + 1);
    if (at == std::string::npos) return list;
    const auto more = std::count(list.begin() + static_cast<std::ptrdiff_t>(at), list.end(), ' ');
    return list.substr(0, at) + " ... " + std::to_string(more) + " more]";
}

// What a record file opened through the program's broker adds to the records seen.
constexpr const char* kThroughTheBroker = " (opened through the broker)";

// The SDK log's lines that tell one of its bounded waits ran out (a recording not ended within its
// bound, a claimed crash not recorded in time, a wait for the recording turn given up): each is a crash
// that took as long as the SDK lets it, where the kernel alone takes none. "none" for none. The words are
// looked for whatever their case: a line may begin with one.
std::string waitsRunOut(const std::string& dir) {
    static const char* const kWords[] = {"in time", "bound",    "patience",
                                         "gave up", "given up", "unable to record while another recording"};
    if (dir.empty()) return "none";
    std::ifstream log(dir + "/sdk.log");
    std::string out;
    for (std::string line; std::getline(log, line);) {
        std::string lower = line;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (std::any_of(std::begin(kWords), std::end(kWords),
                        [&](const char* word) { return lower.find(word) != std::string::npos; }))
            out += (out.empty() ? "" : " / ") + line;
    }
    return out.empty() ? "none" : out;
}

// The time of the last write to any file in `dir`, by the wall clock.
std::optional<std::chrono::system_clock::time_point> lastWriteIn(const std::string& dir) {
    std::optional<std::chrono::system_clock::time_point> last;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir, error)) {
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        const auto at = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
        if (!last.has_value() || at > *last) last = at;
    }
    return last;
}

Observed observe(const Row& shape, const handon::Ended& ended, const Slots& stacks, const std::string& dir,
                 bool allWentOn) {
    Observed observed;
    observed.ending = handon::endingOf(ended.status, ended.hung);
    std::vector<std::string> saw;
    std::vector<std::string> errors;
    std::vector<std::string> held;
    bool recordBrokered = false;
    for (const Note& note : handon::notesIn(ended.told)) {
        // A broker answers the SDK's calls as well as the program's: what it opened goes with the records,
        // not with what the program's handlers saw.
        if (note.what == 'P' || note.what == 'O') {
            recordBrokered = recordBrokered || (note.what == 'O' && note.code == 1);
            continue;
        }
        saw.push_back(noteText(shape, note));
        errors.push_back(std::string(1, note.what) + ":" + std::to_string(note.error));
        if (note.below >= 0 && note.what != 'g' && observed.entered < 0) observed.entered = note.below;
        observed.deepest = std::max<int>(observed.deepest, note.below);
        if (note.what != 'g' && (note.mask & kSuspensionBit) != 0) held.push_back(std::string(1, note.what));
    }
    observed.saw = listed(saw, shape.company, allWentOn);
    observed.errors = listed(errors, shape.company, allWentOn);
    observed.bytes = stacks.writtenBelow(shape);
    observed.held = listed(held, shape.company, allWentOn);
    observed.waits = waitsRunOut(dir);
    observed.records = dir.empty() ? "" : handon::recordsIn(dir) + (recordBrokered ? kThroughTheBroker : "");
    if (!dir.empty() && WIFSIGNALED(ended.status) && !ended.hung) {
        const auto lastWrite = lastWriteIn(dir);
        if (lastWrite.has_value())
            observed.endAfterLastWrite = std::chrono::duration<double>(ended.at - *lastWrite).count();
    }
    return observed;
}

// The record of the crash, or, where the program's own handler took the signal from the SDK since, of the
// signal that handler raises in turn; `mended`: of a crash that came once the SDK's handler put back by
// signal() had its flags again.
// The rooms a little-stack row leaves its handler below the kernel's frame, in bytes. That frame ends 8
// bytes below a 64-byte boundary and the guard page under it starts on one, so a room is always 56 more
// than a multiple of 64: the least there is (56, short of a handler that takes 64 bytes), the least past
// that (120), either side of the 544 bytes the SDK's handlers once took (504, 568), the least in which
// they also fit where no stack could be lent them (760: the address space is full), and some 1 KiB.
constexpr int kRooms[] = {56, 120, 504, 568, 760, 1016};
static_assert(std::all_of(std::begin(kRooms), std::end(kRooms), [](int room) { return room % 64 == 56; }));

// Whether the program's handler goes on from the crash, as far as the kernel alone would let it: it
// returns, steps over the fault or jumps out (a fault it returns from comes back, and has its handler reset).
bool handlerGoesOn(const Row& shape) {
    const bool handled = shape.earlier == Earlier::sigaction || shape.earlier == Earlier::signalCall ||
                         shape.since == Since::sigaction;
    return handled && (shape.does == Does::stepsOver || shape.does == Does::jumpsOut ||
                       (shape.does == Does::returns && !isFault(shape.crash)));
}

// A system call the sandbox traps, answered by a handler of the program's for SIGSYS alone, which the SDK
// takes for a sandbox's: the program's own business, no crash; what that handler does may crash.
bool answeredByTheSandbox(const Row& shape) {
    return shape.crash == Crash::trappedCall && shape.since == Since::nothing &&
           (shape.earlier == Earlier::sigaction || shape.earlier == Earlier::signalCall);
}

std::string expectedCause(const Row& shape, Road road, bool mended, int endedBy) {
    int number = numberOf(shape.crash);
    // A launch that ends by exit crashed in none of the crashes it went on from: their records are dropped.
    // The program's own calls its sandbox traps and its broker answers are none.
    if ((shape.exits != Exit::none && handlerGoesOn(shape)) || shape.crash == Crash::ownCalls) return "none";
    // The program's handler's own crash is recorded: the abort or fault that ends the process, or a guarded
    // read's fault it goes on from; not the row's own signal, which that handler has itself.
    if (shape.since == Since::sigaction || answeredByTheSandbox(shape)) {
        if (shape.does == Does::faultsGuarded)
            number = SIGSEGV;
        else if (endedBy != 0 && endedBy != numberOf(shape.crash))
            number = endedBy;
        else
            return "none";
    }
    // Where the kernel filled no siginfo (the SDK's handler put back by signal(), or a reporter installed by
    // signal() calling it), the port has no codes to report a fault with: the fault is recorded as the
    // signal it is.
    const bool withoutSiginfo =
        (shape.since == Since::putBack && !mended) || shape.since == Since::reporterThroughSignal;
    if (road == Road::exceptionPort && number != SIGABRT && number != SIGSYS && !withoutSiginfo) {
        const char* name = number == SIGILL    ? "EXC_BAD_INSTRUCTION"
                           : number == SIGFPE  ? "EXC_ARITHMETIC"
                           : number == SIGTRAP ? "EXC_BREAKPOINT"
                                               : "EXC_BAD_ACCESS";
        return std::string("mach ") + name;
    }
    return "signal " + std::to_string(number) + " SIG" + handon::signalName(number);
}

// The record the SDK must leave: of the cause, its file opened through the program's broker in a sandbox
// that has one.
std::string expectedRecord(const Row& shape, Road road, int endedBy, bool mended = false) {
    // A fault, a trap or a trapped call the thread holds blocked is the default action's at once, which no
    // handler sees; a raise stays pending.
    if (shape.blocked) return "none";
    std::string record = expectedCause(shape, road, mended, endedBy);
    if (shape.sandbox == Sandbox::brokers && record != "none") record += kThroughTheBroker;
    return record;
}

// What the SDK's handler writes on the stack it runs on, below the frame the kernel made for it: it takes
// 56 bytes (README.md): the thread's alternate stack and the way on, kept there by its entry. Called by a
// reporter instead (one installed by signal() chaining to it), it runs as a function below the reporter's
// frame, and takes up to kSDKCalledBytes there before its run moves to a stack with room.
constexpr int kSDKHandlerBytes = 56;
constexpr int kSDKCalledBytes = 448;

// The entry of kAllowed that lets a difference of `kind` pass in this row on this road, or null.
const Allowed* allowed(const std::string& rowName, const char* road, const std::string& kind) {
    const auto entry = std::find_if(std::begin(kAllowed), std::end(kAllowed), [&](const Allowed& entry) {
        return kind == entry.kind && (entry.road == nullptr || std::strcmp(entry.road, road) == 0) &&
               rowName.find(entry.rows[0]) != std::string::npos &&
               rowName.find(entry.rows[1]) != std::string::npos;
    });
    return entry != std::end(kAllowed) ? entry : nullptr;
}

// How long, at the most, the quickest of the rows' crashes may take to end once the SDK wrote its last.
constexpr double kEndHeldAtMost = 0.25;
constexpr int kQuickestOfAtLeast = 3;

// A child still running this long after it started has hung: a whole run takes well under a second, and
// the SDK ends a recording that hangs within six.
constexpr double kHangBound = 30;

// Whether `cut`, a list of notes, is `whole` cut short: for a row whose main thread ends the process while
// a crash is under way, how far the crashing thread came by then depends on the moment.
bool cutShort(const std::string& whole, const std::string& cut) {
    const std::string inside = cut.substr(0, cut.size() - 1);
    return whole.compare(0, inside.size(), inside) == 0 &&
           (inside == "[" || whole[inside.size()] == ' ' || whole[inside.size()] == ']');
}

// Runs every row without the SDK (twice, to hold the harness to a deterministic kernel) and with it on
// each road; fails with one line for each row that differs. With `placed` (not 0), each child runs in a
// PID namespace of its own, where its first crashing thread has that id.
void expectAsTheKernelDelivers(const std::vector<Row>& rows, int placed = 0) {
    const std::string trouble = measureTheKernelsFrame();
    ASSERT_TRUE(trouble.empty()) << "The little-stack rows and the main thread's watch cannot be placed: "
                                 << trouble;
    constexpr int kRuns = 4; // the kernel twice, the port road, the signal road
    std::vector<std::array<handon::Ended, kRuns>> ended(rows.size());
    std::vector<std::array<std::shared_ptr<Slots>, kRuns>> stacks(rows.size());
    std::vector<std::array<std::shared_ptr<velotest::TempFolder>, kRuns>> folders(rows.size());
    std::vector<handon::Job> jobs;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (int run = 0; run < kRuns; ++run) {
            const Deliverer deliverer = run < 2    ? Deliverer::kernel
                                        : run == 2 ? Deliverer::exceptionPort
                                                   : Deliverer::signals;
            jobs.push_back({[&, i, run] {
                                stacks[i][run] = std::make_shared<Slots>(rows[i].company);
                                if (run >= 2) folders[i][run] = std::make_shared<velotest::TempFolder>();
                            },
                            [&, i, run, deliverer, placed](int fd) {
                                if (stacks[i][run]->memory == nullptr) _exit(crashtest::kSetUpFailed);
                                const auto program = [&] {
                                    runProgram(rows[i], deliverer, run >= 2 ? folders[i][run]->string() : "",
                                               fd, stacks[i][run]->memory);
                                };
                                placedId = placed;
                                if (placed == 0)
                                    program();
                                else
                                    runInAPidNamespace(rows[i].mainThread(), program);
                            },
                            [&, i, run](const handon::Ended& end) { ended[i][run] = end; }});
        }
    }
    // Eight at once whatever the cores: a child mostly waits, and one that hangs holds its place for the
    // whole bound, which a machine of two cores must not pay two at a time.
    handon::runAll(jobs, 8, kHangBound);

    std::string table;
    std::string passed; // differences kAllowed lets pass
    int differing = 0;
    // On each road, the quickest end of a recorded crash after the SDK's last write, its row and how many
    // were timed: of crashes the SDK ends by the default action, and of those a handler of the program's
    // takes on.
    struct Quickest {
        double seconds = -1;
        std::string row;
        int timed = 0;
    };
    Quickest quickestEnd[2][2];
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& shape = rows[i];
        const std::string name = shape.name();
        const bool allWentOn = handon::endingOf(ended[i][0].status, ended[i][0].hung) == "exit 0";
        std::array<Observed, kRuns> seen;
        for (int run = 0; run < kRuns; ++run)
            seen[run] = observe(shape, ended[i][run], *stacks[i][run],
                                run >= 2 ? folders[i][run]->string() : "", allWentOn);
        const Observed& kernel = seen[0];
        if (kernel.ending == "set-up failed" || kernel.ending == "hung" || kernel.bytes != "none" ||
            kernel.held != "[]" || kernel.ending != seen[1].ending || kernel.saw != seen[1].saw ||
            kernel.errors != seen[1].errors || kernel.below() != seen[1].below()) {
            table += name + " | the kernel alone is no yardstick: " + kernel.ending + " " + kernel.saw + " " +
                     kernel.errors + " below " + kernel.below() + " bytes " + kernel.bytes + " / again " +
                     seen[1].ending + " " + seen[1].saw + " " + seen[1].errors + " below " + seen[1].below() +
                     "\n";
            ++differing;
            continue;
        }
        for (int run = 2; run < kRuns; ++run) {
            const Observed& sdk = seen[run];
            const Road road = run == 2 ? Road::exceptionPort : Road::signals;
            const bool endedByTheSDK = shape.earlier == Earlier::none && shape.since == Since::nothing;
            Quickest& quickest = quickestEnd[run - 2][endedByTheSDK ? 0 : 1];
            if (sdk.endAfterLastWrite >= 0 && sdk.records != "none") {
                ++quickest.timed;
                if (quickest.seconds < 0 || sdk.endAfterLastWrite < quickest.seconds)
                    quickest = {sdk.endAfterLastWrite, name, quickest.timed};
            }
            const char* roadName = road == Road::exceptionPort ? "port road" : "signal road";
            std::string line;
            const auto compare = [&](const char* kind, const std::string& ours, const std::string& theirs) {
                if (ours == theirs) return;
                if (const Allowed* entry = allowed(name, roadName, kind)) {
                    passed += name + " | " + roadName + ": " + kind + " (" + entry->reason + ")\n";
                    return;
                }
                line += std::string("; ") + kind + ": kernel " + shown(ours) + " | SDK " + shown(theirs);
            };
            const auto compareNotes = [&](const char* kind, const std::string& ours,
                                          const std::string& theirs) {
                if (shape.exits == Exit::none || !cutShort(ours, theirs)) compare(kind, ours, theirs);
            };
            compare(sdk.ending == "hung" ? "hang" : "ending", kernel.ending, sdk.ending);
            compareNotes("saw", kernel.saw, sdk.saw);
            compareNotes("errno", kernel.errors, sdk.errors);
            compare("bytes", kernel.bytes, sdk.bytes);
            // Where the SDK's handler runs on the main thread's stack ahead of the program's, it takes its
            // own room below the kernel's frame, and no more.
            const int handlerBytes =
                shape.since == Since::reporterThroughSignal ? kSDKCalledBytes : kSDKHandlerBytes;
            const bool withinTheSDKsHandler =
                sdk.deepest >= 0 && kernel.deepest >= 0 && sdk.deepest <= kernel.deepest + handlerBytes &&
                (sdk.entered == kernel.entered ||
                 (kernel.entered >= 0 && sdk.entered == kernel.entered + kSDKHandlerBytes));
            compare(withinTheSDKsHandler ? "below sp by the SDK's handler" : "below sp", kernel.below(),
                    sdk.below());
            compareNotes("held", kernel.held, sdk.held);
            compare("waits", kernel.waits, sdk.waits);
            // Of threads crashing at once through the put-back handler, the one recorded may have crashed
            // after the first had given that handler its flags back.
            // The signal the kernel alone ended the process by, 0 for none.
            const int endedBy = WIFSIGNALED(ended[i][0].status) ? WTERMSIG(ended[i][0].status) : 0;
            const std::string expected = expectedRecord(shape, road, endedBy);
            const bool mendedFirst = shape.since == Since::putBack && shape.company > 1 &&
                                     sdk.records == expectedRecord(shape, road, endedBy, true);
            // Of threads crashing at once that all go on, each is recorded once the one before has gone
            // on, and a fault that came while the exception port was unregistered for the one before goes
            // to the signal's disposition: the last record may be of that road.
            const bool laterOfThoseGoneOn = shape.company > 1 && handlerGoesOn(shape) &&
                                            road == Road::exceptionPort &&
                                            sdk.records == expectedRecord(shape, Road::signals, endedBy);
            // A handler of the program's that overflows the last of a stack with no alternate one beside it
            // ends the process where no handler, the SDK's neither, has room to run; with an alternate stack,
            // that fault may be recorded in place of the crash the handler was handed, as a crash of its own
            // where that one went unrecorded (it came as another was recorded).
            const bool overflowed = shape.where == Where::threadAtFrame && endedBy == SIGSEGV;
            const bool overflowedUnseen =
                overflowed && ((shape.altKiB == 0 && sdk.records == "none") ||
                               sdk.records == "signal 11 SIGSEGV" || sdk.records == "mach EXC_BAD_ACCESS");
            if (sdk.records != expected && !mendedFirst && !laterOfThoseGoneOn && !overflowedUnseen) {
                if (const Allowed* entry = allowed(name, roadName, "record"))
                    passed += name + " | " + roadName + ": record (" + entry->reason + ")\n";
                else
                    line += "; record: expected " + expected + " | SDK " + sdk.records;
            }
            if (line.empty()) continue;
            table += name + " | " + roadName + line + "\n";
            ++differing;
        }
    }
    // A crash recorded ends the process at once, as the kernel would have: nothing holds its end. Timed by
    // the quickest of a few rows or more, which a machine however busy gives some moment to end in; an end
    // held on every crash of a kind (a wait, a sleep) holds every row of it.
    for (int road = 0; road < 2; ++road) {
        for (int kind = 0; kind < 2; ++kind) {
            const Quickest& quickest = quickestEnd[road][kind];
            if (quickest.timed < kQuickestOfAtLeast) continue;
            EXPECT_LT(quickest.seconds, kEndHeldAtMost)
                << "On the " << (road == 0 ? "port" : "signal") << " road, the quickest of " << quickest.timed
                << " recorded crashes " << (kind == 0 ? "the SDK ends" : "handed to the program's handler")
                << " ended " << quickest.seconds << " s after the SDK's last write (" << quickest.row << ")";
        }
    }
    EXPECT_TRUE(table.empty()) << differing << " of " << rows.size() * 2
                               << " row runs with the SDK differ from the kernel alone:\n"
                               << table << "Let pass, as allowed:\n"
                               << (passed.empty() ? "none\n" : passed);
}

// ---- the table --------------------------------------------------------------------------------------

constexpr int kInfo = SA_SIGINFO;
constexpr int kOnStack = SA_SIGINFO | SA_ONSTACK;
constexpr int kReset = static_cast<int>(SA_RESETHAND);

// What a handler of `crash` may do so that, without the SDK, the program ends or goes on deterministically
// (a fault that a handler returns from without SA_RESETHAND would run again for ever).
std::vector<Does> doings(Crash crash, int flags, bool plain) {
    std::vector<Does> out;
    const bool context = (flags & SA_SIGINFO) != 0 && !plain;
    if (!isFault(crash) || (flags & kReset) != 0) out.push_back(Does::returns);
    if (isFault(crash) && context) out.push_back(Does::stepsOver);
    out.push_back(Does::jumpsOut);
    if (crash != Crash::raisedAbort && crash != Crash::abortCall) out.push_back(Does::aborts);
    if (crash != Crash::segv && (context || !isFault(crash)) && !plain) {
        out.push_back(Does::faultsGuarded);
        out.push_back(Does::faultsUnguarded);
    }
    return out;
}

// How a handler of `crash` lets the program go on, where it can.
Does goesOn(Crash crash) {
    return isFault(crash) ? Does::stepsOver : Does::returns;
}

constexpr Crash kCrashes[] = {Crash::segv, Crash::bus,         Crash::ill,       Crash::fpe,
                              Crash::trap, Crash::raisedAbort, Crash::abortCall, Crash::trappedCall};

// Every room but the least: the SDK's handlers take 56 bytes below the kernel's frame, the program's own
// more, so in 56 the program's handler overflows the stack, and the process ends there by that fault whatever
// another thread's crash is recording meanwhile.
bool sampledRoom(int room) {
    return room != kRooms[0] && std::find(std::begin(kRooms), std::end(kRooms), room) != std::end(kRooms);
}

// Whether the samples hold the SDK to this row: any but a little-stack row at a room not sampled.
bool sampled(const Row& shape) {
    return shape.where != Where::threadAtFrame || sampledRoom(shape.room);
}

// Another thread's places: plenty of its own stack left, or each room below the kernel's frame.
std::vector<std::pair<Where, int>> threadPlaces() {
    std::vector<std::pair<Where, int>> places = {{Where::thread, 0}};
    for (int room : kRooms)
        places.emplace_back(Where::threadAtFrame, room);
    return places;
}

Row withRoom(Row shape, int room) {
    shape.room = room;
    return shape;
}

std::vector<Row> everyRow() {
    std::vector<Row> rows;
    // Each crash, to a handler from before the SDK under each set of flags, doing each thing.
    for (Crash crash : kCrashes) {
        for (int flags : {kOnStack, kInfo, kOnStack | kReset, kInfo | SA_NODEFER,
                          kOnStack | kReset | SA_NODEFER, kInfo | kReset, 0, SA_ONSTACK})
            for (Does does : doings(crash, flags, false))
                if (flags == kOnStack || flags == kInfo || does == Does::returns || does == Does::stepsOver)
                    rows.push_back(
                        {crash, Earlier::sigaction, Since::nothing, flags, Where::main, 64, 1, does});
        // Installed with signal() before the SDK; with sigaction after it.
        for (Does does : doings(crash, 0, true))
            rows.push_back({crash, Earlier::signalCall, Since::nothing, 0, Where::main, 64, 1, does});
        for (int flags : {kOnStack, kInfo})
            for (Does does : doings(crash, flags, false))
                rows.push_back({crash, Earlier::none, Since::sigaction, flags, Where::main, 64, 1, does});
        // The SDK's handler put back with signal(), over a handler from before or none; on the main thread
        // and on two threads at once.
        for (int company : {1, 2}) {
            const Where where = company == 1 ? Where::main : Where::thread;
            rows.push_back({crash, Earlier::none, Since::putBack, kInfo, where, 64, company, goesOn(crash)});
            rows.push_back(
                {crash, Earlier::sigaction, Since::putBack, kInfo, where, 64, company, goesOn(crash)});
        }
    }
    // Second reporters installed after the SDK, each calling the one it replaced.
    for (Crash crash : {Crash::segv, Crash::raisedAbort, Crash::abortCall, Crash::trappedCall}) {
        for (Since since : {Since::reporter, Since::twoReporters}) {
            rows.push_back({crash, Earlier::none, since, kOnStack, Where::main, 64, 1, goesOn(crash)});
            for (Does does : {goesOn(crash), Does::jumpsOut, Does::sendsAgain})
                rows.push_back({crash, Earlier::sigaction, since, kOnStack, Where::main, 64, 1, does});
        }
        rows.push_back(
            {crash, Earlier::none, Since::reporterThroughSignal, 0, Where::main, 64, 1, Does::returns});
        rows.push_back({crash, Earlier::signalCall, Since::reporterThroughSignal, 0, Where::main, 64, 1,
                        Does::jumpsOut});
    }
    // The main thread at a new deepest point of its stack.
    for (Where where : {Where::mainDeep140K, Where::mainDeep1M, Where::mainDeep7M})
        for (Crash crash : {Crash::segv, Crash::raisedAbort, Crash::trappedCall, Crash::trap})
            for (int flags : {kInfo, kOnStack})
                for (int altKiB : {64, 8, 0})
                    for (bool refused : {false, true})
                        if (!refused || (altKiB == 64 && flags == kInfo))
                            rows.push_back({crash, Earlier::sigaction, Since::nothing, flags, where, altKiB,
                                            1, goesOn(crash), refused});
    // Other threads, with plenty of stack or little, an alternate stack or none, alone or with company.
    for (auto [where, room] : threadPlaces())
        for (Crash crash : {Crash::segv, Crash::raisedAbort, Crash::trappedCall})
            for (int flags : {kInfo, kOnStack})
                for (int altKiB : {0, 8, 64})
                    for (int company : {1, 2, 16})
                        if (where != Where::thread || company != 2)
                            rows.push_back(withRoom({crash, Earlier::sigaction, Since::nothing, flags, where,
                                                     altKiB, company, goesOn(crash)},
                                                    room));
    // The kernel's copies refused, with a handler on the thread's own stack while the SDK's runs on the
    // alternate one.
    for (Crash crash : kCrashes)
        for (Does does : {goesOn(crash), Does::jumpsOut})
            if (!isFault(crash) || does != Does::returns)
                rows.push_back(
                    {crash, Earlier::sigaction, Since::nothing, kInfo, Where::main, 64, 1, does, true});
    for (auto [where, room] : threadPlaces())
        rows.push_back(withRoom(
            {Crash::segv, Earlier::sigaction, Since::nothing, kInfo, where, 8, 2, Does::stepsOver, true},
            room));
    // A handler from before the SDK that holds other signals off while it runs, for each crash, and behind
    // reporters installed since; a handler on the main thread's own stack, with no alternate stack.
    for (Crash crash : kCrashes)
        rows.push_back({.crash = crash, .flags = kOnStack, .does = goesOn(crash), .masks = true});
    for (Crash crash : {Crash::segv, Crash::raisedAbort})
        for (Since since : {Since::reporter, Since::twoReporters, Since::sigaction})
            rows.push_back(
                {.crash = crash, .since = since, .flags = kInfo, .does = goesOn(crash), .masks = true});
    for (Crash crash : {Crash::segv, Crash::raisedAbort, Crash::trap, Crash::trappedCall})
        rows.push_back({.crash = crash, .flags = kInfo, .altKiB = 0, .does = goesOn(crash)});
    // SIG_IGN from before the SDK: the kernel gives a fault, a trap and a trapped call their default action
    // all the same, and lets a raised signal go.
    for (Crash crash : {Crash::segv, Crash::fpe, Crash::trap, Crash::trappedCall, Crash::raisedAbort})
        for (Since since : {Since::nothing, Since::putBack, Since::reporterThroughSignal})
            rows.push_back({.crash = crash, .earlier = Earlier::ignored, .since = since});
    // The crash signal held blocked by the crashing thread: the kernel gives a fault, a trap and a trapped
    // call their default action, with no handler; a raised signal stays pending.
    for (Crash crash : {Crash::segv, Crash::fpe, Crash::trap, Crash::trappedCall, Crash::raisedAbort})
        for (Earlier earlier : {Earlier::none, Earlier::sigaction})
            rows.push_back(
                {.crash = crash, .earlier = earlier, .flags = kInfo, .does = goesOn(crash), .blocked = true});
    for (Crash crash : {Crash::segv, Crash::raisedAbort})
        rows.push_back({.crash = crash,
                        .flags = kInfo,
                        .where = Where::thread,
                        .company = 2,
                        .does = goesOn(crash),
                        .blocked = true});
    // A sandbox that traps the recorder's own calls: every getpid and openat, answered by the program's
    // broker, or with no handler for SIGSYS (the SDK's own calls then fail with ENOSYS, and its record file
    // is opened all the same).
    for (Crash crash : {Crash::segv, Crash::abortCall, Crash::ownCalls})
        for (Where where : {Where::main, Where::thread})
            rows.push_back(
                {.crash = crash, .earlier = Earlier::none, .where = where, .sandbox = Sandbox::brokers});
    for (Where where : {Where::main, Where::thread})
        rows.push_back(
            {.crash = Crash::segv, .earlier = Earlier::none, .where = where, .sandbox = Sandbox::unanswered});
    // A reporter installed since that steps aside once it has passed the crash on, in front of a handler
    // from before the SDK that steps over the fault or leaves by siglongjmp.
    for (Crash crash : {Crash::segv, Crash::ill, Crash::bus, Crash::fpe})
        for (Does does : {Does::stepsOver, Does::jumpsOut})
            rows.push_back(
                {.crash = crash, .since = Since::oneShotReporter, .flags = kOnStack, .does = does});
    // The same reporter alone, relying on the action it replaced to end what does not come back by itself.
    for (Crash crash : {Crash::raisedAbort, Crash::trap, Crash::trappedCall})
        for (Where where : {Where::main, Where::thread})
            rows.push_back({.crash = crash,
                            .earlier = Earlier::none,
                            .since = Since::oneShotReporter,
                            .flags = kOnStack,
                            .where = where});
    // Threads with no alternate stack and little of their own stack left, faulting at once where no stack
    // can be mapped for them to wait on.
    for (int room : kRooms)
        for (int company : {2, 4, 16})
            for (Earlier earlier : {Earlier::sigaction, Earlier::none})
                rows.push_back({.crash = Crash::segv,
                                .earlier = earlier,
                                .flags = kInfo,
                                .where = Where::threadAtFrame,
                                .altKiB = 0,
                                .company = company,
                                .spaceFull = true,
                                .room = room});
    // The SDK's handler put back with signal(), then sixteen such threads stepping over their faults, or
    // with their trapped calls emulated.
    for (Crash crash : {Crash::segv, Crash::trappedCall})
        for (int room : kRooms)
            rows.push_back({.crash = crash,
                            .since = Since::putBack,
                            .flags = kInfo,
                            .where = Where::threadAtFrame,
                            .altKiB = 0,
                            .company = 16,
                            .does = goesOn(crash),
                            .room = room});
    // The process's exit racing a crash on another thread.
    for (Exit exits : {Exit::exit, Exit::quickExit}) {
        for (Crash crash : {Crash::segv, Crash::abortCall})
            rows.push_back(
                {.crash = crash, .earlier = Earlier::none, .where = Where::thread, .exits = exits});
        rows.push_back({.crash = Crash::segv, .flags = kOnStack, .where = Where::thread, .exits = exits});
    }
    return rows;
}

// The rows every build runs, by name: one or more of each shape the SDK has been found to break, and a
// few that hold the common ground. A little-stack row's name with "@frame+*" stands for one at each room
// sampled.
const std::vector<std::vector<const char*>> kSample = {
    {
        // The SDK's handler put back with signal().
        "SEGV since:put-back main alt64K",
        "SEGV before:sigaction since:put-back[SIGINFO] main alt64K steps-over",
        "raise(ABRT) before:sigaction since:put-back[SIGINFO] main alt64K returns",
        "SYS before:sigaction since:put-back[SIGINFO] thread alt64K x2 returns",
        // Second reporters that call the SDK's handler.
        "abort() since:reporter main alt64K",
        "raise(ABRT) before:sigaction since:reporter[SIGINFO|ONSTACK] main alt64K returns",
        "SEGV before:sigaction since:two-reporters[SIGINFO|ONSTACK] main alt64K steps-over",
        "raise(ABRT) since:signal()-reporter main alt64K",
        "SEGV since:signal()-reporter main alt64K",
        "abort() since:two-reporters main alt64K",
        "abort() before:sigaction since:reporter[SIGINFO|ONSTACK] main alt64K sends-again",
        "raise(ABRT) before:sigaction since:two-reporters[SIGINFO|ONSTACK] main alt64K sends-again",
    },
    {
        // The main thread at a new deepest point, its handler on that stack; the kernel's copies refused.
        "SEGV before:sigaction[SIGINFO] main@140K alt64K steps-over",
        "raise(ABRT) before:sigaction[SIGINFO] main@1M alt64K returns",
        "SYS before:sigaction[SIGINFO] main@7M alt64K returns",
        "SEGV before:sigaction[SIGINFO|ONSTACK] main@1M noalt steps-over",
        "raise(ABRT) before:sigaction[SIGINFO] main@140K alt64K returns copies-refused",
        "SYS before:sigaction[SIGINFO] main alt64K returns copies-refused",
        // Common ground: each kind of crash, and the flags.
        "BUS before:sigaction[SIGINFO|ONSTACK|RESETHAND] main alt64K returns",
        "ILL before:sigaction[SIGINFO] main alt64K steps-over",
        "FPE before:sigaction[SIGINFO|ONSTACK] main alt64K jumps-out",
    },
    {
        // Threads with little of their own stack left below the kernel's frame and no alternate stack, alone
        // and at once.
        "SEGV before:sigaction[SIGINFO] thread@frame+* noalt steps-over",
        "SEGV before:sigaction[SIGINFO] thread@frame+* noalt x2 steps-over",
        "SEGV before:sigaction[SIGINFO|ONSTACK] thread@frame+* noalt x16 steps-over",
        "raise(ABRT) before:sigaction[SIGINFO] thread@frame+* alt8K x16 returns",
        // Common ground, continued.
        "TRAP before:sigaction[SIGINFO|NODEFER] main alt64K returns",
        "abort() before:signal() main alt64K jumps-out",
        "SYS before:sigaction[SIGINFO|ONSTACK] thread alt8K x16 returns",
        "raise(ABRT) before:sigaction[SIGINFO|ONSTACK] main alt64K faults-guarded",
        "SEGV since:sigaction[SIGINFO] main alt64K steps-over",
    },
    {
        // SIG_IGN from before the SDK: a trap, a trapped call and a fault end the process all the same, a
        // raise is let go.
        "TRAP before:SIG_IGN main alt64K",
        "SYS before:SIG_IGN since:put-back main alt64K",
        "SEGV before:SIG_IGN since:put-back main alt64K",
        "raise(ABRT) before:SIG_IGN since:signal()-reporter main alt64K",
        // The crash signal held blocked.
        "SEGV before:sigaction[SIGINFO] main alt64K steps-over blocked",
        "SYS main alt64K blocked",
        "raise(ABRT) before:sigaction[SIGINFO] thread alt64K x2 returns blocked",
        // A sandbox that traps the recorder's own calls.
        "SEGV main alt64K sandbox:brokered-getpid+openat",
        "abort() thread alt64K sandbox:brokered-getpid+openat",
        "own-getpid+openat main alt64K sandbox:brokered-getpid+openat",
        "SEGV thread alt64K sandbox:unanswered-getpid+openat",
        // A reporter that steps aside after chaining.
        "SEGV before:sigaction since:one-shot-reporter[SIGINFO|ONSTACK] main alt64K steps-over",
        "FPE before:sigaction since:one-shot-reporter[SIGINFO|ONSTACK] main alt64K jumps-out",
        // The same reporter alone, relying on the action it replaced.
        "raise(ABRT) since:one-shot-reporter main alt64K",
        "TRAP since:one-shot-reporter thread alt64K",
        "SYS since:one-shot-reporter main alt64K",
    },
    {
        // Threads with little stack left and none to lend, the address space full.
        "SEGV before:sigaction[SIGINFO] thread@frame+* noalt x16 steps-over address-space-full",
        "SEGV thread@frame+* noalt x2 address-space-full",
        "SEGV before:sigaction[SIGINFO] thread@frame+* noalt x4 steps-over address-space-full",
        // The SDK's handler put back with signal(), then sixteen threads with little stack left.
        "SEGV before:sigaction since:put-back[SIGINFO] thread@frame+* noalt x16 steps-over",
        "SYS before:sigaction since:put-back[SIGINFO] thread@frame+* noalt x16 returns",
        // The process's exit racing a crash.
        "SEGV thread alt64K main-quick-exits",
        "abort() thread alt64K main-exits",
        "SEGV before:sigaction[SIGINFO|ONSTACK] thread alt64K steps-over main-exits",
        // Handlers that hold other signals off; a handler on the main thread's stack with no alternate one.
        "raise(ABRT) before:sigaction since:reporter[SIGINFO] main alt64K returns masking:USR1+USR2",
        "SEGV before:sigaction[SIGINFO|ONSTACK] main alt64K steps-over masking:USR1+USR2",
        "SEGV before:sigaction[SIGINFO] main noalt steps-over",
    },
};

// The rows of the matrix named in a shard of the sample; a name that is not one row's fails the test.
std::vector<Row> sampleRows(std::size_t shard) {
    const std::vector<Row> every = everyRow();
    std::vector<std::string> names;
    for (const std::string name : kSample[shard]) {
        const std::size_t any = name.find("@frame+*");
        for (int room : kRooms)
            if (any != std::string::npos && sampledRoom(room))
                names.push_back(std::string(name).replace(any + 7, 1, std::to_string(room)));
        if (any == std::string::npos) names.push_back(name);
    }
    std::vector<Row> rows;
    for (const std::string& name : names) {
        const auto named = [&](const Row& shape) { return shape.name() == name; };
        const auto found = std::find_if(every.begin(), every.end(), named);
        if (found == every.end() || std::count_if(every.begin(), every.end(), named) != 1)
            ADD_FAILURE() << "the sample names " << name << ", which is not one row of the matrix";
        else
            rows.push_back(*found);
    }
    return rows;
}

TEST(CrashHandOnMatrix, SampleOfPutBackAndChainedHandlers) {
    expectAsTheKernelDelivers(sampleRows(0));
}

TEST(CrashHandOnMatrix, SampleOfNewDepthsAndRefusedCopies) {
    expectAsTheKernelDelivers(sampleRows(1));
}

TEST(CrashHandOnMatrix, SampleOfLittleStackLeftAndCompany) {
    expectAsTheKernelDelivers(sampleRows(2));
}

TEST(CrashHandOnMatrix, SampleOfIgnoredBlockedSandboxedAndSteppedAside) {
    expectAsTheKernelDelivers(sampleRows(3));
}

TEST(CrashHandOnMatrix, SampleOfFullAddressSpaceExitsAndMasks) {
    expectAsTheKernelDelivers(sampleRows(4));
}

// Beside the named rows, a third of the rows the samples hold the SDK to, the same third every time: every
// shape's neighbours are run somewhere in every build.
TEST(CrashHandOnMatrix, SampleOfEveryThirdRow) {
    std::vector<Row> every = everyRow();
    every.erase(std::remove_if(every.begin(), every.end(), [](const Row& shape) { return !sampled(shape); }),
                every.end());
    std::vector<Row> rows;
    for (std::size_t i = 0; i < every.size(); i += 3)
        rows.push_back(every[i]);
    expectAsTheKernelDelivers(rows);
}

// Whether this machine lets a row run in a PID namespace of its own with a thread id placed there: the
// steps a row takes, each in the process that takes it there (unshareNamespaces; then, in the namespace's
// first process, mountOwnProc and naming the next id), taken in a child. The step that failed, if one did.
Step pidNamespaceRefused() {
    int told[2];
    if (pipe2(told, O_CLOEXEC) != 0) return failedAt("pipe2");
    const pid_t child = velotest::forkTiedToThisProcess();
    if (child == 0) {
        Step step = unshareNamespaces();
        if (step.failed == nullptr) {
            const pid_t first = fork();
            if (first == 0) {
                step = mountOwnProc();
                if (step.failed == nullptr && !placeNext(velofixture::kTrappedMark))
                    step = failedAt("writing /proc/sys/kernel/ns_last_pid");
                (void)!write(told[1], &step, sizeof step);
                _exit(0);
            }
            if (first < 0) step = failedAt("fork in the namespace");
            if (first > 0) waitpid(first, nullptr, 0);
        }
        // The step's name is a literal, at the same address in every process forked from the test's.
        if (step.failed != nullptr) (void)!write(told[1], &step, sizeof step);
        _exit(0);
    }
    Step step = child < 0 ? failedAt("fork") : Step{};
    close(told[1]);
    if (child > 0 && read(told[0], &step, sizeof step) != sizeof step) step = {"asking a child", 0};
    close(told[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return step;
}

// Whether the kernel refused the namespace outright, as it does without CAP_SYS_ADMIN (even to root), in a
// container that forbids namespaces, or past a limit on them; any other failure is the harness's own.
bool refusedOutright(const Step& step) {
    return step.error == EPERM || step.error == EACCES || step.error == ENOSPC;
}

// The id a placed thread gets: VELO_HANDON_TID when set (to sweep the ids around the mark), else the mark
// the matrix's seccomp filter traps a getpid with.
int placedThreadId() {
    const char* set = std::getenv("VELO_HANDON_TID");
    return set != nullptr && std::atoi(set) > 1 ? std::atoi(set)
                                                : static_cast<int>(velofixture::kTrappedMark);
}

// Every row with a trapped system call the samples hold the SDK to, each with its first crashing thread's
// id on the filter's mark (the row's process, where it crashes on the main thread): a system call the SDK
// makes with a register left as it found it where the call's first argument goes (the crashed thread's id,
// say) is trapped as the program's own marked call would be, every time, where a thread that happens to
// have that id comes once in some hundreds of runs. Some 120 rows: seconds on two cores.
TEST(CrashHandOnMatrix, SampleOfSystemCallRowsOnTheMark) {
    if (const Step refused = pidNamespaceRefused(); refused.failed != nullptr) {
        const std::string why = std::string(refused.failed) + " failed" +
                                (refused.error != 0 ? std::string(": ") + std::strerror(refused.error) : "");
        if (refusedOutright(refused))
            GTEST_SKIP() << "Not run: a row's thread is placed on an id in a PID namespace of its own, which "
                            "the kernel refuses here (it asks for CAP_SYS_ADMIN): "
                         << why;
        FAIL() << "The kernel does not refuse a PID namespace here, yet the rows could not enter one: "
               << why;
    }
    std::vector<Row> rows = everyRow();
    rows.erase(
        std::remove_if(rows.begin(), rows.end(),
                       [](const Row& shape) { return shape.crash != Crash::trappedCall || !sampled(shape); }),
        rows.end());
    expectAsTheKernelDelivers(rows, placedThreadId());
}

// The whole matrix: tools/handon-matrix runs it (VELO_HANDON_ROWS, when set, keeps the rows whose name
// holds it; with VELO_HANDON_TID each row runs with its first crashing thread on that id, as above).
TEST(CrashHandOnMatrix, DISABLED_EveryRow) {
    std::vector<Row> rows = everyRow();
    if (const char* only = std::getenv("VELO_HANDON_ROWS"); only != nullptr)
        rows.erase(
            std::remove_if(rows.begin(), rows.end(),
                           [&](const Row& shape) { return shape.name().find(only) == std::string::npos; }),
            rows.end());
    std::printf("%zu rows\n", rows.size());
    expectAsTheKernelDelivers(rows, std::getenv("VELO_HANDON_TID") != nullptr ? placedThreadId() : 0);
}

} // namespace
