#pragma once
// The crash handler's hold on the other threads of the process: they are suspended when this object
// is made and resumed when it ends, on every way out of the scope that holds it, so none can stay
// frozen behind a handler that returns early. It allocates nothing and takes no lock: it runs at crash
// time, in a signal handler.
//
// The threads are asked to stop and the hold begins at once: each thread's registers are waited for
// when they are first read, so the first threads are recorded while the last still stop.
//
// Failure contract: allSuspended() waits for every thread and is false when some thread was given up
// (it could not answer, or did not within half the recording's bound; it is recorded as it runs); the
// threads that did stop are resumed all the same.
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/context/RecordingDeadline.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"

namespace zevuzavidav {

class OtherThreadsSuspended {
  public:
    explicit OtherThreadsSuspended(ZEVProcess* process) : process_(process) {
        darwin::askThreadsToSuspend(process->threads, process->threadCount, darwin::kSuspensionPatienceNanos,
                                    kSuspensionBound);
    }
    ~OtherThreadsSuspended() { ZEVProcessResumeAllOtherThreads(process_); }
    OtherThreadsSuspended(const OtherThreadsSuspended&) = delete;
    OtherThreadsSuspended& operator=(const OtherThreadsSuspended&) = delete;

    bool allSuspended() const { return darwin::awaitSuspension(); }

  private:
    // A thread still on its way this long into the recording is given up, leaving the other half of the
    // recording's bound to write the record.
    static constexpr long kSuspensionBound = kRecordingBoundNanos / 2;
    ZEVProcess* process_;
};

} // namespace zevuzavidav
