#include "sdk/zevuzavidav/store/ZEVFileManager.hpp"

#include "platform/foundation/FileContents.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string join(const std::string& directory, const std::string& name) {
    return (fs::path(directory) / name).string();
}

std::string describe(const std::error_code& error) {
    return error.message() + " (" + std::to_string(error.value()) + ")";
}

} // namespace

ZEVFileManager::ZEVFileManager()
    : rootPath_((ns::Sandbox::caches() / "com.zevuzavidav.data" / pathNamespace()).string()) {}

std::string ZEVFileManager::pathNamespace() {
    return ZOVEscapedBundleIdentifier().value_or("");
}

std::string ZEVFileManager::structurePath() const {
    return join(rootPath_, "v3");
}
std::string ZEVFileManager::activePath() const {
    return join(structurePath(), "active");
}
std::string ZEVFileManager::pendingPath() const {
    return join(structurePath(), "pending");
}
std::string ZEVFileManager::processingPath() const {
    return join(structurePath(), "processing");
}
std::string ZEVFileManager::preparedPath() const {
    return join(structurePath(), "prepared");
}
std::string ZEVFileManager::legacyMarkerPath() const {
    return join(rootPath_, "sendable");
}

std::string ZEVFileManager::ownFoldersOutsideSandbox() const {
    return fs::path(rootPath_).parent_path().string();
}

bool ZEVFileManager::ownFolderExists(const std::string& path) const {
    std::error_code error;
    return ns::Sandbox::ownFolderExists(path, error, ownFoldersOutsideSandbox());
}

bool ZEVFileManager::createDirectoryAtPath(const std::string& path) const {
    std::error_code error;
    // From the sandbox's Library down every folder is the app's or the SDK's own: a link in one's place
    // is replaced.
    ns::Sandbox::makeOwnFolder(path, error, ownFoldersOutsideSandbox());
    if (error) {
        ns::console("[FileManager] Unable to create directory " + describe(error) + " (" + path + ")");
        return false;
    }
    return true;
}

bool ZEVFileManager::removeItemAtPath(const std::optional<std::string>& path) const {
    if (!path) return false;
    std::error_code error;
    if (!ownFolderExists(fs::path(*path).parent_path().string()) ||
        !fs::exists(fs::symlink_status(*path, error))) {
        if (!error) error = std::make_error_code(std::errc::no_such_file_or_directory);
    } else {
        fs::remove_all(*path, error);
    }
    if (error) {
        ns::console("[FileManager] Failed to remove file '" + *path + "' : " + describe(error));
        return false;
    }
    return true;
}

bool ZEVFileManager::removeContentsOfDirectoryAtPath(const std::string& path) const {
    // A link where the folder (or one above it) belongs is not listed through: its entries are not ours.
    if (!ownFolderExists(path)) return true;
    bool all = true;
    for (const auto& entry : contentsOfDirectory(path)) {
        if (!removeItemAtPath(entry)) all = false;
    }
    return all;
}

bool ZEVFileManager::moveItemAtPath(const std::optional<std::string>& path,
                                    const std::optional<std::string>& directory) const {
    if (!path || !directory) {
        ns::console("[FileManager] Failed to move file, inputs invalid");
        return false;
    }
    std::string destination = join(*directory, fs::path(*path).filename().string());
    if (!ownFolderExists(fs::path(*path).parent_path().string()) || !ownFolderExists(*directory)) {
        ns::console("[FileManager] Failed to move file: " +
                    describe(std::make_error_code(std::errc::no_such_file_or_directory)) + " (" + *path +
                    " to " + destination + ")");
        return false;
    }
    // One rename that refuses to replace: the report is in exactly one place at every moment.
    if (::renameat2(AT_FDCWD, path->c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) != 0) {
        ns::console("[FileManager] Failed to move file: " +
                    describe(std::error_code(errno, std::generic_category())) + " (" + *path + " to " +
                    destination + ")");
        return false;
    }
    return true;
}

