#include "sdk/zovaze/images/ZOVMachO.hpp"

#include "platform/darwin/Images.hpp"
#include "platform/darwin/MachO.hpp"

#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kMagic32 = 0xfeedface;
constexpr std::uint32_t kCigam32 = 0xcefaedfe;
constexpr std::uint32_t kMagic64 = 0xfeedfacf;
constexpr std::uint32_t kCigam64 = 0xcffaedfe;
constexpr std::uint32_t kFatMagic = 0xcafebabe;
constexpr std::uint32_t kFatCigam = 0xbebafeca;
constexpr std::size_t kFatHeaderSize = 8;
constexpr std::size_t kFatEntrySize = 20;
constexpr std::int32_t kABI64 = 0x01000000;
constexpr std::int32_t kCPUTypeARM = 12;
constexpr std::int32_t kCPUTypeARM64 = kCPUTypeARM | kABI64;

std::uint32_t readU32(const std::uint8_t* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

bool isThinMagic(std::uint32_t magic) {
    return magic == kMagic32 || magic == kCigam32 || magic == kMagic64 || magic == kCigam64;
}

ZOVMachOVersion unpackVersion(std::uint32_t packed) {
    return {packed >> 16, (packed >> 8) & 0xff, packed & 0xff};
}

struct ArchitectureName {
    std::int32_t cputype;
    std::int32_t cpusubtype;
    const char* name;
};

// The (type, subtype) pairs an app or its tooling can meet; subtypes compared without capability bits.
constexpr ArchitectureName kArchitectures[] = {
    {7, 3, "i386"},
    {7 | kABI64, 3, "x86_64"},
    {7 | kABI64, 8, "x86_64h"},
    {kCPUTypeARM, 0, "arm"},
    {kCPUTypeARM, 5, "armv4t"},
    {kCPUTypeARM, 6, "armv6"},
    {kCPUTypeARM, 7, "armv5"},
    {kCPUTypeARM, 9, "armv7"},
    {kCPUTypeARM, 10, "armv7f"},
    {kCPUTypeARM, 14, "armv6m"},
    {kCPUTypeARM, 15, "armv7m"},
    {kCPUTypeARM, 16, "armv7em"},
    {kCPUTypeARM64, 1, "arm64v8"},
    {kCPUTypeARM64, 2, "arm64e"},
    {12 | 0x02000000, 1, "arm64_32"},
    {18, 0, "ppc"},
    {18 | kABI64, 0, "ppc64"},
};

struct ELFMachine {
    std::uint16_t machine;
    std::int32_t cputype;
    std::int32_t cpusubtype;
};

// The machines an ELF build of the app can run on, as the CPU type pairs the table above names.
constexpr ELFMachine kELFMachines[] = {
    {EM_X86_64, 7 | kABI64, 3},
    {EM_AARCH64, kCPUTypeARM64, 0},
    {EM_386, 7, 3},
    {EM_ARM, kCPUTypeARM, 0},
};

} // namespace

bool ZOVMachOFileOpenAndMap(ZOVMachOFile* file, const char* path) {
    if (!file || !path) return false;
    *file = ZOVMachOFile{};
    file->fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (file->fd < 0) return false;
    struct stat status {};
    bool ok = ::fstat(file->fd, &status) == 0;
    if (ok) {
        file->size = status.st_size;
        ok = file->size >= 16 && (status.st_mode & S_IFMT) == S_IFREG;
    }
    if (ok) {
        void* mapped =
            ::mmap(nullptr, static_cast<std::size_t>(file->size), PROT_READ, MAP_SHARED, file->fd, 0);
        ok = mapped != MAP_FAILED && mapped != nullptr;
        if (ok) file->address = static_cast<const std::uint8_t*>(mapped);
    }
    if (!ok) {
        ::close(file->fd);
        *file = ZOVMachOFile{};
    }
    return ok;
}

bool ZOVMachOFileOpenMainExecutable(ZOVMachOFile* file) {
    const ZEVMachOSlice slice = ZOVMachOSliceOfMainExecutable();
    const char* path = ZOVMachOSliceImagePath(&slice);
    return path != nullptr && ZOVMachOFileOpenAndMap(file, path);
}

void ZOVMachOFileClose(ZOVMachOFile* file) {
    if (!file) return;
    if (file->address && file->size > 0) {
        ::munmap(const_cast<std::uint8_t*>(file->address), static_cast<std::size_t>(file->size));
    }
    if (file->fd >= 0) ::close(file->fd);
    *file = ZOVMachOFile{};
}

bool ZOVMachOFileEnumerateSlices(const ZOVMachOFile* file, const zovaze::MachOSliceBlock& block) {
    if (!file || !file->address || file->size <= 0) return false;
    return ZOVMachOEnumerateSlicesAtAddress(file->address, static_cast<std::size_t>(file->size), block);
}

