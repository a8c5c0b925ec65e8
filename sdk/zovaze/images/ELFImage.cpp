#include "sdk/zovaze/images/ELFImage.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <elf.h>

namespace {

template <typename T> T readAt(const std::uint8_t* base, std::size_t offset) {
    T value;
    std::memcpy(&value, base + offset, sizeof value);
    return value;
}

bool fits(std::size_t size, std::uint64_t offset, std::uint64_t length) {
    return offset <= size && length <= size - offset;
}

// Walks the notes of one segment looking for the GNU build-id.
std::optional<std::array<std::uint8_t, 16>> buildIDInNotes(const std::uint8_t* notes, std::size_t length) {
    std::size_t at = 0;
    while (length - at >= 12) {
        const auto nameSize = readAt<std::uint32_t>(notes, at);
        const auto descSize = readAt<std::uint32_t>(notes, at + 4);
        const auto type = readAt<std::uint32_t>(notes, at + 8);
        const std::uint64_t namePadded = (std::uint64_t{nameSize} + 3) & ~std::uint64_t{3};
        const std::uint64_t descPadded = (std::uint64_t{descSize} + 3) & ~std::uint64_t{3};
        const std::uint64_t name = at + 12;
        if (!fits(length, name, namePadded) || !fits(length, name + namePadded, descSize))
            return std::nullopt;
        if (type == NT_GNU_BUILD_ID && nameSize == 4 && std::memcmp(notes + name, "GNU", 4) == 0 &&
            descSize > 0) {
            std::array<std::uint8_t, 16> uuid{};
            std::memcpy(uuid.data(), notes + name + namePadded, std::min<std::size_t>(descSize, uuid.size()));
            return uuid;
        }
        if (!fits(length, name + namePadded, descPadded)) return std::nullopt;
        at = static_cast<std::size_t>(name + namePadded + descPadded);
    }
    return std::nullopt;
}

template <typename Ehdr, typename Phdr>
std::optional<std::array<std::uint8_t, 16>> buildID(const std::uint8_t* image, std::size_t size) {
    if (size < sizeof(Ehdr)) return std::nullopt;
    const auto header = readAt<Ehdr>(image, 0);
    if (header.e_phentsize < sizeof(Phdr)) return std::nullopt;
    for (std::uint32_t i = 0; i < header.e_phnum; ++i) {
        const std::uint64_t offset = header.e_phoff + std::uint64_t{i} * header.e_phentsize;
        if (!fits(size, offset, sizeof(Phdr))) return std::nullopt;
        const auto segment = readAt<Phdr>(image, static_cast<std::size_t>(offset));
        if (segment.p_type != PT_NOTE || !fits(size, segment.p_offset, segment.p_filesz)) continue;
        if (auto found =
                buildIDInNotes(image + segment.p_offset, static_cast<std::size_t>(segment.p_filesz))) {
            return found;
        }
    }
    return std::nullopt;
}

constexpr unsigned char kOwnDataEncoding =
    std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;

} // namespace

bool zovaze::isELFImage(const std::uint8_t* address, std::size_t size) {
    return address && size >= EI_NIDENT && std::memcmp(address, ELFMAG, SELFMAG) == 0;
}

const char* zovaze::elfArchitectureName(std::uint16_t machine) {
    switch (machine) {
    case EM_X86_64:
        return "x86_64";
    case EM_AARCH64:
        return "arm64";
    case EM_386:
        return "i386";
    case EM_ARM:
        return "arm";
    case EM_RISCV:
        return "riscv64";
    default:
        return "unknown";
    }
}

std::optional<zovaze::ELFImageInfo> zovaze::elfImageFacts(const std::uint8_t* address, std::size_t size) {
    if (!zovaze::isELFImage(address, size) || address[EI_DATA] != kOwnDataEncoding) return std::nullopt;
    zovaze::ELFImageInfo info;
    if (address[EI_CLASS] == ELFCLASS64 && size >= sizeof(Elf64_Ehdr)) {
        info.architecture = zovaze::elfArchitectureName(readAt<Elf64_Ehdr>(address, 0).e_machine);
        info.uuid = buildID<Elf64_Ehdr, Elf64_Phdr>(address, size);
    } else if (address[EI_CLASS] == ELFCLASS32 && size >= sizeof(Elf32_Ehdr)) {
        info.architecture = zovaze::elfArchitectureName(readAt<Elf32_Ehdr>(address, 0).e_machine);
        info.uuid = buildID<Elf32_Ehdr, Elf32_Phdr>(address, size);
    } else {
        return std::nullopt;
    }
    return info;
}
