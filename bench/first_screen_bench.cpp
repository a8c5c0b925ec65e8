// The whole program to its first drawn screen: each iteration starts the shipped program in a fresh
// pseudo-terminal with `--max-keys 0` (it draws the chapter list and ends), and reports the CPU time the
// process used (bench/PtyLaunch.hpp). Beside it, in the same run, a minimal ncurses program that draws
// one screen (bench/minimal_curses_screen.cpp). The learner's home is kept between launches (a
// returning learner); the first launch, which makes it, is not counted.
#include "bench/AnchorReport.hpp"
#include "bench/PtyLaunch.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::filesystem::path kHome =
    std::filesystem::temp_directory_path() / ("velo-bench-first-screen-" + std::to_string(::getpid()));

void launch(benchmark::State& state, const std::vector<std::string>& argv) {
    if (velobench::cpuSecondsInPty(argv, kHome) < 0) { // warm-up: makes the learner's home and the page cache
        state.SkipWithError(("could not run " + argv[0]).c_str());
        return;
    }
    for (auto _ : state) {
        const double seconds = velobench::cpuSecondsInPty(argv, kHome);
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
