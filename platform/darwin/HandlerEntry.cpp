#include "platform/darwin/HandlerEntry.hpp"
#include "platform/darwin/SystemCall.hpp"

#include "platform/darwin/Host.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <sys/mman.h>
#include <sys/syscall.h>

// The kept stacks, as the entry below takes and gives them back: slot i's stack is the kWaitingStackSize
// bytes above a guard page at base + i * slot; a bit a slot in `taken`; `givenBack` counts the stacks given
// back, for a thread that waits for one (`waiters`) to sleep on. The mapping fallback's size and guard too,
// ready before any preparing.
extern "C" {
__attribute__((visibility("hidden"))) std::atomic<char*> velo_darwin_lending_base{nullptr};
__attribute__((visibility("hidden"))) std::atomic<std::uint64_t> velo_darwin_lending_taken{0};
__attribute__((visibility("hidden"))) std::atomic<int> velo_darwin_lending_given_back{0};
__attribute__((visibility("hidden"))) std::atomic<int> velo_darwin_lending_waiters{0};
__attribute__((visibility("hidden"))) std::uint64_t velo_darwin_lending_guard = 4096;
__attribute__((visibility("hidden"))) std::uint64_t velo_darwin_lending_slot =
    4096 + darwin::kWaitingStackSize;
// The suspension signal's bit, held off while a body begins on a lent stack.
__attribute__((visibility("hidden"))) darwin::KernelMask velo_darwin_entry_stop_bit = darwin::KernelMask{1}
                                                                                      << 62;
// For a thread that no stack can be lent to at once: waits for a kept one (standing still meanwhile) on its
// thread-local stack; that stack's slot + 1, or 0 past the patience.
__attribute__((visibility("hidden"))) std::uint64_t velo_darwin_await_lending(const void* context);
}

#if defined(__x86_64__)
static_assert(offsetof(darwin::HandlerRun, entry.number) == 0 &&
                  offsetof(darwin::HandlerRun, entry.info) == 8 &&
                  offsetof(darwin::HandlerRun, entry.context) == 16 &&
                  offsetof(darwin::HandlerRun, entry.handlerReturn) == 24 &&
                  offsetof(darwin::HandlerRun, off) == 32 &&
                  offsetof(darwin::HandlerRun, standStill) == 100 && sizeof(darwin::HandlerRun) <= 112,
              "the run's offsets in the entry below");
static_assert(offsetof(darwin::HandOff, kind) == 0 && offsetof(darwin::HandOff, number) == 4 &&
                  offsetof(darwin::HandOff, handler) == 16 && offsetof(darwin::HandOff, info) == 24 &&
                  offsetof(darwin::HandOff, context) == 32 && offsetof(darwin::HandOff, frame) == 40 &&
                  offsetof(darwin::HandOff, framePointer) == 48 && offsetof(darwin::HandOff, mask) == 56 &&
                  static_cast<int>(darwin::HandOff::Kind::enterAtFrame) == 1,
              "the way on's offsets in the entry below");
static_assert(offsetof(ucontext_t, uc_stack) == 16 && offsetof(stack_t, ss_flags) == 8 &&
                  offsetof(stack_t, ss_size) == 16 && SS_DISABLE == 2,
              "the context's alternate stack in the entry below");
static_assert(darwin::kRoomToWaitIn == 0x8000 && darwin::kWaitingStackSize == 0x10000 &&
                  darwin::kLendingStacks == 16 && darwin::kEntryBytes == 64,
              "the sizes in the entry below");

