#pragma once
// Report folders written by hand for the tests of the report's road: record files as JSON lines, the
// metadata a launch writes, and the load line of an image as the image tracker records it.
#include "platform/darwin/Images.hpp"
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace reporttest {

using json = nlohmann::json;

// The names in a folder (none when it cannot be read), in the order the system lists them.
inline std::vector<std::string> entries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    return names;
}

inline void writeLines(const std::filesystem::path& path, const std::vector<json>& lines) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& line : lines)
        out << line.dump() << '\n';
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<json> readLines(const std::filesystem::path& path) {
    std::vector<json> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(json::parse(line));
    return lines;
}

// The three lines a launch writes first into "metadata.zevrecord".
inline void writeMetadata(const std::filesystem::path& folder, const std::string& sessionId,
                          const std::string& apiKey = "test-api-key", std::uint64_t startedAt = 1700000000) {
    writeLines(
        folder / "metadata.zevrecord",
        {json{{"identity", {{"api_key", apiKey}, {"started_at", startedAt}, {"session_id", sessionId}}}},
         json{{"host", {{"os_display_version", "6.1.0"}, {"os_build_version", "#1 SMP"}}}},
         json{{"application", {{"build_version", "7"}, {"display_version", "1.2.3"}}}}});
}

// The "load" line of the loaded image that holds `address`, shifted to `recordedBase` as if the
// earlier launch had loaded it there.
inline json loadLineFor(const void* address, std::uint64_t recordedBase) {
    darwin::ImageInfo image;
    if (!darwin::findImage(reinterpret_cast<std::uintptr_t>(address), image)) return json();
    char uuid[33];
    ZEVBinaryImageUUIDText(image, uuid);
    return json{{"load",
                 {{"path", image.path ? image.path : ""},
                  {"uuid", uuid},
                  {"base", recordedBase},
                  {"size", image.size}}}};
}

inline std::uint64_t imageBase(const void* address) {
    darwin::ImageInfo image;
    return darwin::findImage(reinterpret_cast<std::uintptr_t>(address), image) ? image.base : 0;
}

// Whether a captured console line begins with `prefix`.
inline bool saw(const ns::ConsoleCapture& console, const std::string& prefix) {
    for (const auto& line : console.lines())
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

} // namespace reporttest