bool ZOVMachOEnumerateSlicesAtAddress(const std::uint8_t* address, std::size_t size,
                                      const zovaze::MachOSliceBlock& block) {
    if (!address || size < 4 || !block) return false;
    const std::uint32_t magic = readU32(address);
    if (magic == kFatMagic || magic == kFatCigam) {
        // The fat table is big-endian as published; a table whose magic reads in our own order was
        // written in our order, so its fields are too.
        const bool swap = magic == kFatCigam;
        auto field = [swap](const std::uint8_t* at) {
            const std::uint32_t raw = readU32(at);
            return swap ? __builtin_bswap32(raw) : raw;
        };
        if (size < kFatHeaderSize) return false;
        const std::uint32_t count = field(address + 4);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t entry = kFatHeaderSize + std::size_t{i} * kFatEntrySize;
            if (entry + kFatEntrySize > size) return false;
            const std::uint32_t offset = field(address + entry + 8);
            const std::uint32_t length = field(address + entry + 12);
            if (offset > size || length > size - offset) return false;
            ZEVMachOSlice slice;
            slice.cputype = static_cast<std::int32_t>(field(address + entry));
            slice.cpusubtype = static_cast<std::int32_t>(field(address + entry + 4));
            slice.header = address + offset;
            slice.size = length;
            block(slice);
        }
        return true;
    }
    ZEVMachOSlice slice{address, size, 0, 0};
    if (isThinMagic(magic) && size >= 12) {
        slice.cputype = static_cast<std::int32_t>(readU32(address + 4));
        slice.cpusubtype = static_cast<std::int32_t>(readU32(address + 8));
    }
    block(slice);
    return true;
}

ZEVMachOSlice ZOVMachOSliceFromHeader(const std::uint8_t* header, std::size_t size) {
    return ZEVMachOSlice{header, size, 0, 0};
}

ZEVMachOSlice ZOVMachOSliceOfMainExecutable() {
    darwin::ImageInfo main;
    if (!darwin::mainImage(main)) return {};
    ZEVMachOSlice slice{reinterpret_cast<const std::uint8_t*>(main.base), main.size, 0, 0};
    // The machine comes from the program's own header, as the platform's local-architecture query
    // would answer for it.
    Elf64_Ehdr header;
    std::memcpy(&header, slice.header, sizeof header);
    for (const auto& known : kELFMachines) {
        if (known.machine == header.e_machine) {
            slice.cputype = known.cputype;
            slice.cpusubtype = known.cpusubtype;
        }
    }
    return slice;
}

const char* ZOVMachOSliceImagePath(const ZEVMachOSlice* slice) {
    if (!slice || !slice->header) return nullptr;
    struct Search {
        std::uintptr_t header;
        const char* path;
    } search{reinterpret_cast<std::uintptr_t>(slice->header), nullptr};
    darwin::forEachImage(
        [](const darwin::ImageInfo& image, void* context) {
            auto* s = static_cast<Search*>(context);
            if (image.base != s->header) return true;
            s->path = image.path != nullptr && image.path[0] != '\0' ? image.path : nullptr;
            return false;
        },
        &search);
    return search.path;
}

const char* ZOVMachOSliceArchitectureName(const ZEVMachOSlice* slice) {
    if (!slice) return "unknown";
    const std::int32_t subtype = slice->cpusubtype & 0x00ffffff;
    if (slice->cputype == kCPUTypeARM64 && slice->cpusubtype == 0) return "arm64";
    if (slice->cputype == kCPUTypeARM && subtype == 11) return "armv7s";
    if (slice->cputype == kCPUTypeARM && subtype == 12) return "armv7k";
    for (const auto& known : kArchitectures) {
        if (known.cputype == slice->cputype && known.cpusubtype == subtype) return known.name;
    }
    return "unknown";
}

bool ZOVMachOSliceIs64Bit(const ZEVMachOSlice* slice) {
    return slice && (slice->cputype & kABI64) != 0;
}

bool ZOVMachOSliceEnumerateLoadCommands(ZEVMachOSlice* slice, const zovaze::MachOLoadCommandBlock& block) {
    if (!slice || !block) return false;
    darwin::MachOLoadCommands commands(slice->header, slice->size);
    if (!commands.hasHeader()) return false;
    slice->cputype = commands.cputype();
    slice->cpusubtype = commands.cpusubtype();
    darwin::MachOLoadCommand command;
    while (commands.next(command))
        block(command.command, command.size, command.bytes);
    return commands.complete();
}

const std::uint8_t* ZOVMachOUUIDBytes(const std::uint8_t* command, std::uint32_t commandSize) {
    if (!command || commandSize < 24) return nullptr;
    return command + 8;
}

bool ZOVMachOIsEncrypted(const std::uint8_t* command, std::uint32_t commandSize) {
    if (!command || commandSize < 20) return false;
    return readU32(command + 16) != 0;
}

std::optional<ZOVMachOVersion> ZOVMachOMinimumOSVersion(const std::uint8_t* command,
                                                        std::uint32_t commandSize) {
    if (!command || commandSize < 16) return std::nullopt;
    return unpackVersion(readU32(command + 8));
}

std::optional<ZOVMachOVersion> ZOVMachOLinkedSDKVersion(const std::uint8_t* command,
                                                        std::uint32_t commandSize) {
    if (!command || commandSize < 16) return std::nullopt;
    return unpackVersion(readU32(command + 12));
}

std::optional<std::string> ZOVMachOVersionString(const ZOVMachOVersion* version) {
    if (!version) return std::nullopt;
    return std::to_string(version->major) + "." + std::to_string(version->minor) + "." +
           std::to_string(version->bugfix);
}
