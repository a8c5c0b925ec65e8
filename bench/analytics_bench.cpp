// Analytics throughput and latency, each beside an anchor measured in the same run that writes the same
// lines with the same durability:
//  - custom events through the kit's public call (built, validated, rendered, and written to the open
//    fragment's low-priority log by its queue), from 1 and 8 threads. A batch counts once every line of
//    it is in the file. Anchor: spdlog's synchronous file sink writing the line the kit wrote, flushed
//    (to the file) at the end of each batch.
//  - priority-1 events ("app_launched"), from 1 and 8 threads: each call returns once its line is in
//    the file, with the call's time at p50 and p99. Anchor: spdlog writing the same line, flushed after
//    every line, timed the same way. Goal: at most twice the anchor's time; the CPU times are set side
//    by side too (summed over the threads).
//  - packaging: gzip compression of 10 MB of event logs, MB/s and ratio, beside `gzip -6` on the file.
// Repetitions of the families are interleaved, so a change of the machine's load reaches both sides.
// At the end every log is counted: each event handed in must be one line of its file.
#include "bench/AnchorReport.hpp"
#include "sdk/rurorad/Rurorad.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsEvent.hpp"
#include "sdk/rurorad/upload/ZEVAnalyticsCompressFile.hpp"
#include "tools/scratch/TempFolder.hpp"

#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

namespace fs = std::filesystem;

namespace {

constexpr int kBatch = 1000;

// Removed at exit, after the kit that writes into it (made later, so ended first).
const fs::path& benchFolder() {
    static const velotools::TempFolder folder("velo-analytics-bench");
    return folder.path();
}

// A started kit over a private store and notification centre, in the shared instance's place.
class BenchKit {
  public:
    BenchKit() : defaults_(benchFolder() / "defaults") {
        Rurorad::Environment environment;
        environment.host = [this] {
            ZEVAnalyticsHost host;
            host.settings = [] { return ZOVSettingsDocument(); };
            host.isFirstInstall = [] { return false; };
            host.installID = [] {
                return std::optional<std::string>("6A1D5B7E-0C42-4A34-9D9B-3F0E2C1B7A55");
            };
            host.APIKey = [] { return std::optional<std::string>("bench"); };
            host.executionIdentifier = [] { return std::string("0123456789abcdef0123456789abcdef"); };
            host.userDefaults = &defaults_;
            host.notificationCenter = &center_;
            host.registry = &registry_;
            host.bundle = &ns::Bundle::main();
            return host;
        };
        environment.cachesDirectory = [] { return (benchFolder() / "Caches").string(); };
        environment.registry = &registry_;
        kit_ = std::make_unique<Rurorad>(environment);
        Rurorad::exchangeSharedInstance(kit_.get());
        Rurorad::startWithBetaToken(std::nullopt);
    }
    ZEVAnalyticsController& engine() { return *kit_->analyticsController(); }
    // The open fragment's log of a priority.
    fs::path log(int priority) {
        return fs::path(engine().openSessionFragmentDirectoryURLs().front()) /
               (std::to_string(priority) + ".log");
    }

  private:
    ZEVUserDefaults defaults_;
    ns::NotificationCenter center_;
    rt::ClassRegistry registry_;
    std::unique_ptr<Rurorad> kit_;
};

BenchKit& kit() {
    static BenchKit* shared = new BenchKit();
    return *shared;
}

// Events handed to the kit, by priority, to be found in the logs at the end.
std::atomic<std::uint64_t> customEventsLogged{0};
std::atomic<std::uint64_t> launchEventsLogged{1}; // the kit's start logs "app_launched"

// The call's arguments are made once, as the anchor's line is: each side is timed from its own call.
const std::optional<std::string> kName = "Lesson completed";
const ZEVCustomAttributes kAttributes =
    ZEVRuroradAttributeEntries{{"lesson", "CH5L1"}, {"chapter", std::int64_t{5}}, {"correct", true}};

void logCustomEvent() {
    Rurorad::logCustomEventWithName(kName, kAttributes);
}

std::size_t countLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return static_cast<std::size_t>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

// The last line the kit wrote to a log, without its end of line (spdlog adds its own).
std::string lastLine(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line, last;
    while (std::getline(in, line))
        last = line;
    return last;
}

// The line the kit writes for one custom event above, and for "app_launched".
const std::string& customLine() {
    static const std::string line = [] {
        auto& engine = kit().engine(); // started before the event is logged, or the event goes nowhere
        logCustomEvent();
        ++customEventsLogged;
        engine.flushEventLogs();
        return lastLine(kit().log(2));
    }();
    return line;
}
const std::string& launchLine() {
    static const std::string line = lastLine(kit().log(1));
    return line;
}

void BM_RuroradCustomEvents(benchmark::State& state) {
    auto& engine = kit().engine();
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            logCustomEvent();
        // The batch counts once every line of it is in the file.
        engine.flushEventLogs();
    }
    customEventsLogged += state.iterations() * kBatch;
    state.SetItemsProcessed(state.iterations() * kBatch);
}

std::shared_ptr<spdlog::logger> spdlogLogger(const std::string& name, bool flushEveryLine) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (auto existing = spdlog::get(name)) return existing;
    auto logger = spdlog::basic_logger_mt(name, (benchFolder() / (name + ".log")).string(), true);
    logger->set_pattern("%v");
    if (flushEveryLine) logger->flush_on(spdlog::level::info);
    return logger;
}

