#include "sdk/zovaze/DebugFlag.hpp"

#include <atomic>

namespace {
std::atomic<bool> debugFlag{false};
}

bool ZOVDebugFlag() {
    return debugFlag.load(std::memory_order_relaxed);
}

void ZOVSetDebugFlag(bool on) {
    debugFlag.store(on, std::memory_order_relaxed);
}
