#pragma once
// An operation that runs asynchronously: start() schedules main() on the default-priority global
// queue and marks the operation executing; the subclass calls finish() when its work has completed,
// whatever the outcome.
//
// Failure contract: main() must be overridden (it is pure here, so forgetting it does not compile).
// start() ignores cancellation, and a second start() - or a start() after finishing - does nothing. The
// executing/finished flags are the dispatch operation's, so they may be read from any thread.
// Operations must be owned by a std::shared_ptr (start() keeps the operation alive until main() runs).
#include "platform/dispatch/Operation.hpp"

#include <atomic>

class ZOVAsynchronousOperation : public dispatch::Operation {
  public:
    bool isAsynchronous() const override { return true; }
    bool isConcurrent() const { return true; }

    void start() override;
    void main() override = 0;

  protected:
    using dispatch::Operation::finish;

  private:
    std::atomic<bool> startCalled_{false};
};
