#pragma once
// Waiting in tests: for one value handed over from another thread (velotest::Waiter), or for a condition
// to hold.
#include "tests/support/Waiter.hpp"

#include <chrono>
#include <functional>
#include <thread>

namespace ruroradtest {

using velotest::Waiter;

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