// The entry every crash handler the kernel enters at its own frame goes through (VELO_DARWIN_CRASH_HANDLER):
// rdi, rsi and rdx as the kernel gave them, the frame's return address at (%rsp), the body in r11, and in
// r10 1 where no stack is to be mapped for the run (VELO_DARWIN_STOP_HANDLER), else 0. It keeps
// the handler's arguments and its own state in the registers a call keeps (the interrupted code's come back
// from the frame, whichever way on is taken), writes nothing below the frame but the thread's alternate stack
// as the kernel tells it (E-32, E being the entry's stack pointer) and, on the way out, the way on (E-56 to
// E-32), and passes every system call six defined arguments, so that a sandbox's filter reads no stray
// value. Its own work is counted as the reporter's (OwnWork) from its first instruction to its last, so that
// a system call of its own that a sandbox traps is answered rather than taken for a crash.
asm(R"(
    .section .rodata
    .p2align 3
velo_darwin_entry_every_signal:
    .quad -1
velo_darwin_entry_every_signal_but_sandboxes:
    .quad ~(1 << 30)                         # all but SIGSYS
    .text
    .p2align 4
    .globl velo_darwin_crash_entry
    .hidden velo_darwin_crash_entry
    .type velo_darwin_crash_entry, @function
velo_darwin_crash_entry:
    .cfi_startproc
    movq %rdi, %r12
    movq %rsi, %r13
    movq %rdx, %r14
    movq %r11, %r15
    movq %rsp, %rbp
    .cfi_def_cfa_register %rbp
    movb %r10b, -56(%rbp)                    # in place rather than map a stack
    movq _ZN6darwin6detail8tOwnWorkE@gottpoff(%rip), %rax
    addl $1, %fs:(%rax)
    cmpl $1, %fs:(%rax)
    jne 1f
    lock incl velo_darwin_threads_in_own_work(%rip)
1:
    # In place where the kernel made the frame on the thread's alternate stack with room below it, as the
    # context's uc_stack has that stack at the delivery.
    testl $2, 24(%r14)                       # SS_DISABLE
    jnz .Lvelo_entry_lend
    movq %rbp, %rcx
    subq 16(%r14), %rcx                      # E - ss_sp
    jbe .Lvelo_entry_lend
    cmpq 32(%r14), %rcx                      # past ss_size: elsewhere
    ja .Lvelo_entry_lend
    cmpq $0x8000, %rcx                       # kRoomToWaitIn
    jb .Lvelo_entry_lend
.Lvelo_entry_in_place_anyway:
    xorl %ebx, %ebx                          # how the run's stack came: in place
.Lvelo_entry_in_place:
    leaq -64(%rbp), %rsp
    andq $-16, %rsp
    subq $112, %rsp
    jmp .Lvelo_entry_run

.Lvelo_entry_lend:
    # The thread's alternate stack as it is now, to be put back once the lent one is given back.
    movl $131, %eax                          # sigaltstack(0, E-32)
    xorl %edi, %edi
    leaq -32(%rbp), %rsi
    xorl %edx, %edx
    xorl %r10d, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    testq %rax, %rax
    jz 1f
    movq $0, -32(%rbp)                       # refused: taken for none, which putting back leaves alone
    movq $2, -24(%rbp)
    movq $0, -16(%rbp)
1:
    # A kept stack (rbx: its slot + 1), else one mapped for this run (rbx: the mapping), else a wait.
    movq velo_darwin_lending_base(%rip), %rcx
    testq %rcx, %rcx
    jz .Lvelo_entry_map
.Lvelo_entry_claim:
    movq velo_darwin_lending_taken(%rip), %rax
    notq %rax
    andl $0xffff, %eax
    bsfq %rax, %rax
    jz .Lvelo_entry_map
    lock btsq %rax, velo_darwin_lending_taken(%rip)
    jc .Lvelo_entry_claim
    leaq 1(%rax), %rbx
    jmp .Lvelo_entry_lent
.Lvelo_entry_map:
    cmpb $0, -56(%rbp)
    jne .Lvelo_entry_in_place_anyway
    movl $9, %eax                            # mmap(0, slot, RW, private anonymous stack, -1, 0)
    xorl %edi, %edi
    movq velo_darwin_lending_slot(%rip), %rsi
    movl $3, %edx
    movl $0x20022, %r10d
    movq $-1, %r8
    xorl %r9d, %r9d
    syscall
    cmpq $-4095, %rax
    jae .Lvelo_entry_await
    movq %rax, %rbx
    movl $10, %eax                           # mprotect(mapping, guard, PROT_NONE)
    movq %rbx, %rdi
    movq velo_darwin_lending_guard(%rip), %rsi
    xorl %edx, %edx
    xorl %r10d, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    jmp .Lvelo_entry_lent
.Lvelo_entry_await:
    # No memory left: a kept stack, once one comes back. Every signal held off meanwhile, the entered mask
    # kept at E-40, on the thread's own small stack in its thread-local storage.
    movl $14, %eax
    xorl %edi, %edi
    leaq velo_darwin_entry_every_signal(%rip), %rsi
    leaq -40(%rbp), %rdx
    movl $8, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    movq velo_darwin_came_back_stack@gottpoff(%rip), %rax
    addq %fs:0, %rax
    leaq 2048(%rax), %rsp
    movq %r14, %rdi
    call velo_darwin_await_lending
    movq %rbp, %rsp
    movq %rax, %rbx
    movl $14, %eax                           # the entered mask back
    movl $2, %edi
    leaq -40(%rbp), %rsi
    xorl %edx, %edx
    movl $8, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    testq %rbx, %rbx
    jnz .Lvelo_entry_lent
    movq $-1, %rbx                           # none: in place, standing still
    jmp .Lvelo_entry_in_place

.Lvelo_entry_lent:
    cmpq $16, %rbx
    ja 2f
    leaq -1(%rbx), %rax
    imulq velo_darwin_lending_slot(%rip), %rax
    addq velo_darwin_lending_base(%rip), %rax
    jmp 3f
2:  movq %rbx, %rax
3:  addq velo_darwin_lending_guard(%rip), %rax
    leaq 0x10000-16(%rax), %rdx              # the entered mask goes to the lent stack's top
    # Every signal held off while the stack pointer and the alternate stack change places: one that came
    # between would land at the top of the alternate stack the frame may be on. But for a sandbox's SIGSYS
    # where the frame is not on it: a filter that traps the change is then answered on the stack in use,
    # rather than end the process as a trap held off does.
    leaq velo_darwin_entry_every_signal_but_sandboxes(%rip), %rsi
    testl $2, 24(%r14)                       # SS_DISABLE
    jnz 5f
    movq %rbp, %rcx
    subq 16(%r14), %rcx                      # E - ss_sp
    jbe 5f
    cmpq 32(%r14), %rcx
    ja 5f
    leaq velo_darwin_entry_every_signal(%rip), %rsi
5:  movl $14, %eax
    xorl %edi, %edi
    movl $8, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    leaq 16(%rdx), %rsp
    leaq -0x10000(%rsp), %rax                # the lent stack as the thread's alternate stack
    movq %rax, -48(%rsp)
    movq $0, -40(%rsp)
    movq $0x10000, -32(%rsp)
    movl $131, %eax
    leaq -48(%rsp), %rdi
    xorl %esi, %esi
    xorl %edx, %edx
    xorl %r10d, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    testq %rax, %rax                         # refused: every signal stays held off on the lent stack
    jnz 4f
    movq -16(%rsp), %rax                     # the entered mask back, the suspension signal held off
    orq velo_darwin_entry_stop_bit(%rip), %rax
    movq %rax, -24(%rsp)
    movl $14, %eax
    movl $2, %edi
    leaq -24(%rsp), %rsi
    xorl %edx, %edx
    movl $8, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
4:  subq $176, %rsp                          # below what the top keeps: the run

.Lvelo_entry_run:
    movl %r12d, 0(%rsp)
    movq %r13, 8(%rsp)
    movq %r14, 16(%rsp)
    movq 0(%rbp), %rax
    movq %rax, 24(%rsp)
    cmpq $-1, %rbx
    sete 100(%rsp)
    movq %rsp, %rdi
    call *%r15

    # The way on, with every signal held off but a sandbox's SIGSYS (a filter may trap the calls that give
    # the lent stack back; off the lent stack, its frame lands below the one in use or on the lent one): the
    # handler's mask (E-40), its kind (E-48), number (E-44) and frame pointer (E-56) below the frame; its
    # frame, handler, siginfo and context in registers.
    movl $14, %eax
    xorl %edi, %edi
    leaq velo_darwin_entry_every_signal_but_sandboxes(%rip), %rsi
    xorl %edx, %edx
    movl $8, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    movq 88(%rsp), %rax
    movq %rax, -40(%rbp)
    movl 32(%rsp), %eax
    movl %eax, -48(%rbp)
    movl 36(%rsp), %eax
    movl %eax, -44(%rbp)
    movq 80(%rsp), %rax
    movq %rax, -56(%rbp)
    movq 72(%rsp), %r12
    movq 48(%rsp), %r13
    movq 56(%rsp), %r14
    movq 64(%rsp), %r15
    leaq -56(%rbp), %rsp
    testq %rbx, %rbx
    jle 5f                                   # in place: nothing was lent
    # The thread's own alternate stack back, or its lack of one (whether it runs on it is the kernel's to
    # tell), then the lent stack.
    andl $-2, -24(%rbp)
    movl $131, %eax
    leaq -32(%rbp), %rdi
    xorl %esi, %esi
    xorl %edx, %edx
    xorl %r10d, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    cmpq $16, %rbx
    ja 4f
    leaq -1(%rbx), %rax
    lock btrq %rax, velo_darwin_lending_taken(%rip)
    lock incl velo_darwin_lending_given_back(%rip)
    cmpl $0, velo_darwin_lending_waiters(%rip)
    je 5f
    movl $202, %eax                          # futex(&given_back, FUTEX_WAKE_PRIVATE, INT_MAX, 0, 0, 0)
    leaq velo_darwin_lending_given_back(%rip), %rdi
    movl $129, %esi
    movl $0x7fffffff, %edx
    xorl %r10d, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    jmp 5f
4:  movl $11, %eax                           # munmap(mapping, slot)
    movq %rbx, %rdi
    movq velo_darwin_lending_slot(%rip), %rsi
    xorl %edx, %edx
    xorl %r10d, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
5:  movq _ZN6darwin6detail8tOwnWorkE@gottpoff(%rip), %rax
    subl $1, %fs:(%rax)
    jnz 6f
    lock decl velo_darwin_threads_in_own_work(%rip)
6:  cmpl $1, -48(%rbp)
    je 7f
    # Back to the interrupted code through the frame's restorer, which puts the code's mask back.
    movq %rbp, %rsp
    .cfi_def_cfa_register %rsp
    ret
    .cfi_def_cfa_register %rbp
7:  movl $14, %eax                           # the handler's mask, then the handler at the frame
    movl $2, %edi
    leaq -40(%rbp), %rsi
    xorl %edx, %edx
    movl $8, %r10d
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    syscall
    movq %r12, %rdi
    movq %r13, %rsi
    movslq -44(%rbp), %rdx
    movq %r14, %rcx
    movq %r15, %r8
    movq -56(%rbp), %r9
    jmp velo_darwin_enter_handler
    .cfi_endproc
    .size velo_darwin_crash_entry, .-velo_darwin_crash_entry
)");
#endif

