#pragma once
// Whole-file reads and writes that never throw.
//
// readFileBytes/readFileText: a missing file, a folder, a device or a read error all come back as "no
// contents", so callers that only care whether they got the bytes handle one case. (The standard
// streams throw from inside an iterator when the path names a folder, which would escape callers that
// only test the stream's state.)
//
// readFileIfPresent tells "nothing there" apart from "something there that cannot be read" (permission,
// I/O error, a folder in the file's place), for callers that must not take an unreadable file for a
// missing one.
//
// writeFileAtomically replaces a file so that a crash or a full disk leaves either the old or the new
// file, never a torn one.
//
// The sandbox is private on a shared machine only if its files are: everything the app and the SDK make
// in it is made with privateFileMode or privateDirectoryMode from the start (never widened and then
// narrowed, which would leave a window), and writeFileAtomically and createPrivateDirectories do so.
//
// Errors are in posixErrorDomain with the errno value as code; the description names the path and the
// reason, and the user info's failureReasonKey holds the reason alone ("No space left on device").
#include "platform/foundation/Error.hpp"
#include "platform/foundation/Result.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ns {

inline constexpr unsigned privateFileMode = 0600;
inline constexpr unsigned privateDirectoryMode = 0700;

inline constexpr const char* posixErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* failureReasonKey = "NSLocalizedFailureReason";

// The bytes of the regular file at `path`, or nullopt.
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::filesystem::path& path);

// The same, as text (bytes unchanged).
std::optional<std::string> readFileText(const std::filesystem::path& path);

// The bytes of the regular file at `path`; nullopt when no file is there (the path or a folder on the
// way to it does not exist); an error when something is there that cannot be read whole.
Result<std::optional<std::vector<std::uint8_t>>> readFileIfPresent(const std::filesystem::path& path);

// Writes `bytes` to `target` through a temporary file in the same folder ("<name>.tmp-<random>", made
// 0600), which is flushed to the disk, closed with its result checked, and renamed over `target`; the
// folder is then flushed so the rename itself survives a power cut. Makes the folder (0700) when it is
// missing. On failure
// the temporary file is removed and `target` is untouched.
Result<void> writeFileAtomically(const std::filesystem::path& target, const std::vector<std::uint8_t>& bytes);

// Makes `folder` and each missing folder above it with privateDirectoryMode (folders already there keep
// their mode). False with `error` set when one cannot be made or a file stands in the way.
bool createPrivateDirectories(const std::filesystem::path& folder, std::error_code& error);

// The prefix of the temporary files writeFileAtomically makes for `target` ("<name>.tmp-").
std::string temporaryFilePrefix(const std::filesystem::path& target);

// An error in posixErrorDomain for `err` while doing `what` ("cannot write /a/b").
Error posixError(int err, const std::string& what);

} // namespace ns
