#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Hidden, so that the folder's packaging and every folder-wide listing pass it over.
constexpr const char* kCrashCountedName = ".crash_counted";

// What one pass over a report folder found.
struct FolderFacts {
    std::optional<std::vector<nlohmann::json>> metadata;
    std::uint32_t heldSubmissionFiles = 0;
};

FolderFacts readFolder(const std::string& path) {
    FolderFacts facts;
    const int directory = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0) return facts;
    // The folder is no link (it opened as itself), and the metadata is read as a file of its own.
    if (auto text = ns::readFileText(std::filesystem::path(path) / "metadata.zevrecord",
                                     ZEVInternalReport::maximumMetadataLength)) {
        auto sections = ZEVSectionsOfText(*text);
        if (!sections.empty()) facts.metadata = std::move(sections);
    }
    // Each name looked up in the open folder: no listing to read, and no access time to write back.
    const auto& names = ZEVInternalReport::submissionFilenames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        struct stat info {};
        if (::fstatat(directory, names[i].c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
            facts.heldSubmissionFiles |= 1u << i;
    }
    ::close(directory);
    return facts;
}

std::optional<std::string> identifierOf(const std::optional<std::vector<nlohmann::json>>& sections) {
    if (!sections || sections->empty()) return std::nullopt;
    const auto& first = sections->front();
    auto identity = first.find("identity");
    if (identity == first.end() || !identity->is_object()) return std::nullopt;
    auto session = identity->find("session_id");
    if (session == identity->end() || !session->is_string()) return std::nullopt;
    return session->get<std::string>();
}

} // namespace

std::shared_ptr<ZEVInternalReport> ZEVInternalReport::reportWithPath(const std::string& path) {
    return initWithPath(path);
}

std::shared_ptr<ZEVInternalReport> ZEVInternalReport::initWithPath(const std::string& path) {
    FolderFacts facts = readFolder(path);
    const std::optional<std::string> identifier = identifierOf(facts.metadata);
    if (!identifier) {
        ns::console("[Zevuzavidav:Crash] Unable to read identifier at path " + path);
        return nullptr;
    }
    return std::make_shared<ZEVInternalReport>(path, *identifier, std::move(*facts.metadata),
                                               facts.heldSubmissionFiles);
}

bool ZEVInternalReport::folderHoldsMetadata(const std::string& path) {
    const int directory = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0) return false;
    struct stat info {};
    const bool held = ::fstatat(directory, "metadata.zevrecord", &info, AT_SYMLINK_NOFOLLOW) == 0;
    ::close(directory);
    return held;
}

std::shared_ptr<ZEVInternalReport>
ZEVInternalReport::initWithPath(const std::optional<std::string>& path,
                                const std::optional<std::string>& executionIdentifier) {
    if (!path || !executionIdentifier) return nullptr;
    return std::make_shared<ZEVInternalReport>(*path, *executionIdentifier);
}

std::optional<std::vector<nlohmann::json>> ZEVInternalReport::readMetadataAtPath(const std::string& path) {
    auto sections = ZEVFileReadSections(path.c_str(), false);
    if (!sections || sections->empty()) return std::nullopt;
    return sections;
}

const std::vector<std::string>& ZEVInternalReport::metadataSectionNames() {
    static const std::vector<std::string> names = {"identity", "host", "application", "executable"};
    return names;
}

const std::vector<std::string>& ZEVInternalReport::crashFilenames() {
    static const std::vector<std::string> names = {"exception.zevrecord", "mach_exception.zevrecord",
                                                   "signal.zevrecord"};
    return names;
}

const std::vector<std::string>& ZEVInternalReport::submissionFilenames() {
    static const std::vector<std::string> names = {"custom_exception.zevrecord", "exception.zevrecord",
                                                   "signal.zevrecord",           "mach_exception.zevrecord",
                                                   "errors_a.zevrecord",         "errors_b.zevrecord"};
    return names;
}

ZEVInternalReport::ZEVInternalReport(std::string path, std::string identifier)
    : identifier_(std::move(identifier)), path_(std::move(path)) {}

ZEVInternalReport::ZEVInternalReport(std::string path, std::string identifier,
                                     std::vector<nlohmann::json> metadata, std::uint32_t heldSubmissionFiles)
    : identifier_(std::move(identifier)), path_(std::move(path)), metadataSections_(std::move(metadata)),
      heldSubmissionFiles_(heldSubmissionFiles) {}

