#include "sdk/zovaze/settings/ZEVUserDefaults.hpp"

#include "platform/foundation/FileContents.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/Date.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "platform/foundation/Sandbox.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

const char* const logTag = "[Zovaze:UserDefaults] ";

void log(const std::string& text) {
    ns::console(logTag + text);
}

std::string errorText(const std::error_code& error) {
    return error.message();
}

// Writes `bytes` to `path` so that a reader sees either the old file or the whole new one.
bool writeAtomically(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::string temporary = (path.parent_path() / (path.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    std::size_t written = 0;
    bool ok = true;
    while (ok && written < bytes.size()) {
        ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (result < 0 && errno == EINTR) continue;
        if (result <= 0)
            ok = false;
        else
            written += static_cast<std::size_t>(result);
    }
    ok = ok && ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0) {
        int directory = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory >= 0) {
            ::fsync(directory);
            ::close(directory);
        }
        return true;
    }
    ::unlink(temporary.c_str());
    return false;
}

} // namespace

ZEVUserDefaults& ZEVUserDefaults::standardUserDefaults() {
    static std::once_flag once;
    static ZEVUserDefaults* shared = nullptr;
    // Kept for the whole process (never destroyed): the SDK's queues may use it until the very end.
    std::call_once(once, [] { shared = new ZEVUserDefaults(); });
    return *shared;
}

ZEVUserDefaults::ZEVUserDefaults() : ZEVUserDefaults(ns::Sandbox::applicationSupport() / "com.zevuzavidav") {}

ZEVUserDefaults::ZEVUserDefaults(std::filesystem::path directory, ns::UserDefaults* appDefaults)
    : appDefaults_(appDefaults) {
    serialDictionaryQueue_.sync([&] {
        directoryURL_ = std::move(directory);
        fileURL_ = directoryURL_ / "ZEVUserDefaults.plist";
        if (auto loaded = loadDefaults()) dataDictionary_ = std::move(*loaded);
    });
}

ns::UserDefaults& ZEVUserDefaults::appDefaults() {
    return appDefaults_ ? *appDefaults_ : ns::UserDefaults::standard();
}

std::optional<ns::PropertyList::Dictionary> ZEVUserDefaults::loadDefaults() {
    std::optional<ns::PropertyList::Dictionary> loaded;
    synchronizationQueue_.sync([&] {
        std::error_code error;
        // Nothing is read, set aside or removed through a link where the folder (or one above it)
        // belongs: that link goes, and the empty folder in its place holds no defaults.
        if (!ns::Sandbox::ownFolderExists(directoryURL_, error, directoryURL_)) return;
        auto status = std::filesystem::symlink_status(fileURL_, error);
        if (error || !std::filesystem::exists(status)) return;
        if (std::filesystem::is_directory(status)) {
            log("found directory where file expected. Removing conflicting directory");
            std::filesystem::remove_all(fileURL_, error);
            if (error) log("error removing conflicting directory: {error = " + errorText(error) + "}");
            return;
        }
        auto read = ns::readPropertyListFile(fileURL_, maximumFileLength);
        if (read.ok() && read.value().dictionaryValue()) {
            loaded = *read.value().dictionaryValue();
            return;
        }
        log("failed to read existing UserDefaults file");
        // Kept aside rather than overwritten later: what it held may still be recovered.
        auto aside = fileURL_;
        aside += ".corrupt-" + ns::Date::now().iso8601String();
        std::filesystem::rename(fileURL_, aside, error);
        if (error) std::filesystem::remove(fileURL_, error);
    });
    return loaded;
}

std::optional<ns::PropertyList> ZEVUserDefaults::objectForKey(const std::string& key) {
    return serialDictionaryQueue_.syncResult([&]() -> std::optional<ns::PropertyList> {
        if (const ns::PropertyList* value = dataDictionary_.find(key)) return *value;
        return std::nullopt;
    });
}

std::optional<std::string> ZEVUserDefaults::stringForKey(const std::string& key) {
    auto value = objectForKey(key);
    if (!value || !value->stringValue()) return std::nullopt;
    return *value->stringValue();
}

bool ZEVUserDefaults::boolForKey(const std::string& key) {
    auto value = objectForKey(key);
    if (!value) return false;
    if (auto flag = value->boolValue()) return *flag;
    if (auto number = value->integerValue()) return *number != 0;
    if (auto real = value->realValue()) return *real != 0.0;
    return false;
}

void ZEVUserDefaults::setObject(const ns::PropertyList& value, const std::string& key) {
    serialDictionaryQueue_.sync([&] {
        if (value.isNull())
            dataDictionary_.remove(key);
        else
            dataDictionary_.set(key, value);
    });
}

void ZEVUserDefaults::setString(const std::string& value, const std::string& key) {
    setObject(ns::PropertyList(value), key);
}

void ZEVUserDefaults::setBool(bool value, const std::string& key) {
    setObject(ns::PropertyList(value), key);
}

void ZEVUserDefaults::removeObjectForKey(const std::string& key) {
    serialDictionaryQueue_.sync([&] { dataDictionary_.remove(key); });
}

void ZEVUserDefaults::removeAllObjects() {
    serialDictionaryQueue_.sync([&] { dataDictionary_.clear(); });
}

ns::PropertyList::Dictionary ZEVUserDefaults::dictionaryRepresentation() {
    return serialDictionaryQueue_.syncResult([&] { return dataDictionary_; });
}

bool ZEVUserDefaults::synchronize() {
    std::uint64_t generation = 0;
    auto snapshot = serialDictionaryQueue_.syncResult([&] {
        generation = ++snapshotGeneration_;
        return dataDictionary_;
    });
    bool written = false;
    synchronizationQueue_.sync([&] {
        // Two callers may reach the file in the other order than they took their snapshots: a snapshot
        // older than the one on disk must not replace it (the newer one already holds its changes).
        if (writtenGeneration_ > generation) {
            written = true;
            return;
        }
        std::error_code error;
        // Looked at as a folder every time: a link in its place (or above it) is never written through.
        if (!ns::Sandbox::makeOwnFolder(directoryURL_, error, directoryURL_))
            log("failed to create directory with error:" + errorText(error));
        auto bytes =
            ns::writePropertyList(ns::PropertyList(std::move(snapshot)), ns::PropertyListFormat::xml);
        if (!bytes.ok() || !writeAtomically(fileURL_, bytes.value())) {
            log("Unable to open file for writing at path " + fileURL_.string());
            return;
        }
        // The file is readable by this user alone (0600); there is no separate protection class here.
        writtenGeneration_ = generation;
        written = true;
    });
    return written;
}

std::optional<ns::PropertyList>
ZEVUserDefaults::objectForKeyByMigratingFromNSUserDefaults(const std::optional<std::string>& key) {
    if (!key) return std::nullopt;
    if (auto value = objectForKey(*key)) return value;
    auto legacy = appDefaults().objectForKey(*key);
    if (!legacy || legacy->isNull()) return std::nullopt;
    setObject(*legacy, *key);
    // Only once the value is safely in the SDK's own file may the old copy go.
    if (synchronize()) appDefaults().removeObjectForKey(*key);
    return legacy;
}

void ZEVUserDefaults::migrateFromNSUserDefaults(const std::vector<std::string>& keys) {
    bool copied = false;
    for (const auto& key : keys) {
        auto value = appDefaults().objectForKey(key);
        if (!value || value->isNull()) continue;
        setObject(*value, key);
        copied = true;
    }
    if (!copied) return;
    if (!synchronize()) return;
    for (const auto& key : keys)
        appDefaults().removeObjectForKey(key);
}
