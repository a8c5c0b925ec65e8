#include "platform/foundation/UserDefaults.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Date.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/foundation/UUID.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace ns {
namespace {

namespace fs = std::filesystem;

inline constexpr const char* defaultsErrorDomain = "VelomarinthUserDefaultsErrorDomain";

std::string safeFileComponent(std::string name) {
    for (char& c : name)
        if (c == '/' || c == '\0') c = '_';
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name;
}

Error ioError(long code, const std::string& what, int err) {
    return Error::make(defaultsErrorDomain, code, what + ": " + std::strerror(err));
}

// "20261206T211547Z": sorts by time and needs no characters that shells or file systems mind.
std::string fileTimestamp() {
    std::string iso = Date::now().iso8601String();
    std::string out;
    for (char c : iso)
        if (c != '-' && c != ':') out.push_back(c);
    return out;
}

// Writes `bytes` to `target` atomically: temporary file in the same folder, fsync, rename, fsync of the
// folder. On failure the temporary file is removed and `target` is untouched.
Result<void> writeAtomically(const fs::path& target, const std::vector<std::uint8_t>& bytes) {
    const fs::path folder = target.parent_path();
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path temp = folder / (target.filename().string() + ".tmp-" + UUID::random().string());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return ioError(1, "cannot create " + temp.string(), errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(temp.c_str());
            return ioError(2, "cannot write " + temp.string(), err);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return ioError(3, "cannot flush " + temp.string(), err);
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return ioError(3, "cannot close " + temp.string(), err);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return ioError(4, "cannot replace " + target.string(), err);
    }
    // Make the rename itself durable.
    int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        ::fsync(dirfd);
        ::close(dirfd);
    }
    return {};
}

struct StandardState {
    std::mutex mutex;
    std::unique_ptr<UserDefaults> current;
    // Stores replaced after the sandbox or bundle moved; kept alive for references handed out earlier.
    std::vector<std::unique_ptr<UserDefaults>> retired;
};

StandardState& standardState() {
    static StandardState s;
    return s;
}

} // namespace

UserDefaults& UserDefaults::standard() {
    const std::string domain = Bundle::mainBundleIdentifierForStorage();
    const fs::path folder = Sandbox::preferences();
    auto& s = standardState();
    std::lock_guard lock(s.mutex);
    const fs::path wanted = folder / (safeFileComponent(domain) + ".plist");
    if (!s.current || s.current->filePath() != wanted) {
        if (s.current) s.retired.push_back(std::move(s.current));
        s.current = std::make_unique<UserDefaults>(domain, folder);
    }
    return *s.current;
}

UserDefaults::UserDefaults(std::string domain) : UserDefaults(std::move(domain), Sandbox::preferences()) {}

UserDefaults::UserDefaults(std::string domain, fs::path preferencesFolder)
    : domain_(std::move(domain)), filePath_(preferencesFolder / (safeFileComponent(domain_) + ".plist")) {
    load();
}

void UserDefaults::load() {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(filePath_, ec))) return;
    std::string reason;
    auto read = readPropertyListFile(filePath_);
    if (read) {
        if (auto* dict = read->dictionaryValue()) {
            values_ = std::move(*dict);
            return;
        }
        reason = "its root is a " + std::string(propertyListTypeName(read->type())) + ", not a dictionary";
    } else {
        reason = read.error().localizedDescription();
    }
    // Keep the unreadable file for inspection instead of overwriting it with the next write.
    fs::path aside = filePath_;
    aside += ".corrupt-" + fileTimestamp();
    for (int n = 1; fs::exists(fs::symlink_status(aside, ec)); ++n) {
        aside = filePath_;
        aside += ".corrupt-" + fileTimestamp() + "-" + std::to_string(n);
    }
    if (::rename(filePath_.c_str(), aside.c_str()) == 0) {
        console("UserDefaults: cannot read " + filePath_.string() + " (" + reason + "); moved it to " +
                aside.string() + " and started empty");
        return;
    }
    const int err = errno;
    // The file could not be moved aside: refuse to write over it rather than lose it.
    writeBlocked_ = true;
    lastWriteError_ = ioError(5, "cannot move aside unreadable " + filePath_.string(), err);
    console("UserDefaults: cannot read " + filePath_.string() + " (" + reason + ") nor move it aside (" +
            std::strerror(err) + "); changes will not be saved");
}

Result<void> UserDefaults::writeLocked() {
    if (writeBlocked_) {
        // An unreadable file we could not move aside is still in the way: keep it.
        console("UserDefaults: not saving " + filePath_.string() + ": " +
                lastWriteError_->localizedDescription());
        return *lastWriteError_;
    }
    auto bytes = writePropertyList(PropertyList(values_), PropertyListFormat::binary);
    Result<void> result = bytes ? writeAtomically(filePath_, *bytes) : Result<void>(bytes.error());
    if (!result) {
        lastWriteError_ = result.error();
        console("UserDefaults: cannot save " + filePath_.string() + ": " +
                result.error().localizedDescription());
    } else {
        lastWriteError_.reset();
    }
    return result;
}

std::optional<PropertyList> UserDefaults::objectForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (auto* v = values_.find(key)) return *v;
    return std::nullopt;
}

Result<void> UserDefaults::setObject(std::string_view key, PropertyList value) {
    std::lock_guard lock(mutex_);
    if (value.isNull())
        values_.remove(key);
    else
        values_.set(std::string(key), std::move(value));
    return writeLocked();
}

Result<void> UserDefaults::removeObjectForKey(std::string_view key) {
    return setObject(key, PropertyList());
}

std::optional<PropertyList::Data> UserDefaults::dataForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (auto* v = values_.find(key))
        if (auto* d = v->dataValue()) return *d;
    return std::nullopt;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (auto* v = values_.find(key))
        if (auto* s = v->stringValue()) return *s;
    return std::nullopt;
}

std::optional<PropertyList::Array> UserDefaults::arrayForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (auto* v = values_.find(key))
        if (auto* a = v->arrayValue()) return *a;
    return std::nullopt;
}

bool UserDefaults::boolForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PropertyList* v = values_.find(key);
    if (!v) return false;
    if (auto b = v->boolValue()) return *b;
    if (auto i = v->integerValue()) return *i != 0;
    if (auto r = v->realValue()) return *r != 0.0;
    if (auto* s = v->stringValue()) return *s == "YES" || *s == "yes" || *s == "true" || *s == "1";
    return false;
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PropertyList* v = values_.find(key);
    if (!v) return 0;
    if (auto i = v->integerValue()) return *i;
    if (auto b = v->boolValue()) return *b ? 1 : 0;
    if (auto r = v->realValue()) {
        if (!std::isfinite(*r) || *r >= 9.2e18 || *r <= -9.2e18) return 0;
        return static_cast<std::int64_t>(*r);
    }
    if (auto* s = v->stringValue()) {
        errno = 0;
        char* end = nullptr;
        long long parsed = std::strtoll(s->c_str(), &end, 10);
        if (errno == 0 && end && end != s->c_str() && *end == '\0') return parsed;
    }
    return 0;
}

PropertyList::Dictionary UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return values_;
}

Result<void> UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    return writeLocked();
}

std::optional<Error> UserDefaults::lastWriteError() const {
    std::lock_guard lock(mutex_);
    return lastWriteError_;
}

} // namespace ns
