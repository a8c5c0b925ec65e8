#pragma once
// Threads of this process, as a crash reporter needs them: listing, full names and queue labels,
// suspension with register capture. (Their alternate signal stacks: ThreadStart.hpp.)
//
// listThreads, threadName, queueLabel, the suspension calls (askThreadsToSuspend, awaitSuspension,
// askThreadsListedLate, suspendThreads, resumeThreads) and what a suspended thread left
// (suspendedThreadContext, suspendedThreadStack) are safe in signal handlers: they use raw system calls and
// fixed tables prepared at start (no heap, no locks). A name or label is published whole, so a reader never
// sees one half-written, even when its thread was stopped in the middle of setting it. Thread ids are
// compared whole. The setters are for normal threads only.
#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <sys/ucontext.h>

namespace darwin {

// The threads a round of suspension, the name table and a crash record hold at most: thousands, as
// a program whose libraries start a thread per task may run. Each table of this many lives in static
// storage (a few MiB, whose pages cost memory only once used), never on a stack: a crash handler runs
// on an alternate stack of 256 KiB.
constexpr std::size_t kMaxThreads = 8192;
constexpr std::size_t kThreadNameSize = 64;

// The calling thread's kernel id, and the process's. Signal-safe. Every argument register of these
// calls is cleared: a seccomp filter reads all six whatever the call takes, and a sandbox's filter that
// looks at one would otherwise judge whatever the caller last left there (a thread id, say). The
// process's id is asked once, and again in a child made by fork(); a child made by a raw clone or _Fork,
// which run no fork handlers, would be given its parent's, and must not ask.
pid_t currentThreadId();
pid_t currentProcessId();
// Sends `number` to the calling thread alone, as raise() does but without the C library's bookkeeping:
// signal-safe on any stack.
void sendToThisThread(int number);

// Fills `ids` with the ids of this process's threads (from /proc/self/task), at most `capacity`.
// Returns the count, or -1 when the list cannot be read. The kernel reads the list in steps, each going
// on from a place in it, so a thread that ends while the list is read can hide others that live on (the
// end moves them back a place) or stop the reading short. `whole`, when given, tells whether the
// reading names every thread that lived throughout it: no thread's end disturbed it (the kernel gave an
// entry at every place it went through, and every thread named is still there after it) and all fitted.
// `listed`, when given, is the count of threads the reading named, those that did not fit included.
long listThreads(pid_t* ids, std::size_t capacity, bool* whole = nullptr, long* listed = nullptr);

// Names the calling thread: the kernel keeps the last 15 characters, the full name (up to 63 bytes)
// is kept in our own table.
void setCurrentThreadName(const char* name);
// Records the label of the queue whose block the calling thread runs (empty or null clears it). The
// dispatch queues call it around every block they run.
void setCurrentThreadQueueLabel(const char* label);
// Forgets the calling thread's name and label. A thread that set either forgets them by itself when it
// ends; calling this earlier is harmless.
void forgetCurrentThread();

// The full name of a thread: our table first, else the kernel's name (as the thread gave it when it
// was suspended, if it is). Always zero-terminated; empty when the thread has no name. False when the
// thread could not be asked.
bool threadName(pid_t tid, char* buffer, std::size_t size);
// The same without waiting for a thread that a round of suspension has asked and that has not answered
// yet: its name as it stands (the kernel's read from /proc when it has none in our table). A crash
// handler names the crashed thread so before any other thread has had to stop.
bool threadNameNow(pid_t tid, char* buffer, std::size_t size);
// The queue label registered by the thread; false when it has none.
bool queueLabel(pid_t tid, char* buffer, std::size_t size);
// True while the thread exists (it can be asked about itself); false once it has ended.
bool threadAlive(pid_t tid);
// Whether the thread, alive, holds signal `number` blocked now, as the kernel tells (its status); true
// too when a living thread's status cannot be read. Signal-safe.
bool threadHoldsSignalBlocked(pid_t tid, int number);
// How long a thread of this process has waited for a core, runnable but not run, since it began
// (nanoseconds, the scheduler's count in /proc); -1 when the kernel does not tell. Signal-safe.
long threadCoreWaitNanos(pid_t tid);

// The calling thread's own stack around `sp`, when `sp` lies on it: [low, high) is mapped, `high` is
// its top (the callers' frames lie below it) and `low` is at most `sp`. The frames of the running
// code live there, so the range stays mapped as long as the thread runs on it. False on an alternate
// signal stack and on stacks the program made itself (coroutines), whose extent is not known. The
// first answer on a thread, and one for a stack grown deeper since, asks the kernel; the others cost
// no system call. Signal-safe.
bool currentThreadStack(std::uintptr_t sp, std::uintptr_t* low, std::uintptr_t* high);

// Registers the handler of the reserved real-time signal used to suspend threads. Call at start.
bool prepareThreadSuspension();
int suspensionSignal();

// Suspends every listed thread except the caller's, without waiting for any to stop: each parks in the
// reserved signal's handler after saving its registers. The caller asks the first two; each thread
// asks the next two in the list as it stops; a read of a thread nobody has asked yet asks it, and one
// that finds its thread still on its way at a first look asks every thread nobody has asked yet, so
// none waits unasked behind one that does not pass the request on. What a thread left
// (suspendedThreadContext, suspendedThreadStack, its name) is waited for when first read, until the thread
// answers; so a crash handler records the first threads while the last still stop (tens of microseconds). A
// thread that has ended since the list was taken is no reason to wait, nor is one that cannot answer: one
// that keeps a reader waiting 50 µs is looked at in /proc (then less and less often), and given up at once
// when it has ended, is stopped, or sleeps with the signal blocked (as the C library may while it starts and
// ends a thread). A thread is given up for lack of an answer, never for lack of a core: one that runs, waits
// for a core or sleeps where the signal wakes it is given up once it has run `patienceNanos` of its own CPU
// time since it was asked without answering (it holds the signal off), however long it waited for a core, so
// that threads that hold it off are given up together rather than one after another (and, given up by one
// round, it is counted from when that round asked it by the next); one in an uninterruptible sleep once no
// thread of the round has answered for `patienceNanos`. Any still on its way `boundNanos` (never less than
// `patienceNanos`) after the round began is given up, so that a round ends within a recording's bound
// however many threads it meets; one added to it late (askThreadsListedLate) is given up then too, or
// `patienceNanos` after it was added when that is later, which is time enough to get a core and answer.
// One round at a time, ended by resumeThreads.
constexpr long kSuspensionPatienceNanos = 250L * 1000 * 1000;
// For a crash handler found put back under a disposition that holds nothing off (signal(n, signal(n,
// probe))), called before it is given its mask back: threads the kernel took a crash signal on under that
// disposition take a stop from the moment their crash's frame is begun until the handler's first
// instructions hold it off, and on a small stack its frame has no room there. The kernel shows the crash
// only once the frame is made, which a busy machine can put off for milliseconds, so from this call on a
// round asks a thread that runs (or waits to) or sleeps uninterruptibly (a page of its stack being
// faulted in) with the stop let through only once it has run a millisecond since it was first to be
// asked, or sleeps where a signal wakes it; one asleep uninterruptibly all along is given up, like one
// that cannot answer, once no thread of the round has answered for the round's patience. The threads that
// stop then leave the asking to the reader. Signal-safe.
void noteHandlersEnteredUnheld();
constexpr long kSuspensionBoundNanos = 2500L * 1000 * 1000;
void askThreadsToSuspend(const pid_t* ids, std::size_t count, long patienceNanos = kSuspensionPatienceNanos,
                         long boundNanos = kSuspensionBoundNanos);
// Asks those of the round not asked yet, and waits until every one has stopped or been given up; false
// when one was given up.
bool awaitSuspension();
// For a round asked for a list that a reading by listThreads did not give whole, once the caller has
// read the round's threads: reads the list again once every thread of the round has answered (parked or
// given up, they start and end no thread), until a reading adds threads or is whole. The round's first
// such reading is made however long the round has taken; later ones, in this call or the next, only while
// the round's bound has not passed (a thread given up, still running, may keep starting others). The threads
// it names that `ids` lacks are appended to `ids` (which holds the round's `count` threads and may hold the
// caller's, with room for `capacity`) and asked as the round's first were; the caller is not asked. The new
// count, `count` when none was added. Call it again once the added threads are read, until it adds none: they
// may have started others before they stopped.
std::size_t askThreadsListedLate(pid_t* ids, std::size_t count, std::size_t capacity);
// askThreadsToSuspend, then awaitSuspension: the threads that stopped stay suspended until
// resumeThreads, whatever the result.
bool suspendThreads(const pid_t* ids, std::size_t count, long patienceNanos = kSuspensionPatienceNanos,
                    long boundNanos = kSuspensionBoundNanos);
// Releases every thread parked by this round (one still on its way is given up) and waits until they
// have left the handler, at most `leaveNanos`: false when one had not by then (a busy core may keep a
// released thread from running that long; it leaves all the same, and never disturbs a later round).
constexpr long kSuspensionLeaveNanos = 250L * 1000 * 1000;
bool resumeThreads(long leaveNanos = kSuspensionLeaveNanos);
// For a thread that waits inside a crash handler where a stop's frame has no room (no alternate stack with
// room, and no memory left to lend it one): it holds the stop signal off throughout, and while this stands
// every round takes it as parked without asking it, at the registers and stack of `interrupted` (the
// ucontext the kernel gave its handler: the interrupted code, which stands still meanwhile). Without
// `interrupted`, or with no place left to publish it, a round gives the thread up (recorded without
// registers), never sending it a stop whose frame would land below its stack. On leaving, a stop sent
// before the thread stood is taken back unhandled, so that none lands once the thread lets it in again.
// Signal-safe; the thread keeps the stop signal blocked for as long as this stands.
class StandingStill {
  public:
    explicit StandingStill(const void* interrupted);
    ~StandingStill();
    StandingStill(const StandingStill&) = delete;
    StandingStill& operator=(const StandingStill&) = delete;

  private:
    int place_ = -1;
};

// How many threads the last round gave up because its bound ran out while they were on their way (not
// those that could not answer, nor those that ran out their patience holding the signal off).
int threadsGivenUpAtTheBound();

// Registers saved by a suspended thread; false when that thread is not parked (or was given up).
bool suspendedThreadContext(pid_t tid, mcontext_t& out);
// The part of a suspended thread's stack from where it stopped up to the stack's top, proven mapped by
// the thread itself as it stopped: it stays as it is until the thread is resumed, so it may be read in
// place meanwhile. False when the thread is not parked, stopped on its alternate signal stack, or runs
// on a stack whose extent is not known.
bool suspendedThreadStack(pid_t tid, std::uintptr_t* low, std::uintptr_t* high);

} // namespace darwin
