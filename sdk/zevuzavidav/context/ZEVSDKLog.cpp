#include "sdk/zevuzavidav/context/ZEVSDKLog.hpp"

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

// One line assembled on the stack and written with one write, so that it costs one system call and
// never interleaves with another thread's line; a line longer than the buffer goes out in pieces.
class Line {
  public:
    explicit Line(int fd) : fd_(fd) {}
    ~Line() { flush(); }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    void add(const char* bytes, std::size_t length) {
        while (length > 0) {
            if (used_ == sizeof text_) flush();
            std::size_t take = length < sizeof text_ - used_ ? length : sizeof text_ - used_;
            for (std::size_t i = 0; i < take; ++i)
                text_[used_ + i] = bytes[i];
            used_ += take;
            bytes += take;
            length -= take;
        }
    }
    void addUnsigned(std::uint64_t value, bool hex) {
        char digits[21];
        const char* first = zevuzavidav::formatUInt64(digits, value, hex);
        add(first, static_cast<std::size_t>(digits + 20 - first));
    }
    void addSigned(std::int64_t value) {
        if (value < 0) add("-", 1);
        addUnsigned(value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value),
                    false);
    }

  private:
    void flush() {
        writeAll(fd_, text_, used_);
        used_ = 0;
    }
    int fd_;
    std::size_t used_ = 0;
    char text_[512];
};

} // namespace

void ZEVSDKLog(const char* format, ...) {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (readOnly == nullptr || writable == nullptr || readOnly->sdkLogPath == nullptr || format == nullptr) {
        return;
    }
    int saved = errno;
    int fd = writable->sdkLogDescriptor.load(std::memory_order_acquire);
    if (fd == -1) {
        long opened = syscall(SYS_openat, AT_FDCWD, readOnly->sdkLogPath,
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
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
    {
        Line line(fd);
        const char* run = format;
        const char* p = format;
        while (*p != '\0') {
            if (*p != '%' || p[1] == '\0') {
                ++p;
                continue;
            }
            line.add(run, static_cast<std::size_t>(p - run));
            switch (p[1]) {
            case 'd':
                line.addSigned(va_arg(args, int));
                break;
            case 'u':
                line.addUnsigned(va_arg(args, unsigned int), false);
                break;
            case 'x':
                line.addUnsigned(va_arg(args, unsigned int), true);
                break;
            case 'p':
                line.add("0x", 2);
                line.addUnsigned(reinterpret_cast<std::uintptr_t>(va_arg(args, void*)), true);
                break;
            case 's': {
                const char* text = va_arg(args, const char*);
                if (text == nullptr) text = "(null)";
                line.add(text, __builtin_strlen(text));
                break;
            }
            default:
                line.add(p, 2);
                break;
            }
            p += 2;
            run = p;
        }
        line.add(run, static_cast<std::size_t>(p - run));
    }
    va_end(args);
    errno = saved;
}
