#pragma once
// A whole file's bytes, as a test reads what the code under test wrote; and everything under a folder at
// once, as a test compares what lies outside a sandbox before and after the code under test ran.
//
// Failure contract: a file that is missing or cannot be read gives "" (the test's own checks then fail);
// a folder that cannot be listed gives what could be listed.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace velotest {

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each entry below `folder` by its path relative to it: a file with its bytes, a folder as "<folder>",
// a symbolic link as "-> <target>" (never followed).
inline std::map<std::string, std::string> folderContents(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> contents;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const auto status = it->symlink_status(error);
        const std::string name = fs::relative(it->path(), folder).string();
        if (fs::is_symlink(status))
            contents[name] = "-> " + fs::read_symlink(it->path(), error).string();
        else if (fs::is_directory(status))
            contents[name] = "<folder>";
        else
            contents[name] = readFile(it->path());
    }
    return contents;
}

} // namespace velotest
