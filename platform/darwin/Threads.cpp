#include "platform/darwin/Threads.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/HandlerEntry.hpp"
#include "platform/darwin/Host.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "platform/darwin/Waits.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" void* __libc_stack_end; // the stack pointer at the program's entry (the C library's)
// The suspension signal's handler (below): it finds a stack with room before it makes a frame.
extern "C" void velo_darwin_suspension_entry(int number, siginfo_t* info, void* context);

namespace darwin {
namespace {

// A slot's thread is asked (kRequested) and then parks, or is given up for not answering in time
// (kAbandoned), or was found gone when asked (kGone: it ended since the list was taken).
enum SlotState : int { kIdle = 0, kRequested = 1, kParked = 2, kAbandoned = 3, kGone = 4 };

struct NameEntry;

// Every member starts at zero, so that the table is constant-initialised: it lies in .bss, its pages
// untouched (and costing no memory) until a crash uses them. A member left without an initializer would
// have the compiler write the whole table at start instead.
struct SuspendSlot {
    std::atomic<pid_t> tid{0};
    std::atomic<int> state{kIdle};
    mcontext_t context{};
    std::uintptr_t stackLow = 0;  // the part of its stack the thread stood on when it stopped, up to its
    std::uintptr_t stackHigh = 0; // top, proven mapped by the thread itself; both 0 when not known
    char kernelName[16]{};        // the thread's name as the kernel keeps it, asked by the thread itself
    NameEntry* names = nullptr;   // the thread's entry in the name table, told by the thread itself (or null)
    // Its CPU time when it was asked, or, when that could not be read, when it was first seen running
    // without having answered (-1: not yet). Written by whoever asks it, read by the round's reader.
    std::atomic<long> ranWhenAsked{0};
    // When the thread is given up should it not have answered (monotonic nanoseconds): the round's
    // bound, or, for one added to the round late, the round's patience after it was added if that is
    // later. Set by the round's owner before the slot is published.
    long giveUpAt = 0;
    // The release (releaseGeneration's value) after which the thread parked here left the handler. The
    // thread itself never changes its slot's state once released: one that leaves later than the resumer
    // waits for (a busy core) may find the slot handed to another thread by the next round.
    std::atomic<int> leftAfter{0};
    // Its CPU time when it was found entering a crash handler that holds the stop off only from its first
    // instructions (enteringUnheld), and so not asked yet; -1 when not put off.
    std::atomic<long> putOffAt{-1};
    long putOffWhen = 0; // the monotonic clock's time it was put off
};
constinit SuspendSlot slots[kMaxThreads];
std::atomic<std::size_t> slotCount{0};
// Where each thread of the round has its slot, so that a thread finding its own slot, and a reader
// finding a thread's, look at a place or two rather than walk thousands of slots (which, once per
// thread, would cost a record of thousands of threads seconds). Open addressing on the thread id,
// twice as many places as slots, so a look-up always ends at an empty place. Each place holds a slot's
// number plus one (0: empty). Filled by the round's owner before it publishes the slots (slotCount),
// emptied when the round begins and when it ends.
constexpr std::size_t kIndexSize = 2 * kMaxThreads;
static_assert((kIndexSize & (kIndexSize - 1)) == 0, "the index is walked with a mask");
constinit std::atomic<std::uint32_t> slotIndex[kIndexSize];
std::atomic<int> releaseGeneration{0};
std::atomic<bool> suspensionReady{false};
std::atomic<pid_t> roundProcess{0}; // of the round of suspension, for the threads that pass the signal on
// The next slot of the round to ask: whoever asks (the suspender, every thread as it stops, a reader
// that needs a thread not asked yet) takes the next one, so the threads are asked in the order of the
// list, each once, and the first to be read are the first to stop.
std::atomic<std::size_t> nextToAsk{0};
// When every thread of the round asked at its start that has not answered is given up, whatever it does
// (monotonic nanoseconds): a bound, far past what a round takes on a busy machine, counted from the
// round's start. Threads added late (a reading of the list made once the first are read) are given up
// by it too, or, when it leaves them less than the round's patience, that long after they were added:
// time enough to get a core and answer, never a bound of their own. Past the bound the list is read
// again once at most, so threads that keep starting (a thread given up, still running, may start one
// every few milliseconds) hold the round no longer than that.
std::atomic<long> roundBound{0};
// How long the round waits for a thread that does not answer, counted in the thread's own terms (see
// lookAt), and the last moment a thread of the round answered or was added to it (monotonic
// nanoseconds).
std::atomic<long> roundPatience{0};
// Whether a seccomp filter was on the thread that opened the round: such a filter may refuse a CPU clock's
// read or kill its caller, so the round then reads run times from the scheduler's file instead.
std::atomic<bool> roundFiltered{false};
std::atomic<long> lastAnswerAt{0};
// Whether the round has read the list again (askThreadsListedLate): the first such reading is made
// however late; later ones only within the round's bound.
std::atomic<bool> readLate{false};
// The threads of this round of suspension that have answered (parked, or found gone when asked): a
// wait for all of them sleeps until all have, woken once by the last rather than once per thread.
std::atomic<int> answeredCount{0};
std::atomic<int> awaitedCount{0};
// From askThreadsToSuspend to resumeThreads: threads may be added to the round meanwhile.
std::atomic<bool> roundOpen{false};
// The threads of the round given up because its bound ran out while they were still on their way.
std::atomic<int> givenUpAtTheBound{0};

// Threads standing still in a crash handler (StandingStill): what a round takes for their answer. A place
// is taken (`taken`), filled, then published (`tid`); looked up only while some stand, and only among the
// places ever taken (taken lowest first).
struct StillThread {
    std::atomic<bool> taken{false};
    std::atomic<pid_t> tid{0};
    mcontext_t context{};
    std::uintptr_t stackLow = 0;
    std::uintptr_t stackHigh = 0;
    char kernelName[16]{};
    NameEntry* names = nullptr;
};
constinit StillThread stillThreads[kMaxThreads];
std::atomic<std::size_t> stillPlacesUsed{0};
std::atomic<int> standingStill{0};

// Counts one thread of the round as answered; the last one wakes the suspender.
void answer() {
    lastAnswerAt.store(monotonicNanos(), std::memory_order_relaxed);
    if (answeredCount.fetch_add(1, std::memory_order_acq_rel) + 1 >=
        awaitedCount.load(std::memory_order_acquire))
        futexWakeAll(&answeredCount);
}

// A thread asked to stop answers within microseconds unless it cannot: it sleeps with the signal
// blocked (the C library blocks every signal while it starts and ends a thread, and an ending thread
// may then wait for a lock a parked thread holds), it is stopped, or it has ended. A reader kept
// waiting this long asks the kernel which it is, so that such a thread costs the record tens of
// microseconds rather than the round's whole time. One that runs with the signal blocked is waited
// for: it answers as soon as it unblocks it. Each look that finds threads still on their way puts the
// next one off twice as long, up to kLookAtMostEveryNanos, so that a round on a core shared with
// others (where thousands of threads may wait for their turn to run) does not spend the core it
// waits for reading the kernel's files.
constexpr long kLookAfterNanos = 50L * 1000;
constexpr long kLookAtMostEveryNanos = 10L * 1000 * 1000;

// Waits until `done` holds for the word's value, or until the monotonic `deadline`; false at the
// deadline.
template <typename Done> bool futexWaitUntil(std::atomic<int>* word, long deadline, Done done) {
    for (;;) {
        const int seen = word->load(std::memory_order_acquire);
        if (done(seen)) return true;
        const long left = deadline - monotonicNanos();
        if (left <= 0) return false;
        futexWait(word, seen, left);
    }
}

// "/proc/self/task/<tid>/<leaf>" into `path` (64 bytes).
void taskPath(pid_t tid, const char* leaf, char* path) {
    constexpr char kPrefix[] = "/proc/self/task/";
    std::memcpy(path, kPrefix, sizeof kPrefix - 1);
    std::size_t at = sizeof kPrefix - 1;
    char digits[16];
    int n = 0;
    for (auto v = static_cast<unsigned>(tid); n == 0 || v != 0; v /= 10)
        digits[n++] = static_cast<char>('0' + v % 10);
    while (n > 0)
        path[at++] = digits[--n];
    path[at++] = '/';
    for (; *leaf != '\0' && at + 1 < 64; ++leaf)
        path[at++] = *leaf;
    path[at] = '\0';
}

// The text after "\n<key>:" and its blanks, or null.
const char* statusField(const char* text, const char* key) {
    const std::size_t length = std::strlen(key);
    for (const char* line = text; line != nullptr && *line != '\0';) {
        if (std::strncmp(line, key, length) == 0 && line[length] == ':') {
            const char* value = line + length + 1;
            while (*value == ' ' || *value == '\t')
                ++value;
            return value;
        }
        line = std::strchr(line, '\n');
        if (line != nullptr) ++line;
    }
    return nullptr;
}

// Runs: it runs, waits for a core to run on, sleeps where the signal wakes it, or has the signal
// delivered and answers from the handler. On its way: it sleeps where the signal does not wake it (an
// uninterruptible wait), and answers once that wait ends.
enum class Hearing { onItsWay, runs, cannotAnswer, gone };

// Whether the signal mask on the status line `key` ("SigBlk", "SigPnd": 16 hex digits) holds `number`.
bool maskHolds(const char* text, const char* key, int number) {
    const char* digits = statusField(text, key);
    if (digits == nullptr) return false;
    std::uint64_t mask = 0;
    for (; (*digits >= '0' && *digits <= '9') || (*digits >= 'a' && *digits <= 'f'); ++digits)
        mask = mask << 4 | static_cast<std::uint64_t>(*digits <= '9' ? *digits - '0' : *digits - 'a' + 10);
    return (mask >> (number - 1) & 1) != 0;
}

// What the kernel says of a thread asked to stop that has not answered. Raw system calls into this
// frame's memory: it runs in the crash handler.
Hearing hearing(pid_t tid) {
    if (darwin::systemCall(SYS_tgkill, roundProcess.load(std::memory_order_relaxed), tid, 0) != 0 &&
        errno == ESRCH)
        return Hearing::gone;
    char path[64];
    taskPath(tid, "status", path);
    char text[4096];
    // Unreadable: it may have ended just now, which the next look tells.
    if (readSmallFile(path, text, sizeof text) <= 0) return Hearing::onItsWay;
    const char* state = statusField(text, "State");
    if (state != nullptr) {
        if (*state == 'Z' || *state == 'X') return Hearing::gone;         // ending: it runs no more code
        if (*state == 'T' || *state == 't') return Hearing::cannotAnswer; // stopped, or held by a tracer
    }
    // Blocked and still waiting to be delivered, by a thread that sleeps: it holds the signal off, and
    // may wait for a lock a parked thread holds. (Blocked but delivered is a thread inside the handler,
    // which blocks its own signal while it answers.) One that runs, or waits to run, with it blocked is
    // on its way: the C library starting or ending a thread, or a thread still leaving the handler of
    // the round before (its signal stays blocked until the handler has returned, which a busy core may
    // put off for milliseconds), unblocks it within microseconds of running.
    const int signal = suspensionSignal();
    if (state == nullptr) return Hearing::onItsWay;
    // Delivered: the thread answers from the handler, where it may still wait its turn at a lock (the
    // guarded read's pipe) however it sleeps meanwhile.
    if (!maskHolds(text, "SigPnd", signal)) return Hearing::runs;
    if (*state == 'S' && maskHolds(text, "SigBlk", signal)) return Hearing::cannotAnswer;
    // A sleep the signal interrupts ends once it is sent: the thread is then on its way to run. Only an
    // uninterruptible one keeps it waiting.
    return *state == 'R' || *state == 'S' ? Hearing::runs : Hearing::onItsWay;
}

// The `index`th of a thread's scheduler figures ("<time run> <time waited on a run queue> <slices>", in
// nanoseconds and a count); -1 when they cannot be read.
long scheduledFigure(pid_t tid, int index) {
    char path[64];
    taskPath(tid, "schedstat", path);
    char text[128];
    if (readSmallFile(path, text, sizeof text) <= 0) return -1;
    const char* at = text;
    for (int skipped = 0; skipped < index; ++skipped) {
        while (*at >= '0' && *at <= '9')
            ++at;
        if (*at++ != ' ') return -1;
    }
    if (*at < '0' || *at > '9') return -1;
    long figure = 0;
    for (; *at >= '0' && *at <= '9'; ++at)
        figure = figure * 10 + (*at - '0');
    return figure;
}

// The CPU time a thread of this process has run (nanoseconds); -1 when it cannot be read. From its own
// clock, a raw system call (it runs in the crash handler), but under a sandbox's filter, which may trap
// that call or kill its caller, from the scheduler's file.
long threadRunNanos(pid_t tid) {
    if (roundFiltered.load(std::memory_order_relaxed)) return scheduledFigure(tid, 0);
    // The kernel's id of a thread's CPU clock: the thread id inverted, past the per-thread flag (4) and
    // the kind of clock (2: the scheduler's count of time run).
    const auto clock = static_cast<clockid_t>(~static_cast<unsigned>(tid) << 3 | 6U);
    timespec ran{};
    if (darwin::systemCall(SYS_clock_gettime, clock, &ran) != 0) return -1;
    return ran.tv_sec * 1000L * 1000 * 1000 + ran.tv_nsec;
}

// Whether a seccomp filter is on the calling thread; true when its status cannot be read.
bool underSeccompFilter() {
    char text[4096];
    if (readSmallFile("/proc/thread-self/status", text, sizeof text) <= 0) return true;
    const char* mode = statusField(text, "Seccomp");
    return mode == nullptr || *mode != '0';
}

std::size_t indexHome(pid_t tid) {
    // Fibonacci hashing: the top bits of the product, so that ids given out one after another spread.
    constexpr int kIndexBits = __builtin_ctzll(kIndexSize);
    return static_cast<std::uint32_t>(static_cast<std::uint32_t>(tid) * 2654435769U) >> (32 - kIndexBits);
}

void emptyIndex() {
    for (auto& place : slotIndex)
        place.store(0, std::memory_order_relaxed);
}

// The threads the last round gave up without an answer, with their CPU time when it asked them, so that
// the next round (the abort that follows an uncaught exception's record, say) counts their patience from
// then rather than making each that holds the signal off wait it out again: one that only waited for a
// core has run little since. A thread that has run less than that since is another that was given the
// same id. Kept by the rounds' owners, one round at a time, and looked up through an index as the
// round's slots are.
struct GivenUp {
    pid_t tid = 0;
    long ranWhenAsked = 0;
};
constinit GivenUp givenUp[kMaxThreads];
constinit std::uint32_t givenUpIndex[kIndexSize];
std::size_t givenUpCount = 0;

// The CPU time the last round asked `tid` at, if it gave the thread up without an answer; -1 otherwise.
long askedWhenGivenUp(pid_t tid) {
    for (std::size_t at = indexHome(tid);; at = (at + 1) & (kIndexSize - 1)) {
        const std::uint32_t entry = givenUpIndex[at];
        if (entry == 0) return -1;
        if (givenUp[entry - 1].tid == tid) return givenUp[entry - 1].ranWhenAsked;
    }
}

// Enters slot `number` (its tid set) in the index; by the round's owner only.
void indexSlot(std::size_t number) {
    for (std::size_t at = indexHome(slots[number].tid.load(std::memory_order_relaxed));;
         at = (at + 1) & (kIndexSize - 1)) {
        if (slotIndex[at].load(std::memory_order_relaxed) != 0) continue;
        slotIndex[at].store(static_cast<std::uint32_t>(number + 1), std::memory_order_release);
        return;
    }
}

// The slot of the round given to `tid`, null when the round has none for it.
SuspendSlot* slotOf(pid_t tid) {
    if (tid == 0) return nullptr;
    const std::size_t count = slotCount.load(std::memory_order_acquire);
    for (std::size_t at = indexHome(tid);; at = (at + 1) & (kIndexSize - 1)) {
        const std::uint32_t entry = slotIndex[at].load(std::memory_order_acquire);
        if (entry == 0) return nullptr;
        if (entry - 1 < count && slots[entry - 1].tid.load(std::memory_order_relaxed) == tid)
            return &slots[entry - 1];
    }
}

// Parks the slot's thread from what it published as it stood still (StandingStill), without asking it;
// false when it does not stand still. Whoever finds it first parks it.
bool parkStandingStill(SuspendSlot& slot) {
    if (standingStill.load(std::memory_order_acquire) == 0) return false;
    const pid_t tid = slot.tid.load(std::memory_order_relaxed);
    const std::size_t used = stillPlacesUsed.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < used; ++i) {
        StillThread& still = stillThreads[i];
        if (still.tid.load(std::memory_order_acquire) != tid) continue;
        mcontext_t context = still.context;
        const std::uintptr_t low = still.stackLow;
        const std::uintptr_t high = still.stackHigh;
        NameEntry* const names = still.names;
        char kernelName[sizeof still.kernelName];
        std::memcpy(kernelName, still.kernelName, sizeof kernelName);
        // Still the same thread's after the copy: it did not leave (and a later one take the place)
        // meanwhile.
        if (still.tid.load(std::memory_order_acquire) != tid) return false;
        int expected = kRequested;
        if (slot.state.load(std::memory_order_acquire) != kRequested) return true;
        slot.context = context;
        slot.stackLow = low;
        slot.stackHigh = high;
        slot.names = names;
        std::memcpy(slot.kernelName, kernelName, sizeof kernelName);
        // It never enters the handler, so the release finds it gone from there already.
        const int left = releaseGeneration.load(std::memory_order_acquire) + 1;
        for (int seen = slot.leftAfter.load(std::memory_order_relaxed);
             seen - left < 0 &&
             !slot.leftAfter.compare_exchange_weak(seen, left, std::memory_order_release);) {
        }
        if (slot.state.compare_exchange_strong(expected, kParked)) {
            futexWakeAll(&slot.state);
            answer();
        }
        return true;
    }
    return false;
}

// Whether a crash handler of the process was ever found run under a disposition that held nothing off
// (noteHandlersEnteredUnheld).
std::atomic<bool> handlersEnteredUnheld{false};

// How long a thread may run, found as it may be entering a crash handler with the stop let through,
// before it is asked all the same: the kernel ends the crash's frame and the handler holds the stop off
// within microseconds of running.
constexpr long kEnteringNanos = 1000L * 1000;
// How long a thread put off waits to be asked at most, by the clock: one that runs in short bursts on busy
// cores may take far longer to run kEnteringNanos, and would otherwise be given up unasked, with no
// registers or stack in the record.
constexpr long kPutOffAtMostNanos = 50L * 1000 * 1000;

// Whether a thread may be entering a crash handler with the stop let through, and how it waits meanwhile.
enum class Entering { no, runs, sleeps };

// Once a crash handler of the process was found put back under a disposition that holds nothing off
// (mended since), whether the thread may be between the kernel taking a crash signal under that
// disposition and the handler holding the stop off itself. A stop sent then has its frame made right
// below the crash's, before the handler runs at all: past the end of a small stack. The kernel shows the
// crash signal blocked only once the crash's frame is made, and making it can take a busy machine
// milliseconds (a core to wait for, a page of the stack to fault in, asleep uninterruptibly on the
// address space's lock): meanwhile the thread looks like any other that runs. So every thread that runs
// or waits to (runs), or sleeps uninterruptibly (sleeps), with the stop let through may be entering; one
// asleep where a signal wakes it is not (neither the frame's making nor the handler's first
// instructions sleep so). Only looked at once such a disposition was seen, as the kernel's status of the
// thread costs a read.
__attribute__((noinline)) Entering enteringUnheld(pid_t tid) {
    if (!handlersEnteredUnheld.load(std::memory_order_acquire)) return Entering::no;
    char path[64];
    taskPath(tid, "status", path);
    char text[4096];
    if (readSmallFile(path, text, sizeof text) <= 0 || maskHolds(text, "SigBlk", suspensionSignal()))
        return Entering::no;
    const char* state = statusField(text, "State");
    if (state == nullptr) return Entering::no;
    if (*state == 'R') return Entering::runs;
    return *state == 'D' ? Entering::sleeps : Entering::no;
}

void sendStop(SuspendSlot& slot) {
    const pid_t tid = slot.tid.load(std::memory_order_relaxed);
    if (darwin::systemCall(SYS_tgkill, roundProcess.load(std::memory_order_relaxed), tid,
                           suspensionSignal()) != 0) {
        int expected = kRequested;
        if (slot.state.compare_exchange_strong(expected, kGone)) answer();
    }
}

// Sends the signal to the thread of the next slot not asked yet; false when every one has been. A
// thread that has ended since the list was taken answers at once, as gone. The next slot to ask never
// passes the last one, so slots added to the round later are asked in turn.
bool askNext() {
    std::size_t index = nextToAsk.load(std::memory_order_relaxed);
    do {
        if (index >= slotCount.load(std::memory_order_acquire)) return false;
    } while (!nextToAsk.compare_exchange_weak(index, index + 1, std::memory_order_relaxed));
    SuspendSlot& slot = slots[index];
    const pid_t tid = slot.tid.load(std::memory_order_relaxed);
    // Given up already (it left a wait where it stood still): no stop may follow it.
    if (slot.state.load(std::memory_order_acquire) != kRequested) return true;
    // Its patience is counted from now, whoever reads it and whenever: threads that cannot answer are
    // then given up together, each its patience after it was asked, not one after another as a reader
    // reaches them. One the last round gave up without an answer counts from when that round asked it.
    long unknown = -1;
    if (const long ran = threadRunNanos(tid); ran >= 0)
        slot.ranWhenAsked.compare_exchange_strong(unknown, ran, std::memory_order_relaxed);
    // One standing still has no room for the signal's frame: it answers with what it published.
    if (parkStandingStill(slot)) return true;
    if (const long ran = threadRunNanos(tid); ran >= 0 && enteringUnheld(tid) != Entering::no) {
        slot.putOffWhen = monotonicNanos();
        slot.putOffAt.store(ran, std::memory_order_release);
        return true;
    }
    sendStop(slot);
    return true;
}

// For a thread whose asking was put off: asks it once it can no longer be entering a handler with the
// stop let through, once it has run kEnteringNanos since it was put off (a thread of the program's own
// that runs on), or once kPutOffAtMostNanos have passed; how it waits while it is still put off.
Entering stillPutOff(SuspendSlot& slot) {
    const long putOffAt = slot.putOffAt.load(std::memory_order_acquire);
    if (putOffAt < 0) return Entering::no;
    const pid_t tid = slot.tid.load(std::memory_order_relaxed);
    const long ran = threadRunNanos(tid);
    if (ran >= 0 && ran - putOffAt < kEnteringNanos &&
        monotonicNanos() - slot.putOffWhen < kPutOffAtMostNanos) {
        if (const Entering entering = enteringUnheld(tid); entering != Entering::no) return entering;
    }
    long expected = putOffAt;
    if (slot.putOffAt.compare_exchange_strong(expected, -1, std::memory_order_acq_rel)) sendStop(slot);
    return Entering::no;
}

void copyText(char* out, std::size_t size, const char* text) {
    std::size_t i = 0;
    for (; text != nullptr && i + 1 < size && text[i] != '\0'; ++i)
        out[i] = text[i];
    out[i] = '\0';
}

// A text that a reader never sees half-written: the owner writes the copy that is not published and
// then publishes it with one atomic store. A crash handler reading while the owner is parked in the
// middle of a write therefore still gets the previous text whole.
struct PublishedText {
    char copies[2][kThreadNameSize]{}; // zero, so that the name table is constant-initialised too
    std::atomic<int> current{0};

