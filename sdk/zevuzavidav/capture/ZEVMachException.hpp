#pragma once
// Crash capture through the (emulated) task exception port: a server thread waits on the port,
// and when a fault arrives it puts back the earlier exception handlers and signal handlers, records a
// "mach_exception" section with the process state, and answers, so the fault then takes its usual
// course. Installed by the context at start: this is the first road a fault takes. The signal handlers
// are installed as well and are the fallback: a signal sent by a process, an exception kind left out by
// the mask, or a port that could not be registered reaches them with its original details.
#include "sdk/zevuzavidav/context/ZEVMachExceptionTypes.hpp"

#include <cstdint>

namespace zevuzavidav {
constexpr std::uint32_t kMachExceptionBaseMask = 0x4E;
constexpr std::uint32_t kMachExceptionGuardMask = 0x1000;

// The switch (on by default): off before ZEVContextInitialize leaves faults to the signal handlers.
void setMachExceptionEmulationEnabled(bool enabled);
bool machExceptionEmulationEnabled();
// Used by the context before it installs the signal handlers: takes the fault signals over for the
// exception port when the switch is on. True when the emulation is running.
bool prepareMachExceptionEmulation();

// The exception kinds registered for an OS version number and a leave-out mask.
std::uint32_t registeredMachExceptionMask(std::uint32_t osVersionNumber, std::uint32_t leaveOutMask);
} // namespace zevuzavidav
// Mask bit(s) of the exception that a signal comes from (0 for others).
std::uint32_t ZEVMachExceptionMaskForSignal(int number);
namespace zevuzavidav {
const char* machExceptionName(std::uint32_t exception);
const char* machExceptionCodeName(std::uint32_t exception, std::uint64_t firstCode);
} // namespace zevuzavidav

void ZEVMachExceptionInit(ZEVMachExceptionReadOnlyContext* part, std::uint32_t leaveOutMask);
bool ZEVMachExceptionUnregister(ZEVMachExceptionReadOnlyContext* part, std::uint32_t registeredMask);
// Registers the SDK's port again for the exceptions it took at start, once a crash it unregistered it for
// has gone on to a handler of the program (the next crash is reported there too); nothing when the server
// no longer takes requests. Signal-safe.
void ZEVMachExceptionRegisterAgain(ZEVMachExceptionReadOnlyContext* part);
void* ZEVMachExceptionServer(void* part);
