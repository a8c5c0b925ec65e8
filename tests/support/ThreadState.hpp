#pragma once
// What the kernel says of a thread of this process: running (or ready to), blocked in a system call,
// or gone. A thread that only computes is never blocked, so a test sees through it that a thread which
// must wait (parked, or held back by the code under test) has come to wait, and can look at what it
// did before then.
//
// Made of system calls alone (no allocation, no lock), so that it may be asked while the other threads
// are suspended and one of them may hold a lock of the C library.
#include "tests/support/Waiter.hpp"

#include <fcntl.h>
#include <sched.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

namespace velotest {

enum class ThreadState { running, blocked, gone };

inline ThreadState threadState(pid_t tid) {
    char path[48] = "/proc/self/task/";
    char digits[16];
    int count = 0;
    for (unsigned value = static_cast<unsigned>(tid); value != 0 || count == 0; value /= 10)
        digits[count++] = static_cast<char>('0' + value % 10);
    std::size_t at = std::strlen(path);
    while (count > 0)
        path[at++] = digits[--count];
    std::memcpy(path + at, "/stat", sizeof "/stat");
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ThreadState::gone;
    char stat[512];
    const ssize_t length = ::read(fd, stat, sizeof stat - 1);
    ::close(fd);
    if (length <= 0) return ThreadState::gone;
    // "tid (name) S ...": the name may hold anything, the state follows its last parenthesis.
    const char* close = static_cast<const char*>(::memrchr(stat, ')', static_cast<std::size_t>(length)));
    if (close == nullptr || close + 2 >= stat + length) return ThreadState::gone;
    switch (close[2]) {
    case 'S':
    case 'D':
        return ThreadState::blocked;
    case 'Z':
    case 'X':
        return ThreadState::gone;
    default:
        return ThreadState::running;
    }
}

// Waits until the thread no longer runs: blocked or gone (still running after kPatience).
inline ThreadState waitUntilThreadStops(pid_t tid) {
    timespec start{}, now{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        const ThreadState state = threadState(tid);
        if (state != ThreadState::running) return state;
        ::sched_yield();
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - start.tv_sec >= static_cast<time_t>(kPatience)) return state;
    }
}

} // namespace velotest
