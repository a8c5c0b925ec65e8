#include "platform/darwin/ThreadStart.hpp"

#include "platform/darwin/Host.hpp"
#include "platform/darwin/KernelMask.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__x86_64__)
// Calls `body(argument)` with the stack pointer at `top` (rounded down to 16 bytes) and comes back on the
// caller's stack. The frame keeps the caller's stack pointer in rbp and says so in its call-frame
// information, so that an unwinder walking up from `body` steps from the new stack back onto the old.
extern "C" void velo_darwin_run_on_stack(void* top, void (*body)(void*), void* argument);
asm(R"(
    .text
    .p2align 4
    .globl velo_darwin_run_on_stack
    .hidden velo_darwin_run_on_stack
    .type velo_darwin_run_on_stack, @function
velo_darwin_run_on_stack:
    .cfi_startproc
    pushq %rbp
    .cfi_def_cfa_offset 16
    .cfi_offset %rbp, -16
    movq %rsp, %rbp
    .cfi_def_cfa_register %rbp
    andq $-16, %rdi
    movq %rdi, %rsp
    movq %rdx, %rdi
    callq *%rsi
    movq %rbp, %rsp
    popq %rbp
    .cfi_def_cfa %rsp, 8
    retq
    .cfi_endproc
    .size velo_darwin_run_on_stack, .-velo_darwin_run_on_stack
)");
#endif

