#pragma once
// Runs an action when the scope is left, on every way out: a failed ASSERT returns early, and a server
// still holding its answer, or a thread still looping or suspended, must be let go before it is joined.
// Declare it after what it lets go, so that it runs first.
#include <utility>

namespace velotest {

template <class Action> class OnExit {
  public:
    explicit OnExit(Action action) : action_(std::move(action)) {}
    ~OnExit() { action_(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

  private:
    Action action_;
};

} // namespace velotest
