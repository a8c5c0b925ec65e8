#pragma once
// Waits that may run in a signal handler: the monotonic clock and a futex, each one raw system call
// (no lock, no allocation). A wait is bounded by a deadline on this clock, never by a count of tries:
// on a busy core every try hands the core to each runnable task in turn, and a count stretches with
// the machine's load.
#include <atomic>

namespace darwin {

// The monotonic clock, in nanoseconds.
long monotonicNanos();

// Sleeps while `word` holds `expected`, for at most `timeoutNanos` (0: no limit). Returns at once when
// the word holds another value, and may return early (a signal, a wake for another waiter): callers
// look again.
long futexWait(std::atomic<int>* word, int expected, long timeoutNanos);

// Wakes every thread sleeping on `word`.
void futexWakeAll(std::atomic<int>* word);

} // namespace darwin