namespace darwin {
namespace {

pthread_key_t stackKey;
bool stackKeyReady = false;
pthread_once_t stackKeyOnce = PTHREAD_ONCE_INIT;

std::size_t guardSize() {
    return static_cast<std::size_t>(hostPageSize());
}

// `size` bytes above an inaccessible guard page, on which whatever runs past the bottom faults instead of
// writing over what lies below; the mapping's start, or null when no memory was left. Its pages cost memory
// only once used.
void* mapAboveAGuardPage(std::size_t size) {
    void* memory = mmap(nullptr, guardSize() + size, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    if (darwin::systemCall(SYS_mprotect, memory, guardSize(), PROT_NONE) != 0) {
        darwin::systemCall(SYS_munmap, memory, guardSize() + size);
        return nullptr;
    }
    return memory;
}

// The key's destructor, when the thread that mapped `memory` ends. Off first, so that no signal can
// arrive on memory that is gone; left mapped when a handler still runs on it (a handler that ended
// its thread by pthread_exit), since unmapping would pull the stack from under this very call.
void releaseSignalStack(void* memory) {
    char* base = static_cast<char*>(memory) + guardSize();
    stack_t current{};
    if (darwin::systemCall(SYS_sigaltstack, nullptr, &current) != 0) return;
    if (current.ss_sp == base && (current.ss_flags & SS_DISABLE) == 0) {
        if ((current.ss_flags & SS_ONSTACK) != 0) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        if (darwin::systemCall(SYS_sigaltstack, &off, nullptr) != 0) return;
    }
    darwin::systemCall(SYS_munmap, memory, guardSize() + kSignalStackSize);
}

// A start on its way to its thread: the routine and argument, in a slot of a table made at load time.
// The new thread copies them and gives the slot back; freeing a heap block there instead would give
// every thread a malloc arena of its own on its first free, even a thread that never allocates.
struct StartSlot {
    std::atomic<bool> taken{false};
    void* (*routine)(void*) = nullptr;
    void* argument = nullptr;
};
StartSlot startSlots[kStartsInFlight];
std::atomic<unsigned> nextStartSlot{0};
// A creator that finds every slot taken sleeps on `slotsGivenBack` until one is given back.
std::atomic<int> slotsGivenBack{0};
std::atomic<int> creatorsWaiting{0};

long futex(std::atomic<int>* word, int operation, int value) {
    return darwin::systemCall(SYS_futex, reinterpret_cast<int*>(word), operation, value, nullptr, nullptr, 0);
}

// In a forked child only the forking thread lives: the starts the parent had on their way are for
// threads that do not exist here, and nobody waits.
void forgetStartsInFlight() {
    for (StartSlot& slot : startSlots)
        slot.taken.store(false, std::memory_order_relaxed);
    creatorsWaiting.store(0, std::memory_order_relaxed);
}

pthread_once_t forkWatchOnce = PTHREAD_ONCE_INIT;

bool takeFreeSlot(StartSlot** out) {
    const unsigned from = nextStartSlot.fetch_add(1, std::memory_order_relaxed);
    for (std::size_t i = 0; i < kStartsInFlight; ++i) {
        StartSlot& slot = startSlots[(from + i) % kStartsInFlight];
        bool expected = false;
        if (!slot.taken.load(std::memory_order_relaxed) &&
            slot.taken.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
            *out = &slot;
            return true;
        }
    }
    return false;
}

StartSlot* takeStartSlot() {
    pthread_once(&forkWatchOnce, [] { pthread_atfork(nullptr, nullptr, forgetStartsInFlight); });
    StartSlot* slot = nullptr;
    while (!takeFreeSlot(&slot)) {
        // Every slot is on its way to a thread that has not run yet; one gives its slot back soon.
        creatorsWaiting.fetch_add(1, std::memory_order_seq_cst);
        const int seen = slotsGivenBack.load(std::memory_order_seq_cst);
        if (!takeFreeSlot(&slot)) futex(&slotsGivenBack, FUTEX_WAIT_PRIVATE, seen);
        creatorsWaiting.fetch_sub(1, std::memory_order_seq_cst);
        if (slot != nullptr) break;
    }
    return slot;
}

void giveBack(StartSlot& slot) {
    slot.taken.store(false, std::memory_order_seq_cst);
    if (creatorsWaiting.load(std::memory_order_seq_cst) > 0) {
        slotsGivenBack.fetch_add(1, std::memory_order_seq_cst);
        futex(&slotsGivenBack, FUTEX_WAKE_PRIVATE, 0x7fffffff);
    }
}

void* startCovered(void* raw) {
    auto& slot = *static_cast<StartSlot*>(raw);
    void* (*routine)(void*) = slot.routine;
    void* argument = slot.argument;
    giveBack(slot);
    ensureSignalStack();
    return routine(argument);
}

} // namespace

bool ensureSignalStack() {
    stack_t current{};
    if (darwin::systemCall(SYS_sigaltstack, nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0)
        return true;
    pthread_once(&stackKeyOnce,
                 [] { stackKeyReady = pthread_key_create(&stackKey, releaseSignalStack) == 0; });
    const std::size_t guard = guardSize();
    // A thread whose stack someone else switched off gets its own back rather than a second one.
    void* memory = stackKeyReady ? pthread_getspecific(stackKey) : nullptr;
    const bool fresh = memory == nullptr;
    if (fresh) {
        // A handler that overflows the alternate stack faults on the guard instead of writing over
        // whatever lies below it.
        memory = mapAboveAGuardPage(kSignalStackSize);
        if (memory == nullptr) return false;
    }
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + guard;
    stack.ss_size = kSignalStackSize;
    if (darwin::systemCall(SYS_sigaltstack, &stack, nullptr) != 0) {
        if (fresh) darwin::systemCall(SYS_munmap, memory, guard + kSignalStackSize);
        return false;
    }
    // Without the key the stack stays mapped after the thread: a leak, never a stack pulled away.
    if (fresh && stackKeyReady) pthread_setspecific(stackKey, memory);
    return true;
}

void beginThread(const char* name) {
    ensureSignalStack();
    if (name != nullptr && name[0] != '\0') setCurrentThreadName(name);
}

int createThread(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*), void* argument,
                 PthreadCreateFunction create) {
    if (create == nullptr) create = pthread_create;
    StartSlot* slot = takeStartSlot();
    slot->routine = routine;
    slot->argument = argument;
    const int result = create(thread, attributes, startCovered, slot);
    if (result != 0) giveBack(*slot);
    return result;
}

bool isCoveredStart(void* (*routine)(void*)) {
    return routine == startCovered;
}

void runOnStack(void* top, void (*body)(void*), void* argument) {
#if defined(__x86_64__)
    velo_darwin_run_on_stack(top, body, argument);
#else
    (void)top;
    body(argument);
#endif
}

bool runOnAlternateStack(void (*body)(void*), void* argument) {
#if defined(__x86_64__)
    stack_t current{};
    if (darwin::systemCall(SYS_sigaltstack, nullptr, &current) != 0 ||
        (current.ss_flags & (SS_DISABLE | SS_ONSTACK)) != 0 || current.ss_sp == nullptr ||
        current.ss_size < kRoomyAlternateStack) {
        return false;
    }
    velo_darwin_run_on_stack(static_cast<char*>(current.ss_sp) + current.ss_size, body, argument);
    return true;
#else
    (void)body;
    (void)argument;
    return false;
#endif
}

namespace {

// What a lent stack's first frame needs: the stack to register, the body, and the mask to run it under.
// One frame for all of it: a crash handler with little stack left lends itself a stack through this.
struct Lending {
    stack_t lent;
    stack_t own; // the thread's own alternate stack, or its lack of one
    void (*body)(void*);
    void* argument;
    KernelMask before;  // the caller's mask
    KernelMask heldOff; // while the stacks change places
    bool ran;
};

constexpr KernelMask kEverySignal = ~KernelMask{0};
// The same but a sandbox's SIGSYS: a filter that traps a call made meanwhile is then answered rather than
// end the process, as a trap held off does. Only where the thread is not on its alternate stack: the
// signal's frame would otherwise land at that stack's top, over the frames in use.
constexpr KernelMask kEverySignalButSandboxes = ~(KernelMask{1} << (SIGSYS - 1));

// On the lent stack, with every signal held off (heldOff): the kernel no longer sees the thread on its own
// alternate stack, so it takes the lent one in its place, and the body runs with signals let through.
void runLent(void* raw) {
    auto& lending = *static_cast<Lending*>(raw);
    // Where the kernel refuses to change the alternate stack (a sandbox's filter, say), the body runs here
    // all the same, signals held off: one would land on the alternate stack the thread may stand on.
    if (darwin::systemCall(SYS_sigaltstack, &lending.lent, nullptr) == 0)
        setMask(SIG_SETMASK, &lending.before, nullptr);
    lending.body(lending.argument);
    setMask(SIG_SETMASK, &lending.heldOff, nullptr);
    lending.ran = true;
}

} // namespace

bool runOnLentAlternateStack(void* low, std::size_t size, void (*body)(void*), void* argument) {
#if defined(__x86_64__)
    if (low == nullptr) return false;
    // No signal may come while the stack pointer and the alternate stack change places: it would land at
    // the top of a stack about to be taken, or over the frames of the one in use.
    Lending lending{{low, 0, size}, {}, body, argument, 0, kEverySignal, false};
    forgetTrappedCall();
    if (darwin::systemCall(SYS_sigaltstack, nullptr, &lending.own) != 0) lending.own.ss_flags = SS_DISABLE;
    if ((lending.own.ss_flags & SS_ONSTACK) == 0)
        lending.heldOff = kEverySignalButSandboxes;
    else if (lastCallTrapped(SYS_sigaltstack))
        // The change would be trapped too, with every signal held off: the kernel then ends the process
        // rather than let the sandbox answer. Nothing is lent.
        return false;
    if (setMask(SIG_SETMASK, &lending.heldOff, &lending.before) != 0) return false;
    velo_darwin_run_on_stack(static_cast<char*>(low) + size, runLent, &lending);
    // Back on the stack it came from, off the lent one, so the kernel lets that go: the thread's own comes
    // back (a thread that had none gets none again), in use again if a handler runs on it.
    lending.own.ss_flags &= ~SS_ONSTACK;
    darwin::systemCall(SYS_sigaltstack, &lending.own, nullptr);
    setMask(SIG_SETMASK, &lending.before, nullptr);
    return lending.ran;
#else
    (void)low;
    (void)size;
    (void)body;
    (void)argument;
    return false;
#endif
}

namespace {

// The room below `sp` on the alternate stack the calling thread runs on; false when it runs elsewhere.
bool roomOnTheAlternateStack(std::uintptr_t sp, std::size_t* room) {
    stack_t alternate{};
    if (darwin::systemCall(SYS_sigaltstack, nullptr, &alternate) != 0 ||
        (alternate.ss_flags & SS_ONSTACK) == 0)
        return false;
    const auto low = reinterpret_cast<std::uintptr_t>(alternate.ss_sp);
    *room = sp > low && sp <= low + alternate.ss_size ? sp - low : 0;
    return true;
}

} // namespace

std::size_t stackRoomBelow(std::uintptr_t sp) {
    std::size_t room = 0;
    if (roomOnTheAlternateStack(sp, &room)) return room;
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
    return currentThreadStack(sp, &low, &high) ? sp - low : 0;
}

void* mapWaitingStack() {
    void* memory = mapAboveAGuardPage(kWaitingStackSize);
    return memory != nullptr ? static_cast<char*>(memory) + guardSize() : nullptr;
}

void unmapWaitingStack(void* stack) {
    darwin::systemCall(SYS_munmap, static_cast<char*>(stack) - guardSize(), guardSize() + kWaitingStackSize);
}

bool roomForSignalsHere() {
    std::size_t free = 0;
    return roomOnTheAlternateStack(reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)), &free) &&
           free >= kRoomToWaitIn;
}

void holdStopOff() {
    const KernelMask stop = bitOf(suspensionSignal());
    setMask(SIG_BLOCK, &stop, nullptr);
}

long letSignalsIn(std::uint64_t mask, std::uint64_t* before) {
    const KernelMask none = 0;
    return setMask(SIG_UNBLOCK, roomForSignalsHere() ? &mask : &none, before);
}

} // namespace darwin
