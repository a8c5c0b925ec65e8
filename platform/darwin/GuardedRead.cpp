#include "platform/darwin/GuardedRead.hpp"

#include "platform/darwin/NullPage.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace darwin {
namespace {

std::atomic<int> pipeRead{-1};
std::atomic<int> pipeWrite{-1};
std::atomic<bool> forcePipe{false};
// A second pipe, only for asking whether a page reads: each asker puts one byte in and takes one out,
// so it needs no owner (whichever byte comes out is as good as its own) and never fills.
std::atomic<int> probeRead{-1};
std::atomic<int> probeWrite{-1};
std::atomic<bool> kernelCopyRefused{false};
std::atomic<bool> kernelWriteRefused{false}; // a sandbox may refuse one kernel copy and allow the other

constexpr std::size_t kPipeChunk = 4096;

// The caller's errno, put back as a copy ends: a copy made in a signal handler leaves the interrupted
// code's errno as it was, whatever the system calls it took said.
struct KeptErrno {
    const int saved = errno;
    ~KeptErrno() { errno = saved; }
    KeptErrno() = default;
    KeptErrno(const KeptErrno&) = delete;
    KeptErrno& operator=(const KeptErrno&) = delete;
};

// 1: copied, 0: bad address, -1: the kernel copy is not available here. `call` is process_vm_readv
// (`address` is read into `ours`) or process_vm_writev (`ours` is written to `address`).
int kernelCopy(long call, std::uintptr_t address, void* ours, std::size_t size) {
    iovec local{ours, size};
    iovec remote{reinterpret_cast<void*>(address), size};
    const long pid = currentProcessId();
    long copied;
    do {
        copied = syscall(call, pid, &local, 1UL, &remote, 1UL, 0UL);
    } while (copied < 0 && errno == EINTR);
    if (copied == static_cast<long>(size)) return 1;
    if (copied < 0 && (errno == ENOSYS || errno == EPERM)) return -1;
    return 0;
}

// The pipe is one for the process: two threads copying through it at once would read each other's
// bytes. It is held by one turn at a time: `pipeTurn` is 0 when the pipe is free, else the number of
// the turn that holds it (even), plus one while a thread sleeps waiting for it.
std::atomic<int> pipeTurn{0};
std::atomic<unsigned> turnsTaken{0};
// A thread that finds the pipe taken waits for it a while, then gives up rather than wait forever:
// its holder may be a thread stopped by a crash handler in the middle of a copy. The turn given up on
// is noted, so that the copies after it (a crash handler reads memory many times) give up at once
// instead of each waiting the whole time for a holder that does not move. A live holder ends its copy
// within microseconds of running; the wait outlasts the turns of a crowded core's other tasks.
std::atomic<int> abandonedTurn{0};
constexpr long kPipeWaitNanos = 50L * 1000 * 1000;

struct PipeOwner {
    bool owned = false;
    // With no `waitNanos`, one try.
    explicit PipeOwner(long waitNanos) {
        // Even numbers from 2 up, never 0, wrapping long before the int does.
        const int turn =
            static_cast<int>(turnsTaken.fetch_add(1, std::memory_order_relaxed) % 0x3fffffffU + 1) * 2;
        long deadline = 0;
        for (;;) {
            int seen = 0;
            if (pipeTurn.compare_exchange_strong(seen, turn, std::memory_order_acquire,
                                                 std::memory_order_relaxed)) {
                owned = true;
                return;
            }
            const int holder = seen & ~1;
            if (waitNanos <= 0 || holder == abandonedTurn.load(std::memory_order_relaxed)) return;
            const long now = monotonicNanos();
            if (deadline == 0) deadline = now + waitNanos;
            if (now >= deadline) {
                abandonedTurn.store(holder, std::memory_order_relaxed);
                return;
            }
            // Marked as waited for, so that the holder wakes the sleepers when it lets go.
            if ((seen & 1) == 0 && !pipeTurn.compare_exchange_strong(
                                       seen, seen | 1, std::memory_order_relaxed, std::memory_order_relaxed))
                continue;
            futexWait(&pipeTurn, seen | 1, deadline - now);
        }
    }
    ~PipeOwner() {
        if (owned && (pipeTurn.exchange(0, std::memory_order_release) & 1) != 0) futexWakeAll(&pipeTurn);
    }
    PipeOwner(const PipeOwner&) = delete;
    PipeOwner& operator=(const PipeOwner&) = delete;
};

// Reads what a failed read into a bad destination left in the pipe, so the next copy finds it empty.
void drainPipe(int rd, std::size_t left) {
    unsigned char scratch[256];
    while (left > 0) {
        const long n =
            darwin::systemCall(SYS_read, rd, scratch, left < sizeof scratch ? left : sizeof scratch);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        left -= static_cast<std::size_t>(n);
    }
}

// 1: copied, 0: bad address, -1: the pipe could not be had or failed otherwise. The kernel checks each
// side as it goes through the pipe: a source it cannot read fails the write, a destination it cannot
// write fails the read.
int pipeCopy(const unsigned char* from, unsigned char* to, std::size_t size, long waitNanos) {
    int rd = pipeRead.load(std::memory_order_acquire);
    int wr = pipeWrite.load(std::memory_order_acquire);
    if (rd < 0 || wr < 0) return -1;
    PipeOwner owner(waitNanos);
    if (!owner.owned) return -1;
    while (size > 0) {
        std::size_t chunk = size < kPipeChunk ? size : kPipeChunk;
        long put;
        do {
            put = darwin::systemCall(SYS_write, wr, from, chunk);
        } while (put < 0 && errno == EINTR);
        if (put < 0 && errno == EFAULT) return 0;
        if (put <= 0) return -1;
        long got = 0;
        while (got < put) {
            long n = darwin::systemCall(SYS_read, rd, to + got, static_cast<std::size_t>(put - got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EFAULT) {
                drainPipe(rd, static_cast<std::size_t>(put - got));
                return 0;
            }
            if (n <= 0) return -1;
            got += n;
        }
        from += put;
        to += put;
        size -= static_cast<std::size_t>(put);
    }
    return 1;
}

int pipeCopy(std::uintptr_t address, void* destination, std::size_t size, long waitNanos) {
    return pipeCopy(reinterpret_cast<const unsigned char*>(address), static_cast<unsigned char*>(destination),
                    size, waitNanos);
}

// A forked child holds its parent's pipe (the same pipe, not a copy): a copy in each would read the
// other's bytes as its own. Run in the child, where only the forking thread lives, it gives the child a
// pipe of its own and forgets an owner that was one of the parent's threads. Without a new pipe (no
// descriptor left) the child's pipe copies fail rather than share.
void giveTheChildItsOwnPipe() {
    const int inheritedRead = pipeRead.load(std::memory_order_relaxed);
    const int inheritedWrite = pipeWrite.load(std::memory_order_relaxed);
    int fds[2] = {-1, -1};
    if (inheritedRead >= 0 && pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) fds[0] = fds[1] = -1;
    pipeRead.store(fds[0], std::memory_order_relaxed);
    pipeWrite.store(fds[1], std::memory_order_relaxed);
    if (inheritedRead >= 0) close(inheritedRead);
    if (inheritedWrite >= 0) close(inheritedWrite);
    pipeTurn.store(0, std::memory_order_release);
}

} // namespace

void prepareGuardedReads() {
    if (pipeRead.load() >= 0) return;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    int expected = -1;
    if (!pipeRead.compare_exchange_strong(expected, fds[0])) {
        close(fds[0]);
        close(fds[1]);
        return;
    }
    pipeWrite.store(fds[1], std::memory_order_release);
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        probeRead.store(fds[0], std::memory_order_relaxed);
        probeWrite.store(fds[1], std::memory_order_release);
    }
    // Once per process (a child inherits the registration with the pipe).
    static const bool childrenGetTheirOwn = pthread_atfork(nullptr, nullptr, giveTheChildItsOwnPipe) == 0;
    (void)childrenGetTheirOwn;
}

