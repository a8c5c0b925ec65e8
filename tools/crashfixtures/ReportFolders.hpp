#pragma once
// Report folders written by hand, as an earlier launch's capture would have left them: record files as
// JSON lines, the metadata a launch writes first, and the load line of an image as the image tracker
// records it. Shared by the crash tests and the crash-life benchmark.
//
// Failure contract: none reported; a file that cannot be written is simply missing or short, which the
// code under test must then handle.
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace reporttest {

using json = nlohmann::json;

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

// The three lines a launch writes first into "metadata.zevrecord".
inline void writeMetadata(const std::filesystem::path& folder, const std::string& sessionId,
                          const std::string& apiKey = "test-api-key", std::uint64_t startedAt = 1700000000) {
    writeLines(
        folder / "metadata.zevrecord",
        {json{{"identity", {{"api_key", apiKey}, {"started_at", startedAt}, {"session_id", sessionId}}}},
         json{{"host", {{"os_display_version", "6.1.0"}, {"os_build_version", "#1 SMP"}}}},
         json{{"application", {{"build_version", "7"}, {"display_version", "1.2.3"}}}}});
}

// The "load" line of `image`, at `recordedBase` as if the earlier launch had loaded it there.
inline json loadLine(const darwin::ImageInfo& image, std::uint64_t recordedBase) {
    char uuid[33];
    zevuzavidav::binaryImageUUIDText(image, uuid);
    return json{{"load",
                 {{"path", image.path ? image.path : ""},
                  {"uuid", uuid},
                  {"base", recordedBase},
                  {"size", image.size}}}};
}

// The "load" line of the loaded image that holds `address`, shifted to `recordedBase`.
inline json loadLineFor(const void* address, std::uint64_t recordedBase) {
    darwin::ImageInfo image;
    if (!darwin::findImage(reinterpret_cast<std::uintptr_t>(address), image)) return json();
    return loadLine(image, recordedBase);
}

inline std::uint64_t imageBase(const void* address) {
    darwin::ImageInfo image;
    return darwin::findImage(reinterpret_cast<std::uintptr_t>(address), image) ? image.base : 0;
}

} // namespace reporttest
