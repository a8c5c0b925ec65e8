#pragma once
// Benchmarks read beside their anchors: after Google Benchmark's own table, one line per measured figure
// with the figure of each anchor at the same arguments and the ratio figure / anchor (below 1 is faster
// than the anchor; a family run on several threads is set beside the anchor at the same thread count).
// A figure may also be held against a fixed goal instead of another benchmark, or its ratio to the first
// anchor against a goal ratio; and the CPU times may be set side by side too. A figure may be a size in
// bytes a benchmark counted (a counter of its runs) instead of a time.
//
// A figure is the median of a family's repetitions when it has them, else its single run's time per
// iteration (wall clock; CPU time, summed over the threads of a family run on several, beside it). When
// the program counted instructions (bench/Callgrind.hpp), each figure's count per unit stands beside
// its time, and the ratio of the counts beside the ratio of the times. Only for benchmark programs.
#include "bench/Callgrind.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace velobench {

struct Comparison {
    std::string subject;              // a benchmark family, e.g. "BM_ZEVUnwind"
    std::vector<std::string> anchors; // families measured with the same arguments
    double goalNanoseconds = 0;       // > 0: also held against this fixed figure
    double goalRatio = 0;             // > 0: the ratio to the first anchor held against this
    bool cpuRatio = false;            // also the ratio of the CPU times to each anchor's
    std::string bytesCounter;         // set: the figure is this counter, in bytes, not the time
};

