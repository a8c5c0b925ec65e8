#pragma once
// One recording of the process at a time. Every crash handler that records the whole process (the
// terminate handler's exception recorder, the signal handler, the exception server) takes the turn
// before it opens its record file and lets it go only once the other threads run again: the threads
// are stopped for one recorder at a time, and two recording at once would stop and release them over
// each other, each losing registers and stacks. The exception recorder takes no crash claim (its
// abort is recorded after it, through the claim), so without the turn it would meet the claimed crash
// of another thread.
//
// A recording after which the process ends (the crash claim's winner) keeps the turn: it first lets
// every recording already waiting have its turn, then holds it while the process ends, so that no
// record is begun that the end would cut. One that comes later waits for the end and writes nothing;
// should the process go on all the same (a handler from before the SDK stepped over the fault), it
// takes the turn once its patience is out, as nothing is being recorded.
//
// A thread waiting for the turn can be suspended and recorded by the recording under way. Signal-safe:
// atomics and futex waits on the monotonic clock, no locks, no allocation; every wait is bounded.
#include <sys/types.h>

namespace zevuzavidav {

enum class RecordingTurn {
    taken,
    // The thread the crash is about holds the turn: it crashed inside its own recording, which
    // nothing will finish; no wait.
    heldByTheCrashedThread,
    // Another recording held it past the patience: nothing may be written.
    notInTime,
};

// Waits for the turn to record the crash of `crashedThread` on the calling thread.
RecordingTurn takeRecordingTurn(pid_t crashedThread);
// Lets the next recording begin.
void passRecordingTurn();
// For the holder whose recording ends the process: the recordings already waiting go first (within
// the patience), then the turn stays with the calling thread.
void keepRecordingTurnToTheEnd();
// The thread that holds the turn, 0 when none does.
pid_t recordingTurnHolder();

} // namespace zevuzavidav
