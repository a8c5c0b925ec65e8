#include "sdk/zevuzavidav/context/ZEVContext.hpp"

#include "platform/darwin/HandlerEntry.hpp"
#include "platform/darwin/NullPage.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <sys/mman.h>
#include <sys/syscall.h>

namespace {

// The context outlives everything: it is never destroyed, so a terminate, an image unload or a logged
// error during or after static destruction still finds its queues and parts. Constant-initialised, so
// it is usable before any constructor of the process has run.
union NeverDestroyed {
    ZEVContext context;
    constexpr NeverDestroyed() : context() {}
    ~NeverDestroyed() {}
};
constinit NeverDestroyed storage;
ZEVContext& sharedContext = storage.context;

// Whether each reserve stack is held (1) or free (0); waiters sleep on it.
std::atomic<int> reserveTaken[2];

// Whether the last record made went to a handler of the program (noteRecordWentToAHandler).
std::atomic<bool> recordWentToAHandler{false};
// The thread whose crash holds the claim (0: none, or unknown).
std::atomic<pid_t> claimedBy{0};

std::atomic<int>& takenFlag(zevuzavidav::ReserveStack which) {
    return reserveTaken[which == zevuzavidav::ReserveStack::exception ? 0 : 1];
}

// Whether `stack` is the calling thread's alternate stack now, as a reserve stack is while lent to it.
bool lentToThisThread(const void* stack) {
    stack_t current{};
    return stack != nullptr && darwin::systemCall(SYS_sigaltstack, nullptr, &current) == 0 &&
           current.ss_sp == stack && (current.ss_flags & SS_DISABLE) == 0;
}

// The claim's word: held while a crash is claimed, recorded once its record is made (or could not be), and
// a count of the claims freed again above, so that a crash that lost the claim tells the end of the one it
// lost to from a later claim.
constexpr int kClaimHeld = 1;
constexpr int kClaimRecorded = 2;
constexpr unsigned kClaimFreed = 4;

// A forked child, where only the forking thread lives, starts with no crash of its parent's under way:
// nothing of it would ever end there, and its exit, its crashes and its recordings would wait for it. A
// reserve stack lent to a thread of the parent's is free, but for the forking thread's own, which it may
// stand on; the crash the parent claimed is recorded in the parent or nowhere, so a crash of the child's
// that meets the claim waits for no record and goes on at once. Signal-safe: a crash handler of the
// program's may fork a reporter.
void startTheChildWithNothingUnderWay() {
    zevuzavidav::forgetTheParentsRecordings();
    darwin::forgetTheParentsOwnWork();
    darwin::forgetTheParentsLentStacks();
    if (ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext()) {
        if (!lentToThisThread(readOnly->reserveStack))
            takenFlag(zevuzavidav::ReserveStack::exception).store(0, std::memory_order_relaxed);
        if (!lentToThisThread(readOnly->signalReserveStack))
            takenFlag(zevuzavidav::ReserveStack::signal).store(0, std::memory_order_relaxed);
    }
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (writable != nullptr && (writable->crashClaimed.load(std::memory_order_relaxed) & kClaimHeld) != 0)
        writable->crashClaimed.fetch_or(kClaimRecorded, std::memory_order_relaxed);
}

template <typename T> T* valid(T* pointer) {
    return !darwin::isNullAddress(pointer) ? pointer : nullptr;
}

std::string joinPath(const char* directory, const char* fileName) {
    std::string path = directory != nullptr ? directory : "";
    if (!path.empty() && path.back() != '/') path += '/';
    return path + fileName;
}

// A stack above an inaccessible page of its own: the alternate signal stack lies in the writable region
// right above the exception server's stack, and the reserve stack right above it, either of which a
// handler that ran past the bottom of the stack above would otherwise write over; with the guard it
// faults there. Without the region (its memory came from the heap) the stack goes without a guard
// rather than protect memory that is not ours.
void* guardedStack(ZEVAllocator* allocator, std::uint64_t size, const char* what) {
    const std::uint64_t page = ZEVHostGetPageSize();
    static_assert(zevuzavidav::kStackGuardRoom >= 3 * 2 * 16384,
                  "room for a guard page and the alignment, for each of three stacks");
    void* block = ZEVAllocatorSafeAllocate(allocator, size + 2 * page, zevuzavidav::kAllocationWritable);
    if (!zevuzavidav::allocatorOwns(allocator, block)) return block;
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    auto* guard = reinterpret_cast<char*>((at + page - 1) & ~(page - 1));
    if (darwin::systemCall(SYS_mprotect, guard, page, PROT_NONE) != 0) {
        char errorText[zevuzavidav::kErrorTextSize];
        ZEVSDKLog("%s: Unable to guard the %s stack %s\n", "ZEVContextCreate", what,
                  zevuzavidav::errorText(errno, errorText));
    }
    return guard + page;
}

} // namespace

