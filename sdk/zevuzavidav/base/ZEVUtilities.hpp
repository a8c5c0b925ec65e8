#pragma once
// Small services of the crash reporter: hex encoding, guarded reads, string copies into the guarded
// allocator, file removal, symbol lookup and the profiling clock. None of them knows the crash context.
//
// ZEVHexEncode*, ZEVReadMemory and ZEVReadString are signal-safe; the others are for normal threads.
#include <cstddef>
#include <cstdint>
#include <functional>

struct ZEVAllocator;

// Two lowercase hex digits for one byte.
void ZEVHexEncodeByte(std::uint8_t byte, char output[2]);
// Zeroes 2 * length + 1 output bytes, then writes two digits per byte.
void ZEVHexEncodeBytes(const void* bytes, std::size_t length, char* output);
// Guarded copy of this process's memory: false for addresses below 4096 or unreadable bytes.
bool ZEVReadMemory(std::uintptr_t address, void* destination, std::size_t size);
// True when the text at `address` is readable up to its zero byte or `maximum` bytes; `out` is set to
// the address (nothing is copied). A maximum of 0 is true at once.
bool ZEVReadString(std::uintptr_t address, const char** out, std::size_t maximum);
// Copy (with terminator) in the allocator's read-only region (heap once it is protected, or for a null
// allocator). Null for null. The copy is never freed.
char* ZEVDuplicateString(ZEVAllocator* allocator, const char* text);
// Removes a file; true when removed or when it did not exist.
bool ZEVUnlinkIfExists(const char* path);
// Symbol name and image path of an address ("unknown" for a missing one), or null and null when the
// address is in no image.
void ZEVDladdrWithBlock(std::uintptr_t address, const std::function<void(const char*, const char*)>& block);
// The monotonic clock in nanoseconds, and the milliseconds elapsed since such a mark.
std::uint64_t ZEVProfilingStart();
double ZEVProfilingEndInMillis(std::uint64_t mark);
namespace zevuzavidav {
// Seconds since 1970 (signal-safe).
std::uint64_t currentTimeSeconds();

// The text of an error number for the SDK log, safe in signal handlers (strerror is not: it may
// allocate and translate). Common numbers have their usual text from a fixed table; any other is
// written as "error N" into `buffer`, whose address is then returned.
constexpr std::size_t kErrorTextSize = 32;
const char* errorText(int error, char (&buffer)[kErrorTextSize]);

// Opens a file of the SDK's for writing with raw system calls (signal-safe), made 0600 when `flags`
// create it, never writing into anything but a file of its own. With O_TRUNC the file is always made
// anew (O_CREAT | O_EXCL), what stood in its place removed first (never a folder, EISDIR, or a device,
// ENXIO). Without, a symbolic link in its
// place is refused (ELOOP), a FIFO is never waited for and anything but a regular file is closed again
// (ENXIO), and a file with another name as well (a hard link) is removed as itself and a new one made
// (EMLINK without O_CREAT). The descriptor stays non-blocking, which a regular file ignores. -1 with
// errno set on failure.
int openRegularFileForWriting(const char* path, int flags);
} // namespace zevuzavidav
