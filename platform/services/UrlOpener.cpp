#include "platform/services/UrlOpener.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace svc {
namespace {

// Looks a program up on PATH the way execvp would, so that we can answer false up front instead of
// learning about a missing program from a child's exit status.
std::string findOnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        auto colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        if (!dir.empty()) {
            std::string candidate = std::string(dir) + "/" + std::string(program);
            if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate))
                return candidate;
        }
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

} // namespace

bool XdgUrlOpener::openURL(const std::string& url) {
    // An address starting with "-" would be read as an option by the opener.
    if (url.empty() || url.front() == '-' || url.find('\0') != std::string::npos) return false;
    const std::string program = findOnPath("xdg-open");
    if (program.empty()) return false;
    // The opener's own chatter must not scribble over the terminal front end.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(url.c_str()), nullptr};
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    // Reap the child without making the caller wait for the browser.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

bool FakeUrlOpener::openURL(const std::string& url) {
    std::lock_guard lock(mutex_);
    opened_.push_back(url);
    return result_;
}

void FakeUrlOpener::setResult(bool result) {
    std::lock_guard lock(mutex_);
    result_ = result;
}

std::vector<std::string> FakeUrlOpener::openedURLs() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

namespace {

std::mutex& openerMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<UrlOpener>& opener() {
    static std::shared_ptr<UrlOpener> o = std::make_shared<XdgUrlOpener>();
    return o;
}

} // namespace

std::shared_ptr<UrlOpener> sharedUrlOpener() {
    std::lock_guard lock(openerMutex());
    return opener();
}

void setSharedUrlOpener(std::shared_ptr<UrlOpener> o) {
    std::lock_guard lock(openerMutex());
    opener() = o ? std::move(o) : std::make_shared<XdgUrlOpener>();
}

} // namespace svc
