#include "platform/darwin/MachO.hpp"

#include <cstring>

namespace darwin {
namespace {

constexpr std::uint32_t kMagic32 = 0xfeedface;
constexpr std::uint32_t kCigam32 = 0xcefaedfe;
constexpr std::uint32_t kMagic64 = 0xfeedfacf;
constexpr std::uint32_t kCigam64 = 0xcffaedfe;
constexpr std::uint32_t kSegment64 = 0x19;
constexpr std::size_t kSegment64Size = 72; // segment_command_64
constexpr std::size_t kSection64Size = 80; // section_64

template <typename T> T readAt(const std::uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

bool nameIs(const std::uint8_t* field, const char* name) {
    char text[16];
    std::memcpy(text, field, sizeof text);
    return std::strncmp(text, name, sizeof text) == 0;
}

} // namespace

MachOLoadCommands::MachOLoadCommands(const std::uint8_t* header, std::size_t size) {
    if (header == nullptr || size < 28) return;
    magic_ = readAt<std::uint32_t>(header);
    if (magic_ != kMagic32 && magic_ != kCigam32 && magic_ != kMagic64 && magic_ != kCigam64) {
        magic_ = 0;
        return;
    }
    headerSize_ = is64Bit() ? 32 : 28;
    if (size < headerSize_) return;
    cputype_ = readAt<std::int32_t>(header + 4);
    cpusubtype_ = readAt<std::int32_t>(header + 8);
    hasHeader_ = true;
    count_ = readAt<std::uint32_t>(header + 16);
    commandsSize_ = readAt<std::uint32_t>(header + 20);
    if (commandsSize_ > size - headerSize_) return;
    commands_ = header + headerSize_;
    valid_ = true;
}

bool MachOLoadCommands::is64Bit() const {
    return magic_ == kMagic64 || magic_ == kCigam64;
}

bool MachOLoadCommands::next(MachOLoadCommand& out) {
    if (!valid_ || delivered_ == count_) return false;
    if (commandsSize_ - offset_ < 8) {
        valid_ = false;
        return false;
    }
    const std::uint32_t command = readAt<std::uint32_t>(commands_ + offset_);
    const std::uint32_t size = readAt<std::uint32_t>(commands_ + offset_ + 4);
    if (size < 8 || size > commandsSize_ - offset_) {
        valid_ = false;
        return false;
    }
    out = {command, size, commands_ + offset_, headerSize_ + offset_};
    offset_ += size;
    ++delivered_;
    return true;
}

bool machOFindSection(const std::uint8_t* image, std::size_t imageSize, const char* segment,
                      const char* section, MachOSection& out) {
    MachOLoadCommands commands(image, imageSize);
    if (commands.magic() != kMagic64) return false;
    MachOLoadCommand command;
    while (commands.next(command)) {
        if (command.command != kSegment64 || command.size < kSegment64Size) continue;
        if (!nameIs(command.bytes + 8, segment)) continue;
        const std::uint32_t sectionCount = readAt<std::uint32_t>(command.bytes + 64);
        if (kSegment64Size + std::uint64_t{sectionCount} * kSection64Size > command.size) continue;
        for (std::uint32_t s = 0; s < sectionCount; ++s) {
            const std::uint8_t* at = command.bytes + kSegment64Size + std::size_t{s} * kSection64Size;
            if (!nameIs(at, section)) continue;
            out.address = readAt<std::uint64_t>(at + 32);
            out.size = readAt<std::uint64_t>(at + 40);
            out.fileOffset = readAt<std::uint32_t>(at + 48);
            return out.fileOffset <= imageSize && out.size <= imageSize - out.fileOffset;
        }
    }
    return false;
}

} // namespace darwin
