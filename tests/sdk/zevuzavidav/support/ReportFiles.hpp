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

// Puts a symbolic link to `outside` in the place of the folder `place` of the report tree at `root`
// ("v3", "" for the root itself, ".." for com.zevuzavidav.data), and fills `outside` as that folder would
// be: an older layout's marker, the launch marker, a launch folder with a crash, a report being
// processed, a package, a pending item (each file holding "theirs"). Answers the place, without a
// trailing "/".
inline std::filesystem::path linkInPlaceOfFolder(const std::filesystem::path& root, const std::string& place,
                                                 const std::filesystem::path& outside) {
    namespace fs = std::filesystem;
    fs::path folder = (root / place).lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();
    for (const char* file :
         {"sendable", "v3/launchmarker", "v3/active/r/metadata.zevrecord", "v3/active/r/signal.zevrecord",
          "v3/processing/p/metadata.zevrecord", "v3/prepared/a.multipartmime", "v3/pending/q"}) {
        const fs::path below = (root / file).lexically_relative(folder);
        if (*below.begin() != "..") writeText(outside / below, "theirs");
    }
    fs::create_directories(folder.parent_path());
    fs::remove_all(folder);
    fs::create_symlink(outside, folder);
    return folder;
}

// Whether a captured console line begins with `prefix`.
inline bool saw(const ns::ConsoleCapture& console, const std::string& prefix) {
    for (const auto& line : console.lines())
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

} // namespace reporttest