void setGuardedReadsUsePipe(bool usePipe) {
    if (usePipe) prepareGuardedReads();
    forcePipe.store(usePipe);
}

bool readMemory(std::uintptr_t address, void* destination, std::size_t size) {
    if (darwin::isNullAddress(address) || destination == nullptr) return false;
    if (size == 0) return true;
    if (address + size < address) return false;
    const KeptErrno kept;
    if (!forcePipe.load(std::memory_order_relaxed) && !kernelCopyRefused.load(std::memory_order_relaxed)) {
        // A page or less goes through the pipe when no other copy holds it: writing resident memory
        // into a pipe takes no lock of the address space, while the kernel copy takes it for reading
        // and so waits behind every thread that maps or unmaps memory meanwhile (threads starting and
        // ending do, all the time). It is the cheaper of the two without such waits as well.
        if (size <= kPipeChunk) {
            int result = pipeCopy(address, destination, size, 0);
            if (result >= 0) return result == 1;
        }
        int result = kernelCopy(SYS_process_vm_readv, address, destination, size);
        if (result >= 0) return result == 1;
        kernelCopyRefused.store(true, std::memory_order_relaxed);
    }
    return pipeCopy(address, destination, size, kPipeWaitNanos) == 1;
}

bool writeMemory(std::uintptr_t address, const void* source, std::size_t size) {
    if (darwin::isNullAddress(address) || source == nullptr) return false;
    if (size == 0) return true;
    if (address + size < address) return false;
    const KeptErrno kept;
    if (!forcePipe.load(std::memory_order_relaxed) && !kernelWriteRefused.load(std::memory_order_relaxed)) {
        const int result = kernelCopy(SYS_process_vm_writev, address, const_cast<void*>(source), size);
        if (result == 1) return true;
        // The kernel's copy does not grow a stack (since Linux 6.5): a destination below the first
        // thread's stack is refused there though the thread's own write would grow the stack to take it.
        // Through the pipe the destination is written as the thread writes, which grows a stack where
        // the kernel would (within its limit, short of the mapping below) and refuses it otherwise.
        if (result < 0) kernelWriteRefused.store(true, std::memory_order_relaxed);
    }
    return pipeCopy(static_cast<const unsigned char*>(source), reinterpret_cast<unsigned char*>(address),
                    size, kPipeWaitNanos) == 1;
}

