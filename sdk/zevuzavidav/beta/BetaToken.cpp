#include "sdk/zevuzavidav/beta/BetaToken.hpp"

#include "platform/graphics/FontTable.hpp"

#include <algorithm>

namespace zevuzavidav {

namespace {

constexpr std::uint32_t kFormatVersion = 1;
constexpr std::size_t kHeaderSize = 8;

std::uint32_t readBigEndian32(std::span<const std::uint8_t> bytes) {
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
           (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
}

} // namespace

std::optional<std::string> betaTokenTextFromTable(std::span<const std::uint8_t> table) {
    if (table.size() < kHeaderSize) return std::nullopt;
    if (readBigEndian32(table.subspan(0, 4)) != kFormatVersion) return std::nullopt;
    // Compared against what remains after the header, so a length near 2^32 cannot wrap past the check.
    const std::uint64_t length = readBigEndian32(table.subspan(4, 4));
    if (length > table.size() - kHeaderSize) return std::nullopt;
    auto text = table.subspan(kHeaderSize, static_cast<std::size_t>(length));
    if (!std::all_of(text.begin(), text.end(), [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; }))
        return std::nullopt;
    return std::string(text.begin(), text.end());
}

std::optional<std::string> readBetaToken() {
    auto table = gfx::copyFontTable("Zevuzavidav", gfx::fontTableTag("CRSH"));
    if (!table) return std::nullopt;
    auto text = betaTokenTextFromTable(*table);
    if (!text) return std::nullopt;
    return "2:" + *text;
}

} // namespace zevuzavidav
