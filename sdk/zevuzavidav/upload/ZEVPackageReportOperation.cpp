#include "sdk/zevuzavidav/upload/ZEVPackageReportOperation.hpp"

#include "platform/foundation/FileContents.hpp"

#include "platform/net/OutputStream.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zovaze/network/ZOVMultipartMimeStreamEncoder.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

// Large enough that zlib and the disk see few, big requests; small members get small buffers, since
// zlib clears what it is given.
constexpr std::size_t kChunk = 256 * 1024;
constexpr std::size_t kSmallestChunk = 8 * 1024;
constexpr const char* kPartialSuffix = ".multipartmime.partial";

void removeQuietly(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// Reads all of `fd` into the member; false when a read fails part-way (what was read stays written).
bool copyIntoMember(int fd, gzFile member, std::size_t chunk, bool& writeFailed) {
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[chunk]);
    for (;;) {
        ssize_t got = ::read(fd, buffer.get(), chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        int written = gzwrite(member, buffer.get(), static_cast<unsigned>(got));
        if (written != got) {
            ZEVSDKLog("Error: Failed to write all compressed bytes\n");
            writeFailed = true;
            return true;
        }
    }
}

} // namespace

std::string ZEVPackageReportOperation::packagedPathWithName(const std::string& name) const {
    return (std::filesystem::path(destinationDirectory()) / (name + ".multipartmime")).string();
}

std::string ZEVPackageReportOperation::deletingPathExtension(const std::string& name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name;
    return name.substr(0, dot);
}

std::optional<std::string> ZEVPackageReportOperation::reportIdentifierOfPackage(const std::string& path) {
    // The text parts come first ("api_key", then "report_id"), so the head of the file holds it.
    constexpr std::size_t kHead = 16 * 1024;
    std::string head;
    if (const int fd = ns::openRegularFile(path, O_RDONLY); fd >= 0) {
        head = ns::readAtMost(fd, kHead);
        ::close(fd);
    }
    const std::string boundary = std::filesystem::path(path).stem().string();
    const std::string start = "--" + boundary +
                              "\r\nContent-Disposition: form-data; name=\"report_id\"\r\nContent-Type: "
                              "text/plain\r\n\r\n";
    const std::size_t at = head.find(start);
    if (boundary.empty() || at == std::string::npos) return std::nullopt;
    const std::size_t end = head.find("\r\n--" + boundary, at + start.size());
    if (end == std::string::npos) return std::nullopt;
    return head.substr(at + start.size(), end - at - start.size());
}

std::optional<std::string> ZEVPackageReportOperation::compressFile(const std::string& path) {
    std::string gzPath = path + ".gz";
    // Made 0600 before a byte is written: the member holds the user's logs and keys. Always a new file,
    // so that a link in its place (symbolic or hard) never carries them elsewhere.
    const int out = ns::openPrivateFileForWriting(gzPath, O_WRONLY | O_TRUNC);
    gzFile member = out < 0 ? nullptr : gzdopen(out, "w");
    if (member == nullptr) {
        if (out >= 0) ::close(out);
        ZEVSDKLog("%s: Error: unable to open %s\n", "compressFile", gzPath.c_str());
        removeQuietly(gzPath);
        return std::nullopt;
    }
    bool writeFailed = false;
    // A source that cannot be opened or read gives what could be read: at worst an empty member.
    int fd = ns::openRegularFile(path, O_RDONLY);
    struct stat info {};
    std::size_t chunk = kSmallestChunk;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && info.st_size > 0)
        chunk = std::clamp(static_cast<std::size_t>(info.st_size), kSmallestChunk, kChunk);
    gzbuffer(member, static_cast<unsigned>(chunk));
    if (fd >= 0) {
        copyIntoMember(fd, member, chunk, writeFailed);
        ::close(fd);
    }
    if (gzclose(member) != Z_OK) writeFailed = true;
    if (writeFailed) {
        ZEVSDKLog("%s: Error: unable to write %s\n", "compressFile", gzPath.c_str());
        removeQuietly(gzPath);
        return std::nullopt;
    }
    return gzPath;
}

void ZEVPackageReportOperation::removePartialPackages() const {
    // Packagings run one at a time, so any partial package found here was cut short by an earlier
    // process and will never be finished. A failed packaging of this process removes its own, so one
    // look per folder and process is enough: a backlog of packagings does not list "prepared" again
    // for each one.
    const std::string folder = destinationDirectory();
    {
        static std::mutex mutex;
        static std::set<std::string> looked;
        std::lock_guard lock(mutex);
        if (!looked.insert(folder).second) return;
    }
    if (auto names = ns::listDirectory(folder))
        for (const auto& name : *names)
            if (name.starts_with(".") && name.ends_with(kPartialSuffix))
                removeQuietly((std::filesystem::path(folder) / name).string());
}

void ZEVPackageReportOperation::main() {
    finalPath_.reset();
    if (!report_ || !fileManager_) return;
    removePartialPackages();
    const std::string boundary = ZOVMultipartMimeStreamEncoder::generateBoundary();
    const std::string packagePath = packagedPathWithName(boundary);
    // Hidden until whole: nothing lists it, so a crash part-way leaves no package to upload.
    const std::string partialPath =
        (std::filesystem::path(destinationDirectory()) / ("." + boundary + kPartialSuffix)).string();
    const std::string identifier = report_->identifier();
    const std::optional<std::string> APIKey = report_->APIKey();

    auto stream = std::make_shared<net::FileOutputStream>(partialPath);
    auto encoder = ZOVMultipartMimeStreamEncoder::encoderWithStream(stream, boundary);
    if (!encoder) return;
    std::vector<std::string> members;
    bool failed = false;
    bool encoded = encoder->encode([&] {
        if (APIKey) encoder->addValue(ns::PropertyList(*APIKey), std::string("api_key"));
        encoder->addValue(ns::PropertyList(identifier), std::string("report_id"));
        fileManager_->enumerateFilesInDirectory(
            reportPath(), [&](const std::string& path, const std::string& extension) {
                if (failed || extension == "gz") return;
                auto compressed = compressFile(path);
                if (!compressed) {
                    failed = true;
                    return;
                }
                members.push_back(*compressed);
                std::string fileName = std::filesystem::path(*compressed).filename().string();
                if (fileName.empty()) {
                    ZEVSDKLog("%s: Error: paths are invalid\n", "ZEVPackageReportOperation");
                    return;
                }
                if (!encoder->addFile(*compressed, fileName, std::string("application/x-gzip"),
                                      deletingPathExtension(deletingPathExtension(fileName)))) {
                    failed = true;
                }
            });
    });
    if (encoded && !failed && ::rename(partialPath.c_str(), packagePath.c_str()) == 0) {
        finalPath_ = packagePath;
        return;
    }
    ZEVSDKLog("%s: Error: unable to write the package %s\n", "ZEVPackageReportOperation",
              packagePath.c_str());
    removeQuietly(partialPath);
    for (const auto& member : members)
        removeQuietly(member);
}
