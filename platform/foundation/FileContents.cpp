#include "platform/foundation/FileContents.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/UUID.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ns {
namespace {

namespace fs = std::filesystem;

// Reads the whole regular file, `limit` bytes at most; on failure `err` is the reason (EFBIG past the
// limit, and openRegularFile's).
template <typename Buffer>
std::optional<Buffer> readRegularFile(const fs::path& path, std::size_t limit, int& err) {
    const int fd = openRegularFile(path, O_RDONLY);
    if (fd < 0) {
        err = errno;
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || static_cast<std::uintmax_t>(info.st_size) > limit) {
        err = info.st_size > 0 ? EFBIG : errno;
        ::close(fd);
        return std::nullopt;
    }
    Buffer buffer;
    buffer.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[64 * 1024];
    for (;;) {
        // The size said by fstat is not trusted: the file may grow while it is read.
        const std::size_t room = limit - buffer.size();
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, room + 1));
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            ::close(fd);
            return std::nullopt;
        }
        if (static_cast<std::size_t>(n) > room) {
            err = EFBIG;
            ::close(fd);
            return std::nullopt;
        }
        buffer.insert(buffer.end(), chunk, chunk + n);
    }
    ::close(fd);
    return buffer;
}

// Whether `inner` is `outer` or lies below it, part by part.
bool isWithin(const fs::path& inner, const fs::path& outer) {
    auto in = inner.begin();
    for (auto out = outer.begin(); out != outer.end(); ++out, ++in) {
        if (out->empty() && std::next(out) == outer.end()) break; // a trailing "/"
        if (in == inner.end() || *in != *out) return false;
    }
    return true;
}

} // namespace

Error posixError(int err, const std::string& what) {
    const std::string reason = std::strerror(err);
    return Error(posixErrorDomain, err,
                 {{Error::localizedDescriptionKey, what + ": " + reason}, {failureReasonKey, reason}});
}