namespace darwin {

namespace {

constexpr std::uint64_t kKeptMask = (std::uint64_t{1} << kLendingStacks) - 1;

// A kept stack for the calling thread: its slot + 1, or 0 when every one is lent (or none was kept).
std::uint64_t claimKeptStack() {
    if (velo_darwin_lending_base.load(std::memory_order_acquire) == nullptr) return 0;
    std::uint64_t taken = velo_darwin_lending_taken.load(std::memory_order_relaxed);
    for (;;) {
        const std::uint64_t free = ~taken & kKeptMask;
        if (free == 0) return 0;
        const int slot = __builtin_ctzll(free);
        if (velo_darwin_lending_taken.compare_exchange_weak(taken, taken | (std::uint64_t{1} << slot),
                                                            std::memory_order_acquire))
            return static_cast<std::uint64_t>(slot) + 1;
    }
}

void* keptStackLow(std::uint64_t how) {
    return velo_darwin_lending_base.load(std::memory_order_acquire) + (how - 1) * velo_darwin_lending_slot +
           velo_darwin_lending_guard;
}

void giveBackKeptStack(std::uint64_t how) {
    velo_darwin_lending_taken.fetch_and(~(std::uint64_t{1} << (how - 1)), std::memory_order_release);
    velo_darwin_lending_given_back.fetch_add(1, std::memory_order_seq_cst);
    if (velo_darwin_lending_waiters.load(std::memory_order_seq_cst) > 0)
        futexWakeAll(&velo_darwin_lending_given_back);
}

// Where no stack can be mapped and every kept one is lent: one of them once it comes back, or 0 after
// kSparePatienceNanos. The thread stands still for a recorder meanwhile. Small: it may run on the thread's
// small stack in its thread-local storage.
std::uint64_t awaitKeptStack(const void* interrupted) {
    if (velo_darwin_lending_base.load(std::memory_order_acquire) == nullptr) return 0;
    const StandingStill still(interrupted);
    velo_darwin_lending_waiters.fetch_add(1, std::memory_order_seq_cst);
    const long deadline = monotonicNanos() + kSparePatienceNanos;
    std::uint64_t how = 0;
    for (;;) {
        const int seen = velo_darwin_lending_given_back.load(std::memory_order_seq_cst);
        if ((how = claimKeptStack()) != 0) break;
        const long left = deadline - monotonicNanos();
        if (left <= 0) break;
        futexWait(&velo_darwin_lending_given_back, seen, left);
    }
    velo_darwin_lending_waiters.fetch_sub(1, std::memory_order_seq_cst);
    return how;
}

struct Lent {
    void (*body)(HandlerRun&);
    HandlerRun* run;
};

void runLentBody(void* raw) {
    const auto& lent = *static_cast<const Lent*>(raw);
    lent.body(*lent.run);
}

} // namespace

} // namespace darwin

