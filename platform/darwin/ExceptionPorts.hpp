#pragma once
// Exception ports, emulated over signals: the kernel side of a task-level exception port.
//
// While the emulation is on, a first-chance handler owns the fault signals (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGTRAP). A synchronous fault whose exception type is registered is turned into a 92-byte
// request (84-byte message and an 8-byte trailer) on the port; the faulting thread waits for the
// 36-byte reply. A reply with return code 0 re-executes the faulting instruction; any other answer, or
// no registered port, hands the fault on to the signal disposition as the kernel would (SignalDelivery.hpp).
// Faults are reported one at a time: a thread that faults while another's request is out waits for that one's
// answer, and only then looks up its handler (so a fault that comes while a handler records a crash
// waits for the record even when the handler has unregistered its port). A thread whose stack has little
// room left waits for its turn and its answer on a stack lent to it as its alternate stack
// (runWithRoomForSignals), each waiting thread on its own, where a signal that stops it meanwhile has room. A
// fault on a thread that is still waiting for the reply to its own earlier fault (in a handler that faults
// while it waits), or on the thread that took a request from a port and has not answered it yet, or on the
// thread that records a crash (setRecordingThread), ends the process by the signal's default action. Signals
// sent by a process go straight to the disposition. Dispositions are set through signalAction, which the
// emulation keeps for itself while it owns a signal. Everything on the fault path is signal-safe.
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <sys/ucontext.h>

namespace darwin {

constexpr int kExceptionTypeCount = 14;
constexpr std::uint32_t kExcBadAccess = 1;
constexpr std::uint32_t kExcBadInstruction = 2;
constexpr std::uint32_t kExcArithmetic = 3;
constexpr std::uint32_t kExcBreakpoint = 6;
constexpr std::uint32_t kExcGuard = 12;
constexpr std::uint32_t kKernInvalidAddress = 1;
constexpr std::uint32_t kKernProtectionFailure = 2;
constexpr std::int32_t kExceptionDefaultWithCodes = static_cast<std::int32_t>(0x80000001);
constexpr std::int32_t kThreadStateNone = 5;
constexpr std::int32_t kExceptionRaiseId = 2405;
constexpr std::size_t kExceptionRequestSize = 92;
constexpr std::size_t kExceptionReplySize = 36;

#pragma pack(push, 4)
struct ExceptionRequest {
    std::uint32_t bits;
    std::uint32_t size;
    std::uint32_t remotePort; // the reply port
    std::uint32_t localPort;  // the exception port
    std::uint32_t voucher;
    std::int32_t id;
    std::uint32_t descriptorCount;
    std::uint32_t thread; // kernel thread id
    std::uint32_t threadPad;
    std::uint32_t threadType;
    std::uint32_t task; // process id
    std::uint32_t taskPad;
    std::uint32_t taskType;
    std::uint8_t ndr[8];
    std::uint32_t exception;
    std::uint32_t codeCount;
    std::int64_t codes[2];
    std::uint32_t trailerType;
    std::uint32_t trailerSize;
};
struct ExceptionReply {
    std::uint32_t bits;
    std::uint32_t size;
    std::uint32_t remotePort;
    std::uint32_t localPort;
    std::uint32_t voucher;
    std::int32_t id;
    std::uint8_t ndr[8];
    std::int32_t returnCode;
};
#pragma pack(pop)
static_assert(sizeof(ExceptionRequest) == kExceptionRequestSize, "request with its trailer");
static_assert(sizeof(ExceptionReply) == kExceptionReplySize, "reply");

extern const std::uint8_t kNDRRecord[8];

// Turns the emulation on or off (off by default). Turning it on takes over the fault signals,
// keeping their current dispositions; turning it off gives the dispositions back to the kernel.
void setExceptionEmulationEnabled(bool enabled);
bool exceptionEmulationEnabled();
// Gives the first-chance handler back its flags and mask on each signal where a program put it back
// without them (signal(n, signal(n, probe)), a library's probe restoring what it found): otherwise it would
// run with no siginfo, off the alternate stack and with the recorder's stop let through from its first
// instruction. Signal-safe.
void mendPutBackFirstChanceHandlers();

// sigaction as the emulation sees it: dispositions of the signals it owns stay in its table (unless a
// plain sigaction has since taken the signal over, which then holds).
int signalAction(int number, const struct sigaction* action, struct sigaction* previous);

// Ports: a receive right (a pipe pair); a send right is implied.
bool exceptionPortAllocate(std::uint32_t* name);
bool exceptionPortInsertSendRight(std::uint32_t name);
void exceptionPortDeallocate(std::uint32_t name);

// Registers `port` for the exception types in `mask`, returning the handlers it replaces grouped by
// identical handler (at most `*count` entries; `*count` is set to the number written).
bool taskSwapExceptionPorts(std::uint32_t mask, std::uint32_t port, std::int32_t behavior,
                            std::int32_t flavor, std::uint32_t* masks, std::uint32_t* ports,
                            std::int32_t* behaviors, std::int32_t* flavors, std::uint32_t* count);
bool taskSetExceptionPorts(std::uint32_t mask, std::uint32_t port, std::int32_t behavior,
                           std::int32_t flavor);

// Blocks until a request arrives on `port`; false when the port is gone. With a timeout of 0 or more
// milliseconds, as with Mach's receive timeout, it waits no longer than that and answers false when
// nothing came. The calling thread serves the request it took until it replies (or the port goes).
bool exceptionReceive(std::uint32_t port, void* buffer, std::size_t size, int timeoutMilliseconds = -1);
// Sends a reply to the thread waiting on the request's reply port.
bool exceptionReply(const void* reply, std::size_t size);

// The registers of a thread at the fault it is reporting; false when it reports none.
bool exceptionThreadState(pid_t tid, mcontext_t& out);
// The signal of the fault a thread is reporting; 0 when it reports none.
int exceptionThreadSignal(pid_t tid);

// The thread that records a crash, 0 when none does; set by the crash reporter for as long as the
// recording lasts. A fault on it ends the process at once by the signal's default action: the record it
// would be reported to, or wait behind, is its own, and the threads that would answer it stand
// stopped by that very recording.
void setRecordingThread(pid_t tid);
pid_t recordingThread();

// The exception type of a fault signal (0 for a signal that is not a fault).
std::uint32_t exceptionTypeForSignal(int number);

} // namespace darwin
