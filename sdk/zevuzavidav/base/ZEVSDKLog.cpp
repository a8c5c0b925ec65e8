#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"

#include "platform/darwin/SystemCall.hpp"
#include "platform/foundation/Hex.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// The log's file: named by the start, opened at the first line after that. Both are read at crash time,
// without locks.
std::atomic<const char*> logPath{nullptr};
std::atomic<int> logDescriptor{-1};

void writeAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        long n = darwin::systemCall(SYS_write, fd, bytes, length);
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

  private:
    void flush() {
        writeAll(fd_, text_, used_);
        used_ = 0;
    }
    int fd_;
    std::size_t used_ = 0;
    char text_[512];
};

void addToLine(void* line, const char* bytes, std::size_t length) {
    static_cast<Line*>(line)->add(bytes, length);
}

using Size = zevuzavidav::SDKLogArguments::Size;

// The arguments of a ZEVSDKLog call, read as the C default promotions passed them.
class VariableArguments final : public zevuzavidav::SDKLogArguments {
  public:
    explicit VariableArguments(va_list arguments) { va_copy(arguments_, arguments); }
    ~VariableArguments() { va_end(arguments_); }
    VariableArguments(const VariableArguments&) = delete;
    VariableArguments& operator=(const VariableArguments&) = delete;

    std::int64_t takeSigned(Size size) override {
        switch (size) {
        case Size::hh:
            return static_cast<signed char>(va_arg(arguments_, int));
        case Size::h:
            return static_cast<short>(va_arg(arguments_, int));
        case Size::l:
            return va_arg(arguments_, long);
        case Size::ll:
            return va_arg(arguments_, long long);
        case Size::j:
            return va_arg(arguments_, std::intmax_t);
        case Size::z:
            return va_arg(arguments_, ssize_t);
        case Size::t:
            return va_arg(arguments_, std::ptrdiff_t);
        case Size::plain:
            break;
        }
        return va_arg(arguments_, int);
    }
    std::uint64_t takeUnsigned(Size size) override {
        switch (size) {
        case Size::hh:
            return static_cast<unsigned char>(va_arg(arguments_, unsigned));
        case Size::h:
            return static_cast<unsigned short>(va_arg(arguments_, unsigned));
        case Size::l:
            return va_arg(arguments_, unsigned long);
        case Size::ll:
            return va_arg(arguments_, unsigned long long);
        case Size::j:
            return va_arg(arguments_, std::uintmax_t);
        case Size::z:
            return va_arg(arguments_, std::size_t);
        case Size::t:
            return static_cast<std::uint64_t>(va_arg(arguments_, std::ptrdiff_t));
        case Size::plain:
            break;
        }
        return va_arg(arguments_, unsigned);
    }
    const void* takePointer() override { return va_arg(arguments_, const void*); }
    const char* takeString() override { return va_arg(arguments_, const char*); }

  private:
    va_list arguments_;
};

// One conversion as the format spells it.
struct Conversion {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    bool widthArgument = false;
    bool precisionArgument = false;
    int width = 0;
    int precision = -1; // none
    Size size = Size::plain;
    char kind = 0;
};

// Widths and precisions past this are taken as this: a stray one must not fill the disk.
constexpr int kLargestWidth = 512;

int boundedAdd(int value, char digit) {
    int next = value * 10 + (digit - '0');
    return next > kLargestWidth ? kLargestWidth : next;
}