    void set(const char* text) {
        int next = 1 - current.load(std::memory_order_relaxed);
        copyText(copies[next], kThreadNameSize, text);
        current.store(next, std::memory_order_release);
    }
    const char* get() const { return copies[current.load(std::memory_order_acquire)]; }
};

struct NameEntry {
    std::atomic<pid_t> tid{0};
    PublishedText name;
    PublishedText queue;
};
constinit NameEntry nameTable[kMaxThreads];
// Entries are taken lowest first; none at or past this one has ever been, so a look-up ends here.
std::atomic<std::size_t> nameEntriesTaken{0};
// The calling thread's entry, remembered (see ownEntry). Initial-exec storage: a thread parked by a
// round tells it from its signal handler, so that a record of thousands of threads finds each one's
// name without walking the table.
__attribute__((tls_model("initial-exec"))) thread_local NameEntry* tOwnEntry = nullptr;

NameEntry* entryFor(pid_t tid, bool create) {
    const std::size_t taken = nameEntriesTaken.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < taken; ++i) {
        if (nameTable[i].tid.load(std::memory_order_acquire) == tid) return &nameTable[i];
    }
    if (!create) return nullptr;
    for (std::size_t i = 0; i < kMaxThreads; ++i) {
        NameEntry& entry = nameTable[i];
        pid_t expected = 0;
        if (entry.tid.compare_exchange_strong(expected, tid)) {
            std::size_t seen = nameEntriesTaken.load(std::memory_order_relaxed);
            while (seen < i + 1 &&
                   !nameEntriesTaken.compare_exchange_weak(seen, i + 1, std::memory_order_acq_rel)) {
            }
            entry.name.set("");
            entry.queue.set("");
            return &entry;
        }
    }
    return nullptr;
}

