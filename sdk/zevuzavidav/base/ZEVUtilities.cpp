#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/Host.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "platform/foundation/Hex.hpp"
#include "sdk/zevuzavidav/base/ZEVAllocator.hpp"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

void ZEVHexEncodeByte(std::uint8_t byte, char output[2]) {
    ns::hexEncodeByte(byte, output);
}

void ZEVHexEncodeBytes(const void* bytes, std::size_t length, char* output) {
    if (output == nullptr) return;
    std::memset(output, 0, 2 * length + 1);
    if (bytes == nullptr) return;
    ns::hexEncode(bytes, length, output);
}

bool ZEVReadMemory(std::uintptr_t address, void* destination, std::size_t size) {
    return darwin::readMemory(address, destination, size);
}

bool ZEVReadString(std::uintptr_t address, const char** out, std::size_t maximum) {
    if (maximum == 0) return true;
    if (!darwin::readableString(address, maximum)) return false;
    if (out != nullptr) *out = reinterpret_cast<const char*>(address);
    return true;
}

char* ZEVDuplicateString(ZEVAllocator* allocator, const char* text) {
    if (text == nullptr) return nullptr;
    std::size_t length = std::strlen(text) + 1;
    void* copy = ZEVAllocatorSafeAllocate(allocator, length, zevuzavidav::kAllocationReadOnly);
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text, length);
    return static_cast<char*>(copy);
}

bool ZEVUnlinkIfExists(const char* path) {
    if (path == nullptr) return false;
    return unlink(path) == 0 || errno == ENOENT;
}

void ZEVDladdrWithBlock(std::uintptr_t address, const std::function<void(const char*, const char*)>& block) {
    if (!block) return;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(address), &info) == 0) {
        block(nullptr, nullptr);
        return;
    }
    block(info.dli_sname != nullptr ? info.dli_sname : "unknown",
          info.dli_fname != nullptr ? info.dli_fname : "unknown");
}

std::uint64_t ZEVProfilingStart() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<std::uint64_t>(now.tv_nsec);
}

double ZEVProfilingEndInMillis(std::uint64_t mark) {
    return static_cast<double>(ZEVProfilingStart() - mark) / 1000000.0;
}

std::uint64_t zevuzavidav::currentTimeSeconds() {
    // Read where the kernel maps the clock (the vDSO): on most machines no system call a sandbox could trap.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec);
}

namespace {

struct ErrorText {
    int error;
    const char* text;
};

// The numbers the crash path can meet: file creation and writing, signal and stack set-up, threads.
constexpr ErrorText kErrorTexts[] = {
    {EPERM, "Operation not permitted"},
    {ENOENT, "No such file or directory"},
    {EINTR, "Interrupted system call"},
    {EIO, "Input/output error"},
    {EBADF, "Bad file descriptor"},
    {EAGAIN, "Resource temporarily unavailable"},
    {ENOMEM, "Cannot allocate memory"},
    {EACCES, "Permission denied"},
    {EFAULT, "Bad address"},
    {EBUSY, "Device or resource busy"},
    {EEXIST, "File exists"},
    {ENOTDIR, "Not a directory"},
    {EISDIR, "Is a directory"},
    {EINVAL, "Invalid argument"},
    {ENFILE, "Too many open files in system"},
    {EMFILE, "Too many open files"},
    {EFBIG, "File too large"},
    {ENOSPC, "No space left on device"},
    {EROFS, "Read-only file system"},
    {ENAMETOOLONG, "File name too long"},
    {ELOOP, "Too many levels of symbolic links"},
    {EDQUOT, "Disk quota exceeded"},
};

} // namespace

const char* zevuzavidav::errorText(int error, char (&buffer)[zevuzavidav::kErrorTextSize]) {
    for (const auto& known : kErrorTexts) {
        if (known.error == error) return known.text;
    }
    static const char kPrefix[] = "error ";
    std::size_t at = sizeof kPrefix - 1;
    std::memcpy(buffer, kPrefix, at);
    char digits[12];
    int count = 0;
    // The magnitude as unsigned, so the most negative int has one too.
    unsigned magnitude = error < 0 ? 0U - static_cast<unsigned>(error) : static_cast<unsigned>(error);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (error < 0) buffer[at++] = '-';
    while (count > 0)
        buffer[at++] = digits[--count];
    buffer[at] = '\0';
    return buffer;
}

namespace {

// Through darwin::openPath: a crash record's own openat that a sandbox traps with nothing to answer it
// fails with ENOSYS, and the record is written all the same through the older call.
long openNoFollow(const char* path, int flags) {
    return darwin::openPath(path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
}

} // namespace

int zevuzavidav::openRegularFileForWriting(const char* path, int flags) {
    const int access = flags & ~(O_CREAT | O_EXCL | O_TRUNC);
    if ((flags & O_TRUNC) == 0) {
        const long fd = openNoFollow(path, access | (flags & O_CREAT));
        if (fd < 0) return -1;
        struct stat info {};
        if (darwin::systemCall(SYS_fstat, fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            darwin::systemCall(SYS_close, fd);
            errno = ENXIO;
            return -1;
        }
        if (info.st_nlink == 1) return static_cast<int>(fd);
        darwin::systemCall(SYS_close, fd); // a hard link: its other name is someone else's file
        if ((flags & O_CREAT) == 0) {
            errno = EMLINK;
            return -1;
        }
    }
    // A new file in place of what stood there: nothing written goes into a file of other names. A
    // device or a folder is never removed: such a path was never a file of ours.
    struct stat info {};
    if (darwin::systemCall(SYS_newfstatat, AT_FDCWD, path, &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
            errno = S_ISDIR(info.st_mode) ? EISDIR : ENXIO;
            return -1;
        }
        if (darwin::systemCall(SYS_unlinkat, AT_FDCWD, path, 0) != 0 && errno != ENOENT) return -1;
    } else if (errno != ENOENT) {
        return -1;
    }
    const long fd = openNoFollow(path, access | O_CREAT | O_EXCL);
    return fd < 0 ? -1 : static_cast<int>(fd);
}
