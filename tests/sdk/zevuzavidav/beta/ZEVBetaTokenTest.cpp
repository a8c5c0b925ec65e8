// The beta token: the 'CRSH' table's layout and its bounds, and the token read from a real font found
// by name through fontconfig.
#include "sdk/zevuzavidav/beta/ZEVBetaToken.hpp"

#include "tests/support/TempHome.hpp"

#include <fontconfig/fontconfig.h>
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

TEST(ZEVBetaTokenTest, TheTableGivesItsTextOnlyWhenEveryBoundHolds) {
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
        EXPECT_EQ(ZEVBetaTokenTextFromTable(c.bytes), c.token) << c.name;
}

// Makes fontconfig see only the fonts of one folder for the lifetime of the object.
class FontFolder {
  public:
    explicit FontFolder(const std::string& fixture) {
        std::filesystem::path fonts = folder_.path() / "fonts";
        std::filesystem::create_directories(fonts);
        if (!fixture.empty())
            std::filesystem::copy_file(std::string(VELO_SOURCE_DIR) +
                                           "/tests/sdk/zevuzavidav/fixtures/fonts/" + fixture,
                                       fonts / fixture);
        std::filesystem::path config = folder_.path() / "fonts.conf";
        std::ofstream(config) << "<?xml version=\"1.0\"?><fontconfig><dir>" << fonts.string()
                              << "</dir><cachedir>" << (folder_.path() / "cache").string()
                              << "</cachedir></fontconfig>\n";
        // fontconfig reads its configuration again at its next use.
        FcFini();
        ::setenv("FONTCONFIG_FILE", config.c_str(), 1);
        FcFini();
    }
    ~FontFolder() {
        ::unsetenv("FONTCONFIG_FILE");
        FcFini();
    }

  private:
    velotest::TempFolder folder_;
};

TEST(ZEVBetaTokenTest, TheFontNamedZevuzavidavGivesThePrefixedToken) {
    FontFolder fonts("beta-token.ttf");
    EXPECT_EQ(ZEVReadBetaToken(), "2:ABCDE");
}

TEST(ZEVBetaTokenTest, AFontWhoseTableClaimsMoreThanItHoldsGivesNoToken) {
    // The table is 13 bytes long and claims 0xFFFFFFFC: under the sanitizers this also shows that no
    // byte past the table is read.
    FontFolder fonts("beta-token-wrapping-length.ttf");
    EXPECT_EQ(ZEVReadBetaToken(), std::nullopt);
}

TEST(ZEVBetaTokenTest, WithoutTheFontFontconfigsSubstituteIsNotTaken) {
    FontFolder fonts("");
    EXPECT_EQ(ZEVReadBetaToken(), std::nullopt);
}

} // namespace