bool ownStackAbove(std::uintptr_t sp, std::uintptr_t* low, std::uintptr_t* high);

// Whether a thread of the round that has not answered yet, and is on its way as far as the kernel
// tells, has had the round's patience. One that runs (or waits to) is given up once it has run that
// long since it was first seen so without answering: it holds the signal off. Time it spends waiting
// for a core counts for nothing, so a busy machine never costs a thread its record. One that sleeps
// where the signal cannot wake it (an uninterruptible wait) is given up once no thread of the round
// has answered for that long: threads that keep answering show a round still under way, one held up
// by busy cores rather than by this thread.
bool hadItsPatience(SuspendSlot& slot, Hearing heard) {
    const long patience = roundPatience.load(std::memory_order_relaxed);
    if (heard == Hearing::runs) {
        const long ran = threadRunNanos(slot.tid.load(std::memory_order_relaxed));
        if (ran >= 0) {
            long before = slot.ranWhenAsked.load(std::memory_order_relaxed);
            // Less than when asked: not the thread a round before gave up, but a later one of that id.
            if (before < 0 || ran < before) {
                slot.ranWhenAsked.store(ran, std::memory_order_relaxed);
                before = ran;
            }
            return ran - before >= patience;
        }
    }
    return monotonicNanos() - lastAnswerAt.load(std::memory_order_relaxed) >= patience;
}

