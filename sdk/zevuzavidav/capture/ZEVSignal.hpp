#pragma once
// Crash capture for POSIX signals: one handler, on the alternate stack, for the seven crash signals.
//
// The handler claims the crash, writes a "signal" section and the process state into
// "signal.zevrecord", and hands the signal on to the handler that was installed before ours, as the kernel
// would, or to its default action: a fault is then re-executed and ends the process as it would have
// without us; a signal that returning would not bring back (sent by kill or raise, a breakpoint or trap that
// has already run, a refused system call) is raised again so that it does too. Another thread crashing
// meanwhile waits for the record (and ends by its own signal should the process outlive it); a crash inside
// a recording, on the recording thread, takes the default action at once. Our handlers stay: a crash the
// program goes on from frees the claim, so the next one is recorded too. All of it is signal-safe.
#include "sdk/zevuzavidav/context/ZEVSignalTypes.hpp"

#include <csignal>
#include <cstdint>

namespace zevuzavidav {
// The handled signals in table order: SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP.
int signalAtIndex(int index);
// "SIGSEGV" and friends for the handled signals, "UNKNOWN" for any other.
const char* signalName(int number);
// "ABORT" for SIGABRT, null for every other signal.
const char* signalCodeName(int number);
} // namespace zevuzavidav

// Removes the old record file, installs the alternate stack and the seven handlers.
void ZEVSignalInitialize(ZEVSignalReadOnlyContext* part);
// The handler itself. Entered by the kernel, it takes at most darwin::kEntryBytes of the stack below the
// kernel's frame (platform/darwin/HandlerEntry.hpp); called by another handler, it runs as a function.
extern "C" void ZEVSignalHandler(int number, siginfo_t* info, void* userContext);
// Every handled signal back to its default action; false when one could not be reset.
bool ZEVSignalSafeRemoveHandlers();
// The saved alternate stack, then the saved actions (the default action for a zero slot) of the signals
// whose handler is still ours; a signal the program has given a handler of its own since keeps it. True
// when all went in.
bool ZEVSignalSafeInstallPreexistingHandlers(ZEVSignalReadOnlyContext* part);
// Gives our handler back its flags and mask (and the exception port's first-chance handler its own) on each
// handled signal where the program put it back without them (signal(n, signal(n, probe)), a library's
// probe restoring what it found). Signal-safe.
void ZEVSignalMendPutBackHandlers();
void ZEVSignalEnumerateHandledSignals(void (*block)(int index, int number, void* context), void* context);
// Warns on standard error about handled signals whose handler is not ours.
void ZEVSignalCheckHandlers();
// Writes the "signal" section (used by the handler; exposed for tests).
struct ZEVFile;
namespace zevuzavidav {
void writeSignalSection(ZEVFile* file, int number, const siginfo_t* info, int savedErrno);
} // namespace zevuzavidav
