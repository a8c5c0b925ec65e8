#include "platform/darwin/MachO.hpp"

#include <cstring>

namespace darwin {
namespace {

constexpr std::uint32_t kMagic64 = 0xfeedfacf;
constexpr std::uint32_t kSegment64 = 0x19;

template <typename T> bool readAt(const std::uint8_t* image, std::size_t size, std::size_t offset, T& out) {
    if (offset > size || sizeof(T) > size - offset) return false;
    std::memcpy(&out, image + offset, sizeof(T));
    return true;
}

bool nameIs(const char (&field)[16], const char* name) {
    return std::strncmp(field, name, 16) == 0;
}

} // namespace

bool machOFindSection(const std::uint8_t* image, std::size_t imageSize, const char* segment,
                      const char* section, MachOSection& out) {
    std::uint32_t magic = 0, commandCount = 0, commandsSize = 0;
    if (image == nullptr || !readAt(image, imageSize, 0, magic) || magic != kMagic64 ||
        !readAt(image, imageSize, 16, commandCount) || !readAt(image, imageSize, 20, commandsSize)) {
        return false;
    }
    std::size_t offset = 32; // mach_header_64
    for (std::uint32_t i = 0; i < commandCount; ++i) {
        std::uint32_t command = 0, commandSize = 0;
        if (!readAt(image, imageSize, offset, command) ||
            !readAt(image, imageSize, offset + 4, commandSize) || commandSize < 8 ||
            commandSize > imageSize - offset) {
            return false;
        }
        if (command == kSegment64) {
            char segmentName[16];
            std::uint32_t sectionCount = 0;
            if (!readAt(image, imageSize, offset + 8, segmentName) ||
                !readAt(image, imageSize, offset + 64, sectionCount)) {
                return false;
            }
            // segment_command_64 is 72 bytes, each section_64 80 bytes.
            if (nameIs(segmentName, segment) &&
                72 + static_cast<std::uint64_t>(sectionCount) * 80 <= commandSize) {
                for (std::uint32_t s = 0; s < sectionCount; ++s) {
                    std::size_t at = offset + 72 + s * 80;
                    char sectionName[16];
                    if (!readAt(image, imageSize, at, sectionName)) return false;
                    if (!nameIs(sectionName, section)) continue;
                    readAt(image, imageSize, at + 32, out.address);
                    readAt(image, imageSize, at + 40, out.size);
                    readAt(image, imageSize, at + 48, out.fileOffset);
                    return out.fileOffset <= imageSize && out.size <= imageSize - out.fileOffset;
                }
            }
        }
        offset += commandSize;
    }
    return false;
}

} // namespace darwin
