#pragma once
// The SDK log: a diagnostic text file ("sdk.log" in the launch's report folder) written with nothing
// but open and write, so crash handlers can use it.
//
// Formatting follows printf for the integer, character, text and pointer conversions: flags "-+ #0",
// a width and a precision (digits or "*"), the length modifiers hh, h, l, ll, j, z and t, and the
// conversions d, i, u, o, x, X, c, s, p and "%%". %p is "0x" and lowercase hex (also for null); %s of
// null is "(null)". Any other conversion (floating point, %n) is written as it stands and takes no
// argument. The compiler checks every call's arguments against its format. Nothing is written before
// the start names the file; the file is opened at the first line after that, and a failed open is
// retried on the next line. Each line (up to 512 bytes) reaches the file with one write, so lines of
// concurrent threads never mix.
//
// The log keeps its file and descriptor itself, so that every stage of the crash road can log without
// knowing the crash context.
#include <cstddef>
#include <cstdint>

// Appends one formatted message to the SDK log. Safe in signal handlers.
void ZEVSDKLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

namespace zevuzavidav {

// Names the file the log appends to from now on (null: no log), with no descriptor open on it yet. The
// text must stay valid while the process may log: the start's copy lives in the crash context's
// read-only region. Answers the descriptor opened for the earlier file (-1 for none); it is left open,
// as another thread may still be writing a line to it, and the caller may close it once none can be.
// Not for crash time; the start calls it before it installs the handlers.
int setSDKLogPath(const char* path);
// The file named last, and the descriptor open on it (-1 until its first line).
const char* sdkLogPath();
int sdkLogDescriptor();

// Where a message's arguments come from, one per conversion (and per "*"), in order. ZEVSDKLog takes
// them from its variable arguments.
class SDKLogArguments {
  public:
    // The length modifier of an integer conversion.
    enum class Size : std::uint8_t { plain, hh, h, l, ll, j, z, t };
    // Integers already cut to their size (an "hh" argument is an int cut to a char) and widened.
    virtual std::int64_t takeSigned(Size size) = 0;
    virtual std::uint64_t takeUnsigned(Size size) = 0;
    virtual const void* takePointer() = 0;
    virtual const char* takeString() = 0;

  protected:
    ~SDKLogArguments() = default;
};

// Renders `format` with `arguments`, handing the text to `write` piece by piece. Signal-safe: no heap,
// no locks.
using SDKLogWriter = void (*)(void* context, const char* bytes, std::size_t length);
void formatSDKLog(const char* format, SDKLogArguments& arguments, SDKLogWriter write, void* context);

} // namespace zevuzavidav