bool ZEVFileManager::moveItemsFromDirectory(const std::string& source, const std::string& destination) const {
    for (const auto& entry : contentsOfDirectory(source)) {
        if (!moveItemAtPath(entry, destination)) return false;
    }
    return true;
}

void ZEVFileManager::enumerateFilesInDirectory(const std::string& directory, const FileBlock& block) const {
    if (!block) return;
    for (const auto& path : contentsOfDirectory(directory)) {
        std::string extension = fs::path(path).extension().string();
        if (!extension.empty()) extension.erase(0, 1);
        block(path, extension);
    }
}

std::vector<std::string> ZEVFileManager::contentsOfDirectory(const std::string& directory) const {
    std::vector<std::string> entries;
    // Never through a link in the folder's place or above it: what it points to is not the SDK's to
    // list, move, upload or remove.
    if (!ownFolderExists(directory)) return entries;
    auto names = ns::listDirectory(directory);
    if (!names) return entries;
    for (const auto& name : *names) {
        if (!name.empty() && name[0] == '.') continue;
        entries.push_back(join(directory, name));
    }
    return entries;
}

std::optional<std::uint64_t> ZEVFileManager::fileSizeAtPath(const std::string& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        ns::console("[Client] Unable to read file size: " +
                    describe(std::error_code(errno, std::generic_category())) + " (" + path + ")");
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool ZEVFileManager::prepareForNewLaunch() const {
    return createDirectoryAtPath(activePath()) && createDirectoryAtPath(processingPath()) &&
           createDirectoryAtPath(preparedPath());
}

std::optional<std::string>
ZEVFileManager::setupNewPathForExecutionIdentifier(const std::string& identifier) const {
    std::string path = join(activePath(), identifier);
    if (identifier.empty() || !createDirectoryAtPath(path)) return std::nullopt;
    return path;
}

void ZEVFileManager::removeLegacyDirectories() const {
    std::error_code error;
    // The root is looked at as a folder first: through a link in its place (or above it) the marker
    // would take a folder elsewhere with it.
    if (!ownFolderExists(rootPath_) || !fs::exists(fs::symlink_status(legacyMarkerPath(), error))) return;
    fs::remove_all(rootPath_, error);
    if (error) {
        ns::console("[Zevuzavidav:FileManager] Unable to remove legacy directory structure " +
                    describe(error));
        return;
    }
    ns::console("[Zevuzavidav:FileManager] Removed legacy structure at " + rootPath_);
}

void ZEVFileManager::enumerateFilesInActiveDirectoryUsingBlock(const FileBlock& block) const {
    enumerateFilesInDirectory(activePath(), block);
}

void ZEVFileManager::enumerateFilesInPreparedDirectoryUsingBlock(const FileBlock& block) const {
    enumerateFilesInDirectory(preparedPath(), block);
}

void ZEVFileManager::enumerateReportsInProcessingDirectoryUsingBlock(
    const std::function<void(const std::shared_ptr<ZEVInternalReport>& report, const std::string& path)>&
        block) const {
    if (!block) return;
    for (const auto& path : processingPathContents())
        block(ZEVInternalReport::reportWithPath(path), path);
}

bool ZEVFileManager::movePendingToProcessing() const {
    return moveItemsFromDirectory(pendingPath(), processingPath());
}

bool ZEVFileManager::moveProcessingContentsToPrepared() const {
    return moveItemsFromDirectory(processingPath(), preparedPath());
}

bool ZEVFileManager::removeContentsOfProcessingPath() const {
    return removeContentsOfDirectoryAtPath(processingPath());
}

bool ZEVFileManager::removeContentsOfPendingPath() const {
    return removeContentsOfDirectoryAtPath(pendingPath());
}

bool ZEVFileManager::removeContentsOfAllPaths() const {
    bool processing = removeContentsOfProcessingPath();
    bool pending = removeContentsOfPendingPath();
    bool prepared = removeContentsOfDirectoryAtPath(preparedPath());
    bool active = removeContentsOfDirectoryAtPath(activePath());
    return processing && pending && prepared && active;
}