// Looks at a thread of the round that has not answered: one that has gone is counted as gone, one that
// cannot answer now, has had its patience or is past the moment it is given up at, is given up (it
// leaves the handler at once if the signal still arrives), and one on its way is left to answer. True
// while it is left to answer.
bool lookAt(SuspendSlot& slot) {
    if (slot.state.load(std::memory_order_acquire) != kRequested) return false;
    // Asked before it stood still, it holds the signal off now, and answers with what it published.
    if (parkStandingStill(slot)) return false;
    // Put off and not asked yet, it is on its way: one that runs is asked once it has run long enough
    // (stillPutOff), with no patience of its own meanwhile; one asleep uninterruptibly all along has the
    // patience of one that cannot answer, which ends once no thread of the round has answered for it.
    const Entering entering = stillPutOff(slot);
    const Hearing heard =
        entering == Entering::no ? hearing(slot.tid.load(std::memory_order_relaxed)) : Hearing::onItsWay;
    const bool onItsWay = heard == Hearing::onItsWay || heard == Hearing::runs;
    const bool patient = entering == Entering::runs || !hadItsPatience(slot, heard);
    if (onItsWay && patient && monotonicNanos() < slot.giveUpAt) return true;
    int expected = kRequested;
    if (slot.state.compare_exchange_strong(expected, heard == Hearing::gone ? kGone : kAbandoned)) {
        if (onItsWay && monotonicNanos() >= slot.giveUpAt)
            givenUpAtTheBound.fetch_add(1, std::memory_order_relaxed);
        futexWakeAll(&slot.state);
        answer();
    }
    return false;
}

// The next wait between two looks.
long nextLookAfter(long wait) {
    return wait * 2 < kLookAtMostEveryNanos ? wait * 2 : kLookAtMostEveryNanos;
}

