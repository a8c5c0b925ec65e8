#pragma once
// Readers of Mach-O images: the executable file mapped read-only, its fat (universal) slices, the
// architecture name of a slice, its load commands, and the three commands the SDK reads (the UUID, the
// encryption marker and the version minimum). Plain functions over caller-owned records; no state, no
// locks, safe on any thread.
//
// Every read is bounded by the size the caller gives (the file or image size): a truncated or malformed
// image ends the walk and the walking function answers false; nothing is ever read past the end.
//  - Fat tables: a table or a slice extending past the end stops the enumeration (slices before it
//    have been delivered) and answers false.
//  - Load commands: "sizeofcmds" past the end of the slice, a command below 8 bytes, or a command
//    extending past "sizeofcmds" stops the walk and answers false.
//  - Command accessors answer nothing when the command is too short for the field they read.
// Fat header fields are read in the byte order their magic shows (both orders are accepted); thin
// header fields are read in the machine's own order.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// One architecture of an image: where its Mach-O header starts and how many bytes follow it.
struct ZEVMachOSlice {
    const std::uint8_t* header = nullptr;
    std::size_t size = 0;
    std::int32_t cputype = 0;
    std::int32_t cpusubtype = 0;
};

// The mapped executable file. The descriptor stays open while the file is mapped.
struct ZOVMachOFile {
    int fd = -1;
    std::int64_t size = 0;
    const std::uint8_t* address = nullptr;
};

struct ZOVMachOVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t bugfix = 0;
    bool operator==(const ZOVMachOVersion&) const = default;
};

namespace zovaze {
inline constexpr std::uint32_t MachOLoadCommandUUID = 0x1b;
inline constexpr std::uint32_t MachOLoadCommandVersionMinMacOSX = 0x24;
inline constexpr std::uint32_t MachOLoadCommandVersionMinIPhoneOS = 0x25;
inline constexpr std::uint32_t MachOLoadCommandEncryptionInfo = 0x21;
inline constexpr std::uint32_t MachOLoadCommandEncryptionInfo64 = 0x2c;

using MachOSliceBlock = std::function<void(const ZEVMachOSlice& slice)>;
using MachOLoadCommandBlock =
    std::function<void(std::uint32_t command, std::uint32_t commandSize, const std::uint8_t* address)>;
} // namespace zovaze

// Opens `path` read-only and maps the whole file. False (with nothing left open) for a missing path, a
// file that is not regular, a file under 16 bytes, or a failed mapping.
bool ZOVMachOFileOpenAndMap(ZOVMachOFile* file, const char* path);
// Maps the running executable: the file ZOVMachOSliceImagePath gives for ZOVMachOSliceOfMainExecutable
// (on Linux an ELF file; see ELFImage.hpp for reading it).
bool ZOVMachOFileOpenMainExecutable(ZOVMachOFile* file);
void ZOVMachOFileClose(ZOVMachOFile* file);

bool ZOVMachOFileEnumerateSlices(const ZOVMachOFile* file, const zovaze::MachOSliceBlock& block);
// Fat images give one slice per architecture in the file's order; anything else gives one slice at
// `address` (with the header's CPU type when the magic is a thin Mach-O magic, else 0).
bool ZOVMachOEnumerateSlicesAtAddress(const std::uint8_t* address, std::size_t size,
                                      const zovaze::MachOSliceBlock& block);

ZEVMachOSlice ZOVMachOSliceFromHeader(const std::uint8_t* header, std::size_t size);
// The running program as loaded: its header (an ELF header on this host) and the span of its
// segments, with the CPU type and subtype of the machine its header names (0 and 0 for a machine the
// table does not know). An empty slice when the program cannot be found.
ZEVMachOSlice ZOVMachOSliceOfMainExecutable();
// The file the dynamic linker loaded the slice's header from; nullptr for no slice, no header or a
// header of no loaded image. Valid while that image stays loaded.
const char* ZOVMachOSliceImagePath(const ZEVMachOSlice* slice);
// "arm64", "armv7", "armv7s", "x86_64", ... ; "unknown" for a pair the table does not know.
const char* ZOVMachOSliceArchitectureName(const ZEVMachOSlice* slice);
bool ZOVMachOSliceIs64Bit(const ZEVMachOSlice* slice);

// Walks the load commands of a thin slice (copying the header's CPU type into the slice first). True
// when every command of the header's count was delivered.
bool ZOVMachOSliceEnumerateLoadCommands(ZEVMachOSlice* slice, const zovaze::MachOLoadCommandBlock& block);

// The 16 UUID bytes of a UUID command; nullptr when the command is shorter than 24 bytes.
const std::uint8_t* ZOVMachOUUIDBytes(const std::uint8_t* command, std::uint32_t commandSize);
// The crypt identifier is not 0; false for a command too short to hold it.
bool ZOVMachOIsEncrypted(const std::uint8_t* command, std::uint32_t commandSize);
std::optional<ZOVMachOVersion> ZOVMachOMinimumOSVersion(const std::uint8_t* command,
                                                        std::uint32_t commandSize);
std::optional<ZOVMachOVersion> ZOVMachOLinkedSDKVersion(const std::uint8_t* command,
                                                        std::uint32_t commandSize);
// "%d.%d.%d"; nothing for no record.
std::optional<std::string> ZOVMachOVersionString(const ZOVMachOVersion* version);
