#pragma once
// Holds a thread still inside a read(2) it is about to make: a seccomp filter on that thread turns each
// of its reads into SIGSYS, and the test's handler does what the moment needs (lets another thread or
// process act, waits at a gate) and then makes the read for it as readv(2), which the filter lets
// through. So an overlap a race test needs is made, not hoped for. x86_64 only.
#if defined(__x86_64__)
#include <cerrno>
#include <cstddef>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>

namespace velotest {

// Traps every read(2) of the calling thread (and of no other) into SIGSYS, for good. False where the
// kernel takes no seccomp filters.
inline bool trapReadsOfThisThread() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_read, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// From the SIGSYS handler (`raw`: its third argument): makes the trapped read and hands back its
// result as the system call's.
inline void makeTrappedRead(void* raw) {
    const int savedErrno = errno;
    greg_t* registers = static_cast<ucontext_t*>(raw)->uc_mcontext.gregs;
    iovec into{reinterpret_cast<void*>(registers[REG_RSI]), static_cast<std::size_t>(registers[REG_RDX])};
    const long got = syscall(SYS_readv, static_cast<int>(registers[REG_RDI]), &into, 1);
    registers[REG_RAX] = got < 0 ? -errno : got;
    errno = savedErrno;
}

} // namespace velotest
#endif
