// Packaging throughput: one report folder of 1, 10 or 100 MB of record-like files turned into its
// multipart package of gzip members, beside `gzip -6` compressing the same files in the same run. Both
// write their output to the same disk; the figures are bytes of the folder per second.
#include "sdk/zevuzavidav/upload/ZEVPackageReportOperation.hpp"
#include "tools/scratch/TempFolder.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// What a report holds: thread stacks of return addresses, hex-encoded log lines, image lines.
std::string recordLines(std::size_t bytes, unsigned seed) {
    std::mt19937_64 random(seed);
    std::string text;
    text.reserve(bytes + 512);
    static const char digits[] = "0123456789abcdef";
    while (text.size() < bytes) {
        switch (random() % 3) {
        case 0: {
            text += "{\"threads\":[{\"crashed\":false,\"stacktrace\":[";
            for (int i = 0; i < 24; ++i)
                text += std::to_string(0x7f0000000000ULL + (random() % 0x100000000ULL)) + (i < 23 ? "," : "");
            text += "]}]}\n";
            break;
        }
        case 1: {
            text +=
                "{\"log\":{\"time\":" + std::to_string(1700000000000ULL + random() % 100000) + ",\"msg\":\"";
            for (int i = 0; i < 96; ++i)
                text += digits[(random() >> 7) % (i % 5 == 0 ? 16 : 6)];
            text += "\"}}\n";
            break;
        }
        default:
            text += "{\"load\":{\"path\":\"/usr/lib/x86_64-linux-gnu/libexample" +
                    std::to_string(random() % 64) + ".so\",\"uuid\":\"" + std::to_string(random()) +
                    std::to_string(random()) + "\",\"base\":" + std::to_string(random() % 0x7fffffffffffULL) +
                    ",\"size\":1048576}}\n";
        }
    }
    return text;
}

struct Folder {
    velotools::TempFolder scratch{"zevpackbench"}; // removed with the folder
    fs::path root = scratch.path();
    fs::path report;
    std::vector<fs::path> files;
    std::int64_t bytes = 0;
};

Folder makeFolder(std::int64_t megabytes) {
    Folder folder;
    folder.report = folder.root / "v3" / "processing" / "launch";
    fs::create_directories(folder.report);
    fs::create_directories(folder.root / "v3" / "prepared");
    std::ofstream(folder.report / "metadata.zevrecord")
        << "{\"identity\":{\"session_id\":\"launch\",\"api_key\":\"key\",\"started_at\":1700000000}}\n";
    // A few large files and the small ones every report has.
    const std::int64_t total = megabytes << 20;
    const char* names[] = {"binary_images.zevrecord", "signal.zevrecord", "signal.zevrecord.symbolicated",
                           "log_a.zevrecord", "errors_a.zevrecord"};
    const std::int64_t shares[] = {30, 25, 25, 15, 5};
    for (int i = 0; i < 5; ++i) {
        auto path = folder.report / names[i];
        std::ofstream(path, std::ios::binary)
            << recordLines(static_cast<std::size_t>(total * shares[i] / 100), i + 1);
        folder.files.push_back(path);
    }
    folder.files.push_back(folder.report / "metadata.zevrecord");
    for (const auto& path : folder.files)
        folder.bytes += static_cast<std::int64_t>(fs::file_size(path));
    return folder;
}

void BM_PackageReport(benchmark::State& state) {
    Folder folder = makeFolder(state.range(0));
    auto files = std::make_shared<ZEVFileManager>(folder.root.string());
    for (auto _ : state) {
        auto report = ZEVInternalReport::initWithPath(folder.report.string(), std::string("launch"));
        ZEVPackageReportOperation operation(report, files);
        operation.start();
        if (!operation.finalPath()) {
            state.SkipWithError("packaging failed");
            break;
        }
        state.PauseTiming();
        fs::remove(*operation.finalPath());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * folder.bytes);
}

void BM_Gzip6(benchmark::State& state) {
    Folder folder = makeFolder(state.range(0));
    std::string command;
    for (const auto& path : folder.files)
        command += "gzip -6 -c '" + path.string() + "' > '" + path.string() + ".gz' && ";
    command += "true";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gzip failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * folder.bytes);
}

BENCHMARK(BM_PackageReport)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Gzip6)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
