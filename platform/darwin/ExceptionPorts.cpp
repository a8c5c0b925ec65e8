#include "platform/darwin/ExceptionPorts.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/HandlerEntry.hpp"
#include "platform/darwin/KernelMask.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

// The first-chance handler. Entered by the kernel, it takes at most kEntryBytes of the stack below the
// kernel's frame (HandlerEntry.hpp); called by another handler, it runs as a function.
extern "C" void velo_darwin_first_chance_handler(int number, siginfo_t* info, void* context);

namespace darwin {

const std::uint8_t kNDRRecord[8] = {0, 0, 0, 0, 1, 0, 0, 0};

namespace {

constexpr int kOwnedSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP};
constexpr int kMaxPorts = 16;

struct Port {
    std::atomic<bool> used{false};
    int requestRead = -1;
    int requestWrite = -1;
    int replyRead = -1;
    int replyWrite = -1;
    // The thread that has taken a request from the port and not yet answered it (0: none).
    std::atomic<pid_t> serving{0};
    // The thread that last waited for a request on the port (0: none yet): the one that answers.
    std::atomic<pid_t> receiver{0};
};
Port ports[kMaxPorts];

struct Handler {
    std::atomic<std::uint32_t> port{0};
    std::int32_t behavior = 0;
    std::int32_t flavor = 0;
};
Handler handlers[kExceptionTypeCount];

std::atomic<bool> enabled{false};
struct sigaction dispositions[65];
// 0: free, 1: held, 2: held and perhaps waited for by threads asleep on it.
std::atomic<int> faultLock{0};
// The thread that holds faultLock while it waits for the answer to its fault (0: none).
std::atomic<pid_t> faultLockOwner{0};

// The fault out at the port. Faults are reported one at a time, under faultLock, so one is all there
// is: its thread id is published once its number and registers are in place, and cleared before the
// lock is let go.
struct FaultState {
    std::atomic<pid_t> tid{0};
    int number = 0;
    mcontext_t context;
};
FaultState reported;

// The thread recording a crash (0: none); its faults take the default action at once.
std::atomic<pid_t> recorder{0};

bool owned(int number) {
    for (int s : kOwnedSignals) {
        if (s == number) return true;
    }
    return false;
}

Port* portNamed(std::uint32_t name) {
    if (name == 0 || name > kMaxPorts) return nullptr;
    Port* port = &ports[name - 1];
    return port->used.load(std::memory_order_acquire) ? port : nullptr;
}

bool writeAll(int fd, const void* bytes, std::size_t size) {
    const auto* p = static_cast<const char*>(bytes);
    while (size > 0) {
        long n = darwin::systemCall(SYS_write, fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool readAll(int fd, void* bytes, std::size_t size) {
    auto* p = static_cast<char*>(bytes);
    while (size > 0) {
        long n = darwin::systemCall(SYS_read, fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// True once `fd` has bytes to read (or is at its end) within `milliseconds`.
bool readableWithin(int fd, int milliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd watch{fd, POLLIN, 0};
        const int ready = poll(&watch, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// The answer to the request just sent: as long as the thread that takes the port's requests lives, however
// long it takes (it may be recording a crash, which its own bound ends); false at once should that thread
// be gone (a sandbox's filter that kills the thread making a call it forbids), when nothing would answer.
bool awaitTheReply(Port& port, ExceptionReply* reply) {
    constexpr int kLookMilliseconds = 100;
    for (;;) {
        pollfd watch{port.replyRead, POLLIN, 0};
        const long ready = darwin::systemCall(SYS_poll, &watch, 1, kLookMilliseconds);
        if (ready > 0) return readAll(port.replyRead, reply, sizeof *reply);
        if (ready < 0 && errno != EINTR) return false;
        const pid_t answerer = port.receiver.load(std::memory_order_acquire);
        if (answerer == 0 || !threadAlive(answerer)) return false;
    }
}

// Faults are reported one at a time (a request and its answer share the port's pipes). A thread that
// faults while another's fault is out waits its turn for as long as that one waits for its answer: an
// exception waits for its handler's verdict however long the handler takes (it may be recording a
// crash), and a fault that gave up would go on to its signal's disposition, which may end the process
// under that record. It sleeps rather than spins, leaving the core to the handler it waits for.
void lockFaults(pid_t me) {
    int seen = 0;
    if (!faultLock.compare_exchange_strong(seen, 1, std::memory_order_acquire, std::memory_order_relaxed)) {
        while (faultLock.exchange(2, std::memory_order_acquire) != 0)
            futexWait(&faultLock, 2, 0);
    }
    faultLockOwner.store(me, std::memory_order_release);
}

void unlockFaults() {
    faultLockOwner.store(0, std::memory_order_release);
    if (faultLock.exchange(0, std::memory_order_release) == 2) futexWakeAll(&faultLock);
}

// Called with faultLock held, so no other fault is out.
FaultState* rememberFault(pid_t tid, int number, const mcontext_t& context) {
    reported.number = number;
    reported.context = context;
    reported.tid.store(tid, std::memory_order_release);
    return &reported;
}

// True when the calling thread has taken a request from a port and not answered it yet.
bool servingARequest(pid_t me) {
    for (const Port& port : ports) {
        if (port.serving.load(std::memory_order_acquire) == me) return true;
    }
    return false;
}

// The fault out at the port, from its request to its answer.
struct Raising {
    Port* port;
    std::uint32_t portName;
    pid_t tid;
    std::uint32_t type;
    const siginfo_t* info;
    const ucontext_t* context;
    bool handled;
};

// Sends the request and waits for the answer; handled when the answer's return code is 0.
void sendAndAwaitTheAnswer(Raising& raising) {
    const siginfo_t* info = raising.info;
    FaultState* fault = rememberFault(raising.tid, info->si_signo, raising.context->uc_mcontext);
    ExceptionRequest request;
    std::memset(&request, 0, sizeof request);
    request.bits = 0x80001513; // complex message, send-once reply right
    request.size = 84;
    request.remotePort = raising.portName;
    request.localPort = raising.portName;
    request.id = kExceptionRaiseId;
    request.descriptorCount = 2;
    request.thread = static_cast<std::uint32_t>(raising.tid);
    request.task = static_cast<std::uint32_t>(currentProcessId());
    std::memcpy(request.ndr, kNDRRecord, sizeof request.ndr);
    request.exception = raising.type;
    request.codeCount = 2;
    if (raising.type == kExcBadAccess) {
        request.codes[0] = info->si_code == SEGV_ACCERR && info->si_signo == SIGSEGV ? kKernProtectionFailure
                                                                                     : kKernInvalidAddress;
    } else {
        request.codes[0] = info->si_code;
    }
    request.codes[1] = static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(info->si_addr));
    request.trailerSize = 8;
    if (writeAll(raising.port->requestWrite, &request, sizeof request)) {
        ExceptionReply reply;
        if (awaitTheReply(*raising.port, &reply)) raising.handled = reply.returnCode == 0;
    }
    fault->tid.store(0, std::memory_order_release);
}

// The port is looked up once this fault's turn has come: a fault that came while another was out is
// sent where the handler of that moment says, and when the earlier fault's handler has let the port go
// meanwhile (as a crash reporter does before it records), it goes to the disposition only once that
// handler has answered, never under a record still being written. True when the answer handled it.
bool raiseException(pid_t tid, std::uint32_t type, const siginfo_t* info, ucontext_t* context) {
    lockFaults(tid);
    Raising raising{nullptr, 0, tid, type, info, context, false};
    raising.portName = handlers[type].port.load(std::memory_order_acquire);
    raising.port = portNamed(raising.portName);
    if (raising.port != nullptr) sendAndAwaitTheAnswer(raising);
    unlockFaults();
    return raising.handled;
}

// Everything the first-chance handler does but taking the signal's way on: it waits for its turn and for
// the answer to its fault, and works out where the signal goes, where the signal that stops the thread
// while a crash is recorded has room (runWithRoomForSignals): that signal's frame holds some kilobytes of
// vector state, more than what may be left below the stack the fault came on (an alternate stack of the
// app's own, made for small handlers, or the last of its own stack with none), and every thread that
// waits behind another's fault waits on a stack of its own.
void firstChanceWithRoom(HandlerRun& chance) {
    const OwnCallsLetThrough letThrough(interruptedContext(chance.entry));
    const int number = chance.entry.number;
    void* const context = chance.entry.context;
    // Asked before the mend below changes the disposition that brought the signal.
    const bool filled = siginfoFilled(number, chance.entry.info);
    mendPutBackFirstChanceHandlers();
    // Held off from the handler's entry (its mask), so that no stop lands on the stack the fault came on,
    // and let through here, where the thread may wait (unless it has no room here either).
    const KernelMask stop = bitOf(suspensionSignal());
    letSignalsIn(stop, nullptr);
    // Put back by signal() (a library's probe restoring what it found), this handler is given no siginfo:
    // a fault is then neither told from a sent signal nor reported with codes that would be made up; it
    // goes to the disposition as the signal it is.
    siginfo_t* const info = filled ? chance.entry.info : nullptr;
    const bool synchronous = info != nullptr && info->si_code > 0;
    // A fault on the thread that waits for the answer to its own earlier fault (in a signal handler that
    // ran on it meanwhile): the lock it would wait for is its own, and the earlier report is not done.
    // A fault on the thread that handles a fault's request (a crash recorder's server, faulting in the
    // record): the report it would wait behind is the one it is making, which nobody else will answer.
    // A fault on the thread that records a crash: the port's server, or the faults it would wait behind,
    // stand stopped by that recording. Each ends the process by the default action at once.
    const pid_t me = currentThreadId();
    if (faultLockOwner.load(std::memory_order_acquire) == me || servingARequest(me) ||
        recorder.load(std::memory_order_acquire) == me) {
        giveDefaultAction(number, comesBackByItself(number, info));
        return;
    }
    // A handler the program installed since, with plain sigaction, may call this one as the handler it
    // replaced (a second crash reporter chaining): the disposition this hands on to is then the one the
    // emulation keeps, not the caller, which would only call this again.
    const bool chained =
        calledByAnotherHandler(number, velo_darwin_first_chance_handler, dispositions[number]);
    // The process's exit is past its last look for a crash under way: a record would be cut short.
    if (planHandOnAtACommittedExit(chance.off, number, dispositions[number], info, context,
                                   chance.entry.handlerReturn, chained, chance.savedErrno))
        return;
    std::uint32_t type = exceptionTypeForSignal(number);
    // Handled, the faulting instruction runs again, and the fault comes back to where the program sends
    // it now. Called by another handler, it would come back through that caller, which may have stepped
    // aside meanwhile (a one-shot reporter puts the default action back): the signal goes on within this
    // call instead, as the chain it came through would pass it.
    // A fault of a handler the signal was handed on to (a guarded read it steps over, say) is that
    // handler's own: it goes where the program sends it, never reported as a crash.
    if (synchronous && type != 0 && context != nullptr && !insideAHandlerHandedOn(chance.entry) &&
        raiseException(me, type, info, static_cast<ucontext_t*>(context)) && number != SIGTRAP && !chained) {
        return;
    }
    setMask(SIG_BLOCK, &stop, nullptr);
    errno = chance.savedErrno;
    if (chained)
        planPassToReplacedHandler(chance.off, number, dispositions[number], info, context);
    else
        planHandOn(chance.off, number, info, context, chance.entry.handlerReturn);
}

// The first-chance handler's run once the kernel entered it at its frame (the entry below found it a stack
// with room): the signal's way on is taken by the entry.
__attribute__((used)) void firstChanceBody(HandlerRun& chance) asm("velo_darwin_first_chance_body");
void firstChanceBody(HandlerRun& chance) {
    chance.off = HandOff{};
    chance.savedErrno = errno;
    if (chance.standStill) {
        const StandingStill still(interruptedContext(chance.entry));
        firstChanceWithRoom(chance);
    } else {
        firstChanceWithRoom(chance);
    }
    finishRun(chance);
}

// Called by another handler (a second reporter chaining to it): a function like any, which finds room for
// its run and takes the way on from here.
__attribute__((used)) void firstChanceCalled(int number, siginfo_t* info,
                                             void* context) asm("velo_darwin_first_chance_called");
void firstChanceCalled(int number, siginfo_t* info, void* context) {
    // The stop held off until the run stands where it has room; the caller's own mask back for the way on.
    const KernelMask stop = bitOf(suspensionSignal());
    KernelMask callers = 0;
    setMask(SIG_BLOCK, &stop, &callers);
    HandlerRun chance{{number, info, context, __builtin_return_address(0)}};
    chance.savedErrno = errno;
    runWithRoomForSignals(firstChanceWithRoom, chance);
    setMask(SIG_SETMASK, &callers, nullptr);
    handOff(chance.off);
    errno = chance.savedErrno;
}

VELO_DARWIN_CRASH_HANDLER("velo_darwin_first_chance_handler", "", "velo_darwin_first_chance_body",
                          "velo_darwin_first_chance_called");

constexpr int kFirstChanceFlags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;

// The first-chance handler's disposition as the emulation installs it on `number`.
struct sigaction firstChanceDisposition() {
    struct sigaction action {};
    action.sa_sigaction = velo_darwin_first_chance_handler;
    action.sa_flags = kFirstChanceFlags;
    // The stop a crash recorder sends waits until the handler stands where it has room for it.
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, suspensionSignal());
    return action;
}

} // namespace

} // namespace darwin

namespace darwin {

std::uint32_t exceptionTypeForSignal(int number) {
    switch (number) {
    case SIGSEGV:
    case SIGBUS:
        return kExcBadAccess;
    case SIGILL:
        return kExcBadInstruction;
    case SIGFPE:
        return kExcArithmetic;
    case SIGTRAP:
        return kExcBreakpoint;
    default:
        return 0;
    }
}

void setExceptionEmulationEnabled(bool on) {
    if (on == enabled.load()) return;
    if (on) prepareLendingStacks();
    for (int number : kOwnedSignals) {
        if (on) {
            const struct sigaction action = firstChanceDisposition();
            sigaction(number, &action, &dispositions[number]);
            // Never its own disposition: handed on, a fault would only come back to it.
            if (handlerOf(dispositions[number]) ==
                reinterpret_cast<void*>(velo_darwin_first_chance_handler)) {
                dispositions[number] = {};
                dispositions[number].sa_handler = SIG_DFL;
            }
        } else {
            sigaction(number, &dispositions[number], nullptr);
        }
    }
    enabled.store(on);
}

bool exceptionEmulationEnabled() {
    return enabled.load();
}

void mendPutBackFirstChanceHandlers() {
    if (!enabled.load()) return;
    for (int number : kOwnedSignals) {
        struct sigaction current {};
        if (kernelSigaction(number, nullptr, &current) != 0 ||
            handlerOf(current) != reinterpret_cast<void*>(velo_darwin_first_chance_handler) ||
            !lacksFlagsOrMask(current, kFirstChanceFlags))
            continue;
        noteHandlersEnteredUnheld(); // before the mend, as the signal road's
        const struct sigaction action = firstChanceDisposition();
        kernelSigaction(number, &action, nullptr);
    }
}

int signalAction(int number, const struct sigaction* action, struct sigaction* previous) {
    if (!enabled.load() || !owned(number)) return kernelSigaction(number, action, previous);
    // A handler installed since with plain sigaction has taken the signal from the emulation: the
    // kernel's disposition is then the true one, for reading and for changing.
    // The emulation's handler is known by its function, whatever its flags: a program may have put it back
    // with signal(), which keeps none of them.
    struct sigaction current {};
    if (kernelSigaction(number, nullptr, &current) == 0 &&
        handlerOf(current) != reinterpret_cast<void*>(velo_darwin_first_chance_handler)) {
        return kernelSigaction(number, action, previous);
    }
    if (previous != nullptr) *previous = dispositions[number];
    if (action != nullptr) dispositions[number] = *action;
    return 0;
}

bool exceptionPortAllocate(std::uint32_t* name) {
    if (name == nullptr) return false;
    for (int i = 0; i < kMaxPorts; ++i) {
        bool expected = false;
        if (ports[i].used.load() || !ports[i].used.compare_exchange_strong(expected, true)) continue;
        int request[2];
        int reply[2];
        if (pipe2(request, O_CLOEXEC) != 0) {
            ports[i].used.store(false);
            return false;
        }
        if (pipe2(reply, O_CLOEXEC) != 0) {
            close(request[0]);
            close(request[1]);
            ports[i].used.store(false);
            return false;
        }
        ports[i].requestRead = request[0];
        ports[i].requestWrite = request[1];
        ports[i].replyRead = reply[0];
        ports[i].replyWrite = reply[1];
        *name = static_cast<std::uint32_t>(i + 1);
        return true;
    }
    return false;
}

bool exceptionPortInsertSendRight(std::uint32_t name) {
    return portNamed(name) != nullptr;
}

void exceptionPortDeallocate(std::uint32_t name) {
    Port* port = portNamed(name);
    if (port == nullptr) return;
    for (int fd : {port->requestRead, port->requestWrite, port->replyRead, port->replyWrite})
        close(fd);
    port->serving.store(0, std::memory_order_release);
    port->receiver.store(0, std::memory_order_release);
    port->used.store(false, std::memory_order_release);
}

bool taskSwapExceptionPorts(std::uint32_t mask, std::uint32_t port, std::int32_t behavior,
                            std::int32_t flavor, std::uint32_t* masks, std::uint32_t* savedPorts,
                            std::int32_t* behaviors, std::int32_t* flavors, std::uint32_t* count) {
    if (count == nullptr || (port != 0 && portNamed(port) == nullptr)) return false;
    std::uint32_t capacity = *count;
    std::uint32_t used = 0;
    for (int type = 1; type < kExceptionTypeCount; ++type) {
        if ((mask & (1U << type)) == 0) continue;
        std::uint32_t oldPort = handlers[type].port.load();
        std::int32_t oldBehavior = handlers[type].behavior;
        std::int32_t oldFlavor = handlers[type].flavor;
        std::uint32_t entry = 0;
        while (entry < used && !(savedPorts[entry] == oldPort && behaviors[entry] == oldBehavior &&
                                 flavors[entry] == oldFlavor)) {
            ++entry;
        }
        if (entry == used) {
            if (used == capacity) return false;
            masks[used] = 0;
            savedPorts[used] = oldPort;
            behaviors[used] = oldBehavior;
            flavors[used] = oldFlavor;
            ++used;
        }
        masks[entry] |= 1U << type;
    }
    *count = used;
    return taskSetExceptionPorts(mask, port, behavior, flavor);
}

bool taskSetExceptionPorts(std::uint32_t mask, std::uint32_t port, std::int32_t behavior,
                           std::int32_t flavor) {
    if (port != 0 && portNamed(port) == nullptr) return false;
    for (int type = 1; type < kExceptionTypeCount; ++type) {
        if ((mask & (1U << type)) == 0) continue;
        handlers[type].behavior = behavior;
        handlers[type].flavor = flavor;
        handlers[type].port.store(port, std::memory_order_release);
    }
    return true;
}

bool exceptionReceive(std::uint32_t name, void* buffer, std::size_t size, int timeoutMilliseconds) {
    Port* port = portNamed(name);
    if (port == nullptr || buffer == nullptr || size < kExceptionRequestSize) return false;
    std::memset(buffer, 0, size);
    port->receiver.store(currentThreadId(), std::memory_order_release);
    // A request is written whole by one write, shorter than a pipe writes atomically: once the port is
    // readable, the whole request is there.
    if (timeoutMilliseconds >= 0 && !readableWithin(port->requestRead, timeoutMilliseconds)) return false;
    if (!readAll(port->requestRead, buffer, kExceptionRequestSize)) return false;
    port->serving.store(currentThreadId(), std::memory_order_release);
    return true;
}

bool exceptionReply(const void* reply, std::size_t size) {
    if (reply == nullptr || size != kExceptionReplySize) return false;
    const auto* header = static_cast<const ExceptionReply*>(reply);
    Port* port = portNamed(header->remotePort);
    if (port == nullptr) return false;
    port->serving.store(0, std::memory_order_release);
    return writeAll(port->replyWrite, reply, size);
}

namespace {

const FaultState* reportedFault(pid_t tid) {
    return tid != 0 && reported.tid.load(std::memory_order_acquire) == tid ? &reported : nullptr;
}

} // namespace

bool exceptionThreadState(pid_t tid, mcontext_t& out) {
    const FaultState* fault = reportedFault(tid);
    if (fault == nullptr) return false;
    out = fault->context;
    return true;
}

int exceptionThreadSignal(pid_t tid) {
    const FaultState* fault = reportedFault(tid);
    return fault != nullptr ? fault->number : 0;
}

void setRecordingThread(pid_t tid) {
    recorder.store(tid, std::memory_order_release);
}

pid_t recordingThread() {
    return recorder.load(std::memory_order_acquire);
}

} // namespace darwin
