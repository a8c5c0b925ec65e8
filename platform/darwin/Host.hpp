#pragma once
// Facts about the host and this process, readable from a signal handler.
//
// Every function reads /proc or asks the kernel directly into caller-provided or stack memory: no
// heap, no locks. A fact that cannot be read gives false and leaves the output untouched.
#include <cstddef>
#include <cstdint>

namespace darwin {

// The kernel's page size (sysconf), 0 when unknown.
std::uint64_t hostPageSize();

// True when a tracer (debugger, strace) is attached to this process: the "TracerPid" line of
// /proc/self/status is non-zero. `known` (optional) is false when the file could not be read.
bool processIsTraced(bool* known = nullptr);

// Memory figures of the host in bytes, from /proc/meminfo.
struct HostMemory {
    std::uint64_t active = 0;
    std::uint64_t inactive = 0;
    std::uint64_t wired = 0; // memory the kernel will not evict (Unevictable)
    std::uint64_t free = 0;
};
bool hostMemory(HostMemory& out);

// Sizes and CPU times of this process. Times are in microseconds.
struct ProcessUsage {
    std::uint64_t virtualBytes = 0;
    std::uint64_t residentBytes = 0;
    std::uint64_t userMicros = 0;
    std::uint64_t systemMicros = 0;
};
bool processUsage(ProcessUsage& out);

// Free (for unprivileged users) and total bytes of the volume holding `path`.
bool volumeSpace(const char* path, std::uint64_t& freeBytes, std::uint64_t& totalBytes);

// The machine's hardware name (uname), copied with a terminating zero into `buffer`.
bool hostMachine(char* buffer, std::size_t size);

// Opens `path` (openat from the working folder, `flags` and `mode` as it takes them), retrying a call a
// signal interrupted; where openat fails with ENOSYS (a sandbox's filter traps it and nothing of the
// program's answers it, as for the crash reporter's own calls), the older open call, which opens the same
// path. The descriptor, or -1 with errno. Signal-safe.
long openPath(const char* path, int flags, int mode = 0);

// Reads a whole small file into `buffer` (zero-terminated); the byte count, or -1. Signal-safe.
long readSmallFile(const char* path, char* buffer, std::size_t size);

// Finds "<key>:" at a line start in `text` and parses the number after it. False when absent.
bool findNumberField(const char* text, const char* key, std::uint64_t& value);

} // namespace darwin
