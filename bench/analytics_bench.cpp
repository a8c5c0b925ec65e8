// Analytics throughput and latency, each beside an anchor measured in the same run:
//  - events per second through the kit's public call (custom events: formatted, validated, written to the
//    fragment's low-priority log), 1 and 8 threads, each batch waiting until its lines are in the file;
//    beside spdlog's synchronous file sink writing the same lines (flushed per batch, and per line);
//  - the time of one priority-1 call (it returns once its line is written), p50 and p99;
//  - packaging: gzip compression of 10 MB of event logs, MB/s and ratio, beside `gzip -6` on the file.
#include "sdk/rurorad/Rurorad.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsEvent.hpp"
#include "sdk/rurorad/upload/ZEVAnalyticsCompressFile.hpp"

#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace fs = std::filesystem;

namespace {

constexpr int kBatch = 1000;

fs::path benchFolder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "velo-analytics-bench-XXXXXX").string();
        return fs::path(::mkdtemp(pattern.data()));
    }();
    return folder;
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

const ZEVRuroradAttributeEntries kAttributes{
    {"lesson", "CH5L1"}, {"chapter", std::int64_t{5}}, {"correct", true}};

void BM_RuroradCustomEvents(benchmark::State& state) {
    auto& engine = kit().engine();
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            Rurorad::logCustomEventWithName("Lesson completed", kAttributes);
        // The batch counts once every line of it is in the file.
        engine.flushEventLogs();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_RuroradCustomEvents)->Threads(1)->Threads(8)->UseRealTime();

// The same line as the kit writes for the event above.
std::string sampleLine() {
    auto event = ZEVAnalyticsEvent::initWithRuroradEvent(
        *ZEVRuroradCustomEvent::initWithName("Lesson completed", kAttributes), 1733530000123,
        "2F1D5B7E-0C42-4A34-9D9B-3F0E2C1B7A55");
    std::string line;
    event->appendEventData(line);
    line.pop_back(); // spdlog adds its own end of line
    return line;
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

void spdlogLines(benchmark::State& state, bool flushEveryLine) {
    auto logger = spdlogLogger(flushEveryLine ? "per-line" : "per-batch", flushEveryLine);
    const std::string line = sampleLine();
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            logger->info("{}", line);
        logger->flush();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_SpdlogSyncFileSink_FlushPerBatch(benchmark::State& state) {
    spdlogLines(state, false);
}
void BM_SpdlogSyncFileSink_FlushPerLine(benchmark::State& state) {
    spdlogLines(state, true);
}
BENCHMARK(BM_SpdlogSyncFileSink_FlushPerBatch)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(BM_SpdlogSyncFileSink_FlushPerLine)->Threads(1)->Threads(8)->UseRealTime();

void BM_PriorityOneCallLatency(benchmark::State& state) {
    auto& engine = kit().engine();
    std::vector<double> micros;
    micros.reserve(200000);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        engine.logAppLaunched();
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(BM_PriorityOneCallLatency)->Iterations(20000);

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

} // namespace

BENCHMARK_MAIN();
