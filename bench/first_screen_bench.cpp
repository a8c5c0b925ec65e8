// The whole program to its first drawn screen: each iteration starts the shipped program in a fresh
// pseudo-terminal with `--max-keys 0` (it draws the chapter list and ends), and reports the CPU time the
// process used, user and system, all its threads, from start to exit. Beside it, in the same run, a
// minimal ncurses program that draws one screen (bench/minimal_curses_screen.cpp).
//
// CPU time rather than wall time: the machine this runs on is shared, and a busy core stretches wall
// time without changing the work done. The learner's home is kept between launches (a returning
// learner); the first launch, which makes it, is not counted. Every server the program asks (the
// backend, the SDK's) points at a closed port on this machine, so no launch reaches the network.
#include "bench/AnchorReport.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::filesystem::path kHome =
    std::filesystem::temp_directory_path() / ("velo-bench-first-screen-" + std::to_string(::getpid()));

// Runs `argv` in a new 80x24 pseudo-terminal until it ends; returns its CPU seconds, or -1 when it
// could not start or did not exit normally with status 0.
double cpuSecondsInPty(const std::vector<std::string>& argv) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, &size);
    if (child < 0) return -1;
    if (child == 0) {
        ::setenv("TERM", "xterm-256color", 1);
        ::setenv("VELOMARINTH_HOME", kHome.c_str(), 1);
        velotools::pointServersAtLoopback();
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

void launch(benchmark::State& state, const std::vector<std::string>& argv) {
    if (cpuSecondsInPty(argv) < 0) { // warm-up: makes the learner's home and the page cache
        state.SkipWithError(("could not run " + argv[0]).c_str());
        return;
    }
    for (auto _ : state) {
        const double seconds = cpuSecondsInPty(argv);
        if (seconds < 0) {
            state.SkipWithError(("could not run " + argv[0]).c_str());
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_MinimalCursesScreen(benchmark::State& state) { // the argument only pairs it with an edition
    launch(state, {VELO_CURSES_ANCHOR});
}

void BM_FirstScreen(benchmark::State& state) {
    static const char* const kEditions[] = {"Swift", "Cpp", "SwiftUI"};
    const std::string edition = kEditions[state.range(0)];
    state.SetLabel(edition);
    launch(state, {std::string(VELO_BUNDLES_DIR) + "/" + edition + ".app/velomarinth", "--max-keys", "0"});
}

// Twenty launches a repetition, timed by their CPU seconds. The anchor is measured at each edition's
// argument too, so that the report sets every edition beside it
// (`--benchmark_enable_random_interleaving=true` mixes their repetitions on a machine whose load moves).
void launches(benchmark::internal::Benchmark* b) {
    b->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true)
        ->DenseRange(0, 2);
}
BENCHMARK(BM_MinimalCursesScreen)->Apply(launches);
BENCHMARK(BM_FirstScreen)->Apply(launches);

} // namespace

int main(int argc, char** argv) {
    const int status =
        velobench::runBesideAnchors(argc, argv, {{"BM_FirstScreen", {"BM_MinimalCursesScreen"}, 0}});
    std::error_code ignored;
    std::filesystem::remove_all(kHome, ignored);
    return status;
}