void ZEVContextCreate() {
    sharedContext.loggingQueue =
        std::make_shared<dispatch::SerialQueue>("com.rizudiz.zevuzavidav.ios.logging");
    sharedContext.binaryImagesQueue =
        std::make_shared<dispatch::SerialQueue>("com.rizudiz.zevuzavidav.ios.binary-images");
    sharedContext.exceptionQueue =
        std::make_shared<dispatch::SerialQueue>("com.rizudiz.zevuzavidav.ios.exception");
    // The earlier mapping, if any, is left in place: handlers of the earlier context may still point
    // into it, so it is never unmapped.
    sharedContext.readOnly = nullptr;
    sharedContext.writable = nullptr;
    ZEVAllocator* allocator = ZEVAllocatorCreate(
        zevuzavidav::kWritableRequest + 2 * zevuzavidav::kReserveStackSize + zevuzavidav::kStackGuardRoom,
        zevuzavidav::kReadOnlyRequest);
    sharedContext.allocator = allocator;
    auto* readOnly = static_cast<ZEVReadOnlyContext*>(
        ZEVAllocatorSafeAllocate(allocator, sizeof(ZEVReadOnlyContext), zevuzavidav::kAllocationReadOnly));
    std::memset(static_cast<void*>(readOnly), 0, sizeof(ZEVReadOnlyContext));
    readOnly->machExceptionStack =
        ZEVAllocatorSafeAllocate(allocator, zevuzavidav::kStackSize, zevuzavidav::kAllocationWritable);
    readOnly->signalStack = guardedStack(allocator, zevuzavidav::kStackSize, "signal");
    std::memset(readOnly->machExceptionStack, 0, zevuzavidav::kStackSize);
    std::memset(readOnly->signalStack, 0, zevuzavidav::kStackSize);
    // Left untouched: their pages cost memory only once a crash runs on them.
    readOnly->reserveStack = guardedStack(allocator, zevuzavidav::kReserveStackSize, "reserve");
    readOnly->signalReserveStack = guardedStack(allocator, zevuzavidav::kReserveStackSize, "signal reserve");
    auto* writable = static_cast<ZEVWritableContext*>(
        ZEVAllocatorSafeAllocate(allocator, sizeof(ZEVWritableContext), zevuzavidav::kAllocationWritable));
    std::memset(static_cast<void*>(writable), 0, sizeof(ZEVWritableContext));
    writable->crashClaimed.store(0);
    for (auto& taken : reserveTaken)
        taken.store(0);
    recordWentToAHandler.store(false);
    claimedBy.store(0);
    writable->binaryImageLog.descriptor = -1;
    readOnly->initialized.store(0);
    // Once, at the first start: the handler reads whichever context is current.
    static const bool childrenStartAfresh =
        pthread_atfork(nullptr, nullptr, startTheChildWithNothingUnderWay) == 0;
    (void)childrenStartAfresh;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    sharedContext.readOnly = readOnly;
    sharedContext.writable = writable;
}

