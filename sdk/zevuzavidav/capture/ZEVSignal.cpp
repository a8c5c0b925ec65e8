#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"

#include "platform/darwin/ExceptionPorts.hpp"
#include "platform/darwin/NullPage.hpp"
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/context/RecordingTurn.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kSignals[zevuzavidav::kSignalCount] = {SIGABRT, SIGBUS, SIGFPE, SIGILL,
                                                     SIGSEGV, SIGSYS, SIGTRAP};

bool isDefault(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_DFL;
}

// True for signals that returning from the handler would not bring back: those sent by a process
// (kill, raise, tgkill, sigqueue: codes of 0 and below), a trap or breakpoint, whose instruction has
// already run, and a refused system call, which is not retried. A fault re-executes its instruction
// and needs no help.
bool mustBeRaisedAgain(int number, const siginfo_t* info) {
    return info != nullptr && (info->si_code <= 0 || number == SIGTRAP || number == SIGSYS);
}

// The earlier alternate stack belongs to the thread that started the SDK, where ours replaced it. It
// goes back only there, and only while no handler runs on ours: the kernel refuses to swap a stack in
// use (EPERM), which is the case in every crash handled on that thread, and on any other thread it
// would give that thread a stack it shares with the first. Elsewhere the thread keeps its own stack.
bool mayPutBackSavedStack() {
    const ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    stack_t current{};
    return readOnly != nullptr && sigaltstack(nullptr, &current) == 0 &&
           (current.ss_flags & (SS_ONSTACK | SS_DISABLE)) == 0 && current.ss_sp == readOnly->signalStack;
}

// True while `number` waits for this thread (or the process) to let it through; true too when that
// cannot be told.
bool stillPending(int number) {
    sigset_t pending;
    sigemptyset(&pending);
    return sigpending(&pending) != 0 || sigismember(&pending, number) == 1;
}

