#include "platform/foundation/FileContents.hpp"

#include "platform/foundation/UUID.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ns {
namespace {

namespace fs = std::filesystem;

// Reads the whole regular file; on failure `err` is the reason (EISDIR, EINVAL for anything that is no
// regular file).
template <typename Buffer> std::optional<Buffer> readRegularFile(const fs::path& path, int& err) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        err = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
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
            err = errno;
            ::close(fd);
            return std::nullopt;
        }
        buffer.insert(buffer.end(), chunk, chunk + n);
    }
    ::close(fd);
    return buffer;
}

} // namespace

Error posixError(int err, const std::string& what) {
    const std::string reason = std::strerror(err);
    return Error(posixErrorDomain, err,
                 {{Error::localizedDescriptionKey, what + ": " + reason}, {failureReasonKey, reason}});
}

std::optional<std::vector<std::uint8_t>> readFileBytes(const fs::path& path) {
    int err = 0;
    return readRegularFile<std::vector<std::uint8_t>>(path, err);
}

std::optional<std::string> readFileText(const fs::path& path) {
    int err = 0;
    return readRegularFile<std::string>(path, err);
}

Result<std::optional<std::vector<std::uint8_t>>> readFileIfPresent(const fs::path& path) {
    int err = 0;
    auto bytes = readRegularFile<std::vector<std::uint8_t>>(path, err);
    if (bytes) return std::optional<std::vector<std::uint8_t>>(std::move(bytes));
    if (err == ENOENT) return std::optional<std::vector<std::uint8_t>>();
    return posixError(err, "cannot read " + path.string());
}

bool createPrivateDirectories(const fs::path& folder, std::error_code& error) {
    error.clear();
    fs::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), privateDirectoryMode) == 0) continue;
        const int err = errno;
        std::error_code ignored;
        if (fs::is_directory(made, ignored)) continue; // there already (or not ours to make)
        error = std::error_code(err == EEXIST ? ENOTDIR : err, std::generic_category());
        return false;
    }
    return true;
}

std::string temporaryFilePrefix(const fs::path& target) {
    return target.filename().string() + ".tmp-";
}

Result<void> writeFileAtomically(const fs::path& target, const std::vector<std::uint8_t>& bytes) {
    const fs::path folder = target.parent_path();
    std::error_code ec;
    createPrivateDirectories(folder, ec);
    const fs::path temp = folder / (temporaryFilePrefix(target) + UUID::random().string());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, privateFileMode);
    if (fd < 0) return posixError(errno, "cannot create " + temp.string());
    auto fail = [&](int err, const std::string& what, bool open) -> Result<void> {
        if (open) ::close(fd);
        ::unlink(temp.c_str());
        return posixError(err, what);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : EIO, "cannot write " + temp.string(), true);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return fail(errno, "cannot flush " + temp.string(), true);
    // A file system may report a failed write only when the file is closed.
    if (::close(fd) != 0) return fail(errno, "cannot close " + temp.string(), false);
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return fail(errno, "cannot replace " + target.string(), false);
    // Make the rename itself durable.
    const int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        ::fsync(dirfd);
        ::close(dirfd);
    }
    return {};
}

} // namespace ns
