#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"

#include "platform/darwin/ExceptionPorts.hpp"
#include "platform/darwin/HandlerEntry.hpp"
#include "platform/darwin/KernelMask.hpp"
#include "platform/darwin/NullPage.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/capture/ZEVMachException.hpp"
#include "sdk/zevuzavidav/context/RecordingTurn.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <sys/syscall.h>

namespace {

constexpr int kSignals[zevuzavidav::kSignalCount] = {SIGABRT, SIGBUS, SIGFPE, SIGILL,
                                                     SIGSEGV, SIGSYS, SIGTRAP};

bool isDefault(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_DFL;
}

// The earlier alternate stack belongs to the thread that started the SDK, where ours replaced it. It
// goes back only there, and only while no handler runs on ours: the kernel refuses to swap a stack in
// use (EPERM), which is the case in every crash handled on that thread, and on any other thread it
// would give that thread a stack it shares with the first. Elsewhere the thread keeps its own stack.
bool mayPutBackSavedStack() {
    const ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    stack_t current{};
    return readOnly != nullptr && darwin::systemCall(SYS_sigaltstack, nullptr, &current) == 0 &&
           (current.ss_flags & (SS_ONSTACK | SS_DISABLE)) == 0 && current.ss_sp == readOnly->signalStack;
}

// Known by its function, whatever the flags: a program that put it back with signal() (a library's probe
// restoring what it found) gave it none of ours.
bool isOurs(const struct sigaction& action) {
    return darwin::handlerOf(action) == reinterpret_cast<void*>(ZEVSignalHandler);
}

// The action the SDK took `number` over from: the saved one, or the default action for a zero slot (and
// for a slot that holds our own handler, which a second start would have saved: handed on, the signal
// would only come back here).
struct sigaction replacedAction(const ZEVSignalReadOnlyContext& part, int number) {
    for (int i = 0; i < zevuzavidav::kSignalCount; ++i) {
        if (kSignals[i] != number || part.savedActions[i].sa_handler == nullptr ||
            isOurs(part.savedActions[i]))
            continue;
        return part.savedActions[i];
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    return fallback;
}

// A crash's signal goes on to a handler of the program, or comes back from it (or is let go). A recorded
// crash that goes on to a handler is not the SDK's to end: that handler may let the program go on (step
// over the fault, answer the call, jump out), so the turn kept for the crash's end is free again, and so is
// the crash claim, with the exception port registered again: the next crash, of any kind, is recorded too.
// Its record is dropped should the program then end by exit. Our own handler taking a fault over from the
// exception port's emulation is no such sign: it hands that crash on itself.
void onHandingOn(pid_t thread, const void* handler, darwin::HandingOn moment) {
    if (handler == reinterpret_cast<const void*>(ZEVSignalHandler)) return;
    zevuzavidav::passRecordingTurnKeptFor(thread);
    // Let go as ignored (a raise of an abort the program ignores), it goes on as well.
    const bool goesOn =
        moment == darwin::HandingOn::going || handler == reinterpret_cast<const void*>(SIG_IGN);
    if (!goesOn || !zevuzavidav::reopenCrashClaim(thread)) return;
    if (ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext())
        ZEVMachExceptionRegisterAgain(&readOnly->machException);
}

constexpr int kHandlerFlags = SA_SIGINFO | SA_ONSTACK;

// Our handler's disposition for `number`, as it is installed. SIGSYS's lets SIGSYS through while it runs: a
// system call of the handler's own that a sandbox traps is then answered, where held off it would end the
// process.
struct sigaction ourDisposition(int number) {
    struct sigaction action {};
    action.sa_sigaction = ZEVSignalHandler;
    action.sa_flags = kHandlerFlags | (number == SIGSYS ? SA_NODEFER : 0);
    // The stop a crash recorder sends waits until the handler stands where it has room for it.
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, darwin::suspensionSignal());
    return action;
}

// A crash signal being recorded, as its handler took it.
struct SignalCrash {
    ZEVReadOnlyContext* readOnly;
    const siginfo_t* info; // null when the kernel gave none
    const ucontext_t* context;
    int savedErrno;
    pid_t thread;
    int number;
};

// Records the crash of the calling thread (on a stack with room for it) and keeps the recording turn: the
// process ends after this record. A recording under way (an uncaught exception's on another thread) is
// let finish first, and none begins after it.
void recordSignal(void* raw) {
    const auto& crash = *static_cast<const SignalCrash*>(raw);
    // On a stack with room for them (the reserve, for a thread that had none), every signal comes through
    // while the record is made: the bound's tick among them, and a system call of the record's that a
    // sandbox traps.
    darwin::letSignalsIn(~darwin::KernelMask{0}, nullptr);
    ZEVSDKLog("%s: Signal: %d\n", "ZEVSignalHandler", crash.number);
    if (zevuzavidav::takeRecordingTurn(crash.thread, crash.number) != zevuzavidav::RecordingTurn::taken) {
        ZEVSDKLog("%s: Unable to record while another recording is under way\n", "ZEVSignalRecordSignal");
        return;
    }
    ZEVFile file;
    char storage[zevuzavidav::kCrashRecordStorageSize];
    char next[zevuzavidav::kMaxRecordPath];
    const char* const path = crash.readOnly->signal.path;
    const char* const writtenAt = zevuzavidav::recordFileFor(path, next);
    if (!ZEVFileInitWithPath(&file, writtenAt, false)) {
        ZEVSDKLog("%s: Unable to open signal file\n", "ZEVSignalRecordSignal");
    } else {
        zevuzavidav::useFileBuffer(&file, storage, sizeof storage);
        zevuzavidav::writeSignalSection(&file, crash.number, crash.info, crash.savedErrno);
        ZEVHandler(&file, crash.thread, crash.context);
        ZEVFileClose(&file);
        zevuzavidav::recordWritten(writtenAt, path);
    }
    zevuzavidav::keepRecordingTurnToTheEnd(crash.thread);
}

} // namespace

