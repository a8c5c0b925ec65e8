#pragma once
// Starting the shipped program the way a person does, for the benchmarks that time a whole launch: in
// a new 80x24 pseudo-terminal whose screen is read as a terminal would, with the learner's home given
// and every server the program asks pointed at a closed port on this machine (no launch reaches the
// network). A benchmark that wants a server of its own names it in `environment`, set after those.
//
// CPU time rather than wall time: the machine this runs on is shared, and a busy core stretches wall
// time without changing the work done. Resident memory is read once the program sits idle at its first
// screen, as a person sees it before the first key.
//
// Failure contract: -1 (or nothing, for memory) when the program could not start, never settled at its
// screen, or did not exit normally with status 0.
#include "tools/loopback/LoopbackServers.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace velobench {

using Environment = std::vector<std::pair<std::string, std::string>>;

// Starts `argv` in a new 80x24 pseudo-terminal; the child's pid and, in `terminal`, the terminal's side
// the screen is read from. -1 when it could not start.
inline pid_t startInPty(const std::vector<std::string>& argv, const std::filesystem::path& home,
                        const Environment& environment, int& terminal) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, &size);
    if (child != 0) return child;
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

// Runs `argv` until it ends; its CPU seconds, user and system, all its threads, from start to exit.
inline double cpuSecondsInPty(const std::vector<std::string>& argv, const std::filesystem::path& home,
                              const Environment& environment = {}) {
    int terminal = -1;
    const pid_t child = startInPty(argv, home, environment, terminal);
    if (child < 0) return -1;
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

// Resident memory of a process, in bytes: all it has in RAM (RSS), and its proportional share, each page
// shared with other processes counted in parts (PSS; 0 where the kernel does not give it).
struct Resident {
    double rss = 0;
    double pss = 0;
};

namespace detail {

// The CPU time all threads of `pid` have had so far, in nanoseconds.
inline long long cpuNanosecondsOf(pid_t pid) {
    long long total = 0;
    std::error_code ec;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        long long onCpu = 0;
        if (std::ifstream(task.path() / "schedstat") >> onCpu) total += onCpu;
    }
    return total;
}

inline std::optional<Resident> residentOf(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    Resident resident;
    bool found = false;
    const auto read = [&](const std::string& file, const std::string& rssKey, const std::string& pssKey) {
        std::ifstream in(proc + file);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string key;
            double kilobytes = 0;
            if (!(fields >> key >> kilobytes)) continue; // a line of another kind ("[rollup]", "Name:")
            if (key == rssKey) {
                resident.rss = kilobytes * 1024;
                found = true;
            }
            if (key == pssKey) resident.pss = kilobytes * 1024;
        }
    };
    read("/smaps_rollup", "Rss:", "Pss:");
    if (!found) read("/status", "VmRSS:", "");
    if (!found) return std::nullopt;
    return resident;
}

} // namespace detail

// Starts `argv`, reads its screen until `shown` has appeared on it and the program has gone idle (its
// threads together used under 1% of a core over the last half second), and reads its resident memory
// then. It then types `quit` and waits for the program to end; one that does not within 10 seconds is
// killed. Nothing when it never showed `shown` or never settled within 30 seconds, or ended otherwise
// than with status 0.
inline std::optional<Resident> idleResidentInPty(const std::vector<std::string>& argv,
                                                 const std::filesystem::path& home, const std::string& shown,
                                                 const std::string& quit) {
    using Clock = std::chrono::steady_clock;
    int terminal = -1;
    const pid_t child = startInPty(argv, home, {}, terminal);
    if (child < 0) return std::nullopt;
    std::string screen; // what was written until `shown` appeared in it
    bool seen = false, closed = false;
    // Reads what the program wrote for up to `wait`; false once it has closed its side.
    const auto readScreen = [&](std::chrono::milliseconds wait) {
        pollfd ready{terminal, POLLIN, 0};
        if (closed || ::poll(&ready, 1, static_cast<int>(wait.count())) <= 0) return !closed;
        char buffer[16384];
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) return true;
        if (n <= 0) {
            closed = true;
            return false;
        }
        if (!seen) {
            screen.append(buffer, static_cast<std::size_t>(n));
            seen = screen.find(shown) != std::string::npos;
        }
        return true;
    };
    std::optional<Resident> resident;
    const auto giveUp = Clock::now() + std::chrono::seconds(30);
    constexpr auto kWindow = std::chrono::milliseconds(500);
    long long windowCpu = detail::cpuNanosecondsOf(child);
    auto windowStart = Clock::now();
    while (!resident && !closed && Clock::now() < giveUp) {
        readScreen(std::chrono::milliseconds(50));
        if (Clock::now() - windowStart < kWindow) continue;
        const long long cpu = detail::cpuNanosecondsOf(child);
        if (seen && cpu - windowCpu < std::chrono::nanoseconds(kWindow).count() / 100)
            resident = detail::residentOf(child);
        windowCpu = cpu;
        windowStart = Clock::now();
    }
    if (!closed && ::write(terminal, quit.data(), quit.size()) < 0) closed = true;
    const auto killAt = Clock::now() + std::chrono::seconds(10);
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0 && errno != EINTR) {
            ::close(terminal);
            return std::nullopt;
        }
        if (Clock::now() >= killAt) {
            ::kill(child, SIGKILL);
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        if (!readScreen(std::chrono::milliseconds(50))) ::usleep(10'000); // closed: the exit is near
    }
    ::close(terminal);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return resident;
}

} // namespace velobench
