#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include "platform/darwin/SystemCall.hpp"
#include "platform/foundation/Hex.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferSize = 1000;
// The descriptor of a file that only counts what it would write (zevuzavidav::measureOnly).
constexpr int kMeasuringDescriptor = -2;

// Writes everything it can; returns the bytes the descriptor took.
std::uint64_t writeFully(int fd, const char* bytes, std::size_t length) {
    std::uint64_t total = 0;
    while (length > 0) {
        long n = darwin::systemCall(SYS_write, fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<std::uint64_t>(n);
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return total;
}

// The decimal digits of `value`, written backwards so that they end just before `end`, two at a time
// (a crash record is mostly numbers); returns the first digit.
char* decimalDigits(char* end, std::uint64_t value) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536"
        "37383940414243444546474849505152535455565758596061626364656667686970717273"
        "7475767778798081828384858687888990919293949596979899";
    while (value >= 100) {
        const auto pair = static_cast<unsigned>(value % 100);
        value /= 100;
        end -= 2;
        std::memcpy(end, kPairs + 2 * pair, 2);
    }
    if (value >= 10) {
        end -= 2;
        std::memcpy(end, kPairs + 2 * value, 2);
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

// Digits from the least significant end into a 21-byte buffer; returns the first digit.
const char* formatUnsigned(char (&digits)[21], std::uint64_t value, bool hex) {
    char* p = digits + 20;
    *p = '\0';
    if (!hex) return decimalDigits(p, value);
    do {
        *--p = ns::hexDigit(static_cast<unsigned>(value & 0xF));
        value >>= 4;
    } while (value != 0);
    return p;
}

// Length of the well-formed UTF-8 sequence starting at `p` (2 to 4), or 0.
int validSequenceLength(const unsigned char* p) {
    unsigned char c = p[0];
    int length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    if (c >= 0xF5) length = 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
    }
    if (length == 3 && ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0))) return 0;
    if (length == 4 && ((c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] >= 0x90))) return 0;
    return length;
}

void writeLiteral(ZEVFile* file, const char* text) {
    ZEVFileWriteBytes(file, text, std::strlen(text));
}

void openCollection(ZEVFile* file, char c) {
    if (file->needsComma) ZEVFileWriteBytes(file, ",", 1);
    ZEVFileWriteBytes(file, &c, 1);
    file->depth += 1;
    file->needsComma = false;
}

void closeCollection(ZEVFile* file, char c) {
    ZEVFileWriteBytes(file, &c, 1);
    if (file->depth >= 1) {
        file->needsComma = file->depth >= 2;
        file->depth -= 1;
    }
}

void elementPrefix(ZEVFile* file) {
    if (file->needsComma) ZEVFileWriteBytes(file, ",", 1);
}

} // namespace

bool ZEVFileInitWithPathMode(ZEVFile* file, const char* path, bool append, bool buffered) {
    if (file == nullptr) {
        ZEVSDKLog("%s: Error: file is null\n", "ZEVFileInitWithPathMode");
        return false;
    }
    if (path == nullptr) {
        ZEVSDKLog("%s: Error: file descriptor invalid\n", "ZEVFileInit");
        return false;
    }
    const long fd =
        zevuzavidav::openRegularFileForWriting(path, O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC));
    if (fd < 0) {
        char errorText[zevuzavidav::kErrorTextSize];
        ZEVSDKLog("%s: Error: Unable to open file %s\n", "ZEVFileInitWithPathMode",
                  zevuzavidav::errorText(errno, errorText));
        ZEVSDKLog("%s: Error: file descriptor invalid\n", "ZEVFileInit");
        return false;
    }
    *file = ZEVFile{};
    file->descriptor = static_cast<int>(fd);
    file->buffered = buffered;
    if (buffered) {
        file->buffer = static_cast<char*>(std::malloc(kBufferSize));
        file->bufferCapacity = kBufferSize;
        file->ownsBuffer = true;
        if (file->buffer == nullptr) file->buffered = false;
    }
    if (append) {
        struct stat info {};
        if (darwin::systemCall(SYS_fstat, file->descriptor, &info) == 0 && info.st_size > 0) {
            file->bytesWritten = static_cast<std::uint64_t>(info.st_size);
        }
    }
    return true;
}