ZEVContext& zevuzavidav::sharedCrashContext() {
    return sharedContext;
}
ZEVReadOnlyContext* zevuzavidav::sharedReadOnlyContext() {
    return valid(sharedContext.readOnly);
}
ZEVWritableContext* zevuzavidav::sharedWritableContext() {
    return valid(sharedContext.writable);
}
ZEVAllocator* zevuzavidav::contextAllocator() {
    return valid(sharedContext.allocator);
}

const char* zevuzavidav::makeContextPath(const char* directory, const char* fileName) {
    return ZEVDuplicateString(contextAllocator(), joinPath(directory, fileName).c_str());
}

bool ZEVContextIsInitialized() {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    if (readOnly == nullptr) return false;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    return readOnly->initialized.load(std::memory_order_seq_cst) != 0;
}

bool ZEVContextMarkAndCheckIfCrashed(int* seen, pid_t crashedThread) {
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (writable == nullptr || !ZEVContextIsInitialized()) return false;
    // One atomic step: of two threads crashing at once, exactly one sees the claim free and records.
    const int found = writable->crashClaimed.fetch_or(kClaimHeld, std::memory_order_seq_cst);
    if (seen != nullptr) *seen = found;
    if ((found & kClaimHeld) != 0) return true;
    claimedBy.store(crashedThread, std::memory_order_release);
    return false;
}

void* zevuzavidav::takeReserveStack(ReserveStack which, long patienceNanos) {
    ZEVReadOnlyContext* readOnly = sharedReadOnlyContext();
    if (readOnly == nullptr) return nullptr;
    void* stack = which == ReserveStack::exception ? readOnly->reserveStack : readOnly->signalReserveStack;
    if (stack == nullptr) return nullptr;
    std::atomic<int>& taken = takenFlag(which);
    const long deadline = darwin::monotonicNanos() + patienceNanos;
    for (;;) {
        int expected = 0;
        if (taken.compare_exchange_strong(expected, 1, std::memory_order_acquire)) return stack;
        const long left = deadline - darwin::monotonicNanos();
        if (left <= 0) return nullptr;
        darwin::futexWait(&taken, 1, left);
    }
}

void zevuzavidav::giveBackReserveStack(ReserveStack which) {
    std::atomic<int>& taken = takenFlag(which);
    taken.store(0, std::memory_order_release);
    darwin::futexWakeAll(&taken);
}

bool zevuzavidav::runWithRoomForARecord(void (*body)(void*), void* argument) {
    const auto sp = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (darwin::stackRoomBelow(sp) >= kRecordingStackRoom) {
        body(argument);
        return true;
    }
    void* reserve = takeReserveStack(ReserveStack::signal, kRecordingTurnPatienceNanos);
    if (reserve == nullptr) return false;
    const bool ran = darwin::runOnLentAlternateStack(reserve, kReserveStackSize, body, argument);
    // Asked before the reserve goes back, whose wake a filter may trap too.
    const bool changeTrapped = !ran && darwin::lastCallTrapped(SYS_sigaltstack);
    giveBackReserveStack(ReserveStack::signal);
    // Where a sandbox traps the change of stacks, the record runs here when the room, though under the
    // margin, is still more than a record takes: lost for want of a stack, it would leave no trace at all.
    if (changeTrapped && darwin::stackRoomBelow(sp) >= kRecordingStackRoomAtLeast) {
        body(argument);
        return true;
    }
    return ran;
}

namespace {

bool crashUnderWay() {
    return darwin::ownWorkUnderWay() || zevuzavidav::recordingUnderWay();
}

void tellTheTest(zevuzavidav::ExitHoldMoment moment) {
    if (zevuzavidav::exitHoldTestHook != nullptr) zevuzavidav::exitHoldTestHook(moment);
}

} // namespace

void (*zevuzavidav::exitHoldTestHook)(ExitHoldMoment moment) = nullptr;

