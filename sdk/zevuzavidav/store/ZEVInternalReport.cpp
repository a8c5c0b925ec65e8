#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"

#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"

#include <filesystem>
#include <sys/stat.h>

std::shared_ptr<ZEVInternalReport> ZEVInternalReport::reportWithPath(const std::string& path) {
    return initWithPath(path);
}

std::shared_ptr<ZEVInternalReport> ZEVInternalReport::initWithPath(const std::string& path) {
    std::optional<std::string> identifier;
    auto sections = readMetadataAtPath((std::filesystem::path(path) / "metadata.zevrecord").string());
    if (sections && !sections->empty()) {
        const auto& first = sections->front();
        auto identity = first.find("identity");
        if (identity != first.end() && identity->is_object()) {
            auto session = identity->find("session_id");
            if (session != identity->end() && session->is_string()) identifier = session->get<std::string>();
        }
    }
    if (!identifier) ns::console("[Zevuzavidav:Crash] Unable to read identifier at path " + path);
    return initWithPath(path, identifier);
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
    for (const auto& name : fileNames) {
        struct stat info {};
        if (::stat(pathForContentFile(name).c_str(), &info) == 0) return true;
    }
    return false;
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