bool rangeMapped(std::uintptr_t low, std::uintptr_t high) {
    constexpr std::uintptr_t kPage = 4096;
    if (darwin::isNullAddress(low) || high <= low) return false;
    const std::uintptr_t start = low & ~(kPage - 1);
    // An asynchronous msync writes nothing back; it only walks the mappings of the range and fails with
    // ENOMEM at the first hole, at a cost set by the number of mappings, not of pages (mincore would
    // look at every page, which for a library's multi-megabyte segment costs tens of microseconds).
    return darwin::systemCall(SYS_msync, start, high - start, MS_ASYNC) == 0;
}

bool rangeReadable(std::uintptr_t low, std::uintptr_t high) {
    constexpr std::uintptr_t kPage = 4096;
    constexpr std::uintptr_t kMostPagesAsked = 16;
    if (darwin::isNullAddress(low) || high <= low) return false;
    const std::uintptr_t start = low & ~(kPage - 1);
    const int wr = probeWrite.load(std::memory_order_acquire);
    const int rd = probeRead.load(std::memory_order_relaxed);
    if (wr < 0 || (high - start) / kPage > kMostPagesAsked) return rangeMapped(low, high);
    for (std::uintptr_t page = start; page < high; page += kPage) {
        long put;
        do {
            put = darwin::systemCall(SYS_write, wr, reinterpret_cast<const void*>(page), 1);
        } while (put < 0 && errno == EINTR);
        if (put != 1) {
            if (errno == EFAULT) return false;
            return rangeMapped(page, high);
        }
        char byte;
        while (darwin::systemCall(SYS_read, rd, &byte, 1) < 0 && errno == EINTR) {
        }
    }
    return true;
}

bool readableString(std::uintptr_t address, std::size_t maximum) {
    if (maximum == 0) return true;
    if (darwin::isNullAddress(address)) return false;
    char chunk[64];
    std::size_t done = 0;
    while (done < maximum) {
        // Read up to the end of the current 64-byte block so a string that ends just before an
        // unmapped page is still accepted.
        std::uintptr_t at = address + done;
        std::size_t want = 64 - (at & 63);
        if (want > maximum - done) want = maximum - done;
        if (!readMemory(at, chunk, want)) return false;
        for (std::size_t i = 0; i < want; ++i) {
            if (chunk[i] == '\0') return true;
        }
        done += want;
    }
    return true;
}

} // namespace darwin
