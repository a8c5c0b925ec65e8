#pragma once
// One value handed over from another thread to a test that waits for it (a completion handler's
// outcome, say). The first value set is kept; later ones are ignored.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

namespace velotest {

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

} // namespace velotest
