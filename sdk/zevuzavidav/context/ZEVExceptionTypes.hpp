#pragma once
// The exception part of the read-only crash context: where uncaught and non-fatal exceptions are
// recorded, the terminate handler ours replaced, and how many non-fatal ones a launch keeps.
#include <cstdint>
#include <exception>

struct ZEVExceptionReadOnlyContext {
    const char* path;
    const char* customPath;
    std::terminate_handler previousTerminateHandler;
    std::uint32_t customExceptionLimit;
};
