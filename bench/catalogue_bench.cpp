// The catalogue of the largest edition (the Swift course, as the Swift and Zovud ERO editions build
// it), and the search over it that runs on every keystroke of the search field.
#include "app/catalogue/Candy.hpp"
#include "content/Courses.hpp"

#include <benchmark/benchmark.h>

namespace {

void BM_BuildSwiftCatalogue(benchmark::State& state) {
    std::size_t lessons = 0;
    for (auto _ : state) {
        auto chapters = content::buildChapters(content::courseForEdition(0));
        lessons = 0;
        for (const auto& chapter : chapters)
            lessons += chapter->lessons.size();
        benchmark::DoNotOptimize(chapters);
    }
    state.counters["lessons"] = static_cast<double>(lessons);
}
BENCHMARK(BM_BuildSwiftCatalogue)->Unit(benchmark::kMicrosecond);

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

BENCHMARK_MAIN();
