#pragma once
// Helpers of the crash-capture tests: a real crash context in a folder, record lines read back with an
// independent JSON parser, and the hex form the records give texts.
#include "sdk/zovaze/images/ELFImage.hpp"
#include "tools/crashfixtures/CrashContext.hpp"

#include <nlohmann/json.hpp>

#include <elf.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace recordtest {

// Every line of a record file that parses as JSON; the others are counted in `unparsable`.
inline std::vector<nlohmann::json> readLines(const std::string& path, int* unparsable) {
    std::vector<nlohmann::json> lines;
    std::ifstream in(path);
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
