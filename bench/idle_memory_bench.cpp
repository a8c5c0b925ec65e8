// The shipped program's resident memory once it sits idle at its first screen: each iteration starts it
// (Swift edition) in a fresh 80x24 pseudo-terminal, waits until the chapter list is on the screen and
// the program has gone idle, reads its resident memory from /proc (RSS, and PSS, which counts a page
// shared with other processes in parts), and quits it with `q` (bench/PtyLaunch.hpp). Beside it, in the
// same run, a minimal ncurses program idle at one screen (bench/minimal_curses_screen.cpp `--wait`). The
// learner's home is kept between launches (a returning learner); the first launch, which makes it, is
// not counted.
#include "bench/AnchorReport.hpp"
#include "bench/PtyLaunch.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::filesystem::path kHome =
    std::filesystem::temp_directory_path() / ("velo-bench-idle-memory-" + std::to_string(::getpid()));

// Both programs show "quit" in their key legend, and both end on `q`.
void idle(benchmark::State& state, const std::vector<std::string>& argv) {
    const auto launch = [&] { return velobench::idleResidentInPty(argv, kHome, "quit", "q"); };
    if (!launch()) { // warm-up: makes the learner's home
        state.SkipWithError(("could not run " + argv[0] + " to an idle first screen").c_str());
        return;
    }
    double rss = 0, pss = 0;
    for (auto _ : state) {
        const auto resident = launch();
        if (!resident) {
            state.SkipWithError(("could not run " + argv[0] + " to an idle first screen").c_str());
            return;
        }
        rss += resident->rss;
        pss += resident->pss;
    }
    using benchmark::Counter;
    state.counters["RSS"] = Counter(rss, Counter::kAvgIterations, Counter::OneK::kIs1024);
    state.counters["PSS"] = Counter(pss, Counter::kAvgIterations, Counter::OneK::kIs1024);
}

void BM_MinimalCursesScreenIdle(benchmark::State& state) {
    idle(state, {VELO_CURSES_ANCHOR, "--wait"});
}

void BM_IdleFirstScreen(benchmark::State& state) {
    idle(state, {std::string(VELO_BUNDLES_DIR) + "/Swift.app/velomarinth"});
}

// Three launches a repetition; the time is the launch's to its idle screen and out, not a figure.
void launches(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);
}
BENCHMARK(BM_MinimalCursesScreenIdle)->Apply(launches);
BENCHMARK(BM_IdleFirstScreen)->Apply(launches);

} // namespace

int main(int argc, char** argv) {
    velobench::Comparison pss{"BM_IdleFirstScreen", {"BM_MinimalCursesScreenIdle"}};
    pss.bytesCounter = "PSS";
    velobench::Comparison rss = pss;
    rss.bytesCounter = "RSS";
    const int status = velobench::runBesideAnchors(argc, argv, {rss, pss});
    std::error_code ignored;
    std::filesystem::remove_all(kHome, ignored);
    return status;
}
