#pragma once
// The default-priority global concurrent queue: a pool of up to one worker thread per core (at least
// two, at most sixteen), started as work arrives. Blocks start in submission/deadline order but may run
// at the same time and finish in any order.
//
// Thread-safety: every member may be called from any thread. The pool lives until the process ends.
#include "platform/dispatch/Queue.hpp"

namespace dispatch {

class GlobalQueue final : public Queue {
  public:
    const std::string& label() const override;
    void schedule(Deadline deadline, WorkItem item) override;

    // Workers started so far, and the most the pool starts.
    std::size_t threadCount() const;
    std::size_t maximumThreadCount() const;

  private:
    friend GlobalQueue& global();
    GlobalQueue();
    struct State;
    State* state_; // leaked on purpose: workers may still run while static destructors do
};

GlobalQueue& global();

} // namespace dispatch
