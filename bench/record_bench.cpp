// The learner record loaded and saved with 10 to 10,000 completed lessons, as the app does on the main
// thread: a load opens the preferences file, reads the property list and unarchives the record; a save
// merges with the record on disk, archives it and writes the file (a temporary flushed and renamed).
//
// Each figure is set beside libplist alone doing its part on the record's archive (parsing it for a
// load, encoding it for a save): libplist's binary reader and writer grow in proportion to the lessons,
// so a ratio that stays level from 10 to 10,000 shows the app's part does too; so does the
// "per_lesson" counter (CPU time per lesson id), once the fixed cost of opening, flushing and renaming
// files is spread. The fitted complexity (BigO, RMS) follows each family.
#include "bench/AnchorReport.hpp"
#include "model/ProgressReport.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "tools/scratch/TempFolder.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr const char* domain = "com.velomarinth.bench";

// A folder holding a record of `lessons` completed lesson ids, saved as the app saves it.
struct RecordFolder {
    velotools::TempFolder folder;
    explicit RecordFolder(std::int64_t lessons) {
        ns::UserDefaults defaults(domain, folder.path());
        auto report = ProgressReport::make();
        report->lessons = std::vector<std::string>{};
        for (std::int64_t i = 0; i < lessons; ++i)
            report->lessons->push_back("chapter" + std::to_string(i / 40) + ".lesson" + std::to_string(i));
        report->appRated = std::vector<std::string>{"ignore"};
        report->autoRun = false;
        if (!report->save(defaults)) std::abort();
    }
    // The record's keyed archive as stored in the preferences file.
    std::vector<std::uint8_t> archive() const {
        ns::UserDefaults defaults(domain, folder.path());
        auto data = defaults.dataForKey(ProgressReport::defaultsKey);
        if (!data) std::abort();
        return *data;
    }
};

void perLesson(benchmark::State& state) {
    state.SetComplexityN(state.range(0));
    state.counters["per_lesson"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_LoadRecord(benchmark::State& state) {
    RecordFolder record(state.range(0));
    for (auto _ : state) {
        ns::UserDefaults defaults(domain, record.folder.path());
        auto report = ProgressReport::load(defaults);
        if (!report || report->lessons->size() != static_cast<std::size_t>(state.range(0))) std::abort();
        benchmark::DoNotOptimize(report);
    }
    perLesson(state);
}

// Each save adds one more lesson to a record loaded once, as finishing lessons one after another does.
void BM_SaveRecord(benchmark::State& state) {
    RecordFolder record(state.range(0));
    ns::UserDefaults defaults(domain, record.folder.path());
    auto report = ProgressReport::load(defaults);
    if (!report) std::abort();
    std::int64_t next = state.range(0);
    for (auto _ : state) {
        report->lessons->push_back("chapter" + std::to_string(next / 40) + ".lesson" + std::to_string(next));
        ++next;
        if (!report->save(defaults)) std::abort();
    }
    perLesson(state);
}

// libplist parsing the record's archive: the load's floor.
void BM_LibplistParse(benchmark::State& state) {
    const auto bytes = RecordFolder(state.range(0)).archive();
    for (auto _ : state) {
        plist_t root = nullptr;
        plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()),
                       &root);
        if (!root) std::abort();
        plist_free(root);
    }
    perLesson(state);
}

// libplist encoding the record's archive: the save's floor.
void BM_LibplistWrite(benchmark::State& state) {
    const auto bytes = RecordFolder(state.range(0)).archive();
    plist_t root = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()),
                   &root);
    if (!root) std::abort();
    for (auto _ : state) {
        char* out = nullptr;
        std::uint32_t length = 0;
        plist_to_bin(root, &out, &length);
        if (!out) std::abort();
        plist_to_bin_free(out);
    }
    plist_free(root);
    perLesson(state);
}

void lessonCounts(benchmark::internal::Benchmark* family) {
    family->RangeMultiplier(10)->Range(10, 10000)->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oN);
}

BENCHMARK(BM_LoadRecord)->Apply(lessonCounts);
BENCHMARK(BM_SaveRecord)->Apply(lessonCounts);
BENCHMARK(BM_LibplistParse)->Apply(lessonCounts);
BENCHMARK(BM_LibplistWrite)->Apply(lessonCounts);

} // namespace

int main(int argc, char** argv) {
    ns::setConsoleSink([](std::string_view) {}); // "progress report saved" on every save
    return velobench::runBesideAnchors(
        argc, argv, {{"BM_LoadRecord", {"BM_LibplistParse"}}, {"BM_SaveRecord", {"BM_LibplistWrite"}}});
}
