#pragma once
// The real crash context installed in a folder, as the app starts it. Shared by the crash tests and the
// crash benchmark.
//
// Failure contract: none reported; a context that does not come up within 60 s (on the monotonic clock,
// however busy the machine) is left as it is, and the caller's own checks of the record then fail.
#include "sdk/zevuzavidav/capture/ZEVMachException.hpp"
#include "sdk/zevuzavidav/kit/ZEVContextInitialize.hpp"

#include <chrono>
#include <string>
#include <unistd.h>

namespace recordtest {

// Which road a fault takes to the record: the exception port (as the app starts it), or the signal
// handlers alone.
enum class Road { exceptionPort, signals };

// Installs the real crash context with its report folder at `dir` and waits (at most 60 s) until it
// reports itself initialised.
inline void initializeContext(const std::string& dir, Road road = Road::exceptionPort) {
    zevuzavidav::setMachExceptionEmulationEnabled(road == Road::exceptionPort);
    ZEVContextInitData data;
    data.apiKey = "key";
    data.reportDirectory = dir.c_str();
    data.reportIdentifier = "report";
    data.installationIdentifier = "install";
    ZEVContextInitialize(&data);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!ZEVContextIsInitialized() && std::chrono::steady_clock::now() < deadline)
        usleep(1000);
}

} // namespace recordtest
