#include "model/StringUtilities.hpp"
#include "model/DeviceModel.hpp"
#include "platform/services/DeviceInfo.hpp"
#include "platform/services/ScopedOverride.hpp"

#include <gtest/gtest.h>

namespace {

TEST(StringUtilities, CollapsingWhitespaceFoldsBlanksAndLineBreaks) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {"var  x\t=\n1", "var x = 1"},
        {"  a  ", "a"},
        {"a\r\nb", "a b"},
        {"a\u00a0b", "a b"},          // no-break space is a space separator
        {"a\u2028b\u2029c", "a b c"}, // line and paragraph separators
        {"a\u0085b\u000bc\fd", "a b c d"},
        {"caf\u00e9  ol\u00e9", "caf\u00e9 ol\u00e9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(collapsingWhitespace(c.in), c.out) << c.in;
}

TEST(StringUtilities, BlankJoiningKeepsLineBreaks) {
    EXPECT_EQ(joiningBlankSeparated("  var   x \n = 1 "), "var x \n = 1");
    EXPECT_EQ(joiningBlankSeparated("a\u3000\u3000b"), "a b"); // ideographic space
    EXPECT_EQ(trimmingBlanks(" \t a b \u00a0"), "a b");
    EXPECT_EQ(trimmingBlanks("\na\n"), "\na\n");
}

TEST(StringUtilities, EmojiRangesByScalar) {
    EXPECT_FALSE(containsEmoji(""));
    EXPECT_FALSE(containsEmoji("let x = \"caf\u00e9\""));
    EXPECT_TRUE(containsEmoji("\U0001F600"));           // emoticons
    EXPECT_TRUE(containsEmoji("x \u2615"));             // misc symbols
    EXPECT_TRUE(containsEmoji("\U0001F1E9\U0001F1EA")); // regional indicators
    EXPECT_TRUE(containsEmoji("a\uFE0F"));              // variation selector
    EXPECT_TRUE(containsEmoji("\U0001F9E1"));
    EXPECT_FALSE(containsEmoji("\U0001FA00")); // just past the supplemental range
    EXPECT_FALSE(containsEmoji("\xff\xfe"));   // invalid bytes are no emoji and no crash
}

TEST(StringUtilities, CharactersAreGraphemeClusters) {
    EXPECT_EQ(characterCount("abc"), 3u);
    EXPECT_EQ(characterCount("e\u0301"), 1u);
    EXPECT_EQ(characterCount("a\r\nb"), 3u);
    EXPECT_EQ(characterCount("\U0001F1E9\U0001F1EA!"), 2u);
    EXPECT_EQ(characterOffset("e\u0301x", 1), 3u);
    EXPECT_EQ(characterOffset("abc", 10), 3u);
    EXPECT_EQ(droppingLastCharacter("ab\U0001F1E9\U0001F1EA"), "ab");
    EXPECT_EQ(droppingLastCharacter("print(\""), "print(");
    EXPECT_EQ(droppingLastCharacter(""), "");
}

TEST(StringUtilities, SameTextIsCanonicalAndCaseSensitive) {
    EXPECT_TRUE(sameText("caf\u00e9", "cafe\u0301"));
    EXPECT_TRUE(sameText("\u037e", ";")); // Greek question mark is canonically a semicolon
    EXPECT_FALSE(sameText("Var", "var"));
    EXPECT_TRUE(startsWithShorter("let caf\u00e9 = 1", "let cafe\u0301"));
    EXPECT_FALSE(startsWithShorter("let", "let"));
    EXPECT_FALSE(startsWithShorter("le", "let"));
    // "e" is not a prefix of the single character "e" + acute.
    EXPECT_FALSE(startsWithShorter("e\u0301x", "ex"));
    EXPECT_TRUE(startsWithShorter("var x", "v"));
    // ASCII text against text that only normalises to it, which always takes more bytes.
    EXPECT_TRUE(sameText(";", "\u037e"));
    EXPECT_TRUE(sameText("K", "\u212a")); // KELVIN SIGN
    EXPECT_FALSE(sameText("ab", "\u00e9"));
    EXPECT_FALSE(startsWithShorter("\u00e9", "ab"));
    EXPECT_FALSE(startsWithShorter("a\u212a", "aK"));
    EXPECT_TRUE(startsWithShorter("a\u212ab", "aK"));
}

TEST(StringUtilities, SplitKeepsEmptyPieces) {
    auto parts = splitAt("print(\"\")", '"');
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1], "");
    EXPECT_EQ(splitAt("", '"').size(), 1u);
}

TEST(DeviceModel, TableAndFallback) {
    EXPECT_EQ(deviceModelName("iPhone6,2"), "iPhone 5S");
    EXPECT_EQ(deviceModelName("iPad4,9"), "iPad Mini");
    EXPECT_EQ(deviceModelName("i386"), "Simulator");
    EXPECT_EQ(deviceModelName("iPhone99,1"), "iPhone99,1");
    // The machine identifier comes from the host (uname); the table names it.
    svc::ScopedOverride machine(svc::setDeviceMachineIdentifierOverride, "iPhone5,3");
    EXPECT_EQ(deviceModelName(), "iPhone 5C");
    svc::setDeviceMachineIdentifierOverride("aarch64");
    EXPECT_EQ(deviceModelName(), "aarch64");
}

} // namespace
