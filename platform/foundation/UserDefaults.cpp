#include "platform/foundation/UserDefaults.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Date.hpp"
#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "platform/foundation/Sandbox.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <span>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace ns {
namespace {

namespace fs = std::filesystem;

std::string safeFileComponent(std::string name) {
    for (char& c : name)
        if (c == '/' || c == '\0') c = '_';
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name;
}

fs::path withSuffix(const fs::path& path, const std::string& suffix) {
    fs::path out = path;
    out += suffix;
    return out;
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

// The domain's lock while it lives. The lock file is never removed: a process that opened it before
// another removed it would lock a file nobody else sees.
class UserDefaults::DomainLock {
  public:
    explicit DomainLock(int fd) : fd_(fd) {}
    DomainLock(DomainLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    DomainLock& operator=(DomainLock&&) = delete;
    ~DomainLock() {
        if (fd_ >= 0) ::close(fd_); // closing releases the flock
    }

  private:
    int fd_;
};

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

Result<UserDefaults::DomainLock> UserDefaults::lockDomain() const {
    const fs::path lockPath = withSuffix(filePath_, ".lock");
    int fd = openRegularFile(lockPath, O_RDWR | O_CREAT);
    // A link or a FIFO there is no lock any copy of the app could share: it goes, and a file is made.
    if (fd < 0 && isUnusableFileError(errno) && ::unlink(lockPath.c_str()) == 0)
        fd = openRegularFile(lockPath, O_RDWR | O_CREAT);
    if (fd < 0) return posixError(errno, "cannot open the lock " + lockPath.string());
    DomainLock lock(fd);
    const auto deadline = std::chrono::steady_clock::now() + lockTimeout;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EINTR) continue;
        if (err != EWOULDBLOCK) return posixError(err, "cannot lock " + lockPath.string());
        if (std::chrono::steady_clock::now() >= deadline) {
            return Error(posixErrorDomain, err,
                         {{Error::localizedDescriptionKey,
                           "cannot lock " + lockPath.string() + ": another process keeps it locked"},
                          {failureReasonKey, "another copy of the app keeps the settings locked"}});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return lock;
}

void UserDefaults::removeStaleTemporaries() const {
    // Writers make their temporary files only while holding the lock, so under it every one is stale.
    const std::string prefix = temporaryFilePrefix(filePath_);
    auto names = listDirectory(filePath_.parent_path());
    if (!names) return;
    for (const auto& name : *names) {
        if (name.rfind(prefix, 0) != 0) continue;
        const fs::path stale = filePath_.parent_path() / name;
        std::error_code removed;
        if (fs::remove(stale, removed))
            console("UserDefaults: removed " + stale.string() + ", left by an interrupted save");
    }
}

void UserDefaults::load() {
    std::error_code ec;
    // Nothing stored yet: no folder to lock or clean either.
    if (!fs::exists(filePath_.parent_path(), ec) && !ec) return;
    auto lock = lockDomain();
    if (lock) removeStaleTemporaries();
    auto disk = readDisk(lock.ok());
    if (disk) {
        values_ = std::move(disk.value());
        return;
    }
    console("UserDefaults: " + disk.error().localizedDescription() +
            "; it is left as it is and nothing is saved over it");
}

Result<PropertyList::Dictionary> UserDefaults::readDisk(bool locked) {
    auto bytes = readFileIfPresent(filePath_, maximumFileLength);
    // What may become readable (a permission, an I/O error) is left where it is; what never can is
    // moved aside below like a damaged file.
    if (!bytes && !isUnusableFileError(static_cast<int>(bytes.error().code()))) {
        auto info = bytes.error().userInfo();
        info[failureReasonKey] = "the saved preferences cannot be read (" + info[failureReasonKey] + ")";
        readError_ = Error(bytes.error().domain(), bytes.error().code(), std::move(info));
        return *readError_;
    }
    readError_.reset();
    std::string reason;
    if (!bytes) {
        const auto& info = bytes.error().userInfo();
        const auto found = info.find(failureReasonKey);
        reason = found != info.end() ? found->second : bytes.error().localizedDescription();
    } else {
        if (!bytes->has_value()) return PropertyList::Dictionary{};
        auto read = readPropertyList(std::span<const std::uint8_t>(**bytes));
        if (read) {
            if (auto* dict = read->dictionaryValue()) return std::move(*dict);
            reason =
                "its root is a " + std::string(propertyListTypeName(read->type())) + ", not a dictionary";
        } else {
            reason = read.error().localizedDescription();
        }
    }
    // Keep the corrupt file for inspection instead of overwriting it with the next write. Only under the
    // lock: another process may be replacing it with a sound one right now.
    const fs::path aside = withSuffix(filePath_, ".corrupt-" + Date::now().compactISO8601String());
    fs::path target = aside;
    std::error_code ec;
    for (int n = 1; fs::exists(fs::symlink_status(target, ec)); ++n)
        target = withSuffix(aside, "-" + std::to_string(n));
    if (locked && ::rename(filePath_.c_str(), target.c_str()) == 0) {
        corruptFileCopy_ = target;
        console("UserDefaults: cannot read " + filePath_.string() + " (" + reason + "); moved it to " +
                target.string() + " and started empty");
        return PropertyList::Dictionary{};
    }
    const int err = locked ? errno : ENOLCK;
    readError_ =
        Error(posixErrorDomain, err,
              {{Error::localizedDescriptionKey, "cannot read " + filePath_.string() + " (" + reason +
                                                    ") nor move it aside (" + std::strerror(err) + ")"},
               {failureReasonKey, "the saved preferences are damaged and could not be moved aside"}});
    return *readError_;
}

Result<void>
UserDefaults::writeLocked(const std::function<void(const PropertyList::Dictionary& disk)>& beforeMerge) {
    auto fail = [this](const Error& error) -> Result<void> {
        lastWriteError_ = error;
        console("UserDefaults: cannot save " + filePath_.string() + ": " + error.localizedDescription());
        return error;
    };
    std::error_code ec;
    createPrivateDirectories(filePath_.parent_path(), ec);
    auto lock = lockDomain();
    if (!lock) return fail(lock.error());
    auto disk = readDisk(true);
    if (!disk) return fail(disk.error());
    if (beforeMerge) beforeMerge(disk.value());
    PropertyList::Dictionary merged = std::move(disk.value());
    for (const auto& key : changed_) {
        if (const PropertyList* value = values_.find(key))
            merged.set(key, *value);
        else
            merged.remove(key);
    }
    // From here on memory also holds what other processes wrote.
    values_ = std::move(merged);
    auto bytes = writePropertyList(PropertyList(values_), PropertyListFormat::binary);
    Result<void> result = bytes ? writeFileAtomically(filePath_, *bytes) : Result<void>(bytes.error());
    if (!result) return fail(result.error());
    changed_.clear();
    lastWriteError_.reset();
    return {};
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
    changed_.emplace(key);
    return writeLocked(nullptr);
}

Result<void> UserDefaults::removeObjectForKey(std::string_view key) {
    return setObject(key, PropertyList());
}

Result<void>
UserDefaults::updateObject(std::string_view key,
                           const std::function<PropertyList(const PropertyList* stored)>& merge) {
    std::lock_guard lock(mutex_);
    auto result = writeLocked([&](const PropertyList::Dictionary& disk) {
        PropertyList value = merge(disk.find(key));
        if (value.isNull())
            values_.remove(key);
        else
            values_.set(std::string(key), std::move(value));
        changed_.emplace(key);
    });
    // Written later as it stands, the merged value could undo what another process writes meanwhile.
    if (auto it = changed_.find(key); !result && it != changed_.end()) changed_.erase(it);
    return result;
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
    return writeLocked(nullptr);
}

std::optional<Error> UserDefaults::lastWriteError() const {
    std::lock_guard lock(mutex_);
    return lastWriteError_;
}

std::optional<Error> UserDefaults::readError() const {
    std::lock_guard lock(mutex_);
    return readError_;
}

std::optional<fs::path> UserDefaults::corruptFileCopy() const {
    std::lock_guard lock(mutex_);
    return corruptFileCopy_;
}

} // namespace ns
