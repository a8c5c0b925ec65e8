#pragma once
// Helpers of the crash-capture tests: a real crash context in a folder, record lines read back with an
// independent JSON parser, and the hex form the records give texts.
#include "sdk/zovaze/images/ELFImage.hpp"
#include "tools/crashfixtures/CrashContext.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <elf.h>
#include <fstream>
#include <istream>
#include <string>
#include <unistd.h>
#include <vector>

namespace recordtest {

// Every line of record text that parses as JSON; the others are counted in `unparsable`.
inline std::vector<nlohmann::json> parseLines(std::istream& in, int* unparsable) {
    std::vector<nlohmann::json> lines;
    std::string line;
    while (std::getline(in, line)) {
        nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
        if (parsed.is_discarded()) {
            ++*unparsable;
        } else {
            lines.push_back(parsed);
        }
    }
    return lines;
}

// Every line of a record file that parses as JSON; the others are counted in `unparsable`.
inline std::vector<nlohmann::json> readLines(const std::string& path, int* unparsable) {
    std::ifstream in(path);
    return parseLines(in, unparsable);
}

// The sections that open a crash record, its cause; each names its record file ("<name>.zevrecord") and
// the report's part that carries that file.
inline constexpr const char* kCauseSections[] = {"exception", "signal", "mach_exception"};

inline bool isCauseSection(const nlohmann::json& line) {
    for (const char* name : kCauseSections)
        if (line.contains(name)) return true;
    return false;
}

// A thread recorded with its registers and the stack walked from them.
inline bool hasRegistersAndStack(const nlohmann::json& thread) {
    return thread["registers"].is_object() && !thread["registers"].empty() && !thread["stacktrace"].empty();
}

// A crash record file's lines as its records, each from its cause section on: the file is appended to,
// and two exceptions thrown at once leave two records in one.
inline std::vector<std::vector<nlohmann::json>> splitIntoRecords(std::vector<nlohmann::json> lines) {
    std::vector<std::vector<nlohmann::json>> records;
    for (auto& line : lines) {
        if (isCauseSection(line) || records.empty()) records.emplace_back();
        records.back().push_back(std::move(line));
    }
    return records;
}

// The section `name` of a record, or null.
inline nlohmann::json sectionOfRecord(const std::vector<nlohmann::json>& record, const char* name) {
    for (const auto& line : record)
        if (line.contains(name)) return line[name];
    return nullptr;
}

// Expects a crash record whole: its cause section, every live thread with its registers and stack,
// names and queue names for each, one crashed thread, and the closing section. A thread that ended
// while the record was written, whose queue name is null for it, has nothing left to record. Failures
// name the record (`what`) and what it lacks. The crashed thread, or null when there is not exactly
// one.
inline nlohmann::json expectWholeRecord(const std::vector<nlohmann::json>& record, const std::string& what) {
    EXPECT_TRUE(!record.empty() && isCauseSection(record.front())) << what << ": no cause section";
    EXPECT_TRUE(sectionOfRecord(record, "storage").is_object()) << what << ": the record was not finished";
    const nlohmann::json threads = sectionOfRecord(record, "threads");
    const nlohmann::json names = sectionOfRecord(record, "thread_names");
    const nlohmann::json queues = sectionOfRecord(record, "dispatch_queue_names");
    if (!threads.is_array() || !names.is_array() || !queues.is_array() || threads.size() != names.size() ||
        threads.size() != queues.size()) {
        ADD_FAILURE() << what << ": no threads, or not one name each\nthreads: " << threads
                      << "\nnames: " << names << "\nqueues: " << queues;
        return nullptr;
    }
    nlohmann::json crashed;
    int crashedThreads = 0;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        const nlohmann::json& thread = threads[i];
        EXPECT_TRUE(hasRegistersAndStack(thread) || queues[i].is_null())
            << what << ": " << names[i] << " was recorded without its registers or stack: " << thread;
        if (!thread.value("crashed", false)) continue;
        ++crashedThreads;
        crashed = thread;
    }
    EXPECT_EQ(crashedThreads, 1) << what;
    return crashedThreads == 1 ? crashed : nlohmann::json();
}

// A real write through a null pointer. The pointer is read at run time, so the compiler can neither
// drop the write nor turn it into a trap instruction.
inline volatile int* volatile nullTarget = nullptr;
__attribute__((noinline)) inline void writeThroughNull() {
    *nullTarget = 1;
}

// The architecture the running program's ELF header names.
inline std::string machineOfThisProgram() {
    std::ifstream in("/proc/self/exe", std::ios::binary);
    Elf64_Ehdr header{};
    in.read(reinterpret_cast<char*>(&header), sizeof header);
    return zovaze::elfArchitectureName(header.e_machine);
}

inline std::string hex(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

} // namespace recordtest
