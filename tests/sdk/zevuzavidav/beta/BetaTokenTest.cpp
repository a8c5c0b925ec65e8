// The beta token: the 'CRSH' table's layout and its bounds, and the token read from a real font found
// by name through fontconfig.
#include "sdk/zevuzavidav/beta/BetaToken.hpp"

#include "tests/sdk/zevuzavidav/support/FontFolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> table(std::uint32_t version, std::uint32_t length, const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t word : {version, length})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>(word >> shift));
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

struct TableCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::optional<std::string> token;
};

TEST(BetaToken, TheTableGivesItsTextOnlyWhenEveryBoundHolds) {
    const std::vector<TableCase> cases = {
        {"five letters", table(1, 5, "ABCDE"), "ABCDE"},
        {"trailing bytes are not part of it", table(1, 3, "ABCDE"), "ABC"},
        {"empty token", table(1, 0, ""), ""},
        {"length past the table", table(1, 200, std::string(12, 'x')), std::nullopt},
        {"length that wraps 8 + N", table(1, 0xFFFFFFFC, "ABCDE"), std::nullopt},
        {"length of all ones", table(1, 0xFFFFFFFF, "ABCDE"), std::nullopt},
        {"another format version", table(2, 5, "ABCDE"), std::nullopt},
        {"shorter than its header", {0, 0, 0, 1, 0, 0, 0}, std::nullopt},
        {"no bytes at all", {}, std::nullopt},
        {"not ASCII", table(1, 2, "\xC3\xA9"), std::nullopt},
        {"a line break would split the header", table(1, 3, "A\r\n"), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zevuzavidav::betaTokenTextFromTable(c.bytes), c.token) << c.name;
}

using reporttest::FontFolder;

TEST(BetaToken, TheFontNamedZevuzavidavGivesThePrefixedToken) {
    FontFolder fonts("beta-token.ttf");
    EXPECT_EQ(zevuzavidav::readBetaToken(), "2:ABCDE");
}

TEST(BetaToken, AFontWhoseTableClaimsMoreThanItHoldsGivesNoToken) {
    // The table is 13 bytes long and claims 0xFFFFFFFC: under the sanitizers this also shows that no
    // byte past the table is read.
    FontFolder fonts("beta-token-wrapping-length.ttf");
    EXPECT_EQ(zevuzavidav::readBetaToken(), std::nullopt);
}

TEST(BetaToken, WithoutTheFontFontconfigsSubstituteIsNotTaken) {
    FontFolder fonts("");
    EXPECT_EQ(zevuzavidav::readBetaToken(), std::nullopt);
}

} // namespace
