// The catalogue of each edition as the first screen builds it (every chapter's builder run, colour rules
// left for when a lesson is shown), held against the 1 ms it may take; and the search over the largest
// catalogue that runs on every keystroke of the search field.
//
// Only the building is timed: taking a catalogue down again is left out, as the app does it once, when
// it quits.
#include "app/catalogue/Candy.hpp"
#include "bench/AnchorReport.hpp"
#include "content/Courses.hpp"

#include <benchmark/benchmark.h>

namespace {

void BM_BuildCatalogue(benchmark::State& state) {
    const int edition = static_cast<int>(state.range(0));
    state.SetLabel(edition == 1 ? "C++" : edition == 3 ? "SwiftUI" : "Swift, Zovud ERO");
    std::size_t lessons = 0;
    for (auto _ : state) {
        auto chapters = content::buildChapters(content::courseForEdition(edition));
        benchmark::DoNotOptimize(chapters.data());
        state.PauseTiming();
        lessons = 0;
        for (const auto& chapter : chapters)
            lessons += chapter->lessons.size();
        chapters.clear();
        state.ResumeTiming();
    }
    state.counters["lessons"] = static_cast<double>(lessons);
}
BENCHMARK(BM_BuildCatalogue)
    ->Arg(0)
    ->Arg(1)
    ->Arg(3)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_SearchEveryLesson(benchmark::State& state) {
    auto candies = makeCandies(content::buildChapters(content::courseForEdition(0)));
    for (auto _ : state) {
        auto matches = filterCandies(candies, "Loop");
        benchmark::DoNotOptimize(matches);
    }
    state.counters["entries"] = static_cast<double>(candies.size());
}
BENCHMARK(BM_SearchEveryLesson)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return velobench::runBesideAnchors(argc, argv, {{"BM_BuildCatalogue", {}, 1e6}});
}
