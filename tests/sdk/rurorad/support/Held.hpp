#pragma once
// Making concurrency happen in tests: a gate that holds blocks (a queue's, say) until it opens, at the
// latest when it goes. Declare it after the threads (std::jthread, joined as they go) that may wait
// behind it: it opens first, and only then are they joined, on every way out of the test.
#include <functional>
#include <future>
#include <mutex>

namespace ruroradtest {

class Gate {
  public:
    Gate() : opened_(promise_.get_future().share()) {}
    ~Gate() { open(); }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    void open() {
        std::call_once(once_, [this] { promise_.set_value(); });
    }
    // A block that returns once the gate is open; it may outlive the gate.
    std::function<void()> holder() const {
        return [opened = opened_] { opened.wait(); };
    }

  private:
    std::promise<void> promise_;
    std::shared_future<void> opened_;
    std::once_flag once_;
};

} // namespace ruroradtest