// Waits until the slot's thread has answered, or has been found gone, unable to answer or out of
// patience (looked at each time it has kept the reader waiting), or the moment it is given up at has
// passed. A thread nobody has asked yet (those before it in the list did not pass the request on) is
// asked first; and once a look finds it still on its way, every other thread nobody has asked yet is
// asked before the wait goes on: one that does not pass the request on (it holds the signal off) would
// otherwise leave those after it in the list unasked while it is waited for, and then without the time
// to answer once it is given up. (A thread that answers at once, or is found unable to, costs the reader
// no more than the look.)
void settle(SuspendSlot& slot) {
    if (slot.state.load(std::memory_order_acquire) != kRequested) return;
    const auto index = static_cast<std::size_t>(&slot - slots);
    while (nextToAsk.load(std::memory_order_relaxed) <= index && askNext()) {
    }
    const long giveUpAt = slot.giveUpAt;
    for (long wait = kLookAfterNanos;; wait = nextLookAfter(wait)) {
        const long look = monotonicNanos() + wait;
        if (futexWaitUntil(&slot.state, look < giveUpAt ? look : giveUpAt,
                           [](int state) { return state != kRequested; }))
            return;
        if (look >= giveUpAt) break;
        if (!lookAt(slot)) return;
        while (askNext()) {
        }
    }
    int expected = kRequested;
    if (slot.state.compare_exchange_strong(expected, kAbandoned))
        givenUpAtTheBound.fetch_add(1, std::memory_order_relaxed);
}

// Gives the threads of `ids` but `me` the slots from `used` on, each to be given up at `giveUpAt`, as
// many as there is room for, and enters them in the index; by the round's owner only, before it publishes
// them (slotCount). The count of slots then used.
std::size_t fillSlots(std::size_t used, const pid_t* ids, std::size_t count, pid_t me, long giveUpAt) {
    for (std::size_t i = 0; i < count && used < kMaxThreads; ++i) {
        if (ids[i] == me) continue;
        SuspendSlot& slot = slots[used];
        slot.tid.store(ids[i], std::memory_order_relaxed);
        slot.state.store(kRequested, std::memory_order_relaxed);
        slot.names = nullptr;
        slot.ranWhenAsked.store(askedWhenGivenUp(ids[i]), std::memory_order_relaxed);
        slot.putOffAt.store(-1, std::memory_order_relaxed);
        slot.giveUpAt = giveUpAt;
        indexSlot(used);
        ++used;
    }
    return used;
}

// The slot of a thread parked by this round of suspension, once it has answered; null when it is not
// parked.
const SuspendSlot* parkedSlot(pid_t tid) {
    SuspendSlot* slot = slotOf(tid);
    if (slot == nullptr) return nullptr;
    settle(*slot);
    return slot->state.load(std::memory_order_acquire) == kParked ? slot : nullptr;
}

void suspensionHandler(int, siginfo_t*, void* context) {
    // The crash reporter's own work: a system call of it that the program's sandbox traps is answered.
    const OwnWork work;
    const OwnCallsLetThrough letThrough(context);
    int savedErrno = errno;
    pid_t me = currentThreadId();
    // Once, not a loop: `break` leaves it.
    for (SuspendSlot* found = slotOf(me); found != nullptr; found = nullptr) {
        SuspendSlot& slot = *found;
        if (slot.state.load(std::memory_order_acquire) != kRequested) break;
        // Each thread that stops asks two more, so the threads are asked by many at once: sending a
        // signal and waking its thread takes long enough that one sender asking every thread in turn
        // would be the bulk of the suspension. Once a handler was found put back, asking a thread reads
        // its status first (enteringUnheld), a page that not every stack a stop lands on has room for:
        // the reader asks them all then.
        if (!handlersEnteredUnheld.load(std::memory_order_acquire) && askNext()) askNext();
        slot.context = static_cast<ucontext_t*>(context)->uc_mcontext;
        // Proven here, by each thread at once, so the recorder may read the stopped stack in place.
        const auto sp = static_cast<std::uintptr_t>(slot.context.gregs[REG_RSP]);
        if (!ownStackAbove(sp, &slot.stackLow, &slot.stackHigh)) slot.stackLow = slot.stackHigh = 0;
        // Asked here, by each thread at once, instead of later through /proc one thread after another.
        if (darwin::systemCall(SYS_prctl, PR_GET_NAME, slot.kernelName, 0, 0, 0) != 0)
            slot.kernelName[0] = '\0';
        slot.kernelName[sizeof slot.kernelName - 1] = '\0';
        NameEntry* names = tOwnEntry;
        slot.names = names != nullptr && names->tid.load(std::memory_order_relaxed) == me ? names : nullptr;
        int generation = releaseGeneration.load(std::memory_order_acquire);
        int expected = kRequested;
        if (!slot.state.compare_exchange_strong(expected, kParked)) break; // the suspender gave up
        futexWakeAll(&slot.state); // a reader waiting for this thread's registers
        answer();
        while (releaseGeneration.load(std::memory_order_acquire) == generation) {
            futexWait(&releaseGeneration, generation, 0);
        }
        // Raised, never lowered: a thread of an earlier round leaving this late does not hide the leaving
        // of the slot's thread of a later one.
        const int released = generation + 1;
        for (int seen = slot.leftAfter.load(std::memory_order_relaxed);
             seen - released < 0 &&
             !slot.leftAfter.compare_exchange_weak(seen, released, std::memory_order_release);) {
        }
        futexWakeAll(&slot.leftAfter);
        break;
    }
    errno = savedErrno;
}

// The stop's run, on a stack with room (HandlerEntry.hpp): a thread stopped with little of its own stack
// left below the kernel's frame (a fault it is about to take, a handler on its last bytes) has the stop's
// frame to pay for, not the handler's as well, as long as a kept stack is free (a thread with no alternate
// stack of its own otherwise runs it in place).
__attribute__((used)) void suspensionBody(HandlerRun& run) asm("velo_darwin_suspension_body");
void suspensionBody(HandlerRun& run) {
    run.off = HandOff{};
    suspensionHandler(run.entry.number, run.entry.info, run.entry.context);
}

// Never called by another handler; as one, it would run where it stands.
__attribute__((used)) void suspensionCalled(int number, siginfo_t* info,
                                            void* context) asm("velo_darwin_suspension_called");
void suspensionCalled(int number, siginfo_t* info, void* context) {
    suspensionHandler(number, info, context);
}

VELO_DARWIN_STOP_HANDLER("velo_darwin_suspension_entry", "velo_darwin_suspension_body",
                         "velo_darwin_suspension_called");

} // namespace

namespace {

// The id a /proc link names last ("/proc/self": "PID"; "/proc/thread-self": "PID/task/TID"); -1 when it
// names none.
pid_t idNamedBy(const char* link) {
    char text[48] = {};
    const long length = darwin::systemCall(SYS_readlinkat, AT_FDCWD, link, text, sizeof text - 1, 0, 0);
    long start = 0;
    for (long i = 0; i < length; ++i)
        if (text[i] == '/') start = i + 1;
    pid_t id = 0;
    for (long i = start; i < length && text[i] >= '0' && text[i] <= '9'; ++i)
        id = id * 10 + (text[i] - '0');
    return id > 0 ? id : -1;
}

} // namespace

pid_t currentThreadId() {
    const auto asked = static_cast<pid_t>(darwin::systemCall(SYS_gettid, 0, 0, 0, 0, 0, 0));
    // A sandbox's filter may answer gettid with a failure: /proc names the thread too.
    return asked > 0 ? asked : idNamedBy("/proc/thread-self");
}

