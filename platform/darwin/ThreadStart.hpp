#pragma once
// Starting threads so that a crash on any of them can be recorded. The crash handlers run on the
// faulting thread itself, on an alternate signal stack: a thread without one that runs out of its own
// stack ends the process silently, since the kernel has nowhere to put the handler's frame. So every
// thread gets one before it runs code of its own:
//
// - the program's threads start through startThread (a std::thread) or createThread (a pthread);
// - threads that libraries start are covered by the program's own pthread_create (platform/interpose,
//   left out of sanitizer builds), which sends every new thread through createThread.
//
// The stack is kSignalStackSize bytes above an inaccessible guard page, mapped when the thread starts
// (its pages cost memory only once a signal runs on them) and unmapped when the thread ends, however it
// ends: returning, pthread_exit or cancellation. A thread that already has an alternate stack keeps it.
// Not covered: threads made by a raw clone, and threads the C library starts for itself.
#include <cstddef>
#include <cstdint>
#include <pthread.h>
#include <string>
#include <thread>
#include <utility>

namespace darwin {

constexpr std::size_t kSignalStackSize = 0x40000;

// Gives the calling thread an alternate signal stack, with a guard page below it, unless it has one;
// the stack is unmapped when the thread ends. True when the thread has one afterwards; false when no
// memory was left for it.
bool ensureSignalStack();

// What every thread the program starts does first: its signal stack, then its name (none when null
// or empty; see setCurrentThreadName).
void beginThread(const char* name);

// A std::thread running `body` once beginThread(name) has run on it.
template <typename Body> std::thread startThread(const char* name, Body body) {
    return std::thread([label = std::string(name != nullptr ? name : ""), body = std::move(body)]() mutable {
        beginThread(label.c_str());
        body();
    });
}

using PthreadCreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

// Starts handed to threads that have not run yet, at most: a creator that would pass this waits until
// one of them has run.
constexpr std::size_t kStartsInFlight = 256;

// pthread_create through `create` (the program's pthread_create when null), the new thread having its
// signal stack before `routine` runs. Results as pthread_create's. Nothing is allocated: the routine
// and argument travel in a slot of a fixed table, which the new thread gives back before `routine`
// runs (so a thread that never allocates is never given a malloc arena).
int createThread(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*), void* argument,
                 PthreadCreateFunction create = nullptr);

// True for the start routine createThread gives the threads it creates, which has them covered already.
bool isCoveredStart(void* (*routine)(void*));

// Calls `body(argument)` with the stack pointer at `top` (rounded down to 16 bytes) and comes back on the
// caller's stack. Nothing else changes: no signal mask, no alternate stack. An unwinder walking up from
// `body` steps from that stack back onto the caller's. Signal-safe.
void runOnStack(void* top, void (*body)(void*), void* argument);

// Runs `body(argument)` on the calling thread's alternate signal stack: for work that must not depend on
// what is left of the thread's own stack (an uncaught exception thrown deep in a recursion is recorded
// from there). The frames below `body` are the caller's, on the thread's own stack: a walk of the
// stack from inside `body` goes on through them. False, with `body` not run, when the thread has no
// alternate stack, runs on it already (inside a signal handler, say), or has one smaller than
// kRoomyAlternateStack (made for small handlers alone, it has no more room to offer). Signal-safe.
constexpr std::size_t kRoomyAlternateStack = 64 * 1024;
bool runOnAlternateStack(void (*body)(void*), void* argument);

// Runs `body(argument)` on the stack [low, low + size), which is the calling thread's alternate signal
// stack while it runs: a signal that comes meanwhile (the abort that ends an uncaught exception's
// handling, a request to stop) is handled on it right below the frames of `body`, as on a roomy
// alternate stack of the thread's own, instead of on a small one where it may have no room. So too from
// inside a handler that runs on the thread's own alternate stack: the stack pointer leaves that stack
// before the lent one takes its place, so the kernel, which keeps a stack in use, lets it go, and the
// handler's frames there stay untouched below nothing. Signals are held off while the two change places.
// As with runOnAlternateStack, a walk from inside `body` goes on through the caller's frames. The thread's
// own alternate stack, or its lack of one, is back once `body` returns. False, with `body` not run, when
// the kernel refuses the stack (too small for it), or when the thread runs on its own alternate stack and a
// sandbox's filter traps sigaltstack (the trap could not be answered while the stacks change places).
// Signal-safe; the caller sees to it that no other thread uses the stack meanwhile.
bool runOnLentAlternateStack(void* low, std::size_t size, void (*body)(void*), void* argument);

// How many bytes lie free below `sp` on the stack the calling thread runs on: of its alternate signal
// stack while it runs there, whose extent the thread gave; of its own stack, only down to the start of the
// page `sp` is on, since what lies below the stack pointer cannot be told to be the thread's (a stack the
// program gave the thread may have its own memory right below it, readable, where no guard page warns): so
// work that needs room below a thread's own stack always goes elsewhere. 0 when it cannot be told at all (a
// stack the program made itself). Signal-safe.
std::size_t stackRoomBelow(std::uintptr_t sp);

// Room enough below the stack pointer for the frame of a signal that comes meanwhile (a crash recorder's
// request to stop, some kilobytes of saved vector state) and the handler it runs: a crash handler waits
// only where it has that much, and lets signals in only there.
constexpr std::size_t kRoomToWaitIn = 32 * 1024;
// Whether the calling thread runs on an alternate signal stack with kRoomToWaitIn free below it; room is
// known only there (stackRoomBelow). Signal-safe.
bool roomForSignalsHere();
// A stack of kWaitingStackSize for a crash handler's run (its lowest byte), above a guard page; null when no
// memory was left. Signal-safe (raw mappings).
constexpr std::size_t kWaitingStackSize = 64 * 1024;
void* mapWaitingStack();
void unmapWaitingStack(void* stack);
// Holds the suspension signal off on the calling thread: a crash handler's first step, so that no stop
// lands on the stack it was entered on before it stands where there is room.
void holdStopOff();
// Lets the signals of `mask` (the kernel's form, a bit a signal) through on the calling thread where a
// signal's frame has room (roomForSignalsHere), and none of them where it has not; the mask as it was goes
// to `before` when given. 0, or -1 when the kernel refused. Signal-safe.
long letSignalsIn(std::uint64_t mask, std::uint64_t* before);

} // namespace darwin
