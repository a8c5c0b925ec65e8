#pragma once
// Delivering a signal as the kernel would, for a handler that took it first (the exception port's
// emulation, a crash reporter): to the disposition the program has for it, under the mask and on the
// stack the kernel would have given that disposition's handler, entered at the kernel's own signal frame
// where there is one; or its default action. Everything here is signal-safe.
#include <csignal>
#include <cstdint>
#include <sys/types.h>

namespace darwin {

// True for a signal that returning from its handler brings back by itself: a fault, whose instruction
// runs again. Not a signal sent by a process (kill, raise, abort: codes of 0 and below), a trap, whose
// instruction has run, nor a refused system call, which is not retried.
bool comesBackByItself(int number, const siginfo_t* info);

// A signal's way on from a handler of the emulation or of a crash reporter that took it first, in two
// steps: worked out where that handler has room (a stack lent to it, when the thread has little of its
// own left: the plan... calls below), and taken (handOff) back on the stack the kernel delivered the
// signal on, where nothing of the planning's frames is left and a handler is entered at the kernel's frame
// with only the few bytes handOff itself takes. A plan keeps errno as it is when planning starts and gives
// it back as the handler is entered, whatever the system calls on the way said.
struct HandOff {
    enum class Kind {
        none,         // nothing to take: the signal was let go, or given its default action
        enterAtFrame, // entered at the kernel's frame; handOff does not return
        call,         // called from here under `mask`, the caller's mask back after, the observer told
        callReplaced, // called as the handler a chain passes it to, the suspension signal held off
    };
    Kind kind = Kind::none;
    int number = 0;
    int savedErrno = 0;
    bool withInfo = false; // SA_SIGINFO: called with info and context
    void* handler = nullptr;
    siginfo_t* info = nullptr;
    void* context = nullptr;
    void* frame = nullptr;
    unsigned long framePointer = 0;
    std::uint64_t mask = 0; // as the kernel keeps one: a bit a signal
};

// Plans handing signal `number` on to the disposition the program has for it now (signalAction), as the
// kernel would have delivered it there. `info` is null when the caller may not read it (siginfoFilled):
// the signal is then taken for one that does not come back by itself, and a handler called from here
// gets none. What the calling handler got is otherwise handed on as it is:
// - a handler is called with the original `info` and `context` (what it changes there is what the
//   interrupted code finds), under the mask the kernel gives it: that of the interrupted code, its
//   sa_mask and the signal itself unless SA_NODEFER; its disposition goes back to the default first
//   (here, in the plan) when it asked for that (SA_RESETHAND). The suspension signal is held off meanwhile
//   as well (see handedOnHandlerRuns). Where the kernel entered the calling handler itself
//   (`handlerReturn`, that handler's __builtin_return_address(0), is the restorer of the signal frame
//   around `context`), the handler is entered at that frame, as the kernel enters one, with the room the
//   kernel left it and the frame's own siginfo (what the kernel gives every handler); it returns (the
//   observer told) through rt_sigreturn to the interrupted code. A handler without SA_ONSTACK whose signal
//   came on the alternate stack is entered at a copy of that frame made (here) where the kernel would have
//   made it, on the interrupted stack (which grows to take it, as for the kernel), or, where that stack has
//   no room, SIGSEGV's default action ends the process as the kernel's would. Otherwise (no
//   `handlerReturn`, or a handler another one called, such as a sanitizer's) it is called from handOff, and
//   the caller's mask is back once it returns;
// - the default action (given here) ends the process: at once for a signal that does not come back by
//   itself, else once the caller has returned and the fault runs again;
// - an ignored signal is let go, but for a fault, which the kernel gives its default action.
void planHandOn(HandOff& off, int number, siginfo_t* info, void* context, const void* handlerReturn);

// planHandOn to `disposition`, the one the calling handler took the signal over from, whatever the
// program's disposition is now (which may still be the caller's own).
void planHandOnTo(HandOff& off, int number, const struct sigaction& disposition, siginfo_t* info,
                  void* context, const void* handlerReturn);

// For a handler that another one called as the handler it had replaced (a second crash reporter installed
// since, chaining to the one before it), rather than the kernel: plans passing the signal on as such a
// chain does, by calling `replaced` when it is a handler, and otherwise leaving it to the caller, to which
// handOff returns either way; but a fault, which would come back through the caller as it runs again, is
// given the default action (the signal's disposition goes back to the default, and the fault ends the
// process once the caller returns), and so is a signal that came without a siginfo (null `info`), which
// may be one. Nothing of the kernel's delivery is done again (the caller's mask and stack hold), and the
// caller's disposition is otherwise not touched. The suspension signal is held off from handOff until the
// caller's handler ends, so that the thread reads as still inside a handler that may end the process
// (handedOnHandlerRuns).
void planPassToReplacedHandler(HandOff& off, int number, const struct sigaction& replaced, siginfo_t* info,
                               void* context);

// Takes the way planned: sets the mask, tells the observer that the signal goes on (once the thread holds
// the suspension signal off), and enters or calls the handler. Returns when a handler called from here came
// back, the signal was let go, or a fault is to run again. Signal-safe.
void handOff(const HandOff& off);

// Whether handler `own`, which took `number` over from `replaced`, runs because another handler called it
// (planPassToReplacedHandler is then its way on) rather than because the kernel gave it the signal: the
// program's disposition now (signalAction) is neither `own` nor, once `own` has put it back, `replaced`.
bool calledByAnotherHandler(int number, void (*own)(int, siginfo_t*, void*),
                            const struct sigaction& replaced);

// Told, on the thread, as its signal goes on to a handler of the program (going: before that handler
// runs, which may return, end the process or leave by a long jump) and as it comes back from it, or is
// let go as ignored (cameBack), with that handler (SIG_IGN for one let go). Signal-safe; one observer,
// null for none.
enum class HandingOn { going, cameBack };
using HandingOnObserver = void (*)(pid_t thread, const void* handler, HandingOn moment);
void setHandingOnObserver(HandingOnObserver observer);
// Whether thread `tid`, told going, may still run the handler it was handed: it holds the suspension
// signal off as handOff left it. False once it came back or left the handler by siglongjmp (which puts
// back the mask of the sigsetjmp), or has ended; true too while the thread holds that signal off for
// a moment of its own (the C library starting a thread), so a watcher asks again. A handler left by a
// jump that keeps the mask (longjmp) reads as still running. Signal-safe.
bool handedOnHandlerRuns(pid_t tid);

// Whether the handler the kernel entered for `number` was given a filled siginfo: the kernel fills one
// only for a disposition that asks for it (SA_SIGINFO), and a handler installed by signal(), or put back
// by it, gets a pointer to whatever the stack held. Read from the disposition the kernel holds now: for a
// handler another one called, that caller's. Signal-safe.
bool siginfoFilled(int number);

// The handler of a disposition, whichever of its two fields it was given in (they share their storage).
void* handlerOf(const struct sigaction& action);

// The default action of `number`: its disposition goes back to the default and it is let through; a
// signal that does not come back by itself (`reexecutes` false) is sent again, so it ends the process
// once the caller lets it through, while a fault ends it as its instruction runs again.
void giveDefaultAction(int number, bool reexecutes);

} // namespace darwin
