#pragma once
// Bookkeeping of the running queue per thread: currentQueueLabel() for the thread itself, and the
// thread table of platform/darwin/Threads.hpp (darwin::queueLabel) for a crash reporter looking at
// other threads.
#include <string>

namespace dispatch::detail {

// A copy of `label` that lives until the process ends.
const char* internLabel(const std::string& label);

// Marks the calling thread as running the queue `label` (an interned pointer) until destroyed, both
// for currentQueueLabel() and in the darwin thread table, then restores what was marked before (blocks may
// run nested, e.g. sync inline or main-queue re-entry).
class RunningQueueScope {
  public:
    explicit RunningQueueScope(const char* label) noexcept;
    ~RunningQueueScope();
    RunningQueueScope(const RunningQueueScope&) = delete;
    RunningQueueScope& operator=(const RunningQueueScope&) = delete;

  private:
    const char* previous_;
};

const char* runningQueueLabel() noexcept;

} // namespace dispatch::detail
