#pragma once
// Starting the shipped program the way a person does, for the benchmarks that time a whole launch: in
// a new 80x24 pseudo-terminal whose screen is read as a terminal would, with the learner's home given
// and every server the program asks pointed at a closed port on this machine (no launch reaches the
// network). A benchmark that wants a server of its own names it in `environment`, set after those.
//
// CPU time rather than wall time: the machine this runs on is shared, and a busy core stretches wall
// time without changing the work done.
//
// Failure contract: -1 when the program could not start or did not exit normally with status 0.
#include "tools/loopback/LoopbackServers.hpp"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace velobench {

using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs `argv` until it ends; its CPU seconds, user and system, all its threads, from start to exit.
inline double cpuSecondsInPty(const std::vector<std::string>& argv, const std::filesystem::path& home,
                              const Environment& environment = {}) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, &size);
    if (child < 0) return -1;
    if (child == 0) {
        ::setenv("TERM", "xterm-256color", 1);
        ::setenv("VELOMARINTH_HOME", home.c_str(), 1);
        velotools::pointServersAtLoopback();
        for (const auto& [name, value] : environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    // Read the screen as a terminal would, until the program closes its side.
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    ::close(terminal);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace velobench
