#pragma once
// A dispatch group: counts outstanding work; waiters and notify blocks run when the count drops to zero.
//
// Thread-safety: every member may be called from any thread. A leave() without a matching enter() is a
// caller bug; it is ignored (the count never goes below zero) rather than crashing the process.
#include "platform/dispatch/Queue.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace dispatch {

class Group {
  public:
    Group();
    ~Group();
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    void enter();
    void leave();

    // Submits `block` to `queue` as one unit of the group (enter before, leave after it ran).
    void async(Queue& queue, std::function<void()> block);

    // Blocks until the group is empty. With a timeout (seconds on dispatch::clock()), returns false if it
    // is still busy when the time has passed, or once the virtual clock it was read on is replaced.
    bool wait(std::optional<double> timeoutSeconds = std::nullopt);

    // Submits `block` to `queue` once the group is empty (at once if it already is). Every notify block
    // registered before the count reached zero is submitted exactly once.
    void notify(Queue& queue, std::function<void()> block);

    std::size_t outstanding() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace dispatch