int openRegularFile(const fs::path& path, int flags, unsigned mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat info {};
    int err = 0;
    if (::fstat(fd, &info) != 0)
        err = errno;
    else if (!S_ISREG(info.st_mode))
        err = S_ISDIR(info.st_mode) ? EISDIR : ENXIO;
    else if (const int status = ::fcntl(fd, F_GETFL);
             status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
        err = errno;
    if (err != 0) {
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

bool isUnusableFileError(int err) {
    return err == ELOOP || err == ENXIO || err == EFBIG;
}

std::string readAtMost(int fd, std::size_t limit) {
    std::string bytes(limit, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

std::optional<std::vector<std::uint8_t>> readFileBytes(const fs::path& path, std::size_t limit) {
    int err = 0;
    return readRegularFile<std::vector<std::uint8_t>>(path, limit, err);
}

std::optional<std::string> readFileText(const fs::path& path, std::size_t limit) {
    int err = 0;
    return readRegularFile<std::string>(path, limit, err);
}

Result<std::optional<std::vector<std::uint8_t>>> readFileIfPresent(const fs::path& path, std::size_t limit) {
    int err = 0;
    auto bytes = readRegularFile<std::vector<std::uint8_t>>(path, limit, err);
    if (bytes) return std::optional<std::vector<std::uint8_t>>(std::move(bytes));
    if (err == ENOENT) return std::optional<std::vector<std::uint8_t>>();
    if (err == EFBIG)
        return Error(posixErrorDomain, err,
                     {{Error::localizedDescriptionKey,
                       "cannot read " + path.string() + ": larger than " + std::to_string(limit) + " bytes"},
                      {failureReasonKey, "larger than " + std::to_string(limit) + " bytes"}});
    if (err == ELOOP || err == ENXIO)
        return Error(
            posixErrorDomain, err,
            {{Error::localizedDescriptionKey, "cannot read " + path.string() + ": not a regular file"},
             {failureReasonKey, "not a regular file"}});
    return posixError(err, "cannot read " + path.string());
}

Result<std::vector<std::string>> listDirectory(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return posixError(errno, "cannot list " + path.string());
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        const int err = errno;
        ::close(fd);
        return posixError(err, "cannot list " + path.string());
    }
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (!entry) break;
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    const int err = errno;
    ::closedir(folder);
    if (err != 0) return posixError(err, "cannot list " + path.string());
    return names;
}

namespace {

// A folder below `at` opened as a handle for the *at calls (O_PATH: no read permission needed), never
// through a link in its place.
int openFolderAt(int at, const char* name) {
    int fd;
    do {
        fd = ::openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Walks from the top of `folder` down to it. Above `ours` folders are taken as the path names them
// (links followed); from `ours` down each is opened relative to the one above without following, so a
// link swapped in on the way cannot carry the walk elsewhere.
bool walkPrivateDirectories(const fs::path& folder, std::error_code& error, const fs::path& ours, bool make) {
    error.clear();
    fs::path made;
    int at = -1; // the folder reached, once the walk is in folders of ours
    auto fail = [&](int err) {
        if (at >= 0) ::close(at);
        error = std::error_code(err, std::generic_category());
        return false;
    };
    for (const auto& part : folder) {
        if (part.empty()) continue; // a trailing "/"
        const fs::path next = made / part;
        if (ours.empty() || !isWithin(next, ours)) {
            made = next;
            if (made == made.root_path()) continue;
            if (make && ::mkdir(made.c_str(), privateDirectoryMode) == 0) continue;
            const int err = make ? errno : ENOENT;
            struct stat info {};
            if (::stat(made.c_str(), &info) == 0) {
                if (S_ISDIR(info.st_mode)) continue; // there already (or not ours to make)
                return fail(ENOTDIR);
            }
            return fail(err == EEXIST ? ENOTDIR : err);
        }
        if (at < 0) {
            at = ::open(made.empty() ? "." : made.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (at < 0) return fail(errno);
        }
        const std::string name = part.string();
        int fd = openFolderAt(at, name.c_str());
        // A second round only when another process changed the entry between two steps of this one.
        for (int round = 0; fd < 0 && round < 3; ++round) {
            const int err = errno;
            if (err == ENOTDIR || err == ELOOP) {
                struct stat info {};
                if (::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
                    if (!S_ISLNK(info.st_mode)) return fail(ENOTDIR); // a file in the way
                    // Whatever is listed, removed or put in the folder would be where the link points.
                    if (::unlinkat(at, name.c_str(), 0) != 0 && errno != ENOENT) return fail(errno);
                    console("Sandbox: removed the symbolic link " + next.string() +
                            ", where a folder belongs");
                }
            } else if (err != ENOENT) {
                return fail(err);
            } else if (!make) {
                return fail(ENOENT);
            }
            if (::mkdirat(at, name.c_str(), privateDirectoryMode) != 0 && errno != EEXIST) return fail(errno);
            fd = openFolderAt(at, name.c_str());
        }
        if (fd < 0) return fail(errno);
        ::close(at);
        at = fd;
        made = next;
    }
    if (at >= 0) ::close(at);
    return true;
}

} // namespace

bool createPrivateDirectories(const fs::path& folder, std::error_code& error, const fs::path& ours) {
    return walkPrivateDirectories(folder, error, ours, true);
}

bool privateDirectoryExists(const fs::path& folder, std::error_code& error, const fs::path& ours) {
    return walkPrivateDirectories(folder, error, ours, false);
}

int openPrivateFileForWriting(const fs::path& path, int flags) {
    const int access = flags & ~(O_CREAT | O_EXCL | O_TRUNC);
    if ((flags & O_TRUNC) == 0) {
        const int fd = openRegularFile(path, access | O_CREAT);
        if (fd >= 0) {
            struct stat info {};
            if (::fstat(fd, &info) == 0 && info.st_nlink == 1) return fd;
            ::close(fd); // a hard link: its other name is someone else's file
        } else if (errno != ELOOP && errno != ENXIO) {
            return -1;
        }
    }
    // What stands there goes as itself: a link, a FIFO or a socket is no file of ours, and a file is
    // made anew. A device or a folder is never removed: such a path was never a file of ours.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
            errno = S_ISDIR(info.st_mode) ? EISDIR : ENXIO;
            return -1;
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
    } else if (errno != ENOENT) {
        return -1;
    }
    return openRegularFile(path, access | O_CREAT | O_EXCL);
}

std::string temporaryFilePrefix(const fs::path& target) {
    return target.filename().string() + ".tmp-";
}

Result<void> writeFileAtomically(const fs::path& target, const std::vector<std::uint8_t>& bytes,
                                 TemporaryFile temporary) {
    const fs::path folder = target.parent_path();
    std::error_code ec;
    createPrivateDirectories(folder, ec);
    const std::string hidden = temporary == TemporaryFile::hidden ? "." : "";
    const fs::path temp = folder / (hidden + temporaryFilePrefix(target) + UUID::random().string());
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