std::uint64_t velo_darwin_await_lending(const void* context) {
    const int savedErrno = errno;
    const std::uint64_t how = darwin::awaitKeptStack(context);
    errno = savedErrno;
    return how;
}

namespace darwin {

void prepareLendingStacks() {
    velo_darwin_entry_stop_bit = bitOf(suspensionSignal());
    if (velo_darwin_lending_base.load() != nullptr) return;
    const std::uint64_t guard = hostPageSize();
    const std::uint64_t slot = guard + kWaitingStackSize;
    void* memory = mmap(nullptr, slot * kLendingStacks, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) return;
    auto* base = static_cast<char*>(memory);
    for (int i = 0; i < kLendingStacks; ++i) {
        // A run that overflows its stack faults on the guard instead of writing over the stack below.
        if (darwin::systemCall(SYS_mprotect, base + i * slot, guard, PROT_NONE) != 0) {
            darwin::systemCall(SYS_munmap, memory, slot * kLendingStacks);
            return;
        }
    }
    velo_darwin_lending_guard = guard;
    velo_darwin_lending_slot = slot;
    char* expected = nullptr;
    if (!velo_darwin_lending_base.compare_exchange_strong(expected, base))
        darwin::systemCall(SYS_munmap, memory, slot * kLendingStacks);
}

void forgetTheParentsLentStacks() {
    char* const base = velo_darwin_lending_base.load(std::memory_order_relaxed);
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    const auto low = reinterpret_cast<std::uintptr_t>(base);
    const std::uint64_t slot = velo_darwin_lending_slot;
    std::uint64_t kept = 0;
    if (base != nullptr && here >= low && here < low + kLendingStacks * slot)
        kept = std::uint64_t{1} << ((here - low) / slot);
    velo_darwin_lending_taken.store(velo_darwin_lending_taken.load(std::memory_order_relaxed) & kept,
                                    std::memory_order_relaxed);
    velo_darwin_lending_waiters.store(0, std::memory_order_relaxed);
}

void finishRun(HandlerRun& run) {
    HandOff& off = run.off;
    switch (off.kind) {
    case HandOff::Kind::none:
        break;
    case HandOff::Kind::enterAtFrame:
        // Held off from here on, as the handler is: no stop lands on its stack.
        holdStopOff();
        tellHandingOn(off.handler, HandingOn::going);
        errno = off.savedErrno;
        return;
    case HandOff::Kind::call:
    case HandOff::Kind::callReplaced:
        handOff(off);
        off.kind = HandOff::Kind::none;
        break;
    }
    errno = run.savedErrno;
}

void runWithRoomForSignals(void (*body)(HandlerRun&), HandlerRun& run) {
    const OwnWork work;
    if (roomForSignalsHere()) {
        body(run);
        return;
    }
    // A kept stack when one is free, else one mapped for this run alone: however many threads run at once,
    // each on a stack of its own. With no memory left for one, the threads take the kept ones in turn.
    std::uint64_t kept = claimKeptStack();
    void* stack = kept != 0 ? keptStackLow(kept) : mapWaitingStack();
    if (stack == nullptr && (kept = awaitKeptStack(interruptedContext(run.entry))) != 0)
        stack = keptStackLow(kept);
    Lent lent{body, &run};
    // Where no stack could be had in time, or the kernel refused it, the run stays here, with the stop
    // held off: the thread stands still for a recorder instead of stopping for it.
    if (stack == nullptr || !runOnLentAlternateStack(stack, kWaitingStackSize, runLentBody, &lent)) {
        const StandingStill still(interruptedContext(run.entry));
        body(run);
    }
    if (kept != 0)
        giveBackKeptStack(kept);
    else if (stack != nullptr)
        unmapWaitingStack(stack);
}

} // namespace darwin