void zevuzavidav::waitForACrashUnderWay(long patienceNanos) {
    // A crash of this thread's own: it is inside the SDK's work (the program's handler answering a call the
    // SDK's record made, say), or its crash was recorded and this is the program's handler ending the
    // process after it. Nothing is waited for.
    const pid_t me = darwin::currentThreadId();
    const bool ownCrash = darwin::inOwnWork() || recordingTurnHolder() == me || recordingTurnKeptFor() == me;
    constexpr long kLookNanos = 2L * 1000 * 1000;
    const long deadline = darwin::monotonicNanos() + patienceNanos;
    bool said = false;
    for (;;) {
        if (ownCrash || !crashUnderWay()) {
            // The last look comes after the mark: a crash handler that begins its work later finds it, and
            // one that began earlier is seen here. The one seen may have found the mark, and ends the process
            // at once, or not, and is waited for as it records.
            darwin::markExitCommitted();
            tellTheTest(ExitHoldMoment::committed);
            if (ownCrash || !crashUnderWay()) break;
            darwin::unmarkExitCommitted();
        }
        if (!said) {
            ZEVSDKLog("%s: The process exits while a crash is under way; it waits for the crash first\n",
                      "ZEVWaitForACrashUnderWay");
            said = true;
        }
        const long left = deadline - darwin::monotonicNanos();
        // Past the patience, a recording within its bound is still waited for: on a machine whose cores
        // are all taken it may take that long, and its bound ends it should it be stuck.
        if (left <= 0 && !recordingWithinItsBound()) {
            ZEVSDKLog("%s: The crash under way did not end in time; the process exits\n",
                      "ZEVWaitForACrashUnderWay");
            darwin::markExitCommitted();
            break;
        }
        // Several things may end the wait, none of which wakes a sleeper: each is looked at this often.
        std::atomic<int> never{0};
        darwin::futexWait(&never, 0, left > 0 && left < kLookNanos ? left : kLookNanos);
    }
    tellTheTest(ExitHoldMoment::pastTheLastLook);
}

namespace {

// The process's exit, past every handler registered with atexit (the C library runs the program's
// destructors last): a crash that began while those ran is waited for too.
__attribute__((destructor)) void waitForACrashAtExit() {
    zevuzavidav::waitForACrashUnderWay();
    zevuzavidav::dropRecordsOfCrashesThatWentOn();
}

void waitForACrashAtQuickExit() {
    zevuzavidav::waitForACrashUnderWay();
    zevuzavidav::dropRecordsOfCrashesThatWentOn();
}

} // namespace

void zevuzavidav::holdQuickExitForCrashes() {
    static const bool registered = at_quick_exit(waitForACrashAtQuickExit) == 0;
    (void)registered;
}

void zevuzavidav::noteClaimedCrashRecorded() {
    ZEVWritableContext* writable = sharedWritableContext();
    if (writable == nullptr) return;
    writable->crashClaimed.fetch_or(kClaimRecorded, std::memory_order_acq_rel);
    darwin::futexWakeAll(&writable->crashClaimed);
}

bool zevuzavidav::reopenCrashClaim(pid_t crashedThread) {
    ZEVWritableContext* writable = sharedWritableContext();
    if (writable == nullptr || crashedThread == 0 ||
        (writable->crashClaimed.load(std::memory_order_acquire) & kClaimHeld) == 0 ||
        claimedBy.load(std::memory_order_acquire) != crashedThread)
        return false;
    // Its record may be dropped before the claim is free: the next crash's record then takes its place.
    recordWentToAHandler.store(true, std::memory_order_release);
    claimedBy.store(0, std::memory_order_release);
    // The count wraps around, as a futex word may.
    int claim = writable->crashClaimed.load(std::memory_order_acquire);
    while (!writable->crashClaimed.compare_exchange_weak(
        claim, static_cast<int>((static_cast<unsigned>(claim) & ~3U) + kClaimFreed),
        std::memory_order_acq_rel)) {
    }
    darwin::futexWakeAll(&writable->crashClaimed);
    return true;
}

bool zevuzavidav::claimedCrashOf(pid_t thread) {
    const ZEVWritableContext* writable = sharedWritableContext();
    return writable != nullptr && thread != 0 &&
           (writable->crashClaimed.load(std::memory_order_acquire) & kClaimHeld) != 0 &&
           claimedBy.load(std::memory_order_acquire) == thread;
}

