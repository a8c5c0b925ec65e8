#pragma once
// The running executable on Linux is an ELF file. It is read as one slice: its architecture is the
// machine's ("x86_64", "arm64", ...) and its identifier is the first 16 bytes of its GNU build-id (a
// shorter build-id is padded with zero bytes), so a build keeps one stable identifier just as a Mach-O
// executable does with its UUID.
//
// Failure contract: elfImageFacts answers nothing for bytes that are not an ELF image of this
// machine's byte order; a malformed program header or note table ends the search without a read past
// `size`, and the facts then carry no build-id. Plain function, safe on any thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zovaze {

struct ELFImageInfo {
    std::string architecture;
    std::optional<std::array<std::uint8_t, 16>> uuid;
};

bool isELFImage(const std::uint8_t* address, std::size_t size);
std::optional<ELFImageInfo> elfImageFacts(const std::uint8_t* address, std::size_t size);
// The architecture name of an ELF machine number; "unknown" for others.
const char* elfArchitectureName(std::uint16_t machine);

} // namespace zovaze