// Reads the conversion after a '%' and answers the character after it; for one not rendered here
// (kind stays 0), the character that ended it.
const char* parseConversion(const char* p, Conversion& c) {
    for (;; ++p) {
        if (*p == '-') {
            c.left = true;
        } else if (*p == '+') {
            c.plus = true;
        } else if (*p == ' ') {
            c.space = true;
        } else if (*p == '#') {
            c.alternate = true;
        } else if (*p == '0') {
            c.zero = true;
        } else {
            break;
        }
    }
    if (*p == '*') {
        c.widthArgument = true;
        ++p;
    } else {
        for (; *p >= '0' && *p <= '9'; ++p)
            c.width = boundedAdd(c.width, *p);
    }
    if (*p == '.') {
        ++p;
        c.precision = 0;
        if (*p == '*') {
            c.precisionArgument = true;
            ++p;
        } else {
            for (; *p >= '0' && *p <= '9'; ++p)
                c.precision = boundedAdd(c.precision, *p);
        }
    }
    if (p[0] == 'h' && p[1] == 'h') {
        c.size = Size::hh;
        p += 2;
    } else if (p[0] == 'l' && p[1] == 'l') {
        c.size = Size::ll;
        p += 2;
    } else if (*p == 'h' || *p == 'l' || *p == 'j' || *p == 'z' || *p == 't') {
        c.size = *p == 'h'   ? Size::h
                 : *p == 'l' ? Size::l
                 : *p == 'j' ? Size::j
                 : *p == 'z' ? Size::z
                             : Size::t;
        ++p;
    }
    switch (*p) {
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
    case 'c':
    case 's':
    case 'p':
    case '%':
        c.kind = *p;
        return p + 1;
    default:
        return p;
    }
}

class Output {
  public:
    Output(zevuzavidav::SDKLogWriter write, void* context) : write_(write), context_(context) {}
    void bytes(const char* text, std::size_t length) {
        if (length > 0) write_(context_, text, length);
    }
    void repeat(char c, int count) {
        char run[32];
        for (char& slot : run)
            slot = c;
        while (count > 0) {
            int take = count < static_cast<int>(sizeof run) ? count : static_cast<int>(sizeof run);
            bytes(run, static_cast<std::size_t>(take));
            count -= take;
        }
    }
    // prefix, then `zeros` zeros, then body, within the conversion's width.
    void field(const Conversion& c, const char* prefix, std::size_t prefixLength, int zeros, const char* body,
               std::size_t bodyLength, bool zeroPadding) {
        int used = static_cast<int>(prefixLength + bodyLength) + zeros;
        int pad = c.width > used ? c.width - used : 0;
        if (!c.left && !zeroPadding) repeat(' ', pad);
        bytes(prefix, prefixLength);
        repeat('0', zeros + (!c.left && zeroPadding ? pad : 0));
        bytes(body, bodyLength);
        if (c.left) repeat(' ', pad);
    }

  private:
    zevuzavidav::SDKLogWriter write_;
    void* context_;
};

void integer(Output& out, const Conversion& c, std::uint64_t magnitude, bool negative) {
    const unsigned base = c.kind == 'o' ? 8 : (c.kind == 'x' || c.kind == 'X' || c.kind == 'p') ? 16 : 10;
    const ns::HexCase letters = c.kind == 'X' ? ns::HexCase::upper : ns::HexCase::lower;
    char digits[24];
    char* first = digits + sizeof digits;
    // printf's rule: a precision of 0 prints no digit for a zero.
    if (magnitude != 0 || c.precision != 0 || c.kind == 'p') {
        do {
            *--first = ns::hexDigit(static_cast<unsigned>(magnitude % base), letters);
            magnitude /= base;
        } while (magnitude != 0);
    }
    const std::size_t length = static_cast<std::size_t>(digits + sizeof digits - first);
    int zeros = c.precision > static_cast<int>(length) ? c.precision - static_cast<int>(length) : 0;
    char prefix[2];
    std::size_t prefixLength = 0;
    const bool isSigned = c.kind == 'd' || c.kind == 'i';
    if (isSigned && (negative || c.plus || c.space)) {
        prefix[prefixLength++] = negative ? '-' : c.plus ? '+' : ' ';
    } else if (c.kind == 'p' || (c.alternate && (c.kind == 'x' || c.kind == 'X') && length > 0 &&
                                 !(length == 1 && *first == '0'))) {
        prefix[prefixLength++] = '0';
        prefix[prefixLength++] = c.kind == 'X' ? 'X' : 'x';
    } else if (c.alternate && c.kind == 'o' && zeros == 0 && (length == 0 || *first != '0')) {
        zeros = 1;
    }
    out.field(c, prefix, prefixLength, zeros, first, length, c.zero && c.precision < 0);
}

} // namespace

