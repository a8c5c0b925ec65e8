#include "sdk/rurorad/ZEVEventLog/ZEVEventLogFile.hpp"

#include "platform/foundation/FileContents.hpp"

#include "sdk/rurorad/ZEVEventLog/FileError.hpp"
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEventFile.hpp"
#include "sdk/rurorad/ZEVRuroradLog.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

ns::Error noHandle(const std::string& path) {
    return rurorad::posixError(EBADF, path);
}

} // namespace

ZEVEventLogFile::ZEVEventLogFile(std::string fileURL) : fileURL_(std::move(fileURL)) {}

ZEVEventLogFile::~ZEVEventLogFile() {
    closeFileHandle();
}

std::unique_ptr<ZEVEventLogFile> ZEVEventLogFile::initWithURL(const std::string& fileURL) {
    std::unique_ptr<ZEVEventLogFile> file(new ZEVEventLogFile(fileURL));
    if (!file->open()) return nullptr;
    return file;
}

std::unique_ptr<ZEVEventLogFile> ZEVEventLogFile::initWithName(const std::string& name,
                                                               const std::string& directoryURL) {
    return initWithURL((fs::path(directoryURL) / name).string());
}

bool ZEVEventLogFile::open() {
    const std::string& path = fileURL_;
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(path, ec))) {
        fs::remove_all(path, ec);
        if (ec) {
            ZEVRuroradDebugLog("ZEVEventLogFile: Unable to delete blocking directory " + path +
                               " [error: " + rurorad::posixError(ec, path).localizedDescription() + "]");
        }
    }
    // Created (empty) when missing; the size of what is there carries on. A link (symbolic or hard) or
    // a FIFO in the file's place is no log of ours: it goes itself, never written through or waited for.
    const int created = ns::openPrivateFileForWriting(path, O_WRONLY);
    if (created >= 0) ::close(created);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        ZEVRuroradDebugLog("ZEVEventLogFile: Unable to get attributes for item at path " + path +
                           " [error: " + rurorad::posixError(errno, path).localizedDescription() + "]");
        return false;
    }
    fileSize_ = static_cast<std::uint64_t>(info.st_size);
    if (auto opened = openFileHandleForWriting(); !opened) {
        ZEVRuroradDebugLog("ZEVEventLogFile: Unable to get open file for writing at path " + path +
                           " [error: " + opened.error().localizedDescription() + "]");
        return false;
    }
    return true;
}

ns::Result<void> ZEVEventLogFile::openFileHandleForWriting() {
    assert(fileHandle_ < 0 && "nil == _fileHandle");
    if (fileHandle_ >= 0) return noHandle(fileURL_);
    // O_APPEND: every write lands at the end, as one piece.
    const int fd = ns::openRegularFile(fileURL_, O_WRONLY | O_APPEND);
    if (fd < 0) return rurorad::posixError(errno, fileURL_);
    fileHandle_ = fd;
    return {};
}

ns::Result<void> ZEVEventLogFile::openFileHandleForReading() {
    assert(fileHandle_ < 0 && "nil == _fileHandle");
    if (fileHandle_ >= 0) return noHandle(fileURL_);
    const int fd = ns::openRegularFile(fileURL_, O_RDONLY);
    if (fd < 0) return rurorad::posixError(errno, fileURL_);
    fileHandle_ = fd;
    return {};
}

void ZEVEventLogFile::closeFileHandle() {
    if (fileHandle_ >= 0) ::close(fileHandle_);
    fileHandle_ = -1;
}

ns::Result<void> ZEVEventLogFile::appendData(std::string_view bytes) {
    assert(fileHandle_ >= 0 && "nil != _fileHandle");
    if (fileHandle_ < 0) return noHandle(fileURL_);
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fileHandle_, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            // Whatever part went in is taken out again: the file keeps only whole lines.
            if (written > 0) (void)::ftruncate(fileHandle_, static_cast<off_t>(fileSize_));
            return rurorad::posixError(error, fileURL_);
        }
        written += static_cast<std::size_t>(n);
    }
    fileSize_ += bytes.size();
    return {};
}

ns::Result<void> ZEVEventLogFile::resetFile() {
    assert(fileHandle_ >= 0 && "nil != _fileHandle");
    if (fileHandle_ < 0) return noHandle(fileURL_);
    if (::ftruncate(fileHandle_, 0) != 0) return rurorad::posixError(errno, fileURL_);
    fileSize_ = 0;
    return {};
}

ns::Result<std::vector<std::uint8_t>> ZEVEventLogFile::readFromFile() {
    closeFileHandle();
    std::vector<std::uint8_t> content;
    std::optional<ns::Error> readError;
    if (auto opened = openFileHandleForReading(); opened) {
        std::uint8_t buffer[16384];
        for (;;) {
            ssize_t n = ::read(fileHandle_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                readError = rurorad::posixError(errno, fileURL_);
                break;
            }
            if (n == 0) break;
            content.insert(content.end(), buffer, buffer + n);
        }
        closeFileHandle();
    } else {
        readError = opened.error();
    }
    if (auto reopened = openFileHandleForWriting(); !reopened) {
        if (readError) {
            ZEVRuroradDebugLog("ZEVEventLogFile: Unable to reopen file for writing at path " + fileURL_ +
                               " [error: " + reopened.error().localizedDescription() + "]");
            return *readError;
        }
        return reopened.error();
    }
    if (readError) return *readError;
    return content;
}

std::unique_ptr<ZEVEventLogEventFile> ZEVEventLogEventFile::initWithURL(const std::string& fileURL) {
    std::unique_ptr<ZEVEventLogEventFile> file(new ZEVEventLogEventFile(fileURL));
    if (!file->open()) return nullptr;
    return file;
}

ns::Result<void> ZEVEventLogEventFile::appendEvent(const ZEVEventLogEvent& event) {
    line_.clear();
    event.appendEventData(line_);
    return appendData(line_);
}

ns::Result<void> ZEVEventLogEventFile::appendEvent(std::uint64_t timestamp, std::string_view key,
                                                   std::optional<std::string_view> payload) {
    line_.clear();
    ZEVEventLogEvent::appendLine(line_, timestamp, key, payload);
    return appendData(line_);
}
