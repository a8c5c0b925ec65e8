#include "sdk/zevuzavidav/support/ZEVSDKLog.hpp"

#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

void writeAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        long n = syscall(SYS_write, fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
}

} // namespace

void ZEVSDKLog(const char* format, ...) {
    ZEVReadOnlyContext* readOnly = ZEVContextReadOnly();
    ZEVWritableContext* writable = ZEVContextWritable();
    if (readOnly == nullptr || writable == nullptr || readOnly->sdkLogPath == nullptr || format == nullptr) {
        return;
    }
    int saved = errno;
    int fd = writable->sdkLogDescriptor.load(std::memory_order_acquire);
    if (fd == -1) {
        long opened = syscall(SYS_openat, AT_FDCWD, readOnly->sdkLogPath,
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (opened < 0) { // stays -1: the next line tries again
            errno = saved;
            return;
        }
        // Threads that log their first line at once all open the file; one descriptor is kept and
        // the others are closed, so none leaks.
        int expected = -1;
        if (writable->sdkLogDescriptor.compare_exchange_strong(expected, static_cast<int>(opened))) {
            fd = static_cast<int>(opened);
        } else {
            syscall(SYS_close, opened);
            fd = expected;
        }
    }
    if (fd < 0) {
        errno = saved;
        return;
    }
    va_list args;
    va_start(args, format);
    const char* run = format;
    const char* p = format;
    while (*p != '\0') {
        if (*p != '%' || p[1] == '\0') {
            ++p;
            continue;
        }
        writeAll(fd, run, static_cast<std::size_t>(p - run));
        char conversion = p[1];
        switch (conversion) {
        case 'd':
            ZEVWriteInt64ToDescriptor(fd, va_arg(args, int));
            break;
        case 'u':
            ZEVWriteUInt64ToDescriptor(fd, va_arg(args, unsigned int), false);
            break;
        case 'x':
            ZEVWriteUInt64ToDescriptor(fd, va_arg(args, unsigned int), true);
            break;
        case 'p':
            writeAll(fd, "0x", 2);
            ZEVWriteUInt64ToDescriptor(fd, reinterpret_cast<std::uintptr_t>(va_arg(args, void*)), true);
            break;
        case 's': {
            const char* text = va_arg(args, const char*);
            if (text == nullptr) text = "(null)";
            writeAll(fd, text, __builtin_strlen(text));
            break;
        }
        default:
            writeAll(fd, p, 2);
            break;
        }
        p += 2;
        run = p;
    }
    writeAll(fd, run, static_cast<std::size_t>(p - run));
    va_end(args);
    errno = saved;
}