int zevuzavidav::signalAtIndex(int index) {
    return index >= 0 && index < zevuzavidav::kSignalCount ? kSignals[index] : 0;
}

const char* zevuzavidav::signalName(int number) {
    switch (number) {
    case SIGILL:
        return "SIGILL";
    case SIGTRAP:
        return "SIGTRAP";
    case SIGABRT:
        return "SIGABRT";
    case SIGFPE:
        return "SIGFPE";
    case SIGBUS:
        return "SIGBUS";
    case SIGSEGV:
        return "SIGSEGV";
    case SIGSYS:
        return "SIGSYS";
    default:
        return "UNKNOWN";
    }
}

const char* zevuzavidav::signalCodeName(int number) {
    return number == SIGABRT ? "ABORT" : nullptr;
}

void ZEVSignalEnumerateHandledSignals(void (*block)(int index, int number, void* context), void* context) {
    if (block == nullptr) return;
    for (int i = 0; i < zevuzavidav::kSignalCount; ++i)
        block(i, kSignals[i], context);
}

void ZEVSignalInitialize(ZEVSignalReadOnlyContext* part) {
    if (part == nullptr) return;
    if (!ZEVUnlinkIfExists(part->path)) {
        ZEVSDKLog("%s: Unable to reset the signal log file %s\n", "ZEVSignalInitialize", part->path);
    }
    char errorText[zevuzavidav::kErrorTextSize];
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    stack_t stack{};
    stack.ss_sp = readOnly != nullptr ? readOnly->signalStack : nullptr;
    stack.ss_size = zevuzavidav::kStackSize;
    stack.ss_flags = 0;
    std::memset(&part->savedStack, 0, sizeof part->savedStack);
    if (stack.ss_sp == nullptr || darwin::systemCall(SYS_sigaltstack, &stack, &part->savedStack) != 0) {
        ZEVSDKLog("%s: Unable to setup stack %s\n", "ZEVSignalInstallAltStack",
                  zevuzavidav::errorText(errno, errorText));
    }
    darwin::setHandingOnObserver(onHandingOn);
    darwin::prepareLendingStacks();
    zevuzavidav::holdQuickExitForCrashes();
    for (int i = 0; i < zevuzavidav::kSignalCount; ++i) {
        const struct sigaction action = ourDisposition(kSignals[i]);
        struct sigaction previous {};
        std::memset(&part->savedActions[i], 0, sizeof part->savedActions[i]);
        if (darwin::signalAction(kSignals[i], &action, &previous) != 0) {
            ZEVSDKLog("%s: Unable to install handler for %d (%s)\n", "ZEVSignalInstallHandlers", kSignals[i],
                      zevuzavidav::errorText(errno, errorText));
            continue;
        }
        if (!isDefault(previous)) part->savedActions[i] = previous;
    }
}

