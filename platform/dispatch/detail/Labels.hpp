#pragma once
// Bookkeeping of the running queue per thread (see ThreadQueueLabels.hpp and currentQueueLabel()).
#include <string>

namespace dispatch::detail {

// A copy of `label` that lives until the process ends.
const char* internLabel(const std::string& label);

// Marks the calling thread as running the queue `label` (an interned pointer) until destroyed, then
// restores what was marked before (blocks may run nested, e.g. sync inline or main-queue re-entry).
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
