#pragma once
// The exception-port part of the read-only crash context.
#include <cstdint>
#include <pthread.h>

namespace zevuzavidav {
constexpr int kMachExceptionSavedCapacity = 14;
} // namespace zevuzavidav

struct ZEVMachExceptionReadOnlyContext {
    std::uint32_t port;
    pthread_t thread;
    const char* path;
    std::uint32_t registeredMask;
    std::uint32_t savedCount;
    std::uint32_t savedMasks[zevuzavidav::kMachExceptionSavedCapacity];
    std::uint32_t savedPorts[zevuzavidav::kMachExceptionSavedCapacity];
    std::int32_t savedBehaviors[zevuzavidav::kMachExceptionSavedCapacity];
    std::int32_t savedFlavors[zevuzavidav::kMachExceptionSavedCapacity];
};