void ZEVSignalMendPutBackHandlers() {
    for (int number : kSignals) {
        struct sigaction current {};
        if (darwin::kernelSigaction(number, nullptr, &current) != 0 || !isOurs(current) ||
            !darwin::lacksFlagsOrMask(current, kHandlerFlags))
            continue;
        // Noted before the mend: a crash that finds the handler mended already (another thread's, at the
        // same moment) records with the note in place, and so puts off its stop to a thread whose crash
        // frame the kernel made under the disposition put back.
        darwin::noteHandlersEnteredUnheld();
        const struct sigaction action = ourDisposition(number);
        darwin::kernelSigaction(number, &action, nullptr);
    }
    darwin::mendPutBackFirstChanceHandlers();
}

bool ZEVSignalSafeRemoveHandlers() {
    bool ok = true;
    char errorText[zevuzavidav::kErrorTextSize];
    for (int i = 0; i < zevuzavidav::kSignalCount; ++i) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        if (darwin::signalAction(kSignals[i], &action, nullptr) != 0) {
            ZEVSDKLog("%s: Unable to set default handler for %d (%s)\n", "ZEVSignalSafeRemoveHandlers", i,
                      zevuzavidav::errorText(errno, errorText));
            ok = false;
        }
    }
    return ok;
}

bool ZEVSignalSafeInstallPreexistingHandlers(ZEVSignalReadOnlyContext* part) {
    if (part == nullptr) {
        ZEVSignalSafeRemoveHandlers();
        return false;
    }
    bool ok = true;
    char errorText[zevuzavidav::kErrorTextSize];
    // A failure to put the earlier alternate stack back must not keep the earlier handlers from being
    // restored, so it only costs the result.
    if (part->savedStack.ss_sp != nullptr && mayPutBackSavedStack() &&
        darwin::systemCall(SYS_sigaltstack, &part->savedStack, nullptr) != 0) {
        ZEVSDKLog("%s: Unable to setup stack %s\n", "ZEVSignalSafeInstallPreexistingHandlers",
                  zevuzavidav::errorText(errno, errorText));
        ok = false;
    }
    // Each signal goes straight from our handler to its earlier disposition, never through the default
    // action: another thread may take that signal meanwhile (a system call a sandbox traps and emulates),
    // and a default action there would end the process. A signal whose handler the program has changed
    // since ours went in (a handler that steps over its own faults, a sandbox's emulator) keeps it: the
    // program goes on after a crash handed on, and that handler is the one it wants.
    for (int i = 0; i < zevuzavidav::kSignalCount; ++i) {
        struct sigaction current {};
        if (darwin::signalAction(kSignals[i], nullptr, &current) == 0 && !isOurs(current)) continue;
        const struct sigaction action = replacedAction(*part, kSignals[i]);
        if (darwin::signalAction(kSignals[i], &action, nullptr) != 0) {
            ZEVSDKLog("%s: Unable to install handler for %d (%s)\n",
                      "ZEVSignalSafeInstallPreexistingHandlers", i, zevuzavidav::errorText(errno, errorText));
            ok = false;
        }
    }
    return ok;
}

