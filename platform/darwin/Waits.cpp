#include "platform/darwin/Waits.hpp"

#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace darwin {

long monotonicNanos() {
    timespec now{};
    syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000L + now.tv_nsec;
}

long futexWait(std::atomic<int>* word, int expected, long timeoutNanos) {
    timespec timeout{timeoutNanos / 1000000000L, timeoutNanos % 1000000000L};
    return syscall(SYS_futex, reinterpret_cast<int*>(word), FUTEX_WAIT_PRIVATE, expected,
                   timeoutNanos > 0 ? &timeout : nullptr, nullptr, 0);
}

void futexWakeAll(std::atomic<int>* word) {
    syscall(SYS_futex, reinterpret_cast<int*>(word), FUTEX_WAKE_PRIVATE, 0x7fffffff, nullptr, nullptr, 0);
}

} // namespace darwin
