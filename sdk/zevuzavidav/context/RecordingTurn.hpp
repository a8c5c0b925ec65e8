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
// A crash handed on to a handler of the program lets the turn go (passRecordingTurnKeptFor): that handler
// may end the process (the terminal's restorer) or let the program go on (step over the fault, jump out),
// and what it does is the program's, as it would be without the SDK. Where nothing sees the crash handed
// on, the turn is free once the later recording's patience is out.
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
// For a signal that is no crash (a system call a sandbox answers, a handler's own signal) on its way to a
// handler of the program, which holds the recorder's stop off while it runs: waits until the recording
// under way on another thread, if any, has ended (within the patience, and then while it is within its
// bound), so that this thread is recorded at its registers rather than given up. Not for a turn kept for
// the end of the process.
void awaitTheRecordingUnderWay();
// The recording ended: lets the next one begin.
void passRecordingTurn();
// The recording ended and the process ends next, by the crash of `crashedThread`: the recordings already
// waiting go first (within the patience), then the turn stays with the calling thread.
void keepRecordingTurnToTheEnd(pid_t crashedThread);
// The crash of `crashedThread` goes on to a handler of the program, or was let go: a turn kept for its end
// is free again.
void passRecordingTurnKeptFor(pid_t crashedThread);
// The thread that holds the turn, 0 when none does.
pid_t recordingTurnHolder();
// The crashed thread whose end a kept turn waits for, 0 when the turn is not kept.
pid_t recordingTurnKeptFor();
// Whether a recording waits for the turn or holds it (on a thread that lives), or the turn is kept for a
// recorded crash that has not gone on yet (its default action is still to come). A crash handed on to a
// handler of the program is under way no more, whatever that handler does.
bool recordingUnderWay();
// In a forked child, where only the forking thread lives: no recording of the parent's goes on or waits
// there, and no turn is kept for a crash of the parent's. Signal-safe (a fork may come from a handler).
void forgetTheParentsRecordings();

} // namespace zevuzavidav