void zevuzavidav::writeSignalSection(ZEVFile* file, int number, const siginfo_t* info, int savedErrno) {
    ZEVFileWriteSectionStart(file, "signal");
    ZEVFileWriteObjectStart(file);
    // The number is the handler's own argument, which the kernel always gives; the code and the address
    // only a siginfo the kernel filled holds (a handler put back by signal() gets none, and none is made
    // up).
    if (number > 0) ZEVFileWriteUInt64Entry(file, "number", static_cast<std::uint64_t>(number));
    if (!darwin::isNullAddress(info)) {
        // Signed: the codes of signals sent by a process are negative (SI_TKILL is -6).
        ZEVFileWriteInt64Entry(file, "code", info->si_code);
        // A signal sent by a process has no faulting address: the kernel puts the sender's process id
        // where the address would be.
        if (info->si_code > 0)
            ZEVFileWriteUInt64Entry(file, "address", reinterpret_cast<std::uintptr_t>(info->si_addr));
    }
    if (number > 0) {
        ZEVFileWriteStringEntry(file, "name", zevuzavidav::signalName(number));
        ZEVFileWriteStringEntry(file, "code_name", zevuzavidav::signalCodeName(number));
    }
    ZEVFileWriteInt64Entry(file, "errno", savedErrno);
    ZEVFileWriteUInt64Entry(file, "time", zevuzavidav::currentTimeSeconds());
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
}

