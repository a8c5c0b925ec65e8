#include "platform/foundation/FileContents.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ns {
namespace {

template <typename Buffer> std::optional<Buffer> readRegularFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    Buffer buffer;
    buffer.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        buffer.insert(buffer.end(), chunk, chunk + n);
    }
    ::close(fd);
    return buffer;
}

} // namespace

std::optional<std::vector<std::uint8_t>> readFileBytes(const std::filesystem::path& path) {
    return readRegularFile<std::vector<std::uint8_t>>(path);
}

std::optional<std::string> readFileText(const std::filesystem::path& path) {
    return readRegularFile<std::string>(path);
}

} // namespace ns
