#include "sdk/zevuzavidav/context/RecordingTurn.hpp"

#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"

#include <atomic>

namespace {

// The thread that holds the turn (0: none). Waiters sleep on it.
std::atomic<int> holder{0};
// Threads waiting for the turn: a holder that keeps it to the end lets them go first.
std::atomic<int> waiting{0};
// Set by a holder that keeps the turn while the process ends.
std::atomic<bool> keptToTheEnd{false};

// How long a recording waits for the one under way, and the one that ends the process for those
// waiting: far past what a whole record takes on a busy machine (milliseconds), and within the time a
// crash that lost the claim gives the winner before it ends the process itself.
constexpr long kPatienceNanos = 4L * 1000 * 1000 * 1000;
// A waiter counted but not yet holding (woken, about to take the turn) is looked at this often.
constexpr long kHandOverLookNanos = 1000L * 1000;

bool take(int seen, int me) {
    if (!holder.compare_exchange_strong(seen, me, std::memory_order_acq_rel)) return false;
    keptToTheEnd.store(false, std::memory_order_release);
    return true;
}

} // namespace

zevuzavidav::RecordingTurn zevuzavidav::takeRecordingTurn(pid_t crashedThread) {
    const int me = darwin::currentThreadId();
    const long deadline = darwin::monotonicNanos() + kPatienceNanos;
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
        if (left <= 0) {
            // A turn kept for an end that never came has nothing under way.
            if (keptToTheEnd.load(std::memory_order_acquire) && take(seen, me)) result = RecordingTurn::taken;
            break;
        }
        darwin::futexWait(&holder, seen, left);
    }
    waiting.fetch_sub(1, std::memory_order_acq_rel);
    return result;
}

void zevuzavidav::passRecordingTurn() {
    holder.store(0, std::memory_order_release);
    darwin::futexWakeAll(&holder);
}

void zevuzavidav::keepRecordingTurnToTheEnd() {
    const int me = darwin::currentThreadId();
    if (holder.load(std::memory_order_acquire) != me) return;
    if (waiting.load(std::memory_order_acquire) > 0) {
        passRecordingTurn();
        const long deadline = darwin::monotonicNanos() + kPatienceNanos;
        for (;;) {
            const int seen = holder.load(std::memory_order_acquire);
            const long left = deadline - darwin::monotonicNanos();
            if (seen == 0 && (waiting.load(std::memory_order_acquire) == 0 || left <= 0)) {
                if (take(seen, me)) break;
                continue;
            }
            // One still recording past the patience is left to the end.
            if (left <= 0) return;
            darwin::futexWait(&holder, seen,
                              seen == 0 && left > kHandOverLookNanos ? kHandOverLookNanos : left);
        }
    }
    keptToTheEnd.store(true, std::memory_order_release);
}

pid_t zevuzavidav::recordingTurnHolder() {
    return holder.load(std::memory_order_acquire);
}