void zevuzavidav::formatSDKLog(const char* format, SDKLogArguments& arguments, SDKLogWriter write,
                               void* context) {
    if (format == nullptr || write == nullptr) return;
    Output out(write, context);
    const char* run = format;
    const char* p = format;
    while (*p != '\0') {
        if (*p != '%') {
            ++p;
            continue;
        }
        out.bytes(run, static_cast<std::size_t>(p - run));
        Conversion c;
        const char* next = parseConversion(p + 1, c);
        if (c.kind == 0) {
            // Not rendered here: written as it stands, its last character included.
            if (*next != '\0') ++next;
            out.bytes(p, static_cast<std::size_t>(next - p));
            p = next;
            run = p;
            continue;
        }
        if (c.widthArgument) {
            std::int64_t width = arguments.takeSigned(Size::plain);
            if (width < 0) {
                c.left = true;
                width = -width;
            }
            c.width = width > kLargestWidth ? kLargestWidth : static_cast<int>(width);
        }
        if (c.precisionArgument) {
            std::int64_t precision = arguments.takeSigned(Size::plain);
            c.precision = precision < 0               ? -1
                          : precision > kLargestWidth ? kLargestWidth
                                                      : static_cast<int>(precision);
        }
        switch (c.kind) {
        case '%':
            out.bytes("%", 1);
            break;
        case 'd':
        case 'i': {
            std::int64_t value = arguments.takeSigned(c.size);
            integer(out, c,
                    value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value),
                    value < 0);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            integer(out, c, arguments.takeUnsigned(c.size), false);
            break;
        case 'p':
            c.precision = -1;
            integer(out, c, reinterpret_cast<std::uintptr_t>(arguments.takePointer()), false);
            break;
        case 'c': {
            const char byte = static_cast<char>(arguments.takeSigned(Size::plain));
            out.field(c, nullptr, 0, 0, &byte, 1, false);
            break;
        }
        case 's': {
            const char* text = arguments.takeString();
            if (text == nullptr) text = "(null)";
            std::size_t length = 0;
            while ((c.precision < 0 || length < static_cast<std::size_t>(c.precision)) &&
                   text[length] != '\0')
                ++length;
            out.field(c, nullptr, 0, 0, text, length, false);
            break;
        }
        }
        p = next;
        run = p;
    }
    out.bytes(run, static_cast<std::size_t>(p - run));
}

int zevuzavidav::setSDKLogPath(const char* path) {
    logPath.store(path, std::memory_order_release);
    return logDescriptor.exchange(-1, std::memory_order_acq_rel);
}

const char* zevuzavidav::sdkLogPath() {
    return logPath.load(std::memory_order_acquire);
}

int zevuzavidav::sdkLogDescriptor() {
    return logDescriptor.load(std::memory_order_acquire);
}

void ZEVSDKLog(const char* format, ...) {
    const char* path = logPath.load(std::memory_order_acquire);
    if (path == nullptr || format == nullptr) return;
    int saved = errno;
    int fd = logDescriptor.load(std::memory_order_acquire);
    if (fd == -1) {
        const long opened = zevuzavidav::openRegularFileForWriting(path, O_WRONLY | O_CREAT | O_APPEND);
        if (opened < 0) { // stays -1: the next line tries again
            errno = saved;
            return;
        }
        // Threads that log their first line at once all open the file; one descriptor is kept and
        // the others are closed, so none leaks.
        int expected = -1;
        if (logDescriptor.compare_exchange_strong(expected, static_cast<int>(opened))) {
            fd = static_cast<int>(opened);
        } else {
            darwin::systemCall(SYS_close, opened);
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
        VariableArguments arguments(args);
        Line line(fd);
        zevuzavidav::formatSDKLog(format, arguments, addToLine, &line);
    }
    va_end(args);
    errno = saved;
}
