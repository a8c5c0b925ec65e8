#pragma once
// The crash handler's hold on the other threads of the process: they are suspended when this object
// is made and resumed when it ends, on every way out of the scope that holds it, so none can stay
// frozen behind a handler that returns early. It allocates nothing and takes no lock: it runs at crash
// time, in a signal handler.
//
// Failure contract: allSuspended() is false when some thread did not stop in time (it is recorded as
// it runs); the threads that did stop are resumed all the same.
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"

namespace zevuzavidav {

class OtherThreadsSuspended {
  public:
    explicit OtherThreadsSuspended(ZEVProcess* process)
        : process_(process), allSuspended_(ZEVProcessSuspendAllOtherThreads(process)) {}
    ~OtherThreadsSuspended() { ZEVProcessResumeAllOtherThreads(process_); }
    OtherThreadsSuspended(const OtherThreadsSuspended&) = delete;
    OtherThreadsSuspended& operator=(const OtherThreadsSuspended&) = delete;

    bool allSuspended() const { return allSuspended_; }

  private:
    ZEVProcess* process_;
    bool allSuspended_;
};

} // namespace zevuzavidav