std::string ZEVInternalReport::path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void ZEVInternalReport::setPath(std::string path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
}

std::string ZEVInternalReport::directoryName() const {
    return std::filesystem::path(path()).filename().string();
}

std::string ZEVInternalReport::pathForContentFile(const std::string& fileName) const {
    return (std::filesystem::path(path()) / fileName).string();
}

bool ZEVInternalReport::checkExistenceOfAtLeastOnceFileInArray(
    const std::vector<std::string>& fileNames) const {
    const auto& known = submissionFilenames();
    for (const auto& name : fileNames) {
        if (heldSubmissionFiles_) {
            auto at = std::find(known.begin(), known.end(), name);
            if (at != known.end()) {
                if (*heldSubmissionFiles_ & (1u << (at - known.begin()))) return true;
                continue;
            }
        }
        struct stat info {};
        if (::stat(pathForContentFile(name).c_str(), &info) == 0) return true;
    }
    return false;
}

bool ZEVInternalReport::crashCounted() const {
    struct stat info {};
    // Only the empty file the SDK makes counts: a link, a hard link to another file, or a file that
    // holds anything is no mark of ours.
    return ::lstat(pathForContentFile(kCrashCountedName).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_nlink == 1 && info.st_size == 0;
}

bool ZEVInternalReport::markCrashCounted() const {
    // Made anew: a file found there with bytes in it would not count as the mark.
    const int fd = ns::openPrivateFileForWriting(pathForContentFile(kCrashCountedName), O_WRONLY | O_TRUNC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

void ZEVInternalReport::enumerateSymbolicatableFilesInContent(
    const std::function<void(const std::string& path)>& block) const {
    if (!block) return;
    for (const auto& name : crashFilenames())
        block(pathForContentFile(name));
}

// Read on first use and kept once read; a failed read is tried again next time. A kept value is never
// replaced, so pointers into it stay valid after the lock is released.
const std::vector<nlohmann::json>* ZEVInternalReport::loadedMetadataSections() {
    std::string path = metadataPath();
    std::lock_guard lock(mutex_);
    if (!metadataSections_) metadataSections_ = readMetadataAtPath(path);
    return metadataSections_ ? &*metadataSections_ : nullptr;
}

std::optional<std::vector<nlohmann::json>> ZEVInternalReport::metadataSections() {
    const auto* sections = loadedMetadataSections();
    if (sections == nullptr) return std::nullopt;
    return *sections;
}

bool ZEVInternalReport::hasWholeMetadata() {
    const auto* sections = loadedMetadataSections();
    const auto& names = metadataSectionNames();
    if (sections == nullptr || sections->size() < names.size()) return false;
    for (std::size_t line = 0; line < names.size(); ++line) {
        const nlohmann::json& section = (*sections)[line];
        auto found = section.find(names[line]);
        if (found == section.end() || !found->is_object()) return false;
    }
    return true;
}

const nlohmann::json* ZEVInternalReport::metadataValue(std::size_t line, const char* section,
                                                       const char* key) {
    const auto* sections = loadedMetadataSections();
    if (sections == nullptr || sections->size() <= line) return nullptr;
    const nlohmann::json& sectionLine = (*sections)[line];
    auto found = sectionLine.find(section);
    if (found == sectionLine.end() || !found->is_object()) return nullptr;
    auto value = found->find(key);
    return value == found->end() ? nullptr : &*value;
}

namespace {

std::optional<std::string> text(const nlohmann::json* value) {
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

} // namespace

std::optional<std::string> ZEVInternalReport::APIKey() {
    return text(metadataValue(0, "identity", "api_key"));
}

std::optional<ns::Date> ZEVInternalReport::dateCreated() {
    const nlohmann::json* value = metadataValue(0, "identity", "started_at");
    if (value == nullptr || !value->is_number()) return std::nullopt;
    return ns::Date::fromTimeIntervalSince1970(value->get<double>());
}

std::optional<std::string> ZEVInternalReport::OSVersion() {
    return text(metadataValue(1, "host", "os_display_version"));
}

std::optional<std::string> ZEVInternalReport::OSBuildVersion() {
    return text(metadataValue(1, "host", "os_build_version"));
}

std::optional<std::string> ZEVInternalReport::bundleVersion() {
    return text(metadataValue(2, "application", "build_version"));
}

std::optional<std::string> ZEVInternalReport::bundleShortVersionString() {
    return text(metadataValue(2, "application", "display_version"));
}
