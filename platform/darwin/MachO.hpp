#pragma once
// Bounded readers of Mach-O images held in memory (the recorded arm64 images, their fixtures, and the
// files the SDK maps): the walk over a thin image's load commands, and a section found by segment and
// section name. Every offset is checked against the size the caller gives, so a damaged image ends the
// walk or gives false rather than a bad read. No allocation, no locks.
#include <cstddef>
#include <cstdint>

namespace darwin {

// One load command: its kind, its size as written (at least 8), its first byte and its offset from the
// image's header.
struct MachOLoadCommand {
    std::uint32_t command = 0;
    std::uint32_t size = 0;
    const std::uint8_t* bytes = nullptr;
    std::size_t offset = 0;
};

// The load commands of a thin image (32- or 64-bit, header fields in the machine's own order), one at a
// time. An image too short for its header, a magic that is not a thin Mach-O one, or "sizeofcmds"
// past the end of the image gives no command; a command below 8 bytes or running past "sizeofcmds"
// ends the walk. complete() then tells whether every command of the header's count was delivered.
class MachOLoadCommands {
  public:
    MachOLoadCommands(const std::uint8_t* header, std::size_t size);

    // Whether the image holds a whole thin header; its magic (0 when not a thin Mach-O one), CPU type
    // and subtype (0 and 0 without a header).
    bool hasHeader() const { return hasHeader_; }
    std::uint32_t magic() const { return magic_; }
    bool is64Bit() const;
    std::int32_t cputype() const { return cputype_; }
    std::int32_t cpusubtype() const { return cpusubtype_; }

    // The next command; false at the end of the header's count and at a malformed command.
    bool next(MachOLoadCommand& out);
    bool complete() const { return valid_ && delivered_ == count_; }

  private:
    const std::uint8_t* commands_ = nullptr;
    std::uint32_t magic_ = 0;
    std::int32_t cputype_ = 0;
    std::int32_t cpusubtype_ = 0;
    std::uint32_t count_ = 0;
    std::uint32_t commandsSize_ = 0;
    std::size_t headerSize_ = 0;
    std::size_t offset_ = 0; // into the commands
    std::uint32_t delivered_ = 0;
    bool hasHeader_ = false;
    bool valid_ = false;
};

struct MachOSection {
    std::uint64_t address = 0; // the section's vm address (unslid)
    std::uint64_t size = 0;
    std::uint32_t fileOffset = 0;
};

// A section of a 64-bit image whose bytes lie inside the image.
bool machOFindSection(const std::uint8_t* image, std::size_t imageSize, const char* segment,
                      const char* section, MachOSection& out);

} // namespace darwin
