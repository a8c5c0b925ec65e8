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

// True for a signal the kernel forces on the thread that caused it: a fault, a trap (int3's SIGTRAP) or a
// system call a seccomp filter trapped (SIGSYS). Such a signal is not ignored nor held off: where its
// disposition is SIG_IGN, or the thread blocks it, the kernel gives it the default action instead.
// False for a signal sent by a process and for one that came without a siginfo (`info` null).
bool forcedByTheKernel(int number, const siginfo_t* info);

// How a handler was entered: its arguments, and its own return address (__builtin_return_address(0)),
// which is the restorer of the kernel's frame when the kernel entered it.
struct HandlerEntry {
    int number = 0;
    siginfo_t* info = nullptr;
    void* context = nullptr;
    const void* handlerReturn = nullptr;
};

// The interrupted code's ucontext as `entry`'s handler got it, where it can be trusted: one the kernel
// filled for that handler (contextFromTheKernel), or one passed on with a filled siginfo by a handler whose
// disposition asked for one (a second reporter chaining with what it got); null otherwise (a reporter
// installed by signal() calling with the number alone leaves whatever its registers held). Signal-safe.
void* interruptedContext(const HandlerEntry& entry);

// The crash reporter's own work on the calling thread (a record, a wait in one of its handlers, the answer
// to a fault at the exception port): while it is under way, a system call of the thread's that a seccomp
// filter traps is the reporter's own (answerOwnTrappedCall). Nests. Signal-safe.
class OwnWork {
  public:
    OwnWork();
    ~OwnWork();
    OwnWork(const OwnWork&) = delete;
    OwnWork& operator=(const OwnWork&) = delete;
};
// Where the interrupted code held SIGSYS off (the program's own SIGSYS handler runs, say), a seccomp filter
// that traps a call of the reporter's own work would end the process at once: for as long as this lives,
// the reporter's work on the thread lets SIGSYS through, and its trapped calls fail with ENOSYS rather
// than enter the program's handler again. Nests. Signal-safe.
class OwnCallsLetThrough {
  public:
    explicit OwnCallsLetThrough(const void* interruptedContext);
    ~OwnCallsLetThrough();
    OwnCallsLetThrough(const OwnCallsLetThrough&) = delete;
    OwnCallsLetThrough& operator=(const OwnCallsLetThrough&) = delete;

  private:
    bool letThrough_ = false;
};
// sigaction(2) as the C library makes it (its restorer, learned from a disposition read before), but with
// all six argument registers defined, as a sandbox's filter may read them. Signal-safe.
int kernelSigaction(int number, const struct sigaction* action, struct sigaction* previous);

// Whether the calling thread does such work now, and whether any thread of the process does.
inline bool inOwnWork();
bool ownWorkUnderWay();
// In a forked child, where only the forking thread lives: the work the parent's other threads did is not
// there; the forking thread's own, should it fork in the middle of it, goes on. Nor is the parent's exit
// (markExitCommitted) the child's. Signal-safe.
void forgetTheParentsOwnWork();

// The process's exit, past its last look for a crash under way, marks itself committed: a crash whose
// handler began its work after that look would be cut short by the exit, which ends the process with the
// exit's own status (planHandOnAtACommittedExit). The mark and the count of threads in the reporter's own
// work are sequentially consistent on both sides: of an exit that marks itself and then looks for own work
// under way, and a handler that counts itself in (OwnWork) and then looks at the mark, one at least sees
// the other. An exit that saw such work takes its mark back (unmarkExitCommitted) while it waits for it;
// marks of exits on several threads add up. Signal-safe.
void markExitCommitted();
void unmarkExitCommitted();
bool exitCommitted();

namespace detail {
// How deep the calling thread is in the reporter's own work. Initial-exec storage: read in a signal
// handler, it never allocates.
extern __attribute__((tls_model("initial-exec"))) thread_local int tOwnWork;
} // namespace detail

inline bool inOwnWork() {
    return detail::tOwnWork != 0;
}

