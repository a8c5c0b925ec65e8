#pragma once
// Exception ports, emulated over signals: the kernel side of a task-level exception port.
//
// While the emulation is on, a first-chance handler owns the fault signals (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGTRAP). A synchronous fault whose exception type is registered is turned into a 92-byte
// request (84-byte message and an 8-byte trailer) on the port; the faulting thread waits for the
// 36-byte reply. A reply with return code 0 re-executes the faulting instruction; any other answer, or
// no registered port, hands the fault on to the signal disposition as the kernel would (handOn). Faults are
// reported one at a time: a thread that faults while another's request is out waits for that one's
// answer, and only then looks up its handler (so a fault that comes while a handler records a crash
// waits for the record even when the handler has unregistered its port). A thread whose stack has little
// room left waits for its answer on a stack the emulation keeps for that (one suffices: one fault is out
// at a time), lent to it as its alternate stack, where a signal that stops it meanwhile has room. A fault on
// a thread that is still waiting for the reply to its own earlier fault (in a handler that faults while it
// waits), or on the thread that took a request from a port and has not answered it yet, or on the thread that
// records a crash (setRecordingThread), ends the process by the signal's default action. Signals sent by
// a process go straight to the disposition. Dispositions are set through signalAction, which the
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

// True for a signal that returning from its handler brings back by itself: a fault, whose instruction
// runs again. Not a signal sent by a process (kill, raise, abort: codes of 0 and below), a trap, whose
// instruction has run, nor a refused system call, which is not retried.
bool comesBackByItself(int number, const siginfo_t* info);

// Hands signal `number`, taken by a handler of the emulation or of a crash reporter, on to the
// disposition the program has for it now (signalAction), as the kernel would have delivered it there:
// - a handler is called with the original `info` and `context` (what it changes there is what the
//   interrupted code finds), under the mask the kernel gives it: that of the interrupted code, its
//   sa_mask and the signal itself unless SA_NODEFER; its disposition goes back to the default first
//   when it asked for that (SA_RESETHAND). The suspension signal is held off meanwhile as well (see
//   handedOnHandlerRuns). Where the kernel entered the calling handler itself (`handlerReturn`, that
//   handler's __builtin_return_address(0), is the restorer of the signal frame around `context`), the
//   handler is entered at that frame, as the kernel enters one, with the room the kernel left it; it
//   returns (the observer told) through rt_sigreturn to the interrupted code, and handOn does not
//   return. Otherwise (no `handlerReturn`, or a handler another one called, such as a sanitizer's) it
//   is called from here, and the caller's mask is back once it returns;
// - the default action ends the process: at once for a signal that does not come back by itself, else
//   once the caller has returned and the fault runs again;
// - an ignored signal is let go, but for a fault, which the kernel gives its default action.
// Returns when a handler called from here came back, the signal was let go, or a fault is to run
// again. Signal-safe.
void handOn(int number, siginfo_t* info, void* context, const void* handlerReturn = nullptr);

// handOn to `disposition`, the one the calling handler took the signal over from, whatever the program's
// disposition is now (which may still be the caller's own).
void handOnTo(int number, const struct sigaction& disposition, siginfo_t* info, void* context,
              const void* handlerReturn = nullptr);

// For a handler that another one called as the handler it had replaced (a second crash reporter installed
// since, chaining to the one before it), rather than the kernel: passes the signal on as such a chain
// does, by calling `replaced` when it is a handler, and otherwise leaving it to the caller, to which this
// returns either way; but a fault, which would come back through the caller as it runs again, is given
// the default action (the signal's disposition goes back to the default, and the fault ends the process
// once the caller returns). Nothing of the kernel's delivery is done again (the caller's mask and stack
// hold), and the caller's disposition is otherwise not touched. The suspension signal is held off from here
// until the caller's handler ends, so that the thread reads as still inside a handler that may end the
// process (handedOnHandlerRuns); the observer is told going. Signal-safe.
void passToReplacedHandler(int number, const struct sigaction& replaced, siginfo_t* info, void* context);

// Whether handler `own`, which took `number` over from `replaced`, runs because another handler called it
// (passToReplacedHandler is then its way on) rather than because the kernel gave it the signal: the
// program's disposition now (signalAction) is neither `own` nor, once `own` has put it back, `replaced`.
bool calledByAnotherHandler(int number, void (*own)(int, siginfo_t*, void*),
                            const struct sigaction& replaced);

// Told, on the thread, as its signal goes on to a handler of the program (going: before that handler
// runs, which may return, end the process or leave by a long jump) and as it comes back from it, or is
// let go as ignored (cameBack). Signal-safe; one observer, null for none.
enum class HandingOn { going, cameBack };
using HandingOnObserver = void (*)(pid_t thread, const struct sigaction& disposition, HandingOn moment);
void setHandingOnObserver(HandingOnObserver observer);
// Whether thread `tid`, told going, may still run the handler it was handed: it holds the suspension
// signal off as handOn left it. False once it came back or left the handler by siglongjmp (which puts
// back the mask of the sigsetjmp), or has ended; true too while the thread holds that signal off for
// a moment of its own (the C library starting a thread), so a watcher asks again. A handler left by a
// jump that keeps the mask (longjmp) reads as still running. Signal-safe.
bool handedOnHandlerRuns(pid_t tid);

// The exception type of a fault signal (0 for a signal that is not a fault).
std::uint32_t exceptionTypeForSignal(int number);

} // namespace darwin