// A fault the exception port's emulation handed to an earlier handler came back from it: the crash of
// that thread did not end the process (the handler stepped over the fault), so a turn kept for that end
// is free again. Our own handler coming back is no such sign: the fault it recorded is about to run
// again, into the handlers it put back.
void onHandedBack(pid_t thread, const struct sigaction& disposition) {
    if ((disposition.sa_flags & SA_SIGINFO) != 0 && disposition.sa_sigaction == ZEVSignalHandler) return;
    zevuzavidav::passRecordingTurnKeptFor(thread);
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
    if (stack.ss_sp == nullptr || sigaltstack(&stack, &part->savedStack) != 0) {
        ZEVSDKLog("%s: Unable to setup stack %s\n", "ZEVSignalInstallAltStack",
                  zevuzavidav::errorText(errno, errorText));
    }
    darwin::setHandedBackObserver(onHandedBack);
    for (int i = 0; i < zevuzavidav::kSignalCount; ++i) {
        struct sigaction action {};
        action.sa_sigaction = ZEVSignalHandler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
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
    bool ok = ZEVSignalSafeRemoveHandlers();
    if (part == nullptr) return false;
    char errorText[zevuzavidav::kErrorTextSize];
    // A failure to put the earlier alternate stack back must not keep the earlier handlers from being
    // restored, so it only costs the result.
    if (part->savedStack.ss_sp != nullptr && mayPutBackSavedStack() &&
        sigaltstack(&part->savedStack, nullptr) != 0) {
        ZEVSDKLog("%s: Unable to setup stack %s\n", "ZEVSignalSafeInstallPreexistingHandlers",
                  zevuzavidav::errorText(errno, errorText));
        ok = false;
    }
    for (int i = 0; i < zevuzavidav::kSignalCount; ++i) {
        const struct sigaction& saved = part->savedActions[i];
        if (saved.sa_handler == nullptr) continue;
        if (darwin::signalAction(kSignals[i], &saved, nullptr) != 0) {
            ZEVSDKLog("%s: Unable to install handler for %d (%s)\n",
                      "ZEVSignalSafeInstallPreexistingHandlers", i, zevuzavidav::errorText(errno, errorText));
            ok = false;
        }
    }
    return ok;
}

void zevuzavidav::writeSignalSection(ZEVFile* file, const siginfo_t* info, int savedErrno) {
    ZEVFileWriteSectionStart(file, "signal");
    ZEVFileWriteObjectStart(file);
    if (!darwin::isNullAddress(info)) {
        ZEVFileWriteUInt64Entry(file, "number", static_cast<std::uint64_t>(info->si_signo));
        // Signed: the codes of signals sent by a process are negative (SI_TKILL is -6).
        ZEVFileWriteInt64Entry(file, "code", info->si_code);
        // A signal sent by a process has no faulting address: the kernel puts the sender's process id
        // where the address would be.
        if (info->si_code > 0)
            ZEVFileWriteUInt64Entry(file, "address", reinterpret_cast<std::uintptr_t>(info->si_addr));
        ZEVFileWriteStringEntry(file, "name", zevuzavidav::signalName(info->si_signo));
        ZEVFileWriteStringEntry(file, "code_name", zevuzavidav::signalCodeName(info->si_signo));
    }
    ZEVFileWriteInt64Entry(file, "errno", savedErrno);
    ZEVFileWriteUInt64Entry(file, "time", zevuzavidav::currentTimeSeconds());
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
}

void ZEVSignalHandler(int number, siginfo_t* info, void* userContext) {
    int savedErrno = errno;
    errno = 0;
    ZEVSDKLog("%s: Signal: %d\n", "ZEVSignalHandler", number);
    bool infoValid = !darwin::isNullAddress(info);
    pid_t me = darwin::currentThreadId();
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    // Our handlers stay installed while a crash is recorded, so that a second thread crashing at the
    // same moment waits for the record instead of killing the process with a default action. Only a
    // crash inside a recording, on the recording thread itself, falls back to the default action: that
    // recording will never end, and the threads that could answer stand stopped by it.
    if (readOnly == nullptr || darwin::recordingThread() == me) {
        ZEVSignalSafeRemoveHandlers();
    } else {
        sigset_t all;
        sigfillset(&all);
        if (sigprocmask(SIG_UNBLOCK, &all, nullptr) != 0) {
            ZEVSDKLog("%s: Unable to unmask signals - we risk infinite recursion here\n", "ZEVSignalHandler");
        }
        if (ZEVContextMarkAndCheckIfCrashed()) {
            ZEVSDKLog("%s: Error: aborting signal handler because crash has already occurred\n",
                      "ZEVSignalRecordSignal");
            zevuzavidav::endAfterClaimedCrash(me, number);
        }
        // The process ends after this record: a recording under way (an uncaught exception's on
        // another thread) is let finish first, and none begins after it.
        if (zevuzavidav::takeRecordingTurn(me, number) != zevuzavidav::RecordingTurn::taken) {
            ZEVSDKLog("%s: Unable to record while another recording is under way\n", "ZEVSignalRecordSignal");
        } else {
            ZEVFile file;
            char storage[zevuzavidav::kCrashRecordStorageSize];
            if (!ZEVFileInitWithPath(&file, readOnly->signal.path, false)) {
                ZEVSDKLog("%s: Unable to open signal file\n", "ZEVSignalRecordSignal");
            } else {
                zevuzavidav::useFileBuffer(&file, storage, sizeof storage);
                zevuzavidav::writeSignalSection(&file, infoValid ? info : nullptr, savedErrno);
                const auto* context = !darwin::isNullAddress(userContext)
                                          ? static_cast<const ucontext_t*>(userContext)
                                          : nullptr;
                ZEVHandler(&file, me, context);
                ZEVFileClose(&file);
            }
            zevuzavidav::keepRecordingTurnToTheEnd(me);
        }
        ZEVSignalSafeInstallPreexistingHandlers(&readOnly->signal);
    }
    errno = savedErrno;
    if (infoValid && mustBeRaisedAgain(number, info)) {
        // Raise it again so the process ends by it (or the earlier handler sees it) instead of going
        // on. Unblocked above, it is delivered before the call returns: back here with it no longer
        // pending, it came back from the handler from before the SDK (or was ignored), and the crash
        // goes on. A turn kept for its end is free again, and a crash that lost the claim to it ends.
        syscall(SYS_tgkill, syscall(SYS_getpid), syscall(SYS_gettid), number);
        if (!stillPending(number)) zevuzavidav::passRecordingTurnKeptFor(me);
        errno = savedErrno;
    }
}

void ZEVSignalCheckHandlers() {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    if (readOnly == nullptr || readOnly->debuggerAttached) return;
    for (int i = 0; i < zevuzavidav::kSignalCount; ++i) {
        struct sigaction current {};
        if (darwin::signalAction(kSignals[i], nullptr, &current) != 0) {
            std::fputs("Unable to read signal handler\n", stderr);
            continue;
        }
        if ((current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == ZEVSignalHandler) continue;
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
