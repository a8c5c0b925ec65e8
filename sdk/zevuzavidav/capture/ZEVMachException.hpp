#pragma once
// Crash capture through the (emulated) task exception port: a server thread waits on the port,
// and when a fault arrives it puts back the earlier exception handlers and signal handlers, records a
// "mach_exception" section with the process state, and answers, so the fault then takes its usual
// course. Installed by the context only while the exception-port emulation is switched on.
#include "sdk/zevuzavidav/capture/ZEVMachExceptionTypes.hpp"

#include <cstdint>

constexpr std::uint32_t ZEVMachExceptionBaseMask = 0x4E;
constexpr std::uint32_t ZEVMachExceptionGuardMask = 0x1000;

// The switch (off by default). Turn it on before ZEVContextInitialize.
void ZEVMachExceptionSetEmulationEnabled(bool enabled);
bool ZEVMachExceptionEmulationEnabled();

// The exception kinds registered for an OS version number and a leave-out mask.
std::uint32_t ZEVMachExceptionRegisteredMask(std::uint32_t osVersionNumber, std::uint32_t leaveOutMask);
// Mask bit(s) of the exception that a signal comes from (0 for others).
std::uint32_t ZEVMachExceptionMaskForSignal(int number);
const char* ZEVMachExceptionName(std::uint32_t exception);
const char* ZEVMachExceptionCodeName(std::uint32_t exception, std::uint64_t firstCode);

void ZEVMachExceptionInit(ZEVMachExceptionReadOnlyContext* part, std::uint32_t leaveOutMask);
bool ZEVMachExceptionUnregister(ZEVMachExceptionReadOnlyContext* part, std::uint32_t registeredMask);
void* ZEVMachExceptionServer(void* part);
