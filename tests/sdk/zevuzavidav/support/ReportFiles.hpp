#pragma once
// Report folders for the tests of the report's road: the writers of tools/crashfixtures (shared with
// the crash-life benchmark), and reading back what the code under test left.
#include "platform/foundation/Console.hpp"
#include "tests/support/Files.hpp"
#include "tools/crashfixtures/ReportFolders.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace reporttest {

// The names in a folder (none when it cannot be read), in the order the system lists them.
inline std::vector<std::string> entries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    return names;
}

using velotest::readFile;

inline std::vector<json> readLines(const std::filesystem::path& path) {
    std::vector<json> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(json::parse(line));
    return lines;
}

// Whether a captured console line begins with `prefix`.
inline bool saw(const ns::ConsoleCapture& console, const std::string& prefix) {
    for (const auto& line : console.lines())
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

} // namespace reporttest