// For the reporter's SIGSYS handler: when the signal is a seccomp filter's trap of a system call the
// reporter's own work made on this thread, answers the call as the kernel alone would have had it answered
// had the program made it, and returns true: the program's own SIGSYS handler `programs` (what it had before
// the reporter) is called with the original siginfo and context under the mask the kernel would give it, and
// puts the call's answer in the context as a sandbox's emulator or broker does; with none, the call fails
// with ENOSYS. The reporter's work then goes on, never taking the trap for a crash. False for any other
// signal. Signal-safe.
bool answerOwnTrappedCall(int number, siginfo_t* info, void* context, const struct sigaction& programs);
// Whether the last call of the reporter's own on the calling thread that a seccomp filter trapped, since
// forgetTrappedCall, was `systemCall`: what a filter traps once it traps again, so work that could not take
// the trap at a later point (every signal held off) learns of it beforehand. Signal-safe.
void forgetTrappedCall();
bool lastCallTrapped(long systemCall);

// For a signal that came without a siginfo, whether the interrupted code's registers in `context` show
// one the kernel forces that does not come back by itself: a SIGTRAP of a breakpoint or debug trap (the
// trap's number is in the context), a SIGSYS of a call a seccomp filter trapped (the interrupted code stands
// right after its `syscall` instruction, the call's number in its return register). A sent one leaves other
// registers there; only a SIGTRAP sent to a thread whose last trap was a breakpoint is misread. Faults
// need no reading: one runs again, and the kernel then tells.
bool trappedWithoutSiginfo(int number, const void* context);

// Whether `context`, as a handler got it, is the ucontext of a signal frame the kernel made as it entered
// that handler (`handlerReturn`, the handler's __builtin_return_address(0), is that frame's restorer): on
// this architecture the kernel fills a handler's ucontext whatever its flags (only the siginfo needs
// SA_SIGINFO), so the interrupted code's registers are there even for a handler put back by signal().
// False for a context another handler passed on, or no context at all. Signal-safe.
bool contextFromTheKernel(void* context, const void* handlerReturn);

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
// the signal is then taken for one that does not come back by itself, a handler called from here gets
// none, and one entered at the kernel's frame finds that frame's siginfo with its number cleared. What the
// calling handler got is otherwise handed on as it is:
// - a handler is called with the original `info` and `context` (what it changes there is what the
//   interrupted code finds), under the mask the kernel gives it: that of the interrupted code, its
//   sa_mask and the signal itself unless SA_NODEFER; its disposition goes back to the default first
//   (here, in the plan) when it asked for that (SA_RESETHAND). The suspension signal is held off meanwhile
//   as well: a recording elsewhere does not stop it, so its frame never lands below the handler's (a
//   handler left by a jump that keeps the mask keeps it held off). Where the kernel entered the calling
//   handler itself
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
// - an ignored signal is let go, but for one the kernel forces (forcedByTheKernel), which gets its default
//   action as under the kernel. One that came without a siginfo is read from its context
//   (trappedWithoutSiginfo), or, a fault or a signal sent, left to the kernel: it is given the ignored
//   disposition back, and the caller returns to the interrupted code, so that a fault runs again into it
//   and the kernel forces it, while a signal that was sent stays ignored.
void planHandOn(HandOff& off, int number, siginfo_t* info, void* context, const void* handlerReturn);

// planHandOn to `disposition`, the one the calling handler took the signal over from, whatever the
// program's disposition is now (which may still be the caller's own).
void planHandOnTo(HandOff& off, int number, const struct sigaction& disposition, siginfo_t* info,
                  void* context, const void* handlerReturn);

// For a crash handler right after its own work began (OwnWork): when the process's exit is committed
// (exitCommitted), plans handing signal `number` on at once, unrecorded, and answers true; false, with
// nothing planned, otherwise. It goes where planHandOnTo (`chained`: planPassToReplacedHandler) takes it,
// with errno back as `savedErrno` and the stop held off, but for a default action, which ends the process
// here and now, a fault's too (sent again rather than run again): within the handler's own work, which an
// exit that saw it waits for, so that the crash ends the process by its signal before the exit ends it,
// as the kernel's own default action would. A handler of the program gets the signal and may go on.
bool planHandOnAtACommittedExit(HandOff& off, int number, const struct sigaction& disposition,
                                siginfo_t* info, void* context, const void* handlerReturn, bool chained,
                                int savedErrno);

