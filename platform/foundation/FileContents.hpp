#pragma once
// Whole-file reads that never throw: a missing file, a folder, a device or a read error all come back
// as "no contents", so callers handle one case. (The standard streams throw from inside an iterator
// when the path names a folder, which would escape callers that only test the stream's state.)
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ns {

// The bytes of the regular file at `path`, or nullopt.
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::filesystem::path& path);

// The same, as text (bytes unchanged).
std::optional<std::string> readFileText(const std::filesystem::path& path);

} // namespace ns
