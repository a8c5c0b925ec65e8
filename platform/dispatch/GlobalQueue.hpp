#pragma once
// The default-priority global concurrent queue: a fixed pool of worker threads (at least two). Blocks
// start in submission/deadline order but may run at the same time and finish in any order.
//
// Thread-safety: every member may be called from any thread. The pool lives until the process ends.
#include "platform/dispatch/Queue.hpp"

namespace dispatch {

class GlobalQueue final : public Queue {
  public:
    const std::string& label() const override;
    void schedule(Nanoseconds deadline, WorkItem item) override;

    std::size_t threadCount() const;

  private:
    friend GlobalQueue& global();
    GlobalQueue();
    struct State;
    State* state_; // leaked on purpose: workers may still run while static destructors do
};

GlobalQueue& global();

} // namespace dispatch