bool ZEVFileInitWithPath(ZEVFile* file, const char* path, bool buffered) {
    return ZEVFileInitWithPathMode(file, path, true, buffered);
}

bool ZEVFileIsOpen(const ZEVFile* file) {
    return file != nullptr && file->descriptor >= 0;
}

void ZEVFileFlushBuffer(ZEVFile* file) {
    if (file == nullptr || file->buffer == nullptr) return;
    std::uint64_t taken = 0;
    if (file->bufferedBytes > 0 && file->descriptor >= 0)
        taken = writeFully(file->descriptor, file->buffer, file->bufferedBytes);
    // The buffer is emptied before its bytes are counted as written: a handler that interrupts this
    // thread in between (zevuzavidav::writeOutInterruptedBuffer) then finds nothing left to write, and
    // one that interrupts it before sees the bytes the file took beyond those counted.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    file->bufferedBytes = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    file->bytesWritten += taken;
}

void zevuzavidav::writeOutInterruptedBuffer(ZEVFile* file) {
    if (file == nullptr || file->buffer == nullptr || file->descriptor < 0) return;
    const std::uint64_t buffered = file->bufferedBytes;
    if (buffered == 0 || buffered >= file->bufferCapacity) return;
    struct stat info {};
    if (darwin::systemCall(SYS_fstat, file->descriptor, &info) != 0 || info.st_size < 0) return;
    // What a flush under way had written when it was interrupted: the file holds it beyond the bytes
    // counted. Nobody else writes a crash record meanwhile.
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::uint64_t taken = size > file->bytesWritten ? size - file->bytesWritten : 0;
    if (taken < buffered) writeFully(file->descriptor, file->buffer + taken, buffered - taken);
}

void ZEVFileWriteBytes(ZEVFile* file, const void* bytes, std::size_t length) {
    if (file == nullptr || bytes == nullptr || length == 0) return;
    if (file->descriptor == kMeasuringDescriptor) {
        file->bytesWritten += length;
        return;
    }
    if (file->descriptor < 0) return;
    const char* in = static_cast<const char*>(bytes);
    if (!file->buffered || file->buffer == nullptr) {
        file->bytesWritten += writeFully(file->descriptor, in, length);
        return;
    }
    while (file->bufferedBytes + length >= file->bufferCapacity) {
        std::size_t take = file->bufferCapacity - 1 - file->bufferedBytes;
        std::memcpy(file->buffer + file->bufferedBytes, in, take);
        // Counted once copied, for a handler that interrupts this thread (writeOutInterruptedBuffer).
        std::atomic_signal_fence(std::memory_order_seq_cst);
        file->bufferedBytes += take;
        ZEVFileFlushBuffer(file);
        in += take;
        length -= take;
    }
    std::memcpy(file->buffer + file->bufferedBytes, in, length);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    file->bufferedBytes += length;
    file->buffer[file->bufferedBytes] = '\0';
}

void zevuzavidav::measureOnly(ZEVFile* file) {
    if (file == nullptr) return;
    *file = ZEVFile{};
    file->descriptor = kMeasuringDescriptor;
}

void zevuzavidav::useFileBuffer(ZEVFile* file, char* storage, std::uint32_t capacity) {
    if (file == nullptr || file->ownsBuffer) return;
    ZEVFileFlushBuffer(file);
    const bool usable = storage != nullptr && capacity > 1;
    file->buffer = usable ? storage : nullptr;
    file->bufferCapacity = usable ? capacity : 0;
    file->buffered = usable;
    file->flushesLines = usable;
}

bool ZEVFileCloseWithOffset(ZEVFile* file, std::uint64_t* bytesWritten) {
    if (file == nullptr) return false;
    if (file->buffered && file->buffer != nullptr) {
        if (file->bufferedBytes > 0) ZEVFileFlushBuffer(file);
    }
    // The buffer is released exactly once, before close can fail, so a failed close never leaves a
    // record that would free it again.
    if (file->ownsBuffer) std::free(file->buffer);
    file->buffer = nullptr;
    if (bytesWritten != nullptr) *bytesWritten = file->bytesWritten;
    int fd = file->descriptor;
    *file = ZEVFile{};
    if (fd < 0) return false;
    if (darwin::systemCall(SYS_close, fd) != 0 && errno != EINTR) {
        char errorText[zevuzavidav::kErrorTextSize];
        ZEVSDKLog("%s: Error: Unable to close file %s\n", "ZEVFileCloseWithOffset",
                  zevuzavidav::errorText(errno, errorText));
        return false;
    }
    return true;
}