void BM_SpdlogCustomLines_FlushPerBatch(benchmark::State& state) {
    auto logger = spdlogLogger("custom-lines", false);
    const std::string& line = customLine();
    if (line.find("\tcustom\t") == std::string::npos) state.SkipWithError("no custom line to write");
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            logger->info("{}", line);
        logger->flush();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

// The time of each call, as p50 and p99 of the calls of a thread (averaged over the threads).
template <class Call> void timeEachCall(benchmark::State& state, Call call) {
    std::vector<double> micros;
    micros.reserve(1 << 16);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            const auto start = std::chrono::steady_clock::now();
            call();
            micros.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = benchmark::Counter(micros[micros.size() / 2], benchmark::Counter::kAvgThreads);
    state.counters["p99_us"] =
        benchmark::Counter(micros[micros.size() * 99 / 100], benchmark::Counter::kAvgThreads);
}

void BM_RuroradPriorityOneEvents(benchmark::State& state) {
    auto& engine = kit().engine();
    timeEachCall(state, [&] { engine.logAppLaunched(); });
    launchEventsLogged += state.iterations() * kBatch;
}

void BM_SpdlogLaunchLines_FlushPerLine(benchmark::State& state) {
    auto logger = spdlogLogger("launch-lines", true);
    const std::string& line = launchLine();
    if (line.find("\tapp_launched\t") == std::string::npos) state.SkipWithError("no launch line to write");
    timeEachCall(state, [&] { logger->info("{}", line); });
}

void throughput(benchmark::internal::Benchmark* b) {
    b->Threads(1)->Threads(8)->UseRealTime()->MinTime(0.2)->Repetitions(5)->ReportAggregatesOnly(true);
}
BENCHMARK(BM_RuroradCustomEvents)->Apply(throughput);
BENCHMARK(BM_SpdlogCustomLines_FlushPerBatch)->Apply(throughput);
BENCHMARK(BM_RuroradPriorityOneEvents)->Apply(throughput);
BENCHMARK(BM_SpdlogLaunchLines_FlushPerLine)->Apply(throughput);

// 10 MB of event-log lines, as a fragment's log holds them.
fs::path eventLogInput() {
    static const fs::path path = [] {
        const fs::path file = benchFolder() / "10MB.log";
        std::ofstream out(file, std::ios::binary);
        std::size_t written = 0;
        for (std::uint64_t n = 0; written < 10 * 1024 * 1024; ++n) {
            auto event = ZEVAnalyticsEvent::initWithRuroradEvent(
                *ZEVRuroradCustomEvent::initWithName(
                    "Lesson completed", ZEVRuroradAttributeEntries{{"lesson", "CH" + std::to_string(n % 26)},
                                                                   {"attempt", std::int64_t(n % 7)}}),
                1733530000000 + n * 37, "EVENT-" + std::to_string(n));
            std::string line;
            event->appendEventData(line);
            out << line;
            written += line.size();
        }
        return file;
    }();
    return path;
}

void BM_CompressEventLogs(benchmark::State& state) {
    const fs::path input = eventLogInput();
    const fs::path output = benchFolder() / "10MB.log.zip";
    for (auto _ : state) {
        int in = ::open(input.c_str(), O_RDONLY);
        int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (ZEVAnalyticsCompressFile(in, out) != 0) state.SkipWithError("compression failed");
        ::close(in);
        ::close(out);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(input)));
    state.counters["ratio"] =
        static_cast<double>(fs::file_size(input)) / static_cast<double>(fs::file_size(output));
}
BENCHMARK(BM_CompressEventLogs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Gzip6EventLogs(benchmark::State& state) {
    const fs::path input = eventLogInput();
    const fs::path output = benchFolder() / "10MB.log.gz";
    const std::string command = "gzip -6 -c '" + input.string() + "' > '" + output.string() + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("gzip failed");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(input)));
    state.counters["ratio"] =
        static_cast<double>(fs::file_size(input)) / static_cast<double>(fs::file_size(output));
}
BENCHMARK(BM_Gzip6EventLogs)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every event handed to the kit is one line of its log, after the log's "metadata" line.
bool everyEventInItsFile() {
    bool complete = true;
    const std::pair<int, std::uint64_t> expected[] = {{1, launchEventsLogged}, {2, customEventsLogged}};
    for (const auto& [priority, events] : expected) {
        const fs::path log = kit().log(priority);
        const std::size_t lines = fs::exists(log) ? countLines(log) : 0;
        std::printf("priority %d: %llu events handed in, %zu lines after the metadata line of %s\n", priority,
                    static_cast<unsigned long long>(events), lines > 0 ? lines - 1 : 0,
                    log.filename().c_str());
        if (events > 0 && lines != events + 1) complete = false;
    }
    return complete;
}

} // namespace

int main(int argc, char** argv) {
    // Repetitions of the families interleaved, unless the command line says otherwise.
    std::vector<char*> arguments(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    if (std::none_of(argv, argv + argc,
                     [](const char* a) { return std::strstr(a, "random_interleaving") != nullptr; }))
        arguments.push_back(interleave.data());
    int count = static_cast<int>(arguments.size());
    int status = velobench::runBesideAnchors(
        count, arguments.data(),
        {{"BM_RuroradCustomEvents", {"BM_SpdlogCustomLines_FlushPerBatch"}, 0},
         {"BM_RuroradPriorityOneEvents", {"BM_SpdlogLaunchLines_FlushPerLine"}, 0, 2.0, true},
         {"BM_CompressEventLogs", {"BM_Gzip6EventLogs"}, 0}});
    kit().engine().flushEventLogs();
    if (!everyEventInItsFile()) {
        std::fprintf(stderr, "events are missing from the logs\n");
        status = 1;
    }
    return status;
}