// For a handler that another one called as the handler it had replaced (a second crash reporter installed
// since, chaining to the one before it), rather than the kernel: plans passing the signal on as such a
// chain does, by calling `replaced` when it is a handler, and otherwise leaving it to the caller, to which
// handOff returns either way; but a fault, which would come back through the caller as it runs again, is
// given the default action (the signal's disposition goes back to the default, and the fault ends the
// process once the caller returns), and so is a signal that came without a siginfo (null `info`), which
// may be one. Nothing of the kernel's delivery is done again (the caller's mask and stack hold), and the
// caller's disposition is otherwise not touched.
void planPassToReplacedHandler(HandOff& off, int number, const struct sigaction& replaced, siginfo_t* info,
                               void* context);

// For a crash reporter that recorded a crash and planned its way on (`off`) to a handler of the program:
// notes on the calling thread that this handler runs from now on, entered at the kernel's frame, or called
// below the frame of the handler that called the reporter; forgotten once it comes back through the stub it
// returns through, or, left by a jump, once a signal finds the thread elsewhere (insideAHandlerHandedOn).
// Signal-safe.
void noteCrashHandedOn(const HandOff& off);
// Whether the signal `entry` describes came on the calling thread while it runs a handler a crash was
// handed on to (noteCrashHandedOn), as the interrupted code's stack pointer, below that handler's frame,
// and mask (the suspension signal held off) tell: one the handler takes itself on its way to ending the
// process by that crash (the abort it calls) or going on (a guarded read it steps over), which goes where
// the program sends it, never taken for a crash of its own. Signal-safe.
bool insideAHandlerHandedOn(const HandlerEntry& entry);

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
// Tells the observer, as handOff does, for a way on taken elsewhere (a crash handler's entry).
void tellHandingOn(const void* handler, HandingOn moment);

// Whether the handler entered for `number` was given a filled siginfo in `info`: the kernel fills one only
// for a disposition that asks for it (SA_SIGINFO), and a handler installed by signal(), or put back by it,
// gets a pointer to whatever the stack held. Read from the disposition the kernel holds now (for a handler
// another one called, that caller's), so asked before the handler changes it, and checked against the
// signal's number, which a siginfo the kernel filled holds and one handed on from a frame it left unfilled
// has cleared (see planHandOn). Signal-safe, a few bytes of stack.
bool siginfoFilled(int number, const siginfo_t* info);

// The handler of a disposition, whichever of its two fields it was given in (they share their storage).
void* handlerOf(const struct sigaction& action);

// Whether a disposition of one of the crash reporter's handlers lacks the `flags` it is installed with, or
// the suspension signal in its mask: put back by signal() (which keeps no flags nor mask) or by a sigaction
// that left them out.
bool lacksFlagsOrMask(const struct sigaction& action, int flags);

// The default action of `number`: its disposition goes back to the default. A signal that does not come
// back by itself (`reexecutes` false) is let through and sent again, which ends the process at once; a
// fault ends it as its instruction runs again under the interrupted code's mask, the caller's own mask left
// as it is. Where a sandbox refuses the disposition, the process ends here, as endWithoutTheDefaultAction.
void giveDefaultAction(int number, bool reexecutes);

// Ends the process where a sandbox's filter refused `number` its default action, so that the handler in
// place, which may not be taken away, would only be entered again: the kernel itself gives a fault it
// finds held off its default action whatever the disposition, so a fault of the signal's own kind, made
// here with the signal held off, ends the process by it; a signal no fault raises (an abort, a trapped
// call) ends it by SIGKILL, as nothing may go on. From any thread, in a signal handler too.
[[noreturn]] void endWithoutTheDefaultAction(int number);

// Sets the kernel's disposition of `number` to SIG_IGN itself, whoever owned it (the exception port's
// emulation keeps none of its own for it then).
void ignoreInTheKernel(int number);

} // namespace darwin
