#include "sdk/zevuzavidav/context/RecordingTurn.hpp"

#include "platform/darwin/ExceptionPorts.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/context/RecordingDeadline.hpp"

#include <atomic>

namespace {

// The thread that holds the turn (0: none). Waiters sleep on it.
std::atomic<int> holder{0};
// Threads waiting for the turn, and recordings announced: a holder that keeps it to the end lets them go
// first.
std::atomic<int> waiting{0};
// The crashed thread whose end a kept turn waits for (0: the turn is not kept), and the keeper.
std::atomic<int> keptFor{0};
std::atomic<int> keptBy{0};
// A waiter counted but not yet holding (woken, about to take the turn) is looked at this often.
constexpr long kHandOverLookNanos = 1000L * 1000;

bool take(int seen, int me) {
    if (!holder.compare_exchange_strong(seen, me, std::memory_order_acq_rel)) return false;
    keptFor.store(0, std::memory_order_release);
    return true;
}

void release() {
    holder.store(0, std::memory_order_release);
    darwin::futexWakeAll(&holder);
}

void beginRecording(pid_t me, int crashSignal) {
    darwin::setRecordingThread(me);
    zevuzavidav::armRecordingDeadline(crashSignal);
}

void endRecording() {
    zevuzavidav::disarmRecordingDeadline();
    darwin::setRecordingThread(0);
}

} // namespace

zevuzavidav::RecordingTurn zevuzavidav::takeRecordingTurn(pid_t crashedThread, int crashSignal,
                                                          long patienceNanos) {
    const int me = darwin::currentThreadId();
    const long deadline = darwin::monotonicNanos() + patienceNanos;
    waiting.fetch_add(1, std::memory_order_acq_rel);
    RecordingTurn result = RecordingTurn::notInTime;
    for (;;) {
        const int seen = holder.load(std::memory_order_acquire);
        if (seen != 0 && (seen == crashedThread || seen == me)) {
            result = RecordingTurn::heldByTheCrashedThread;
            break;
        }
        if (seen == 0) {
            if (take(seen, me)) {
                result = RecordingTurn::taken;
                break;
            }
            continue;
        }
        const long left = deadline - darwin::monotonicNanos();
        if (left <= 0 && !recordingWithinItsBound()) {
            // A turn kept for an end that never came has nothing under way.
            if (keptFor.load(std::memory_order_acquire) != 0 && take(seen, me)) result = RecordingTurn::taken;
            break;
        }
        darwin::futexWait(&holder, seen, left > 0 ? left : kRecordingBoundRecheckNanos);
    }
    if (result == RecordingTurn::taken) beginRecording(me, crashSignal);
    waiting.fetch_sub(1, std::memory_order_acq_rel);
    return result;
}

void zevuzavidav::awaitTheRecordingUnderWay() {
    const int me = darwin::currentThreadId();
    const long deadline = darwin::monotonicNanos() + kRecordingTurnPatienceNanos;
    for (;;) {
        const int seen = holder.load(std::memory_order_acquire);
        if (seen == 0 || seen == me || keptFor.load(std::memory_order_acquire) != 0) return;
        const long left = deadline - darwin::monotonicNanos();
        if (left <= 0 && !recordingWithinItsBound()) return;
        darwin::futexWait(&holder, seen, left > 0 ? left : kRecordingBoundRecheckNanos);
    }
}

void zevuzavidav::announceRecording() {
    waiting.fetch_add(1, std::memory_order_acq_rel);
}

void zevuzavidav::endRecordingAnnouncement() {
    waiting.fetch_sub(1, std::memory_order_acq_rel);
    darwin::futexWakeAll(&holder);
}

void zevuzavidav::passRecordingTurn() {
    endRecording();
    release();
}

void zevuzavidav::keepRecordingTurnToTheEnd(pid_t crashedThread) {
    const int me = darwin::currentThreadId();
    if (holder.load(std::memory_order_acquire) != me) return;
    endRecording();
    if (waiting.load(std::memory_order_acquire) > 0) {
        release();
        const long deadline = darwin::monotonicNanos() + kRecordingTurnPatienceNanos;
        for (;;) {
            const int seen = holder.load(std::memory_order_acquire);
            const long left = deadline - darwin::monotonicNanos();
            if (seen == 0 && (waiting.load(std::memory_order_acquire) == 0 || left <= 0)) {
                if (take(seen, me)) break;
                continue;
            }
            // One still recording past the patience, and past its bound, is left to the end: said, so that
            // a record cut by the process's end tells from one that was never begun.
            if (left <= 0 && !recordingWithinItsBound()) {
                ZEVSDKLog("%s: Gave up waiting for the recordings under way to end; the process ends with "
                          "them\n",
                          "ZEVKeepRecordingTurnToTheEnd");
                return;
            }
            const long wait = left > 0 ? left : kRecordingBoundRecheckNanos;
            darwin::futexWait(&holder, seen,
                              seen == 0 && wait > kHandOverLookNanos ? kHandOverLookNanos : wait);
        }
    }
    keptBy.store(me, std::memory_order_release);
    keptFor.store(crashedThread, std::memory_order_release);
}

void zevuzavidav::passRecordingTurnKeptFor(pid_t crashedThread) {
    int expected = crashedThread;
    if (crashedThread == 0 || !keptFor.compare_exchange_strong(expected, 0, std::memory_order_acq_rel))
        return;
    // A later recording that took the kept turn over (its patience out) keeps it: only the keeper's hold
    // is let go.
    int keeper = keptBy.load(std::memory_order_acquire);
    if (holder.compare_exchange_strong(keeper, 0, std::memory_order_acq_rel)) darwin::futexWakeAll(&holder);
}

pid_t zevuzavidav::recordingTurnHolder() {
    return holder.load(std::memory_order_acquire);
}

pid_t zevuzavidav::recordingTurnKeptFor() {
    return keptFor.load(std::memory_order_acquire);
}

bool zevuzavidav::recordingUnderWay() {
    if (waiting.load(std::memory_order_acquire) > 0) return true;
    const pid_t held = holder.load(std::memory_order_acquire);
    return held != 0 && darwin::threadAlive(held);
}

void zevuzavidav::forgetTheParentsRecordings() {
    waiting.store(0, std::memory_order_relaxed);
    keptFor.store(0, std::memory_order_relaxed);
    keptBy.store(0, std::memory_order_relaxed);
    holder.store(0, std::memory_order_relaxed);
    // The bound a recorder of the parent's armed has no timer here (a child gets none of its parent's),
    // and the recording thread it named is none of the child's.
    endRecording();
}