class AnchorReporter : public benchmark::ConsoleReporter {
  public:
    explicit AnchorReporter(std::vector<Comparison> comparisons, const InstructionCounts* counts = nullptr)
        : benchmark::ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular),
          comparisons_(std::move(comparisons)), counts_(counts) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            Figure& figure = figureOf(run.run_name.function_name, argumentsOf(run.run_name));
            if (median || !figure.fromMedian) {
                figure.nanoseconds = run.GetAdjustedRealTime() * nanosecondsPer(run.time_unit);
                figure.cpuNanoseconds = run.GetAdjustedCPUTime() * nanosecondsPer(run.time_unit);
                figure.fromMedian = median;
                for (const auto& [name, counter] : run.counters)
                    figure.counters[name] = counter.value;
            }
        }
    }

    void Finalize() override {
        benchmark::ConsoleReporter::Finalize();
        int width = 10;
        for (const Comparison& comparison : comparisons_) {
            std::vector<Figure>& list = figures_[comparison.subject];
            std::sort(list.begin(), list.end(), [](const Figure& a, const Figure& b) {
                return naturallyBefore(a.arguments, b.arguments);
            });
            for (const Figure& figure : list)
                width = std::max(width, static_cast<int>(figure.arguments.size()));
        }
        const bool sizes = std::any_of(comparisons_.begin(), comparisons_.end(),
                                       [](const Comparison& c) { return !c.bytesCounter.empty(); });
        std::printf("\n%-28s %-*s %14s   %s\n", "figure", width, "arguments",
                    counts_ != nullptr ? "time, instructions" : (sizes ? "time or size" : "time"),
                    "beside its anchors");
        for (const Comparison& comparison : comparisons_) {
            const bool bytes = !comparison.bytesCounter.empty();
            // The figure this comparison sets side by side, and how it reads.
            const auto valueOf = [&](const Figure& figure) {
                if (!bytes) return figure.nanoseconds;
                auto found = figure.counters.find(comparison.bytesCounter);
                return found == figure.counters.end() ? 0.0 : found->second;
            };
            const auto show = [&](double value) { return bytes ? formatBytes(value) : format(value); };
            const std::string name =
                bytes ? comparison.subject + " " + comparison.bytesCounter : comparison.subject;
            for (const Figure& figure : figures_[comparison.subject]) {
                std::printf("%-28s %-*s %14s", name.c_str(), width, figure.arguments.c_str(),
                            show(valueOf(figure)).c_str());
                const double count = countOf(comparison.subject, figure.arguments);
                if (counts_ != nullptr) std::printf(", %s", formatCount(count).c_str());
                std::printf("  ");
                double firstRatio = 0;
                for (const std::string& anchor : comparison.anchors) {
                    const Figure& other = figureOf(anchor, figure.arguments);
                    if (valueOf(other) <= 0) continue;
                    const double ratio = valueOf(figure) / valueOf(other);
                    if (firstRatio == 0) firstRatio = ratio;
                    std::printf("  %s %s", anchor.c_str(), show(valueOf(other)).c_str());
                    const double otherCount = countOf(anchor, figure.arguments);
                    if (counts_ != nullptr) std::printf(", %s", formatCount(otherCount).c_str());
                    std::printf(": ratio %.2f", ratio);
                    if (count > 0 && otherCount > 0) std::printf(" (instructions %.2f)", count / otherCount);
                    if (comparison.cpuRatio && other.cpuNanoseconds > 0) {
                        std::printf(" (cpu %s beside %s: ratio %.2f)", format(figure.cpuNanoseconds).c_str(),
                                    format(other.cpuNanoseconds).c_str(),
                                    figure.cpuNanoseconds / other.cpuNanoseconds);
                    }
                }
                if (comparison.goalNanoseconds > 0) {
                    std::printf("  goal %s: ratio %.2f", format(comparison.goalNanoseconds).c_str(),
                                figure.nanoseconds / comparison.goalNanoseconds);
                }
                if (comparison.goalRatio > 0 && firstRatio > 0) {
                    std::printf("  goal: ratio <= %.2f, %s", comparison.goalRatio,
                                firstRatio <= comparison.goalRatio ? "met" : "missed");
                }
                std::printf("\n");
            }
        }
        if (counts_ != nullptr) {
            if (counts_->missing.empty()) {
                std::printf("instructions per %s counted by callgrind, one run\n", counts_->unit.c_str());
            } else {
                std::printf("instructions per %s: n/a (%s)\n", counts_->unit.c_str(),
                            counts_->missing.c_str());
            }
        }
        std::fflush(stdout);
    }

  private:
    struct Figure {
        std::string arguments;
        double nanoseconds = 0;
        double cpuNanoseconds = 0;
        bool fromMedian = false;
        std::map<std::string, double> counters;
    };

    // The figure of a family at some arguments, created empty on first sight (the summary sorts them).
    Figure& figureOf(const std::string& family, const std::string& arguments) {
        std::vector<Figure>& list = figures_[family];
        for (Figure& figure : list) {
            if (figure.arguments == arguments) return figure;
        }
        list.push_back({arguments});
        return list.back();
    }

    // The arguments and, for a family run on several threads, the thread count ("8/threads:8").
    static std::string argumentsOf(const benchmark::BenchmarkName& name) {
        if (name.threads.empty()) return name.args;
        return name.args.empty() ? name.threads : name.args + "/" + name.threads;
    }

    // The count per unit of a family at some arguments; 0 when there is none.
    double countOf(const std::string& family, const std::string& arguments) const {
        if (counts_ == nullptr) return 0;
        auto found = counts_->values.find(family + "/" + arguments);
        return found == counts_->values.end() ? 0 : found->second;
    }

    std::string formatCount(double count) const {
        char text[64];
        if (count > 0) {
            std::snprintf(text, sizeof text, "%.0f instr/%s", count, counts_->unit.c_str());
        } else {
            std::snprintf(text, sizeof text, "n/a instr/%s", counts_->unit.c_str());
        }
        return text;
    }

    // Arguments in the order a reader expects: numbers by value ("8/..." before "64/...").
    static bool naturallyBefore(const std::string& a, const std::string& b) {
        std::size_t i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            if (std::isdigit(static_cast<unsigned char>(a[i])) &&
                std::isdigit(static_cast<unsigned char>(b[j]))) {
                std::size_t endA = a.find_first_not_of("0123456789", i),
                            endB = b.find_first_not_of("0123456789", j);
                if (endA == std::string::npos) endA = a.size();
                if (endB == std::string::npos) endB = b.size();
                const unsigned long long x = std::stoull(a.substr(i, endA - i)),
                                         y = std::stoull(b.substr(j, endB - j));
                if (x != y) return x < y;
                i = endA;
                j = endB;
            } else {
                if (a[i] != b[j]) return a[i] < b[j];
                ++i;
                ++j;
            }
        }
        return a.size() - i < b.size() - j;
    }

    static double nanosecondsPer(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kSecond:
            return 1e9;
        case benchmark::kMillisecond:
            return 1e6;
        case benchmark::kMicrosecond:
            return 1e3;
        default:
            return 1;
        }
    }

    static std::string format(double nanoseconds) {
        char text[32];
        if (nanoseconds >= 1e6) {
            std::snprintf(text, sizeof text, "%.3f ms", nanoseconds / 1e6);
        } else if (nanoseconds >= 1e3) {
            std::snprintf(text, sizeof text, "%.3f us", nanoseconds / 1e3);
        } else {
            std::snprintf(text, sizeof text, "%.1f ns", nanoseconds);
        }
        return text;
    }

    static std::string formatBytes(double bytes) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024 * 1024));
        return text;
    }

    std::vector<Comparison> comparisons_;
    const InstructionCounts* counts_;
    std::map<std::string, std::vector<Figure>> figures_;
};

// Runs the registered benchmarks with the usual flags and the comparisons after them. Repetitions of
// different benchmarks are interleaved at random (unless a flag says otherwise), so that a figure and
// its anchor meet the same load of a shared machine.
// With `counts`, each figure's instructions per unit stand beside its time.
inline int runBesideAnchors(int argc, char** argv, std::vector<Comparison> comparisons,
                            const InstructionCounts* counts = nullptr) {
    std::vector<char*> arguments(argv, argv + argc);
    char interleaved[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleaved);
    argc = static_cast<int>(arguments.size());
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    AnchorReporter reporter(std::move(comparisons), counts);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace velobench
