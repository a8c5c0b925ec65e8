#include "platform/darwin/Host.hpp"
#include "platform/darwin/SystemCall.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace darwin {
namespace {

bool startsWith(const char* text, const char* prefix) {
    while (*prefix != '\0') {
        if (*text++ != *prefix++) return false;
    }
    return true;
}

} // namespace

std::uint64_t hostPageSize() {
    long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

long openPath(const char* path, int flags, int mode) {
    long fd;
    do {
        fd = darwin::systemCall(SYS_openat, AT_FDCWD, path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == ENOSYS) {
        do {
            fd = darwin::systemCall(SYS_open, path, flags, mode);
        } while (fd < 0 && errno == EINTR);
    }
    return fd;
}

long readSmallFile(const char* path, char* buffer, std::size_t size) {
    if (path == nullptr || buffer == nullptr || size == 0) return -1;
    const long fd = openPath(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    std::size_t total = 0;
    while (total + 1 < size) {
        long n = darwin::systemCall(SYS_read, fd, buffer + total, size - 1 - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
    }
    darwin::systemCall(SYS_close, fd);
    buffer[total] = '\0';
    return static_cast<long>(total);
}

bool findNumberField(const char* text, const char* key, std::uint64_t& value) {
    if (text == nullptr || key == nullptr) return false;
    const char* line = text;
    while (*line != '\0') {
        if (startsWith(line, key)) {
            const char* p = line;
            while (*p != '\0' && *p != ':')
                ++p;
            if (*p == ':' && p - line == static_cast<long>(__builtin_strlen(key))) {
                ++p;
                while (*p == ' ' || *p == '\t')
                    ++p;
                if (*p < '0' || *p > '9') return false;
                std::uint64_t v = 0;
                while (*p >= '0' && *p <= '9')
                    v = v * 10 + static_cast<std::uint64_t>(*p++ - '0');
                value = v;
                return true;
            }
        }
        while (*line != '\0' && *line != '\n')
            ++line;
        if (*line == '\n') ++line;
    }
    return false;
}

bool processIsTraced(bool* known) {
    char text[4096];
    std::uint64_t tracer = 0;
    bool ok = readSmallFile("/proc/self/status", text, sizeof text) > 0 &&
              findNumberField(text, "TracerPid", tracer);
    if (known != nullptr) *known = ok;
    return ok && tracer != 0;
}

bool hostMemory(HostMemory& out) {
    char text[8192];
    if (readSmallFile("/proc/meminfo", text, sizeof text) <= 0) return false;
    std::uint64_t active = 0, inactive = 0, unevictable = 0, memFree = 0;
    if (!findNumberField(text, "Active", active) || !findNumberField(text, "Inactive", inactive) ||
        !findNumberField(text, "MemFree", memFree)) {
        return false;
    }
    findNumberField(text, "Unevictable", unevictable);
    out.active = active * 1024;
    out.inactive = inactive * 1024;
    out.wired = unevictable * 1024;
    out.free = memFree * 1024;
    return true;
}

bool processUsage(ProcessUsage& out) {
    char text[256];
    if (readSmallFile("/proc/self/statm", text, sizeof text) <= 0) return false;
    std::uint64_t pages[2] = {0, 0};
    const char* p = text;
    for (auto& value : pages) {
        while (*p == ' ')
            ++p;
        if (*p < '0' || *p > '9') return false;
        while (*p >= '0' && *p <= '9')
            value = value * 10 + static_cast<std::uint64_t>(*p++ - '0');
    }
    rusage usage{};
    if (darwin::systemCall(SYS_getrusage, RUSAGE_SELF, &usage) != 0) return false;
    std::uint64_t page = hostPageSize();
    out.virtualBytes = pages[0] * page;
    out.residentBytes = pages[1] * page;
    out.userMicros = static_cast<std::uint64_t>(usage.ru_utime.tv_sec) * 1000000ULL +
                     static_cast<std::uint64_t>(usage.ru_utime.tv_usec);
    out.systemMicros = static_cast<std::uint64_t>(usage.ru_stime.tv_sec) * 1000000ULL +
                       static_cast<std::uint64_t>(usage.ru_stime.tv_usec);
    return true;
}

bool volumeSpace(const char* path, std::uint64_t& freeBytes, std::uint64_t& totalBytes) {
    if (path == nullptr) return false;
    struct statfs info {};
    if (darwin::systemCall(SYS_statfs, path, &info) != 0) return false;
    freeBytes = static_cast<std::uint64_t>(info.f_bsize) * static_cast<std::uint64_t>(info.f_bavail);
    totalBytes = static_cast<std::uint64_t>(info.f_bsize) * static_cast<std::uint64_t>(info.f_blocks);
    return true;
}

bool hostMachine(char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return false;
    struct utsname names {};
    if (darwin::systemCall(SYS_uname, &names) != 0) return false;
    std::size_t i = 0;
    for (; i + 1 < size && names.machine[i] != '\0'; ++i)
        buffer[i] = names.machine[i];
    buffer[i] = '\0';
    return true;
}

} // namespace darwin
