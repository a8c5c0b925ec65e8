#pragma once
// A signal mask as the kernel keeps one, a bit a signal, and the system call that sets it. The C library's
// sigset_t is 128 bytes, nearly all unused: the frames of a signal handler that may stand on a stack with
// little room left keep to this one.
#include "platform/darwin/SystemCall.hpp"
#include <csignal>
#include <cstdint>
#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>

namespace darwin {

using KernelMask = std::uint64_t;

inline KernelMask bitOf(int number) {
    return KernelMask{1} << (number - 1);
}

// The kernel's part of a C library set: its first word.
inline KernelMask kernelMaskOf(const sigset_t& set) {
    KernelMask mask = 0;
    std::memcpy(&mask, &set, sizeof mask);
    return mask;
}

// rt_sigprocmask with `how` (SIG_BLOCK, SIG_UNBLOCK, SIG_SETMASK); either mask may be null.
inline long setMask(int how, const KernelMask* set, KernelMask* old) {
    return darwin::systemCall(SYS_rt_sigprocmask, how, set, old, sizeof(KernelMask));
}

} // namespace darwin
