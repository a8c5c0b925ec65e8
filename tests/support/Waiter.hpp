#pragma once
// Waiting in tests for something that must happen: one value handed over from another thread (a
// completion handler's outcome, say), or a condition that comes to hold.
//
// Such a wait ends when the thing happens. Its only bound is kPatience, far past what any machine
// takes however busy it is: it turns a hang into a failure that says what never came, and says nothing
// about speed. Never pass a shorter bound to check that something is quick, or a short one to check
// that something does not happen: make that happen or not happen with a latch or a held queue.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <linux/futex.h>
#include <mutex>
#include <optional>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace velotest {

inline constexpr double kPatience = 60.0;
// The same, for waits measured in nanoseconds.
inline constexpr long kPatienceNanos = static_cast<long>(kPatience * 1'000'000'000);

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
//
// A wait gives up after kPatience: it fails the test, saying that the gate was never opened, and answers
// false, so that a test whose thread never reaches the open() fails rather than hangs. Neither side takes
// a lock (the word is waited on with a futex), so a thread stopped anywhere, even by a signal in the
// middle of its wait, never holds back another's open() or wait().
class Gate {
  public:
    bool wait() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kPatience);
        while (open_.load() == 0) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ADD_FAILURE() << "a gate was never opened within " << kPatience << " s";
                return false;
            }
            // The kernel measures the relative time out on the monotonic clock; the word's value is
            // looked at again under the kernel's lock, so an open() in between ends the wait at once.
            const timespec out{static_cast<time_t>(left.count() / 1'000'000'000),
                               static_cast<long>(left.count() % 1'000'000'000)};
            ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&open_), FUTEX_WAIT_PRIVATE, 0U, &out,
                      nullptr, 0U);
        }
        return true;
    }
    void open() {
        open_.store(1);
        ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&open_), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr,
                  nullptr, 0U);
    }

  private:
    static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
    std::atomic<std::uint32_t> open_{0};
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
