#include "sdk/rurorad/upload/ZEVAnalyticsCompressFile.hpp"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstddef>

namespace {

constexpr std::size_t kChunk = 16384;
constexpr int kWindowBitsWithGzipWrapper = 31;
constexpr int kMemoryLevel = 4;

bool writeAll(int fd, const unsigned char* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

ssize_t readSome(int fd, unsigned char* buffer, std::size_t capacity) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, capacity);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

} // namespace

int ZEVAnalyticsCompressFile(int inputFileDescriptor, int outputFileDescriptor) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kWindowBitsWithGzipWrapper, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return -1;
    unsigned char in[kChunk];
    unsigned char out[kChunk];
    int result = Z_OK;
    bool failed = false;
    do {
        const ssize_t got = readSome(inputFileDescriptor, in, sizeof in);
        if (got < 0) {
            failed = true;
            break;
        }
        const int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = in;
        stream.avail_in = static_cast<uInt>(got);
        // As many calls as it takes: a chunk whose output is larger than the buffer (input that does
        // not compress) is drained in several pieces instead of failing.
        do {
            stream.next_out = out;
            stream.avail_out = sizeof out;
            result = deflate(&stream, flush);
            if (result == Z_STREAM_ERROR) {
                failed = true;
                break;
            }
            const std::size_t produced = sizeof out - stream.avail_out;
            if (!writeAll(outputFileDescriptor, out, produced)) {
                failed = true;
                break;
            }
        } while (stream.avail_out == 0);
        if (!failed && stream.avail_in != 0) failed = true;
    } while (!failed && result != Z_STREAM_END);
    deflateEnd(&stream);
    return failed || result != Z_STREAM_END ? -1 : 0;
}
