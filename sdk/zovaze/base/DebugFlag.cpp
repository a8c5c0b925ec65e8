#include "sdk/zovaze/base/DebugFlag.hpp"

#include <atomic>

namespace {
std::atomic<bool> enabled{false};
}

bool zovaze::debugFlag() {
    return enabled.load(std::memory_order_relaxed);
}

void zovaze::setDebugFlag(bool on) {
    enabled.store(on, std::memory_order_relaxed);
}
