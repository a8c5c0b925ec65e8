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

// The four lines a launch writes first into "metadata.zevrecord".
inline void writeMetadata(const std::filesystem::path& folder, const std::string& sessionId,
                          const std::string& apiKey = "test-api-key", std::uint64_t startedAt = 1700000000) {
    writeLines(
        folder / "metadata.zevrecord",
        {json{{"identity", {{"api_key", apiKey}, {"started_at", startedAt}, {"session_id", sessionId}}}},
         json{{"host", {{"os_display_version", "6.1.0"}, {"os_build_version", "#1 SMP"}}}},
         json{{"application", {{"build_version", "7"}, {"display_version", "1.2.3"}}}},
         json{{"executable", {{"architecture", "x86_64"}, {"base", 0x555500000000}}}}});
}

// An earlier launch that crashed on a signal, as capture leaves its folder: the metadata (started at
// `startedAt`), the images it had loaded, the signal's record with three threads' stacks, an empty log
// and one user key. The images and addresses are made up: the folder stands for one of a backlog, not
// for a crash of this process.
inline void writeCrashedLaunch(const std::filesystem::path& folder, const std::string& id,
                               std::uint64_t startedAt) {
    writeMetadata(folder, id, "test-api-key", startedAt);
    std::vector<json> images;
    for (std::uint64_t i = 0; i < 8; ++i)
        images.push_back(json{{"load",
                               {{"path", "/usr/lib/libfixture" + std::to_string(i) + ".so"},
                                {"uuid", std::string(31, '0') + std::to_string(i)},
                                {"base", 0x7f0000000000 + i * 0x100000},
                                {"size", 0x80000}}}});
    writeLines(folder / "binary_images.zevrecord", images);
    json threads = json::array();
    for (std::uint64_t t = 0; t < 3; ++t) {
        json stack = json::array();
        for (std::uint64_t f = 0; f < 24; ++f)
            stack.push_back(0x7f0000000000 + ((t + f) % 8) * 0x100000 + 0x1000 + f * 16);
        threads.push_back(json{{"crashed", t == 0}, {"stacktrace", stack}});
    }
    writeLines(folder / "signal.zevrecord", {json{{"signal", {{"number", 11}}}}, json{{"threads", threads}}});
    writeText(folder / "log_a.zevrecord", "");
    writeText(folder / "user_incremental_kv.zevrecord",
              "{\"kv\":{\"key\":\"6b6579\",\"value\":\"76616c7565\"}}\n");
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
