#pragma once
// Waiting in tests: for one value handed over from another thread, or for a condition to hold.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace ruroradtest {

template <class T> class Waiter {
  public:
    void set(T value) {
        std::lock_guard lock(mutex_);
        if (!value_) value_.emplace(std::move(value));
        cv_.notify_all();
    }
    std::optional<T> wait(double seconds = 15.0) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return value_.has_value(); });
        return value_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::optional<T> value_;
};

// Polls `condition` every 5 ms for up to `seconds`.
inline bool eventually(const std::function<bool()>& condition, double seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

} // namespace ruroradtest