bool zevuzavidav::waitForTheClaimedCrash(pid_t crashedThread, int crashSignal, int seen, long patienceNanos) {
    ZEVWritableContext* writable = sharedWritableContext();
    if (writable == nullptr) return false;
    // The claimed crash's own thread: its record is kept (the exception port made it, and its fault now
    // comes to the signal's disposition): the record it would wait for is its own and made, and the
    // signal goes where the program sends it at once.
    if (crashedThread != 0 && (crashedThread == recordingTurnKeptFor() ||
                               crashedThread == claimedBy.load(std::memory_order_acquire))) {
        ZEVSDKLog("%s: The recorded crash's thread took signal %d; handing it on\n",
                  "ZEVContextWaitForTheClaimedCrash", crashSignal);
        return false;
    }
    // Handed on before the claimed crash's record is made, this crash's disposition could end the process
    // under it.
    const long deadline = darwin::monotonicNanos() + patienceNanos;
    for (int claim = seen;; claim = writable->crashClaimed.load(std::memory_order_acquire)) {
        if ((claim & kClaimHeld) == 0 || (claim & ~3) != (seen & ~3)) {
            ZEVSDKLog("%s: The crash already claimed went on; signal %d is recorded as a crash of its own\n",
                      "ZEVContextWaitForTheClaimedCrash", crashSignal);
            return true;
        }
        if ((claim & kClaimRecorded) != 0) {
            ZEVSDKLog("%s: The crash already claimed is recorded; handing signal %d on\n",
                      "ZEVContextWaitForTheClaimedCrash", crashSignal);
            return false;
        }
        const long left = deadline - darwin::monotonicNanos();
        if (left <= 0) {
            ZEVSDKLog("%s: The crash already claimed was not recorded in time; handing signal %d on\n",
                      "ZEVContextWaitForTheClaimedCrash", crashSignal);
            return false;
        }
        darwin::futexWait(&writable->crashClaimed, claim, left);
    }
}

namespace {

void unlinkCrashRecords() {
    const ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    if (readOnly == nullptr) return;
    for (const char* path : {readOnly->signal.path, readOnly->machException.path}) {
        if (path != nullptr) ZEVUnlinkIfExists(path);
    }
}

} // namespace

const char* zevuzavidav::recordFileFor(const char* path, char* next) {
    if (path == nullptr || !recordWentToAHandler.load(std::memory_order_acquire)) return path;
    constexpr char kBeside[] = ".next";
    const std::size_t length = std::strlen(path);
    if (length + sizeof kBeside > kMaxRecordPath) return path;
    std::memcpy(next, path, length);
    std::memcpy(next + length, kBeside, sizeof kBeside);
    ZEVUnlinkIfExists(next);
    return next;
}

void zevuzavidav::recordWritten(const char* writtenAt, const char* path) {
    if (writtenAt == nullptr || path == nullptr || writtenAt == path) return;
    if (!recordWentToAHandler.exchange(false, std::memory_order_acq_rel)) return;
    if (darwin::systemCall(SYS_rename, writtenAt, path) != 0) {
        ZEVSDKLog("%s: Unable to put the record in place\n", "ZEVContextRecord");
        return;
    }
    // The other road's record of the crash that went on, should it be that road's.
    const ZEVReadOnlyContext* readOnly = sharedReadOnlyContext();
    if (readOnly == nullptr) return;
    for (const char* other : {readOnly->signal.path, readOnly->machException.path}) {
        if (other != nullptr && std::strcmp(other, path) != 0) ZEVUnlinkIfExists(other);
    }
}

void zevuzavidav::dropRecordsOfCrashesThatWentOn() {
    if (!recordWentToAHandler.exchange(false, std::memory_order_acq_rel)) return;
    ZEVSDKLog("%s: The process exits: the crashes it went on from are not sent\n", "ZEVContextExit");
    unlinkCrashRecords();
}
