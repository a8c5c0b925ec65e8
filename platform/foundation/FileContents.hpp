#pragma once
// Whole-file reads and writes that never throw, and the few folder operations the sandbox needs.
//
// Nothing done here leaves the sandbox through what it holds: a symbolic link where a file or folder
// of ours belongs is never followed (opened, listed or removed as what it points to), opening never
// waits (a FIFO in a file's place), and every read has a bound that the caller chooses for the kind
// of file it reads. A link, a FIFO, a device or a socket in a file's place, and a file past its bound,
// are "unusable" (isUnusableFileError): reading it can never succeed, so callers set it aside like a
// damaged file rather than wait for it to become readable.
//
// readFileBytes/readFileText: a missing file, a folder, a device, a file past the bound or a read error
// all come back as "no contents", so callers that only care whether they got the bytes handle one case.
// (The standard streams throw from inside an iterator when the path names a folder, which would escape
// callers that only test the stream's state.)
//
// readFileIfPresent tells "nothing there" apart from "something there that cannot be read" (permission,
// I/O error, a folder or anything unusable in the file's place), for callers that must not take an
// unreadable file for a missing one.
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

// Opens the regular file at `path` with open(2)'s `flags` (access and creation flags) and `mode`, adding
// O_NOFOLLOW, O_NONBLOCK and O_CLOEXEC; O_NONBLOCK is taken off again before the descriptor is handed
// back. -1 with errno set when it cannot be opened: ELOOP for a symbolic link in its place, EISDIR for
// a folder, ENXIO for anything else that is not a regular file (a FIFO, a device, a socket).
int openRegularFile(const std::filesystem::path& path, int flags, unsigned mode = privateFileMode);

// Whether a failure to open or read (an errno value, or the code of an error in posixErrorDomain) means
// the file can never be read as it stands: a link or a non-regular file in its place (ELOOP, ENXIO),
// or a file past its bound (EFBIG).
bool isUnusableFileError(int err);

// At most `limit` bytes read from `fd` where it stands: fewer at the file's end or at a read error.
std::string readAtMost(int fd, std::size_t limit);

// The bytes of the regular file at `path`, or nullopt; nullopt too when it holds more than `limit`
// bytes (which are then never read).
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::filesystem::path& path, std::size_t limit);

// The same, as text (bytes unchanged).
std::optional<std::string> readFileText(const std::filesystem::path& path, std::size_t limit);

// The bytes of the regular file at `path`; nullopt when no file is there (the path or a folder on the
// way to it does not exist); an error when something is there that cannot be read whole, EFBIG when
// it holds more than `limit` bytes.
Result<std::optional<std::vector<std::uint8_t>>> readFileIfPresent(const std::filesystem::path& path,
                                                                   std::size_t limit);

// The names in the folder at `path` ("." and ".." left out), in listing order. A link in the folder's
// place is not listed through: ENOTDIR, as for a file.
Result<std::vector<std::string>> listDirectory(const std::filesystem::path& path);

// How writeFileAtomically names its temporary file: beside the target ("<name>.tmp-<random>"), or hidden
// (".<name>.tmp-<random>") in a folder whose every visible entry is taken for content, such as a report
// folder that is packaged whole, so that a write cut short leaves nothing that is sent or listed.
enum class TemporaryFile { named, hidden };

// Writes `bytes` to `target` through a temporary file in the same folder (named as `temporary` says,
// made 0600), which is flushed to the disk, closed with its result checked, and renamed over `target`;
// the folder is then flushed so the rename itself survives a power cut. Makes the folder (0700) when it
// is missing. Whatever stood at `target` (a link, a FIFO) is replaced as itself, never written through.
// On failure the temporary file is removed and `target` is untouched.
Result<void> writeFileAtomically(const std::filesystem::path& target, const std::vector<std::uint8_t>& bytes,
                                 TemporaryFile temporary = TemporaryFile::named);

// Makes `folder` and each missing folder above it with privateDirectoryMode (folders already there keep
// their mode). False with `error` set when one cannot be made or a file stands in the way.
//
// Folders at or below `ours` (a folder above `folder`, or `folder` itself) belong to the sandbox: each
// is opened relative to the one above it without following a link (openat, O_NOFOLLOW), and a symbolic
// link found in the place of one is removed as a link, with a console line, and a real folder made
// there, so that nothing later listed, removed or put in it is where the link pointed. Above `ours`
// (the user's own folders on the way to the sandbox) links are followed; with `ours` empty, everywhere.
bool createPrivateDirectories(const std::filesystem::path& folder, std::error_code& error,
                              const std::filesystem::path& ours = {});

// The same walk, making nothing that is missing: true when `folder` is there as a real folder once
// every link of ours on the way has been replaced (as above); false with ENOENT when it or a folder
// above it is missing, ENOTDIR when a file stands in the way. For a look before listing or removing,
// where a missing folder means there is nothing to do.
bool privateDirectoryExists(const std::filesystem::path& folder, std::error_code& error,
                            const std::filesystem::path& ours);

// Opens the file of ours at `path` to write (`flags`: O_WRONLY or O_RDWR, with O_APPEND or O_TRUNC as
// the caller needs; it is made, privateFileMode, when missing), never writing through what stands in
// its place: a symbolic link, a FIFO or a socket there, or a regular file that has another
// name as well (a hard link, st_nlink above 1), is removed as itself and a new file made in its place
// (O_CREAT | O_EXCL), so that no byte written lands in a file outside the sandbox. With O_TRUNC the file
// is always made anew, what stood there removed first: an output written whole. A file of ours alone
// keeps its bytes otherwise (a log appended to). A folder or a device in its place is never removed:
// EISDIR, ENXIO. -1 with errno set on failure; the descriptor handed back is blocking.
int openPrivateFileForWriting(const std::filesystem::path& path, int flags);

// The prefix of the temporary files writeFileAtomically makes for `target` ("<name>.tmp-").
std::string temporaryFilePrefix(const std::filesystem::path& target);

// An error in posixErrorDomain for `err` while doing `what` ("cannot write /a/b").
Error posixError(int err, const std::string& what);

} // namespace ns
