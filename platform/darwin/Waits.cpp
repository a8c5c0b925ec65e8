#include "platform/darwin/Waits.hpp"
#include "platform/darwin/SystemCall.hpp"

#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace darwin {

long monotonicNanos() {
    // The C library reads the clock where the kernel maps it (the vDSO), with no system call wherever the
    // machine's clock source allows it: a sandbox that refuses or kills on clock_gettime then never meets
    // a crash handler's waits.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000L + now.tv_nsec;
}

long futexWait(std::atomic<int>* word, int expected, long timeoutNanos) {
    timespec timeout{timeoutNanos / 1000000000L, timeoutNanos % 1000000000L};
    return darwin::systemCall(SYS_futex, reinterpret_cast<int*>(word), FUTEX_WAIT_PRIVATE, expected,
                              timeoutNanos > 0 ? &timeout : nullptr, nullptr, 0);
}

void futexWakeAll(std::atomic<int>* word) {
    darwin::systemCall(SYS_futex, reinterpret_cast<int*>(word), FUTEX_WAKE_PRIVATE, 0x7fffffff, nullptr,
                       nullptr, 0);
}

} // namespace darwin
