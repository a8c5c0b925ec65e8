#pragma once
// One recording of the process at a time. Every crash handler that records the whole process (the
// terminate handler's exception recorder, the signal handler, the exception server) takes the turn
// before it opens its record file and lets it go only once the other threads run again: the threads
// are stopped for one recorder at a time, and two recording at once would stop and release them over
// each other, each losing registers and stacks. The exception recorder takes no crash claim (its
// abort is recorded after it, through the claim), so without the turn it would meet the claimed crash
// of another thread.
//
// From the turn taken until it is passed or kept, the holder is recording: no crash ever becomes a hang
// through it. A fault on the recording thread ends the process at once by that fault's default action
// (darwin::setRecordingThread), and a recording that outlives its bound ends the process by the crash's
// own signal (RecordingDeadline.hpp).
//
// A recording after which the process ends (the crash claim's winner) keeps the turn: it first lets
// every recording already waiting have its turn, then holds it while the process ends, so that no
// record is begun that the end would cut. One that comes later waits for the end and writes nothing.
// The crash is then handed on to a handler from before the SDK, which may end the process (a second
// crash reporter, the terminal's restorer): the turn stays kept while it runs. Once the crashed thread
// has left it, however it left (returned, stepped over the fault, jumped out by siglongjmp), the turn is
// free again, and a later crash waits on nothing: a waiter looks at that thread's mask every few
// milliseconds (darwin::handedOnHandlerRuns). Where nothing sees the crash handed on, the turn is free
// once the later recording's patience is out.
//
// A thread waiting for the turn can be suspended and recorded by the recording under way. Signal-safe:
// atomics and futex waits on the monotonic clock, no locks, no allocation; every wait is bounded.
#include <sys/types.h>

namespace zevuzavidav {

// How long a recording waits for the one under way, and the one that ends the process for those
// waiting: far past what a whole record takes on a busy machine (milliseconds), and within the bound of
// a recording. Past it, a wait goes on while the recording under way is within its bound: a machine
// whose cores are all taken may keep a recorder that long, and ends no process the kernel would not; the
// bound ends the recording should it be stuck.
constexpr long kRecordingTurnPatienceNanos = 4L * 1000 * 1000 * 1000;

enum class RecordingTurn {
    taken,
    // The thread the crash is about holds the turn: it crashed inside its own recording, which
    // nothing will finish; no wait.
    heldByTheCrashedThread,
    // Another recording held it past the patience: nothing may be written.
    notInTime,
};

// Waits for the turn to record the crash of `crashedThread` on the calling thread, `patienceNanos` and then
// while the recording under way is within its bound; taken, the recording begins, bounded, and ends the
// process by `crashSignal` should it outlive the bound.
RecordingTurn takeRecordingTurn(pid_t crashedThread, int crashSignal,
                                long patienceNanos = kRecordingTurnPatienceNanos);
// A recording that will ask for the turn before long, from a moment at which another thread's crash may
// begin because of it (an uncaught exception's recorder that has just put the earlier terminate handler
// back, which sends a second thrower straight to its abort): a recording that keeps the turn to the end
// lets it go first, as one already waiting, so the crash that came first is recorded even when the one
// it let begin takes the turn before it. Ended, taken or not, by endRecordingAnnouncement.
void announceRecording();
void endRecordingAnnouncement();
// The recording ended: lets the next one begin.
void passRecordingTurn();
// The recording ended and the process ends next, by the crash of `crashedThread`: the recordings already
// waiting go first (within the patience), then the turn stays with the calling thread.
void keepRecordingTurnToTheEnd(pid_t crashedThread);
// The crash of `crashedThread` goes on to a handler from before the SDK now: the turn kept for its end
// stays kept while that handler runs, and is free once the thread has left it.
void noteCrashHandedOn(pid_t crashedThread);
// The crash of `crashedThread` came back from the handler it was handed on to, or was let go: a turn kept
// for its end is free again.
void passRecordingTurnKeptFor(pid_t crashedThread);
// The thread that holds the turn, 0 when none does; a turn kept for a crash whose thread has left the
// handler it was handed on to is let go as this asks.
pid_t recordingTurnHolder();
// The crashed thread whose end a kept turn waits for, 0 when the turn is not kept.
pid_t recordingTurnKeptFor();
// Whether a recording waits for the turn or holds it (on a thread that lives), or the turn is kept for a
// recorded crash that has not gone on yet (its default action is still to come). A crash handed on to a
// handler of the program is under way no more, whatever that handler does: the turn stays kept for later
// recordings while it runs, but what it does next is the program's.
bool recordingUnderWay();
// In a forked child, where only the forking thread lives: no recording of the parent's goes on or waits
// there, and no turn is kept for a crash of the parent's. Signal-safe (a fork may come from a handler).
void forgetTheParentsRecordings();

} // namespace zevuzavidav
