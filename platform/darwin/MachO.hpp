#pragma once
// A bounded reader of 64-bit little-endian Mach-O images held in memory (the recorded arm64 images and
// their fixtures): finds a section by segment and section name. Every offset is checked against the
// buffer, so a damaged file gives false rather than a bad read.
#include <cstddef>
#include <cstdint>

namespace darwin {

struct MachOSection {
    std::uint64_t address = 0; // the section's vm address (unslid)
    std::uint64_t size = 0;
    std::uint32_t fileOffset = 0;
};

bool machOFindSection(const std::uint8_t* image, std::size_t imageSize, const char* segment,
                      const char* section, MachOSection& out);

} // namespace darwin
