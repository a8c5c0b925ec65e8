#include "platform/foundation/Sandbox.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace ns {
namespace {

namespace fs = std::filesystem;

struct SandboxState {
    std::mutex mutex;
    std::optional<fs::path> overrideHome;
    std::optional<fs::path> cachedHome;
    std::optional<fs::path> layoutMadeFor;
};

SandboxState& state() {
    static SandboxState s;
    return s;
}

fs::path computeHome() {
    const std::string id = Bundle::mainBundleIdentifierForStorage();
    if (const char* home = std::getenv("VELOMARINTH_HOME"); home && *home) return fs::path(home) / id;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return fs::path(xdg) / "velomarinth" / id;
    if (const char* user = std::getenv("HOME"); user && *user)
        return fs::path(user) / ".local" / "share" / "velomarinth" / id;
    return fs::temp_directory_path() / "velomarinth" / id;
}

// Files of tmp/ that no process holds a lock on: their process has ended. The folder is opened once,
// never through a link, and every entry is taken relative to it, so nothing outside it is touched even
// when entries are swapped meanwhile.
void removeAbandonedTemporaryFiles(const fs::path& tmp) {
    const int folder = ::open(tmp.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return;
    DIR* listing = ::fdopendir(::dup(folder));
    while (const dirent* entry = listing ? ::readdir(listing) : nullptr) {
        const int fd = ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        // The lock is held while the file is unlinked, so its owner cannot start using it meanwhile;
        // one that opened it just before sees it gone once it gets the lock (lockTemporaryFile).
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(folder, entry->d_name, 0);
        ::close(fd);
    }
    if (listing) ::closedir(listing);
    ::close(folder);
}

void makeLayout(const fs::path& home) {
    static const char* const folders[] = {"Documents",      "Library/Preferences",
                                          "Library/Caches", "Library/Application Support",
                                          "Library/Logs",   "tmp"};
    for (const char* folder : folders) {
        std::error_code ec;
        // The home may be reached through links of the user's; what is inside it is the app's own.
        createPrivateDirectories(home / folder, ec, home / *fs::path(folder).begin());
        if (ec) console("Sandbox: cannot create " + (home / folder).string() + ": " + ec.message());
    }
    removeAbandonedTemporaryFiles(home / "tmp");
    // A home made by an earlier version, open to other users, is closed: it holds the learner record,
    // logs and crash reports.
    struct stat info {};
    if (::stat(home.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & 077) != 0)
        ::chmod(home.c_str(), privateDirectoryMode);
}

} // namespace

fs::path Sandbox::home() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    fs::path home = s.overrideHome ? *s.overrideHome : (s.cachedHome ? *s.cachedHome : computeHome());
    if (!s.overrideHome) s.cachedHome = home;
    if (s.layoutMadeFor != home) {
        makeLayout(home);
        s.layoutMadeFor = home;
    }
    return home;
}

void Sandbox::setHome(const fs::path& path) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.overrideHome = path;
    makeLayout(path);
    s.layoutMadeFor = path;
}

void Sandbox::reset() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.overrideHome.reset();
    s.cachedHome.reset();
    s.layoutMadeFor.reset();
}

fs::path Sandbox::documents() {
    return home() / "Documents";
}
fs::path Sandbox::library() {
    return home() / "Library";
}
fs::path Sandbox::preferences() {
    return home() / "Library" / "Preferences";
}
fs::path Sandbox::caches() {
    return home() / "Library" / "Caches";
}
fs::path Sandbox::applicationSupport() {
    return home() / "Library" / "Application Support";
}
fs::path Sandbox::logs() {
    return home() / "Library" / "Logs";
}
fs::path Sandbox::tmp() {
    return home() / "tmp";
}

namespace {

// Where the folders of ours begin on the way to `folder`: the home's first level when it lies in the
// home in use (one already known: looking here never makes a home), else `outside`.
fs::path ownFoldersFrom(const fs::path& folder, const fs::path& outside) {
    std::optional<fs::path> home;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        home = s.overrideHome ? s.overrideHome : s.cachedHome;
    }
    if (!home || home->empty()) return outside;
    const fs::path inner = folder.lexically_normal();
    const fs::path relative = inner.lexically_relative(home->lexically_normal());
    if (relative.empty() || *relative.begin() == ".." || *relative.begin() == ".") return outside;
    return *home / *relative.begin();
}

} // namespace

bool Sandbox::makeOwnFolder(const fs::path& folder, std::error_code& error, const fs::path& outside) {
    return createPrivateDirectories(folder, error, ownFoldersFrom(folder, outside));
}

bool Sandbox::ownFolderExists(const fs::path& folder, std::error_code& error, const fs::path& outside) {
    return privateDirectoryExists(folder, error, ownFoldersFrom(folder, outside));
}

bool Sandbox::lockTemporaryFile(int descriptor) {
    // A sweep holds the lock only while it unlinks; anyone else holding it for long (a second stream
    // on the same file) is not waited for: the file is then used unlocked.
    for (int wait = 0; wait < 200 && ::flock(descriptor, LOCK_EX | LOCK_NB) != 0; ++wait) {
        if (errno != EWOULDBLOCK && errno != EINTR) break; // no locks here: no sweep can take it either
        ::usleep(500);
    }
    struct stat info {};
    return ::fstat(descriptor, &info) == 0 && info.st_nlink > 0;
}

std::optional<Sandbox::TemporaryFile> Sandbox::createTemporaryFile(const std::string& prefix,
                                                                   const std::string& suffix) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string pattern = (tmp() / (prefix + "XXXXXX" + suffix)).string();
        const int fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size())); // made 0600
        if (fd < 0) return std::nullopt;
        if (lockTemporaryFile(fd)) return TemporaryFile{fd, pattern};
        ::close(fd);
    }
    errno = EAGAIN;
    return std::nullopt;
}

} // namespace ns