namespace {

// A signal set to SIG_IGN before the SDK that a process sent (raise, kill): the kernel would have dropped
// it. One the kernel forces (a fault, a trap, a trapped call) is no such signal: it is not ignored.
// An abort is recorded all the same: abort() sends it first as a raise does, and, should that come back,
// ends the process by the default action it sets itself, where no handler sees it.
bool ignoredAndSent(int number, const siginfo_t* info, const struct sigaction& replaced) {
    return number != SIGABRT && info != nullptr && replaced.sa_handler == SIG_IGN &&
           (replaced.sa_flags & SA_SIGINFO) == 0 && !darwin::forcedByTheKernel(number, info);
}

// The program's SIGSYS handler from before the SDK when it is a sandbox's (an emulator or broker that
// answers the calls its filter forbids), else the default action: one the program gave another crash
// signal too is a crash handler (the terminal's restorer, which ends the process).
struct sigaction sandboxHandler(const ZEVSignalReadOnlyContext& part) {
    struct sigaction programs = replacedAction(part, SIGSYS);
    for (int number : kSignals) {
        if (number != SIGSYS &&
            darwin::handlerOf(programs) == darwin::handlerOf(replacedAction(part, number)) &&
            programs.sa_handler != SIG_DFL && programs.sa_handler != SIG_IGN) {
            programs = {};
            programs.sa_handler = SIG_DFL;
        }
    }
    return programs;
}

// A system call the program's seccomp filter trapped, which its sandbox's handler answers: the program's
// own business, no crash.
bool answeredBySandbox(int number, const siginfo_t* info, const ZEVSignalReadOnlyContext& part) {
    constexpr int kTrappedBySeccomp = 1; // SYS_SECCOMP
    if (number != SIGSYS || info == nullptr || info->si_code != kTrappedBySeccomp) return false;
    const struct sigaction sandbox = sandboxHandler(part);
    return sandbox.sa_handler != SIG_DFL && sandbox.sa_handler != SIG_IGN;
}

// The handler from before the SDK gets the signal as the kernel would have given it, with its own flags
// and mask and the original siginfo and context, entered where the kernel made this handler's frame;
// without one, the default action ends the process. A fault runs again once this returns. Handed to the
// action ours replaced, not read back from the program, whose disposition is ours. Called by a reporter
// installed since (chained), the signal goes on as that chain passes it.
void planWayOn(darwin::HandlerRun& run, bool chained, const struct sigaction& replaced, siginfo_t* info,
               void* handedContext) {
    const int number = run.entry.number;
    if (chained) {
        darwin::planPassToReplacedHandler(run.off, number, replaced, info, run.entry.context);
    } else {
        darwin::planHandOnTo(run.off, number, replaced, info, handedContext, run.entry.handlerReturn);
    }
}

// Everything the handler does but taking the signal's way on, on a stack with room for a stop's frame.
void handleSignal(darwin::HandlerRun& run) {
    const darwin::OwnCallsLetThrough letThrough(darwin::interruptedContext(run.entry));
    const int number = run.entry.number;
    const int savedErrno = run.savedErrno;
    const pid_t me = darwin::currentThreadId();
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    // Asked before the mend below changes the disposition that brought the signal.
    const bool filled = darwin::siginfoFilled(number, run.entry.info);
    // Put back without its flags (signal(n, signal(n, probe))), a handler of ours would take the next
    // crashes with no siginfo, off the alternate stack and open to a stop from its first instruction: they
    // are given back before this crash stops any thread.
    ZEVSignalMendPutBackHandlers();
    // The siginfo is read only where the disposition that brought the signal asked for it: put back by
    // signal() (a library's probe restoring what it found), this handler is given a pointer to whatever the
    // stack held, and a second reporter chaining through signal()'s pointer calls it with one argument. The
    // crash is then recorded under the number alone. The interrupted code's registers are still known where
    // the kernel entered this handler itself, whose context it fills whatever the flags; the signal is
    // handed on with what came, as the kernel would hand it.
    siginfo_t* validInfo = filled ? run.entry.info : nullptr;
    void* handedContext = !darwin::isNullAddress(run.entry.context) ? run.entry.context : nullptr;
    void* validContext = darwin::interruptedContext(run.entry);
    const void* const handlerReturn = run.entry.handlerReturn;
    // A handler the program installed since ours may call this one as the handler it replaced (a second
    // crash reporter, chaining): the crash is recorded all the same, and then passed on to the handler
    // this one replaced, as that chain goes, and back to the caller, rather than to the program's
    // disposition, which is the caller itself.
    const bool chained =
        readOnly != nullptr &&
        darwin::calledByAnotherHandler(number, ZEVSignalHandler, replacedAction(readOnly->signal, number));
    // The process's exit is past its last look for a crash under way: a record would be cut short.
    if (readOnly != nullptr &&
        darwin::planHandOnAtACommittedExit(run.off, number, replacedAction(readOnly->signal, number),
                                           validInfo, handedContext, handlerReturn, chained, savedErrno))
        return;
    // Our handlers stay installed while a crash is recorded, so that a second thread crashing at the
    // same moment waits for the record instead of killing the process with a default action. Only a
    // crash inside a recording, on the recording thread itself, falls back to the default action: that
    // recording will never end, and the threads that could answer stand stopped by it.
    const bool endsAtOnce = readOnly == nullptr || darwin::recordingThread() == me;
    if (endsAtOnce) {
        ZEVSDKLog("%s: Signal: %d\n", "ZEVSignalHandler", number);
        ZEVSignalSafeRemoveHandlers();
        errno = savedErrno;
        darwin::planHandOn(run.off, number, validInfo, handedContext, handlerReturn);
        return;
    }
    const struct sigaction replaced = replacedAction(readOnly->signal, number);
    // No crash at all: a signal the program ignores that a process sent (the kernel drops it), a system
    // call its sandbox traps and answers, or a signal a handler the SDK handed one to takes itself, on its
    // way to ending the process (the abort it calls) or going on (a guarded read it steps over). Each goes
    // where the program sends it.
    if ((!chained && (ignoredAndSent(number, validInfo, replaced) ||
                      answeredBySandbox(number, validInfo, readOnly->signal))) ||
        darwin::insideAHandlerHandedOn(run.entry)) {
        // Stopped where it waits, this thread is recorded at its registers; in the handler it could not be.
        darwin::KernelMask entered = 0;
        darwin::letSignalsIn(~darwin::KernelMask{0}, &entered);
        zevuzavidav::awaitTheRecordingUnderWay();
        darwin::setMask(SIG_SETMASK, &entered, nullptr);
        errno = savedErrno;
        planWayOn(run, chained, replaced, validInfo, handedContext);
        return;
    }
    // Every signal is let through while the crash is recorded (where a signal's frame has room: a thread
    // with none holds them off and stands still); the mask the handler was entered under is back before
    // the signal goes on. A caller that is a handler itself (a second reporter) then finds its
    // own mask as the kernel left it: a signal the handler handed on sends again (the terminal's restorer
    // does) stays pending until that caller has returned, as without the SDK.
    darwin::KernelMask entered = 0;
    if (darwin::letSignalsIn(~darwin::KernelMask{0}, &entered) != 0) {
        ZEVSDKLog("%s: Unable to unmask signals - we risk infinite recursion here\n", "ZEVSignalHandler");
    }
    bool recorded = false;
    for (int seen = 0;;) {
        if (!ZEVContextMarkAndCheckIfCrashed(&seen, me)) {
            recorded = true;
            SignalCrash crash{readOnly,   validInfo, static_cast<const ucontext_t*>(validContext),
                              savedErrno, me,        number};
            if (!zevuzavidav::runWithRoomForARecord(recordSignal, &crash)) {
                ZEVSDKLog("%s: Unable to record: no stack with room for it\n", "ZEVSignalRecordSignal");
            }
            zevuzavidav::noteClaimedCrashRecorded();
            break;
        }
        // Another thread's crash is recorded (a second thread trapping the same system call, say): once
        // that record is made, this signal goes where the kernel would have sent it; once that crash has
        // gone on to a handler of the program, this one is a crash of its own.
        ZEVSDKLog("%s: Signal: %d\n", "ZEVSignalHandler", number);
        ZEVSDKLog("%s: Error: aborting signal handler because crash has already occurred\n",
                  "ZEVSignalRecordSignal");
        if (!zevuzavidav::waitForTheClaimedCrash(me, number, seen)) {
            // The exception port's record of this very fault, which comes here once it was made.
            recorded = zevuzavidav::claimedCrashOf(me);
            break;
        }
    }
    darwin::setMask(SIG_SETMASK, &entered, nullptr);
    errno = savedErrno;
    planWayOn(run, chained, replaced, validInfo, handedContext);
    // What the handler the crash goes on to takes itself is part of this crash's end, not a crash of its own.
    if (recorded) darwin::noteCrashHandedOn(run.off);
}

// The handler's run once the kernel entered it at its frame (the entry below found it a stack with room):
// the signal's way on is taken by the entry.
__attribute__((used)) void signalBody(darwin::HandlerRun& run) asm("velo_zev_signal_body");
void signalBody(darwin::HandlerRun& run) {
    run.off = darwin::HandOff{};
    run.savedErrno = errno;
    errno = 0;
    if (run.standStill) {
        const darwin::StandingStill still(darwin::interruptedContext(run.entry));
        handleSignal(run);
    } else {
        handleSignal(run);
    }
    darwin::finishRun(run);
}

// The handler called by another one (a second reporter chaining to it, a sanitizer's runtime in between):
// a function like any, which finds room for its run and takes the way on from here.
__attribute__((used)) void signalCalled(int number, siginfo_t* info,
                                        void* userContext) asm("velo_zev_signal_called");
void signalCalled(int number, siginfo_t* info, void* userContext) {
    // The stop held off until the run stands where it has room; the caller's own mask back for the way on.
    const darwin::KernelMask stop = darwin::bitOf(darwin::suspensionSignal());
    darwin::KernelMask callers = 0;
    darwin::setMask(SIG_BLOCK, &stop, &callers);
    darwin::HandlerRun run{{number, info, userContext, __builtin_return_address(0)}};
    run.savedErrno = errno;
    errno = 0;
    darwin::runWithRoomForSignals(handleSignal, run);
    darwin::setMask(SIG_SETMASK, &callers, nullptr);
    darwin::handOff(run.off);
    errno = run.savedErrno;
}

// A system call of the SDK's own work that the program's seccomp filter trapped (a sandbox's, which
// answers the calls it forbids from its own SIGSYS handler): answered as the program would have it
// answered, never taken for a crash. A handler the program gave another crash signal too is a crash
// handler, not a sandbox's (the terminal's restorer, which ends the process): handed the SDK's call, it
// would end the process before the record is made, so the call fails as with none. Apart, so that its
// copies of the program's dispositions take room only on that way.
__attribute__((used)) bool answeredOwnTrappedCall(siginfo_t* info,
                                                  void* userContext) asm("velo_zev_answer_own_trapped_call");
bool answeredOwnTrappedCall(siginfo_t* info, void* userContext) {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    if (readOnly == nullptr) return false;
    return darwin::answerOwnTrappedCall(SIGSYS, info, userContext, sandboxHandler(readOnly->signal));
}

} // namespace

