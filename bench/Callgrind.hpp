#pragma once
// Instructions counted by callgrind (valgrind), set beside a benchmark's times: a count does not move
// with the load of a shared machine, and this one has no hardware counter to read. The benchmark
// program runs itself once more under callgrind with kCountFlag; in that run it calls
// countInstructions() around the code to count, under the name of the figure the count belongs to,
// and callgrind writes one file per count. The first run reads them back. Without valgrind (or its
// header at build time) the counts are missing and the reason says why. Only for benchmark programs.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define VELOBENCH_HAS_CALLGRIND 1
#else
#define VELOBENCH_HAS_CALLGRIND 0
#endif

#include "tools/scratch/TempFolder.hpp"

extern char** environ;

namespace velobench {

inline constexpr const char* kCountFlag = "--velo_count_instructions";

// Figures' instructions per unit (per frame, per call, ...), by "family/arguments".
struct InstructionCounts {
    std::string unit;                     // "frame": printed as "instr/frame"
    std::map<std::string, double> values; // empty when nothing could be counted
    std::string missing;                  // why, when empty
};

inline bool countingInstructions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kCountFlag) == 0) return true;
    }
    return false;
}

// In the run under callgrind: counts the instructions `body` runs and files them under `figure`
// ("family/arguments"), to be divided by `units` (the frames walked, the calls made, ...).
template <typename Body> void countInstructions(const std::string& figure, double units, Body&& body) {
#if VELOBENCH_HAS_CALLGRIND
    CALLGRIND_TOGGLE_COLLECT;
    body();
    CALLGRIND_TOGGLE_COLLECT;
    char units_text[32];
    std::snprintf(units_text, sizeof units_text, "%.17g", units);
    const std::string name = figure + "\t" + units_text;
    CALLGRIND_DUMP_STATS_AT(name.c_str());
#else
    (void)figure;
    (void)units;
    body();
#endif
}

// Within the body given to countInstructions: runs `body` without counting it (a reset between the
// counted runs).
template <typename Body> void outsideCount(Body&& body) {
#if VELOBENCH_HAS_CALLGRIND
    CALLGRIND_TOGGLE_COLLECT;
    body();
    CALLGRIND_TOGGLE_COLLECT;
#else
    body();
#endif
}

namespace callgrindDetail {

// The counts of one callgrind file: its trigger's name ("figure\tunits") and its total.
inline bool readCount(const std::filesystem::path& file, std::string* figure, double* perUnit) {
    std::ifstream in(file);
    const std::string trigger = "desc: Trigger: Client Request: ";
    std::string line, name;
    double total = -1;
    while (std::getline(in, line)) {
        if (line.rfind(trigger, 0) == 0) name = line.substr(trigger.size());
        if (line.rfind("totals: ", 0) == 0) total = std::strtod(line.c_str() + 8, nullptr);
    }
    const std::size_t tab = name.find('\t');
    if (tab == std::string::npos || total < 0) return false;
    const double units = std::strtod(name.c_str() + tab + 1, nullptr);
    if (units <= 0) return false;
    *figure = name.substr(0, tab);
    *perUnit = total / units;
    return true;
}

} // namespace callgrindDetail

// Runs this program again under callgrind, with kCountFlag, and reads what it counted.
inline InstructionCounts countUnderCallgrind(const std::string& unit) {
    InstructionCounts counts{unit, {}, {}};
#if !VELOBENCH_HAS_CALLGRIND
    counts.missing = "built without valgrind's callgrind.h";
    return counts;
#else
    // The program's own path: under valgrind, /proc/self/exe would name valgrind's tool.
    std::error_code error;
    std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error) {
        counts.missing = "this program's path cannot be read: " + error.message();
        return counts;
    }
    const velotools::TempFolder folder("velobench-callgrind");
    const std::string out = "--callgrind-out-file=" + (folder.path() / "count").string();
    const std::string log = "--log-file=" + (folder.path() / "valgrind.log").string();
    std::vector<std::string> words = {
        "valgrind", "--tool=callgrind", "--collect-atstart=no", "--dump-instr=no", "--dump-line=no", out, log,
        program,    kCountFlag};
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    pid_t child = 0;
    if (int failed = posix_spawnp(&child, "valgrind", nullptr, nullptr, argv.data(), environ); failed != 0) {
        counts.missing = std::string("valgrind cannot be started: ") + std::strerror(failed);
        return counts;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        // Its log goes with the folder: its last line says most.
        std::ifstream in(folder.path() / "valgrind.log");
        std::string line, last;
        while (std::getline(in, line)) {
            if (line.find_first_not_of("=0123456789 ") != std::string::npos) last = line;
        }
        counts.missing = "the run under callgrind failed: " + last;
        return counts;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        std::string figure;
        double perUnit = 0;
        if (callgrindDetail::readCount(entry.path(), &figure, &perUnit)) counts.values[figure] = perUnit;
    }
    if (counts.values.empty()) counts.missing = "callgrind counted nothing";
    return counts;
#endif
}

} // namespace velobench
