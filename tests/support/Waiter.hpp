#pragma once
// Waiting in tests for something that must happen: one value handed over from another thread (a
// completion handler's outcome, say), or a condition that comes to hold.
//
// Such a wait ends when the thing happens. Its only bound is kPatience, far past what any machine
// takes however busy it is: it turns a hang into a failure that says what never came, and says nothing
// about speed. Never pass a shorter bound to check that something is quick, or a short one to check
// that something does not happen: make that happen or not happen with a latch or a held queue.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace velotest {

inline constexpr double kPatience = 60.0;

template <class T> class Waiter {
  public:
    // The first value set is kept; later ones are ignored.
    void set(T value) {
        std::lock_guard lock(mutex_);
        if (!value_) value_.emplace(std::move(value));
        cv_.notify_all();
    }
    // The value once it is set (nothing after kPatience); `seconds` 0 only looks.
    std::optional<T> wait(double seconds = kPatience) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return value_.has_value(); });
        return value_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::optional<T> value_;
};

// A gate threads wait at (a server holding its answer, say) until the test opens it; open() may come
// more than once. Open it on every way out of the test too (OnExit), before what waits is joined.
class Gate {
  public:
    void wait() { open_.wait(false); }
    void open() {
        open_ = true;
        open_.notify_all();
    }

  private:
    std::atomic<bool> open_{false};
};

// Polls `condition` every `every` until it holds (false after kPatience).
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds every = std::chrono::milliseconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kPatience);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(every);
    }
    return condition();
}

} // namespace velotest
