#pragma once
// A whole file's bytes, as a test reads what the code under test wrote.
//
// Failure contract: a file that is missing or cannot be read gives "" (the test's own checks then fail).
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace velotest {

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace velotest
