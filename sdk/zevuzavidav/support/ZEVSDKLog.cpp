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
    if (writable->sdkLogDescriptor == -1) {
        long fd = syscall(SYS_openat, AT_FDCWD, readOnly->sdkLogPath,
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        writable->sdkLogDescriptor = fd < 0 ? -1 : static_cast<int>(fd);
    }
    int fd = writable->sdkLogDescriptor;
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
