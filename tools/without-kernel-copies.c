/* Runs a command where the kernel refuses to copy between address spaces, as a seccomp sandbox does:
 * process_vm_readv and process_vm_writev fail with EPERM, every other call goes through. The guarded
 * reads of a crash then have only their pipe; a program, or a test suite, run under it shows whether
 * everything it reads at crash time still reads there.
 *
 *   without-kernel-copies COMMAND [ARGUMENT...]
 *
 * The filter holds for the command and everything it starts (seccomp filters are kept across fork and
 * exec, and no_new_privs with them). Exits 125 when the filter cannot be installed, 127 when the
 * command cannot be run, else with the command's own status (it replaces this program). */
#define _GNU_SOURCE
#include <errno.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__x86_64__)
#define NATIVE_ARCH AUDIT_ARCH_X86_64
#elif defined(__aarch64__)
#define NATIVE_ARCH AUDIT_ARCH_AARCH64
#else
#error "no seccomp architecture known for this machine"
#endif

static int refuseKernelCopies(void) {
    struct sock_filter filter[] = {
        /* A call of another architecture's table (a 32-bit program the command starts) is let through:
         * its numbers mean other calls. */
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, NATIVE_ARCH, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_process_vm_readv, 1, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_process_vm_writev, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    struct sock_fprog program = {(unsigned short)(sizeof filter / sizeof filter[0]), filter};
    /* Without no_new_privs only a privileged process may install a filter; with it, nothing the command
     * starts gains privileges (a set-user-ID program) that would let it out. */
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s COMMAND [ARGUMENT...]\n", argv[0]);
        return 125;
    }
    if (!refuseKernelCopies()) {
        fprintf(stderr, "without-kernel-copies: no seccomp filter here: %s\n", strerror(errno));
        return 125;
    }
    execvp(argv[1], argv + 1);
    fprintf(stderr, "without-kernel-copies: %s: %s\n", argv[1], strerror(errno));
    return 127;
}
