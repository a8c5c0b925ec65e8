#pragma once
// The tables of a font installed on the machine, found by its family name: the stand-in for the phone
// platform's "copy a table of a named font". Fonts are found through fontconfig and their sfnt tables
// read through FreeType, so any TrueType or OpenType font that fontconfig knows can be asked.
//
// Failure contract: no font of exactly that family (fontconfig's nearest substitute does not count), a
// font FreeType cannot open, or a font without the table all give nothing; nothing throws.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gfx {

// A four-character sfnt tag as its big-endian number ('CRSH' -> 0x43525348).
constexpr std::uint32_t fontTableTag(const char (&tag)[5]) {
    return (std::uint32_t(std::uint8_t(tag[0])) << 24) | (std::uint32_t(std::uint8_t(tag[1])) << 16) |
           (std::uint32_t(std::uint8_t(tag[2])) << 8) | std::uint32_t(std::uint8_t(tag[3]));
}

// The bytes of table `tag` of the font whose family is `familyName`.
std::optional<std::vector<std::uint8_t>> copyFontTable(const std::string& familyName, std::uint32_t tag);

} // namespace gfx