bool ZEVFileClose(ZEVFile* file) {
    return ZEVFileCloseWithOffset(file, nullptr);
}

void ZEVFileWriteSectionStart(ZEVFile* file, const char* name) {
    ZEVFileWriteObjectStart(file);
    ZEVFileWriteKey(file, name);
}

void ZEVFileWriteSectionEnd(ZEVFile* file) {
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteBytes(file, "\n", 1);
    if (file != nullptr && file->flushesLines) ZEVFileFlushBuffer(file);
}

void ZEVFileWriteObjectStart(ZEVFile* file) {
    openCollection(file, '{');
}
void ZEVFileWriteObjectEnd(ZEVFile* file) {
    closeCollection(file, '}');
}
void ZEVFileWriteArrayStart(ZEVFile* file) {
    openCollection(file, '[');
}
void ZEVFileWriteArrayEnd(ZEVFile* file) {
    closeCollection(file, ']');
}

void ZEVFileWriteKey(ZEVFile* file, const char* key) {
    if (file == nullptr) return;
    elementPrefix(file);
    ZEVFileWriteString(file, key);
    ZEVFileWriteBytes(file, ":", 1);
    file->needsComma = false;
}

void ZEVFileWriteUInt64(ZEVFile* file, std::uint64_t value) {
    char digits[20];
    const char* first = decimalDigits(digits + sizeof digits, value);
    ZEVFileWriteBytes(file, first, static_cast<std::size_t>(digits + sizeof digits - first));
}

void ZEVFileWriteInt64(ZEVFile* file, std::int64_t value) {
    if (value < 0) {
        ZEVFileWriteBytes(file, "-", 1);
        ZEVFileWriteUInt64(file, 0 - static_cast<std::uint64_t>(value));
    } else {
        ZEVFileWriteUInt64(file, static_cast<std::uint64_t>(value));
    }
}

void ZEVFileWriteString(ZEVFile* file, const char* value) {
    if (value == nullptr) {
        writeLiteral(file, "null");
        return;
    }
    char chunk[72];
    std::size_t used = 0;
    chunk[used++] = '"';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(value); *p != 0; ++p) {
        if (used > sizeof chunk - 8) {
            ZEVFileWriteBytes(file, chunk, used);
            used = 0;
        }
        unsigned char c = *p;
        if (c >= 0x80) {
            // Whole UTF-8 sequences pass; a stray byte (a Latin-1 file name, say) is written as the
            // character of that code so the line stays valid JSON.
            int length = validSequenceLength(p);
            if (length > 0) {
                std::memcpy(chunk + used, p, static_cast<std::size_t>(length));
                used += static_cast<std::size_t>(length);
                p += length - 1;
            } else {
                std::memcpy(chunk + used, "\\u00", 4);
                used += 4;
                used = static_cast<std::size_t>(ns::hexEncodeByte(c, chunk + used) - chunk);
            }
            continue;
        }
        if (c == '"' || c == '\\') {
            chunk[used++] = '\\';
            chunk[used++] = static_cast<char>(c);
        } else if (c < 0x20) {
            std::memcpy(chunk + used, "\\u00", 4);
            used += 4;
            used = static_cast<std::size_t>(ns::hexEncodeByte(c, chunk + used) - chunk);
        } else {
            chunk[used++] = static_cast<char>(c);
        }
    }
    chunk[used++] = '"';
    ZEVFileWriteBytes(file, chunk, used);
}

