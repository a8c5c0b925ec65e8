#include "platform/net/OutputStream.hpp"

#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/Sandbox.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace net {
namespace {

ns::Error posixError(int code, const std::string& what) {
    return ns::Error::make("NSPOSIXErrorDomain", code, what + ": " + std::strerror(code));
}

} // namespace

void OutputStream::fail(ns::Error error) {
    bool first = status_ != StreamStatus::error;
    status_ = StreamStatus::error;
    if (!error_) error_ = std::move(error);
    if (first && handler_) handler_(StreamEvent::errorOccurred);
}

void MemoryOutputStream::open() {
    if (streamStatus() == StreamStatus::notOpen) setStatus(StreamStatus::open);
}

bool MemoryOutputStream::close() {
    if (streamStatus() == StreamStatus::error) return false;
    setStatus(StreamStatus::closed);
    return true;
}

ssize_t MemoryOutputStream::write(const std::uint8_t* bytes, std::size_t length) {
    if (streamStatus() != StreamStatus::open) return -1;
    if (length > 0) data_.insert(data_.end(), bytes, bytes + length);
    return static_cast<ssize_t>(length);
}

FileOutputStream::~FileOutputStream() {
    if (fd_ >= 0) ::close(fd_);
}

void FileOutputStream::open() {
    if (streamStatus() != StreamStatus::notOpen) return;
    // Never written through a link (symbolic or hard) in the file's place, never into a FIFO.
    int flags = O_WRONLY | O_CREAT | (append_ ? O_APPEND : O_TRUNC);
    // Held locked while open, as tmp/ asks of the files in it (Sandbox.hpp); a sweep that removed the
    // file just as it was made leaves it to be made again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        fd_ = ns::openPrivateFileForWriting(path_, flags);
        if (fd_ < 0 || ns::Sandbox::lockTemporaryFile(fd_)) break;
        ::close(fd_);
        fd_ = -1;
        errno = EAGAIN;
    }
    if (fd_ < 0) {
        fail(posixError(errno, "cannot open " + path_));
        return;
    }
    setStatus(StreamStatus::open);
}

bool FileOutputStream::close() {
    if (fd_ < 0) return streamStatus() != StreamStatus::error;
    bool ok = streamStatus() != StreamStatus::error;
    struct stat info {};
    // Regular files are made durable before they count as written; devices and pipes cannot be synced.
    if (ok && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && ::fsync(fd_) != 0) {
        fail(posixError(errno, "cannot flush " + path_));
        ok = false;
    }
    if (::close(fd_) != 0 && ok) {
        fail(posixError(errno, "cannot close " + path_));
        ok = false;
    }
    fd_ = -1;
    if (ok) setStatus(StreamStatus::closed);
    return ok;
}

ssize_t FileOutputStream::write(const std::uint8_t* bytes, std::size_t length) {
    if (streamStatus() != StreamStatus::open) return -1;
    std::size_t written = 0;
    while (written < length) {
        ssize_t result = ::write(fd_, bytes + written, length - written);
        if (result < 0 && errno == EINTR) continue;
        if (result <= 0) {
            fail(posixError(result < 0 ? errno : ENOSPC, "cannot write " + path_));
            return written == 0 ? -1 : static_cast<ssize_t>(written);
        }
        written += static_cast<std::size_t>(result);
    }
    return static_cast<ssize_t>(written);
}

} // namespace net
