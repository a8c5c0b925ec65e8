#pragma once
// Record files: one JSON object per line, each holding one named section ("zevrecord" files).
//
// The writer works inside signal handlers: the caller owns the ZEVFile (usually on its stack), numbers
// and strings are formatted here without a library, and unbuffered files never allocate (one write
// per token, looping over short writes and EINTR). Buffered files use a 1000-byte heap block that
// reaches the descriptor in pieces of 999 bytes. An unbuffered file may borrow a caller's block for a
// while (zevuzavidav::useFileBuffer, signal-safe), so that a line reaches a file shared with another writer
// in one write: appends given whole to the kernel never interleave. A borrowed block writes each finished
// line at once, so a crash handler that dies part-way loses no more than the line it could not finish.
//
// Plain strings (keys, paths, names) are escaped JSON-style (quote, backslash, bytes below 0x20), so an
// odd thread name never costs a whole line; hex strings carry arbitrary text as lowercase hex digits.
// Failed writes are not reported per call: they simply do not count towards bytesWritten.
#include <cstddef>
#include <cstdint>

struct ZEVFile {
    int descriptor = -1;
    std::int32_t depth = 0;
    bool needsComma = false;
    bool buffered = false;
    bool ownsBuffer = false;   // the heap block of a buffered file, freed at close
    bool flushesLines = false; // a borrowed block: each finished line is written at once
    std::uint32_t bufferCapacity = 0;
    char* buffer = nullptr;
    std::uint64_t bufferedBytes = 0;
    std::uint64_t bytesWritten = 0;
};
// Kept at its size: the crash context's writable region holds one.
static_assert(sizeof(ZEVFile) == 40);

// Opens (creating, mode 0600: records hold user logs, keys and ids) for append or truncation (a new
// file), never through a link, symbolic or hard, in the file's place and never into a FIFO
// (zevuzavidav::openRegularFileForWriting).
// False with an SDK log line on failure.
bool ZEVFileInitWithPathMode(ZEVFile* file, const char* path, bool append, bool buffered);
bool ZEVFileInitWithPath(ZEVFile* file, const char* path, bool buffered);
// Flushes, frees the buffer, reports the bytes written and closes. The buffer is freed and the record
// reset whatever close answers; false (with a log line) when close failed.
bool ZEVFileCloseWithOffset(ZEVFile* file, std::uint64_t* bytesWritten);
bool ZEVFileClose(ZEVFile* file);
bool ZEVFileIsOpen(const ZEVFile* file);
void ZEVFileFlushBuffer(ZEVFile* file);
namespace zevuzavidav {
// The longest record file read back (ZEVFileReader.hpp). A crash writes a few hundred kilobytes (every
// thread's frames and every loaded image), and keeps within it however many threads it records; a
// key-value or log file is compacted far below this.
inline constexpr std::size_t kMaximumRecordFileLength = 64 * 1024 * 1024;

// Makes `file` a file that writes nothing and counts in bytesWritten what it would have written: what a
// record's part will take, measured by the writer itself. Signal-safe; nothing to close.
void measureOnly(ZEVFile* file);

// Flushes, then buffers in `storage` (`capacity` bytes, owned by the caller and kept until the next call
// or the close) instead of writing each token, writing each finished line at once; null storage goes
// back to unbuffered writing. Does
// nothing to a file that was opened buffered.
void useFileBuffer(ZEVFile* file, char* storage, std::uint32_t capacity);
// For a signal handler that ends the process while the file's own writer, interrupted on the handler's
// thread, is in the middle of a write or a flush: writes out the buffered bytes the file has not taken
// yet (those of a flush under way that reached the file are not written twice), so that whole lines
// are kept and the one under way is cut where the writer stood. Raw system calls, no allocation; the
// file must have no other writer meanwhile. The file is left as it is otherwise: the process ends next.
void writeOutInterruptedBuffer(ZEVFile* file);
} // namespace zevuzavidav
void ZEVFileWriteBytes(ZEVFile* file, const void* bytes, std::size_t length);

void ZEVFileWriteSectionStart(ZEVFile* file, const char* name);
void ZEVFileWriteSectionEnd(ZEVFile* file);
void ZEVFileWriteObjectStart(ZEVFile* file);
void ZEVFileWriteObjectEnd(ZEVFile* file);
void ZEVFileWriteArrayStart(ZEVFile* file);
void ZEVFileWriteArrayEnd(ZEVFile* file);
void ZEVFileWriteKey(ZEVFile* file, const char* key);

void ZEVFileWriteUInt64Entry(ZEVFile* file, const char* key, std::uint64_t value);
void ZEVFileWriteInt64Entry(ZEVFile* file, const char* key, std::int64_t value);
// A null value writes null.
void ZEVFileWriteStringEntry(ZEVFile* file, const char* key, const char* value);
void ZEVFileWriteHexStringEntry(ZEVFile* file, const char* key, const char* value);
void ZEVFileWriteBoolEntry(ZEVFile* file, const char* key, bool value);
// Writes nothing at all (not even the key) when the text is null or empty.
void ZEVFileWriteNSStringEntry(ZEVFile* file, const char* key, const char* text);
namespace zevuzavidav {
// A JSON null value for the key.
void writeNullEntry(ZEVFile* file, const char* key);
} // namespace zevuzavidav

void ZEVFileWriteUInt64Element(ZEVFile* file, std::uint64_t value);
void ZEVFileWriteStringElement(ZEVFile* file, const char* value);
void ZEVFileWriteHexStringElement(ZEVFile* file, const char* value);
namespace zevuzavidav {
void writeNullElement(ZEVFile* file);
} // namespace zevuzavidav

void ZEVFileWriteUInt64(ZEVFile* file, std::uint64_t value);
void ZEVFileWriteInt64(ZEVFile* file, std::int64_t value);
void ZEVFileWriteString(ZEVFile* file, const char* value);
void ZEVFileWriteHexString(ZEVFile* file, const char* value);
namespace zevuzavidav {
// Hex digits of `length` raw bytes (null bytes gives null).
void writeHexBytes(ZEVFile* file, const void* bytes, std::size_t length);

// The digits of `value` at the end of `digits`, zero-terminated; the first digit.
const char* formatUInt64(char (&digits)[21], std::uint64_t value, bool hex);
} // namespace zevuzavidav
// Number formatting straight to a descriptor.
void ZEVWriteUInt64ToDescriptor(int descriptor, std::uint64_t value, bool hex);
void ZEVWriteInt64ToDescriptor(int descriptor, std::int64_t value);