void zevuzavidav::writeHexBytes(ZEVFile* file, const void* bytes, std::size_t length) {
    if (bytes == nullptr) {
        writeLiteral(file, "null");
        return;
    }
    const unsigned char* in = static_cast<const unsigned char*>(bytes);
    ZEVFileWriteBytes(file, "\"", 1);
    char digits[32];
    while (length > 0) {
        std::size_t take = length < 16 ? length : 16;
        ns::hexEncode(in, take, digits);
        ZEVFileWriteBytes(file, digits, 2 * take);
        in += take;
        length -= take;
    }
    ZEVFileWriteBytes(file, "\"", 1);
}

void ZEVFileWriteHexString(ZEVFile* file, const char* value) {
    zevuzavidav::writeHexBytes(file, value, value == nullptr ? 0 : std::strlen(value));
}

void ZEVFileWriteUInt64Entry(ZEVFile* file, const char* key, std::uint64_t value) {
    ZEVFileWriteKey(file, key);
    ZEVFileWriteUInt64(file, value);
    if (file != nullptr) file->needsComma = true;
}

void ZEVFileWriteInt64Entry(ZEVFile* file, const char* key, std::int64_t value) {
    ZEVFileWriteKey(file, key);
    ZEVFileWriteInt64(file, value);
    if (file != nullptr) file->needsComma = true;
}

void ZEVFileWriteStringEntry(ZEVFile* file, const char* key, const char* value) {
    ZEVFileWriteKey(file, key);
    ZEVFileWriteString(file, value);
    if (file != nullptr) file->needsComma = true;
}

void ZEVFileWriteHexStringEntry(ZEVFile* file, const char* key, const char* value) {
    ZEVFileWriteKey(file, key);
    ZEVFileWriteHexString(file, value);
    if (file != nullptr) file->needsComma = true;
}

void ZEVFileWriteBoolEntry(ZEVFile* file, const char* key, bool value) {
    ZEVFileWriteKey(file, key);
    writeLiteral(file, value ? "true" : "false");
    if (file != nullptr) file->needsComma = true;
}

void zevuzavidav::writeNullEntry(ZEVFile* file, const char* key) {
    ZEVFileWriteKey(file, key);
    writeLiteral(file, "null");
    if (file != nullptr) file->needsComma = true;
}

void ZEVFileWriteNSStringEntry(ZEVFile* file, const char* key, const char* text) {
    if (text == nullptr || *text == '\0') return;
    ZEVFileWriteStringEntry(file, key, text);
}

// One write for the comma and the digits: a thread's stack is written as a long run of these.
void ZEVFileWriteUInt64Element(ZEVFile* file, std::uint64_t value) {
    if (file == nullptr) return;
    char text[21];
    char* first = decimalDigits(text + sizeof text, value);
    if (file->needsComma) *--first = ',';
    ZEVFileWriteBytes(file, first, static_cast<std::size_t>(text + sizeof text - first));
    file->needsComma = true;
}

void ZEVFileWriteStringElement(ZEVFile* file, const char* value) {
    if (file == nullptr) return;
    elementPrefix(file);
    ZEVFileWriteString(file, value);
    file->needsComma = true;
}

void ZEVFileWriteHexStringElement(ZEVFile* file, const char* value) {
    if (file == nullptr) return;
    elementPrefix(file);
    ZEVFileWriteHexString(file, value);
    file->needsComma = true;
}

void zevuzavidav::writeNullElement(ZEVFile* file) {
    if (file == nullptr) return;
    elementPrefix(file);
    writeLiteral(file, "null");
    file->needsComma = true;
}

const char* zevuzavidav::formatUInt64(char (&digits)[21], std::uint64_t value, bool hex) {
    return formatUnsigned(digits, value, hex);
}

void ZEVWriteUInt64ToDescriptor(int descriptor, std::uint64_t value, bool hex) {
    char digits[21];
    const char* first = formatUnsigned(digits, value, hex);
    writeFully(descriptor, first, static_cast<std::size_t>(digits + 20 - first));
}

void ZEVWriteInt64ToDescriptor(int descriptor, std::int64_t value) {
    if (value < 0) {
        writeFully(descriptor, "-", 1);
        ZEVWriteUInt64ToDescriptor(descriptor, 0 - static_cast<std::uint64_t>(value), false);
    } else {
        ZEVWriteUInt64ToDescriptor(descriptor, static_cast<std::uint64_t>(value), false);
    }
}
