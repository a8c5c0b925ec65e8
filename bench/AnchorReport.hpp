#pragma once
// Benchmarks read beside their anchors: after Google Benchmark's own table, one line per measured figure
// with the figure of each anchor at the same arguments and the ratio figure / anchor (below 1 is faster
// than the anchor; a family run on several threads is set beside the anchor at the same thread count).
// A figure may also be held against a fixed goal instead of another benchmark, or its ratio to the first
// anchor against a goal ratio; and the CPU times may be set side by side too.
//
// A figure is the median of a family's repetitions when it has them, else its single run's time per
// iteration (wall clock; CPU time, summed over the threads of a family run on several, beside it). Only
// for benchmark programs.
#include <benchmark/benchmark.h>

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
};

class AnchorReporter : public benchmark::ConsoleReporter {
  public:
    explicit AnchorReporter(std::vector<Comparison> comparisons)
        : benchmark::ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular),
          comparisons_(std::move(comparisons)) {}

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
            }
        }
    }

    void Finalize() override {
        benchmark::ConsoleReporter::Finalize();
        std::printf("\n%-28s %-10s %14s   %s\n", "figure", "arguments", "time", "beside its anchors");
        for (const Comparison& comparison : comparisons_) {
            for (const Figure& figure : figures_[comparison.subject]) {
                std::printf("%-28s %-10s %14s  ", comparison.subject.c_str(), figure.arguments.c_str(),
                            format(figure.nanoseconds).c_str());
                double firstRatio = 0;
                for (const std::string& anchor : comparison.anchors) {
                    const Figure& other = figureOf(anchor, figure.arguments);
                    if (other.nanoseconds <= 0) continue;
                    const double ratio = figure.nanoseconds / other.nanoseconds;
                    if (firstRatio == 0) firstRatio = ratio;
                    std::printf("  %s %s: ratio %.2f", anchor.c_str(), format(other.nanoseconds).c_str(),
                                ratio);
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
        std::fflush(stdout);
    }

  private:
    struct Figure {
        std::string arguments;
        double nanoseconds = 0;
        double cpuNanoseconds = 0;
        bool fromMedian = false;
    };

    // The figure of a family at some arguments, created empty on first sight (families keep the order
    // in which their arguments ran).
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

    std::vector<Comparison> comparisons_;
    std::map<std::string, std::vector<Figure>> figures_;
};

// Runs the registered benchmarks with the usual flags and the comparisons after them. Repetitions of
// different benchmarks are interleaved at random (unless a flag says otherwise), so that a figure and
// its anchor meet the same load of a shared machine.
inline int runBesideAnchors(int argc, char** argv, std::vector<Comparison> comparisons) {
    std::vector<char*> arguments(argv, argv + argc);
    char interleaved[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleaved);
    argc = static_cast<int>(arguments.size());
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    AnchorReporter reporter(std::move(comparisons));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace velobench
