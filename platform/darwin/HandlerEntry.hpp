#pragma once
// How a crash handler is entered, so that it takes almost nothing of the stack the kernel delivered its
// signal on. A thread may crash with a few hundred bytes left below the kernel's frame (its own stack
// nearly used up, an alternate stack of the app's own made just big enough for its handler): a handler of
// the program would run there, and so must the crash reporter's, or it ends a process the kernel would
// have let go on. So the handler's first instructions (VELO_DARWIN_CRASH_HANDLER, below) make no frame:
// they find a stack with room, and only there does the handler's body run:
//
// - the thread's alternate stack, when the kernel delivered the signal there with kRoomToWaitIn free below
//   the frame (every thread the program starts has one of 256 KiB);
// - else a stack lent to the thread as its alternate stack for the body's run: one of kLendingStacks kept
//   for this, mapped at start, or, when every one is lent, one mapped for the run; where no memory is left
//   for that either (the address space is full), the thread waits for one of the kept ones to come back,
//   standing still for a recorder meanwhile (StandingStill) on a small stack of its own in its thread-local
//   storage, every signal held off; past kSparePatienceNanos the body runs in place, standing still.
//
// Until the body runs, and from its end on, the entry writes at most kEntryBytes below the kernel's frame
// (where it keeps the thread's own alternate stack and the way on), and the body's plan is taken there: a
// handler of the program is entered at the kernel's frame as the kernel enters one (HandOff::Kind::
// enterAtFrame), or the entry returns to the interrupted code through the frame's restorer. A handler
// another one calls (a second reporter chaining, a sanitizer's runtime in between) is not entered at a frame
// of the kernel's: it runs its body through runWithRoomForSignals instead, on the stack it was called on.
// x86_64; elsewhere every handler is called.
#include "platform/darwin/KernelMask.hpp"
#include "platform/darwin/SignalDelivery.hpp"

#include <cstddef>
#include <cstdint>

namespace darwin {

// A crash handler's run: what the entry hands its body, and what the body leaves for the way on. The entry
// reads and writes it by offset (static_asserts beside the entry's code).
struct HandlerRun {
    HandlerEntry entry;
    HandOff off;             // the way on: none (return to the interrupted code) or enterAtFrame
    int savedErrno = 0;      // the interrupted code's errno
    bool standStill = false; // no stack with room was to be had: the body runs in place, standing still
};

// What the entry writes below the kernel's frame, at most.
constexpr std::size_t kEntryBytes = 64;

// Stacks of kWaitingStackSize kept for the handlers' runs, and how long a thread waits for one when no
// memory is left to map another: past the longest a run holds one (a crash's wait for its recording turn
// and its recording within their bounds, some ten seconds).
constexpr int kLendingStacks = 16;
constexpr long kSparePatienceNanos = 15L * 1000 * 1000 * 1000;

// Maps the kept stacks, once (their pages cost memory only once a run uses them). Call at start, before
// any crash handler is installed; without them every run that needs a stack maps one.
void prepareLendingStacks();
// In a child made by fork(): the kept stacks lent to the parent's other threads, which the child has not,
// are free again; one the calling thread runs on stays lent. Signal-safe.
void forgetTheParentsLentStacks();

// The body's last step, for every way on: a handler entered at the frame is told to the observer (the
// suspension signal held off from then on, as for any handler handed a signal); one to be called (a plan
// made where no frame of the kernel's was found) is called from here, on the stack the body runs on, and
// the run then returns; errno goes back to what the way on gives the interrupted code or the handler.
void finishRun(HandlerRun& run);

// For a handler called by another one (no frame of the kernel's at its entry): runs `body(run)` where a
// signal that comes meanwhile has room for its frame: on the calling stack when kRoomToWaitIn bytes lie free
// below the caller there (on an alternate stack), else on one of the kept stacks, or one mapped for the
// call, lent as the thread's alternate stack (runOnLentAlternateStack); with none to be had, in place,
// standing still. The caller holds the suspension signal off from its first instruction (holdStopOff) and
// finds it held off again once this returns; the body runs as the reporter's own work.
void runWithRoomForSignals(void (*body)(HandlerRun&), HandlerRun& run);

} // namespace darwin

#if defined(__x86_64__)
// Defines `entry`, a crash handler (SA_SIGINFO) whose body is `body` (void(darwin::HandlerRun&), a C++
// function named by its assembler name) when the kernel entered it at its own frame, and `called` (the
// handler's C++ signature) otherwise. `before`, assembler run first with the handler's arguments in place
// and the stack as the kernel left it, may answer at once (a system call of the reporter's own that a
// sandbox trapped) and return; it must leave rdi, rsi, rdx and rsp as it found them.
#define VELO_DARWIN_CRASH_HANDLER(entry, before, body, called)                                               \
    VELO_DARWIN_HANDLER_ENTRY(entry, before, body, called, "    xorl %r10d, %r10d\n")
// The same for a handler that every thread runs at once (a recorder's stop): where no kept stack is free,
// it runs in place rather than map a stack for each of thousands of threads.
#define VELO_DARWIN_STOP_HANDLER(entry, body, called)                                                        \
    VELO_DARWIN_HANDLER_ENTRY(entry, "", body, called, "    movl $1, %r10d\n")
#define VELO_DARWIN_HANDLER_ENTRY(entry, before, body, called, mark)                                         \
    asm(".text\n"                                                                                            \
        ".p2align 4\n"                                                                                       \
        ".globl " entry "\n"                                                                                 \
        ".type " entry ", @function\n" entry ":\n"                                                           \
        ".cfi_startproc\n" before "    leaq 8(%rsp), %rax\n"                                                 \
        "    cmpq %rax, %rdx\n"                                                                              \
        "    jne " called "\n"                                                                               \
        "    leaq " body "(%rip), %r11\n" mark "    jmp velo_darwin_crash_entry\n"                           \
        ".cfi_endproc\n"                                                                                     \
        ".size " entry ", .-" entry "\n")
#endif