namespace {

// The process's id, asked of the kernel once and again after each fork: asked each time, a getpid would
// stand in every guarded read of a crash handler, some made where the handler holds SIGSYS off, and a
// sandbox's filter that traps getpid would then end the process by a forced SIGSYS.
std::atomic<pid_t> knownProcessId{0};

void forgetProcessId() {
    knownProcessId.store(0, std::memory_order_relaxed);
}

// Kept only where a fork tells the child to forget it: until the watch is in place, every call asks.
const bool processIdWatched = pthread_atfork(nullptr, nullptr, forgetProcessId) == 0;

} // namespace

pid_t currentProcessId() {
    if (const pid_t known = knownProcessId.load(std::memory_order_relaxed); known > 0) return known;
    // A sandbox's filter may answer getpid with a failure: the process's id is then its first thread's,
    // which /proc names.
    auto asked = static_cast<pid_t>(darwin::systemCall(SYS_getpid, 0, 0, 0, 0, 0, 0));
    if (asked <= 0) asked = idNamedBy("/proc/self");
    if (asked <= 0) return -1;
    if (processIdWatched) knownProcessId.store(asked, std::memory_order_relaxed);
    return asked;
}

void sendToThisThread(int number) {
    darwin::systemCall(SYS_tgkill, currentProcessId(), currentThreadId(), number);
}

long listThreads(pid_t* ids, std::size_t capacity, bool* whole, long* listed) {
    const long fd = openPath("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    alignas(8) char buffer[4096];
    long count = 0;
    long named = 0;
    long entries = 0; // "." and ".." too: each takes a place of the kernel's reading
    bool sure = true;
    for (;;) {
        long n = darwin::systemCall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) sure = false;
        if (n <= 0) break;
        for (long offset = 0; offset < n;) {
            // linux_dirent64: inode (8), offset (8), record length (2), type (1), name.
            unsigned short length;
            std::memcpy(&length, buffer + offset + 16, sizeof length);
            const char* name = buffer + offset + 19;
            ++entries;
            if (name[0] >= '0' && name[0] <= '9') {
                ++named;
                if (static_cast<std::size_t>(count) < capacity) {
                    pid_t tid = 0;
                    for (const char* p = name; *p >= '0' && *p <= '9'; ++p)
                        tid = tid * 10 + (*p - '0');
                    ids[count++] = tid;
                } else {
                    sure = false;
                }
            }
            if (length == 0) break;
            offset += length;
        }
    }
    if (whole != nullptr) {
        // The kernel goes from place to place, and a thread that ended between being reached and named
        // takes a place without an entry: the reading then stands past its entries.
        sure = sure && darwin::systemCall(SYS_lseek, fd, 0, SEEK_CUR) == entries;
        // A thread named that has ended since moved every thread after it back a place.
        const long process = currentProcessId();
        for (long i = 0; i < count && sure; ++i)
            sure = darwin::systemCall(SYS_tgkill, process, ids[i], 0) == 0 || errno == EPERM;
        *whole = sure;
    }
    darwin::systemCall(SYS_close, fd);
    if (listed != nullptr) *listed = named;
    return count;
}

namespace {

// Gives the calling thread's entry back when the thread ends, so a later thread that is handed the
// same kernel id does not inherit its name or label.
struct ForgetAtThreadExit {
    bool armed = false;
    ~ForgetAtThreadExit() {
        if (armed) forgetCurrentThread();
    }
};

// The calling thread's entry, remembered so that the dispatch queues, which set a label around every
// block (and back), neither search the table nor ask the kernel for the thread's id each time. It holds
// in the process that remembered it: a forked child's thread has another id, so a fork (counted in the
// child) sends every thread back to asking once.
thread_local unsigned tOwnEntryForks = 0;
std::atomic<unsigned> forksSeen{0};

void countFork() {
    forksSeen.fetch_add(1, std::memory_order_relaxed);
}

NameEntry* ownEntry(bool create) {
    // Without the count (no room to register it) every call asks for the id.
    static const bool forksCounted = pthread_atfork(nullptr, nullptr, countFork) == 0;
    const unsigned forks = forksSeen.load(std::memory_order_relaxed);
    if (forksCounted && tOwnEntry != nullptr && tOwnEntryForks == forks) return tOwnEntry;
    pid_t me = currentThreadId();
    if (tOwnEntry != nullptr && tOwnEntry->tid.load(std::memory_order_relaxed) == me) {
        tOwnEntryForks = forks;
        return tOwnEntry;
    }
    NameEntry* entry = entryFor(me, create);
    if (entry != nullptr) {
        thread_local ForgetAtThreadExit forget;
        forget.armed = true;
        tOwnEntry = entry;
        tOwnEntryForks = forks;
    }
    return entry;
}

} // namespace

void setCurrentThreadName(const char* name) {
    if (name == nullptr) return;
    // The kernel keeps 15 bytes; the end of a reverse-domain name is what tells threads apart
    // ("com.example.logging" becomes "xample.logging"), the full name goes to our table.
    std::size_t length = std::strlen(name);
    char shortName[16];
    copyText(shortName, sizeof shortName, length > 15 ? name + (length - 15) : name);
    pthread_setname_np(pthread_self(), shortName);
    if (NameEntry* entry = ownEntry(true)) entry->name.set(name);
}

void setCurrentThreadQueueLabel(const char* label) {
    if (NameEntry* entry = ownEntry(label != nullptr && *label != '\0')) entry->queue.set(label);
}

void forgetCurrentThread() {
    const pid_t me = currentThreadId();
    NameEntry* own = tOwnEntry;
    tOwnEntry = nullptr;
    NameEntry* entry =
        own != nullptr && own->tid.load(std::memory_order_relaxed) == me ? own : entryFor(me, false);
    if (entry != nullptr) {
        entry->name.set("");
        entry->queue.set("");
        entry->tid.store(0, std::memory_order_release);
    }
}

namespace {

// The entry of a thread in the name table: the one a parked thread told, else a look through the table.
NameEntry* namesOf(pid_t tid, const SuspendSlot* parked) {
    return parked != nullptr ? parked->names : entryFor(tid, false);
}

} // namespace

namespace {

// A thread's full name (threadName), `slot` its slot when it is parked (or null).
bool nameOf(pid_t tid, const SuspendSlot* slot, char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    if (NameEntry* entry = namesOf(tid, slot); entry != nullptr && entry->name.get()[0] != '\0') {
        copyText(buffer, size, entry->name.get());
        return true;
    }
    if (slot != nullptr) {
        copyText(buffer, size, slot->kernelName);
        return true;
    }
    char path[64];
    taskPath(tid, "comm", path);
    if (readSmallFile(path, buffer, size) < 0) return false;
    std::size_t length = std::strlen(buffer);
    if (length > 0 && buffer[length - 1] == '\n') buffer[length - 1] = '\0';
    return true;
}

} // namespace

bool threadName(pid_t tid, char* buffer, std::size_t size) {
    return nameOf(tid, parkedSlot(tid), buffer, size);
}

bool threadNameNow(pid_t tid, char* buffer, std::size_t size) {
    const SuspendSlot* slot = slotOf(tid);
    return nameOf(tid,
                  slot != nullptr && slot->state.load(std::memory_order_acquire) == kParked ? slot : nullptr,
                  buffer, size);
}

bool queueLabel(pid_t tid, char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    NameEntry* entry = namesOf(tid, parkedSlot(tid));
    if (entry == nullptr) return false;
    const char* label = entry->queue.get();
    if (label[0] == '\0') return false;
    copyText(buffer, size, label);
    return true;
}

