#pragma once
// The exception-port part of the read-only crash context.
#include <cstdint>
#include <pthread.h>

constexpr int ZEVMachExceptionSavedCapacity = 14;

struct ZEVMachExceptionReadOnlyContext {
    std::uint32_t port;
    pthread_t thread;
    const char* path;
    std::uint32_t registeredMask;
    std::uint32_t savedCount;
    std::uint32_t savedMasks[ZEVMachExceptionSavedCapacity];
    std::uint32_t savedPorts[ZEVMachExceptionSavedCapacity];
    std::int32_t savedBehaviors[ZEVMachExceptionSavedCapacity];
    std::int32_t savedFlavors[ZEVMachExceptionSavedCapacity];
};