// A SIGSYS that comes inside the SDK's own work is a system call of that work a sandbox trapped: answered
// at once, on the stack that work runs on (one with room), before anything else.
VELO_DARWIN_CRASH_HANDLER("ZEVSignalHandler",
                          "    cmpl $31, %edi\n"
                          "    jne 1f\n"
                          "    movq _ZN6darwin6detail8tOwnWorkE@gottpoff(%rip), %rax\n"
                          "    cmpl $0, %fs:(%rax)\n"
                          "    je 1f\n"
                          "    pushq %rdi\n"
                          "    .cfi_adjust_cfa_offset 8\n"
                          "    pushq %rsi\n"
                          "    .cfi_adjust_cfa_offset 8\n"
                          "    pushq %rdx\n"
                          "    .cfi_adjust_cfa_offset 8\n"
                          "    movq %rsi, %rdi\n"
                          "    movq %rdx, %rsi\n"
                          "    call velo_zev_answer_own_trapped_call\n"
                          "    popq %rdx\n"
                          "    .cfi_adjust_cfa_offset -8\n"
                          "    popq %rsi\n"
                          "    .cfi_adjust_cfa_offset -8\n"
                          "    popq %rdi\n"
                          "    .cfi_adjust_cfa_offset -8\n"
                          "    testb %al, %al\n"
                          "    jz 1f\n"
                          "    ret\n"
                          "1:\n",
                          "velo_zev_signal_body", "velo_zev_signal_called");

void ZEVSignalCheckHandlers() {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    if (readOnly == nullptr || readOnly->debuggerAttached) return;
    for (int i = 0; i < zevuzavidav::kSignalCount; ++i) {
        struct sigaction current {};
        if (darwin::signalAction(kSignals[i], nullptr, &current) != 0) {
            std::fputs("Unable to read signal handler\n", stderr);
            continue;
        }
        if (isOurs(current)) continue;
        Dl_info info{};
        const char* symbol = nullptr;
        if (dladdr(reinterpret_cast<void*>(current.sa_handler), &info) != 0) symbol = info.dli_sname;
        std::fprintf(
            stderr,
            "[Zevuzavidav] The signal %s has a non-Zevuzavidav handler (%s).  This will interfer with "
            "reporting.\n",
            zevuzavidav::signalName(kSignals[i]), symbol != nullptr ? symbol : "(null)");
    }
}