bool threadAlive(pid_t tid) {
    if (parkedSlot(tid) != nullptr) return true;
    // Signal 0 checks that the thread is there without sending anything.
    long result = darwin::systemCall(SYS_tgkill, currentProcessId(), tid, 0);
    return result == 0 || errno == EPERM;
}

long threadCoreWaitNanos(pid_t tid) {
    return scheduledFigure(tid, 1);
}

bool threadHoldsSignalBlocked(pid_t tid, int number) {
    if (!threadAlive(tid)) return false;
    char path[64];
    taskPath(tid, "status", path);
    char text[4096];
    if (readSmallFile(path, text, sizeof text) <= 0) return threadAlive(tid);
    return maskHolds(text, "SigBlk", number);
}

namespace {

// The stack proven for the calling thread. Initial-exec storage: reading it never allocates, so it is
// safe in a signal handler.
struct ProvenStack {
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
};
__attribute__((tls_model("initial-exec"))) thread_local ProvenStack tProvenStack;

// No thread of ours runs this deep; a larger span is taken for a guess gone wrong.
constexpr std::uintptr_t kMaxStackSpan = std::uintptr_t{64} << 20;

} // namespace

namespace {

// The calling thread's own stack around `sp`, which may be where the thread was interrupted rather
// than where it runs (a handler on the alternate signal stack asks about the stack below it).
bool ownStackAbove(std::uintptr_t sp, std::uintptr_t* low, std::uintptr_t* high) {
    ProvenStack& proven = tProvenStack;
    if (sp >= proven.low && sp < proven.high) {
        *low = proven.low;
        *high = proven.high;
        return true;
    }
    stack_t alternate{};
    if (darwin::systemCall(SYS_sigaltstack, nullptr, &alternate) != 0) return false;
    const auto alternateLow = reinterpret_cast<std::uintptr_t>(alternate.ss_sp);
    if ((alternate.ss_flags & SS_DISABLE) == 0 && sp >= alternateLow && sp - alternateLow < alternate.ss_size)
        return false;
    // A thread the C library started keeps its thread block at the top of its stack mapping, so the
    // stack runs up to the thread pointer. The first thread's block lies elsewhere; its stack runs up
    // to where the program was entered. Either guess is only taken once the whole span is mapped.
    auto threadBlock = reinterpret_cast<std::uintptr_t>(pthread_self());
    auto entryStack = reinterpret_cast<std::uintptr_t>(__libc_stack_end);
    std::uintptr_t top = 0;
    if (threadBlock > sp && threadBlock - sp <= kMaxStackSpan) {
        top = threadBlock;
    } else if (entryStack > sp && entryStack - sp <= kMaxStackSpan) {
        top = entryStack;
    } else {
        return false;
    }
    std::uintptr_t bottom = sp & ~std::uintptr_t{4095};
    // Only the part not proven before needs asking about when the same stack has grown deeper.
    std::uintptr_t unproven = proven.high == top && proven.low > bottom ? proven.low : top;
    if (!rangeReadable(bottom, unproven)) return false;
    proven.low = bottom;
    proven.high = top;
    *low = bottom;
    *high = top;
    return true;
}

} // namespace

bool currentThreadStack(std::uintptr_t sp, std::uintptr_t* low, std::uintptr_t* high) {
    return ownStackAbove(sp, low, high);
}

void noteHandlersEnteredUnheld() {
    handlersEnteredUnheld.store(true, std::memory_order_release);
}

int suspensionSignal() {
    return SIGRTMAX - 1;
}

bool prepareThreadSuspension() {
    // Known from the start, before a sandbox the program sets up later could trap the question.
    currentProcessId();
    if (suspensionReady.load()) return true;
    struct sigaction action {};
    action.sa_sigaction = velo_darwin_suspension_entry;
    action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    if (sigaction(suspensionSignal(), &action, nullptr) != 0) return false;
    suspensionReady.store(true);
    return true;
}

void askThreadsToSuspend(const pid_t* ids, std::size_t count, long patienceNanos, long boundNanos) {
    if (!suspensionReady.load()) return;
    pid_t me = currentThreadId();
    emptyIndex();
    const long now = monotonicNanos();
    const long bound = now + (boundNanos > patienceNanos ? boundNanos : patienceNanos);
    const std::size_t used = fillSlots(0, ids, count, me, bound);
    roundProcess.store(currentProcessId(), std::memory_order_relaxed);
    roundOpen.store(true, std::memory_order_relaxed);
    givenUpAtTheBound.store(0, std::memory_order_relaxed);
    nextToAsk.store(0, std::memory_order_relaxed);
    answeredCount.store(0, std::memory_order_relaxed);
    awaitedCount.store(static_cast<int>(used), std::memory_order_relaxed);
    roundPatience.store(patienceNanos, std::memory_order_relaxed);
    roundFiltered.store(underSeccompFilter(), std::memory_order_relaxed);
    lastAnswerAt.store(now, std::memory_order_relaxed);
    readLate.store(false, std::memory_order_relaxed);
    roundBound.store(bound, std::memory_order_relaxed);
    slotCount.store(used, std::memory_order_release);
    // This thread asks the first two and goes on: each thread asks two more as it stops, so the rest
    // are asked by many at once while the first are read. A thread that does not pass the request on
    // (it holds the signal blocked) keeps no other from being asked: those that do take its share, and
    // a reader asks any it needs that nobody has asked yet.
    if (askNext()) askNext();
}

bool awaitSuspension() {
    while (askNext()) {
    }
    // One wait for all of them: the last to answer wakes it. Those that keep it waiting are looked at,
    // each given up at its own moment at the latest, so the wait ends once the last of those has passed.
    const int awaited = awaitedCount.load(std::memory_order_relaxed);
    std::size_t count = slotCount.load(std::memory_order_acquire);
    for (long wait = kLookAfterNanos;; wait = nextLookAfter(wait)) {
        if (futexWaitUntil(&answeredCount, monotonicNanos() + wait,
                           [awaited](int answered) { return answered >= awaited; }))
            break;
        bool waiting = false;
        for (std::size_t i = 0; i < count; ++i)
            waiting = lookAt(slots[i]) || waiting;
        if (!waiting) break;
    }
    bool allAnswered = true;
    for (std::size_t i = 0; i < count; ++i) {
        int expected = kRequested;
        slots[i].state.compare_exchange_strong(expected, kAbandoned);
        if (slots[i].state.load(std::memory_order_acquire) == kAbandoned) allAnswered = false;
    }
    return allAnswered;
}

namespace {

// Adds threads to the round under way, asked as its first were: the caller asks two and each thread
// that stops asks two more.
void addToRound(const pid_t* ids, std::size_t count) {
    const std::size_t before = slotCount.load(std::memory_order_relaxed);
    // They have the round's patience from now, but not a bound of their own: the round's, counted from its
    // start, ends their wait as it ends the first threads', unless that leaves them less than the patience
    // to get a core and answer (a late reading may come after the bound: the first one is made however
    // late).
    const long now = monotonicNanos();
    const long bound = roundBound.load(std::memory_order_relaxed);
    const long patience = roundPatience.load(std::memory_order_relaxed);
    const std::size_t used =
        fillSlots(before, ids, count, currentThreadId(), now + patience > bound ? now + patience : bound);
    lastAnswerAt.store(now, std::memory_order_relaxed);
    // Awaited before they are published, so that no answer counts the round whole without them.
    awaitedCount.fetch_add(static_cast<int>(used - before), std::memory_order_acq_rel);
    slotCount.store(used, std::memory_order_release);
    if (askNext()) askNext();
}

// A reading of the list for askThreadsListedLate: one round at a time, so one reading at a time.
pid_t lateReading[kMaxThreads];

} // namespace

