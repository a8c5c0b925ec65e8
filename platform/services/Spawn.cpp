#include "platform/services/Spawn.hpp"

#include "platform/darwin/ThreadStart.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace svc {

std::string findOnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        auto colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        if (!dir.empty()) {
            std::string candidate = std::string(dir) + "/" + std::string(program);
            std::error_code ec;
            if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate, ec))
                return candidate;
        }
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

bool spawnDetached(std::string_view program, const std::vector<std::string>& arguments) {
    if (std::any_of(arguments.begin(), arguments.end(),
                    [](const std::string& a) { return a.find('\0') != std::string::npos; }))
        return false;
    const std::string path = findOnPath(program);
    if (path.empty()) return false;
    std::string name(program);
    std::vector<char*> argv{name.data()};
    std::vector<std::string> copies = arguments;
    for (auto& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    // Reap the child without making the caller wait for the program.
    darwin::startThread(nullptr, [pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

} // namespace svc
