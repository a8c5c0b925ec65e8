#include "platform/foundation/Sandbox.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"

#include <sys/stat.h>

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

void makeLayout(const fs::path& home) {
    static const char* const folders[] = {"Documents",      "Library/Preferences",
                                          "Library/Caches", "Library/Application Support",
                                          "Library/Logs",   "tmp"};
    for (const char* folder : folders) {
        std::error_code ec;
        createPrivateDirectories(home / folder, ec);
        if (ec) console("Sandbox: cannot create " + (home / folder).string() + ": " + ec.message());
    }
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

} // namespace ns