std::size_t askThreadsListedLate(pid_t* ids, std::size_t count, std::size_t capacity) {
    if (!roundOpen.load(std::memory_order_acquire)) return count;
    // The round's first reading is made whatever time is left: a slow round is no reason to leave out a
    // thread that one ending hid. Later ones only within the round's bound: past it, threads that others
    // keep starting (a thread given up, still running, may start one every few milliseconds) would add
    // a reading and a record for each, and hold the round for as long as they go on.
    const long bound = roundBound.load(std::memory_order_relaxed);
    const pid_t me = currentThreadId();
    pid_t* const reading = lateReading;
    while (count < capacity) {
        if (readLate.exchange(true, std::memory_order_relaxed) && monotonicNanos() >= bound) break;
        // Parked or given up, the round's threads start and end no thread: a reading is then disturbed
        // only by one that could not answer ending, and the next is whole.
        awaitSuspension();
        bool whole = false;
        const long read = listThreads(reading, kMaxThreads, &whole);
        if (read < 0) break;
        const std::size_t before = count;
        for (long i = 0; i < read && count < capacity; ++i) {
            // Every thread of `ids` but the caller has its slot in the round.
            if (reading[i] != me && slotOf(reading[i]) == nullptr) ids[count++] = reading[i];
        }
        if (count > before) {
            addToRound(ids + before, count - before);
            break;
        }
        if (whole) break;
    }
    return count;
}

bool suspendThreads(const pid_t* ids, std::size_t count, long patienceNanos, long boundNanos) {
    if (!suspensionReady.load()) return count == 0;
    askThreadsToSuspend(ids, count, patienceNanos, boundNanos);
    return awaitSuspension();
}

namespace {

// Keeps the threads this round gave up without an answer, in place of the last round's.
void keepThoseGivenUp(std::size_t count) {
    for (auto& place : givenUpIndex)
        place = 0;
    givenUpCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const SuspendSlot& slot = slots[i];
        const long ran = slot.ranWhenAsked.load(std::memory_order_relaxed);
        if (ran < 0 || slot.state.load(std::memory_order_acquire) != kAbandoned) continue;
        const pid_t tid = slot.tid.load(std::memory_order_relaxed);
        givenUp[givenUpCount] = {tid, ran};
        std::size_t at = indexHome(tid);
        while (givenUpIndex[at] != 0)
            at = (at + 1) & (kIndexSize - 1);
        givenUpIndex[at] = static_cast<std::uint32_t>(++givenUpCount);
    }
}

} // namespace

bool resumeThreads(long leaveNanos) {
    std::size_t count = slotCount.load(std::memory_order_acquire);
    // A thread still on its way is given up first, so that it cannot park after the release.
    for (std::size_t i = 0; i < count; ++i) {
        int expected = kRequested;
        slots[i].state.compare_exchange_strong(expected, kAbandoned);
    }
    if (roundOpen.load(std::memory_order_acquire)) keepThoseGivenUp(count);
    const int released = releaseGeneration.fetch_add(1, std::memory_order_acq_rel) + 1;
    futexWakeAll(&releaseGeneration);
    bool allLeft = true;
    const long deadline = monotonicNanos() + leaveNanos;
    for (std::size_t i = 0; i < count; ++i) {
        SuspendSlot& slot = slots[i];
        if (slot.state.load(std::memory_order_acquire) == kParked &&
            !futexWaitUntil(&slot.leftAfter, deadline, [released](int left) { return left - released >= 0; }))
            allLeft = false;
        slot.tid.store(0, std::memory_order_relaxed);
        slot.state.store(kIdle, std::memory_order_relaxed);
    }
    slotCount.store(0, std::memory_order_release);
    emptyIndex();
    roundOpen.store(false, std::memory_order_release);
    return allLeft;
}

StandingStill::StandingStill(const void* interrupted) {
    const auto* context = static_cast<const ucontext_t*>(interrupted);
    if (context == nullptr) return;
    for (std::size_t i = 0; i < kMaxThreads; ++i) {
        bool expected = false;
        if (stillThreads[i].taken.load(std::memory_order_relaxed) ||
            !stillThreads[i].taken.compare_exchange_strong(expected, true, std::memory_order_acquire))
            continue;
        StillThread& still = stillThreads[i];
        still.context = context->uc_mcontext;
        const auto sp = static_cast<std::uintptr_t>(still.context.gregs[REG_RSP]);
        if (!ownStackAbove(sp, &still.stackLow, &still.stackHigh)) still.stackLow = still.stackHigh = 0;
        if (darwin::systemCall(SYS_prctl, PR_GET_NAME, still.kernelName, 0, 0, 0) != 0)
            still.kernelName[0] = '\0';
        still.kernelName[sizeof still.kernelName - 1] = '\0';
        const pid_t me = currentThreadId();
        NameEntry* names = tOwnEntry;
        still.names = names != nullptr && names->tid.load(std::memory_order_relaxed) == me ? names : nullptr;
        for (std::size_t seen = stillPlacesUsed.load(std::memory_order_relaxed);
             seen < i + 1 &&
             !stillPlacesUsed.compare_exchange_weak(seen, i + 1, std::memory_order_acq_rel);) {
        }
        standingStill.fetch_add(1, std::memory_order_acq_rel);
        still.tid.store(me, std::memory_order_release);
        place_ = static_cast<int>(i);
        return;
    }
}

StandingStill::~StandingStill() {
    if (place_ >= 0) {
        StillThread& still = stillThreads[place_];
        still.tid.store(0, std::memory_order_release);
        standingStill.fetch_sub(1, std::memory_order_acq_rel);
        still.taken.store(false, std::memory_order_release);
    }
    // A round that asked this thread and has not taken it as parked gives it up: it cannot stop here.
    if (SuspendSlot* slot = slotOf(currentThreadId())) {
        int expected = kRequested;
        if (slot->state.compare_exchange_strong(expected, kAbandoned)) {
            futexWakeAll(&slot->state);
            answer();
        }
    }
    // A stop sent meanwhile waits, held off: taken back here, unhandled, it never lands on this stack.
    const std::uint64_t stop = std::uint64_t{1} << (suspensionSignal() - 1);
    const timespec now{0, 0};
    while (darwin::systemCall(SYS_rt_sigtimedwait, &stop, nullptr, &now, sizeof stop) > 0) {
    }
}

int threadsGivenUpAtTheBound() {
    return givenUpAtTheBound.load(std::memory_order_relaxed);
}

bool suspendedThreadContext(pid_t tid, mcontext_t& out) {
    const SuspendSlot* slot = parkedSlot(tid);
    if (slot == nullptr) return false;
    out = slot->context;
    return true;
}

bool suspendedThreadStack(pid_t tid, std::uintptr_t* low, std::uintptr_t* high) {
    const SuspendSlot* slot = parkedSlot(tid);
    if (slot == nullptr || slot->stackHigh <= slot->stackLow) return false;
    *low = slot->stackLow;
    *high = slot->stackHigh;
    return true;
}

} // namespace darwin
