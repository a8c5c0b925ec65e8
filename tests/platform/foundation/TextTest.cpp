#include "platform/foundation/Text.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace {

const std::string eAcute = "\xC3\xA9";                         // é precomposed (U+00E9)
const std::string eCombining = "e\xCC\x81";                    // e + COMBINING ACUTE (U+0301)
const std::string flagFR = "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"; // regional indicators F R
const std::string family =
    "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"; // man ZWJ woman ZWJ girl
const std::string thumbsMedium = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";            // thumbs up + skin tone

struct CountCase {
    const char* name;
    std::string text;
    std::size_t characters;
};

TEST(TextCharacters, CountsExtendedGraphemeClusters) {
    const CountCase cases[] = {
        {"empty", "", 0},
        {"ascii", "var x = 1", 9},
        {"crlf is one character", "a\r\nb", 3},
        {"lone cr and lf", "a\n\rb", 4},
        {"precomposed", "caf" + eAcute, 4},
        {"combining mark", "caf" + eCombining, 4},
        {"flag", flagFR + "!", 2},
        {"zwj family", family, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ns::characterCount(c.text), c.characters) << c.name;
}

TEST(TextCharacters, OffsetsPrefixesAndSubstringsFollowCharacters) {
    const std::string text = "a" + eCombining + flagFR + family + "z";
    EXPECT_EQ(ns::byteOffsetOfCharacter(text, 0), 0u);
    EXPECT_EQ(ns::byteOffsetOfCharacter(text, 1), 1u);
    EXPECT_EQ(ns::byteOffsetOfCharacter(text, 2), 1u + eCombining.size());
    EXPECT_EQ(ns::byteOffsetOfCharacter(text, 3), 1u + eCombining.size() + flagFR.size());
    EXPECT_EQ(ns::byteOffsetOfCharacter(text, 5), text.size());
    EXPECT_EQ(ns::byteOffsetOfCharacter(text, 99), text.size());

    EXPECT_EQ(ns::characterPrefix(text, 2), "a" + eCombining);
    EXPECT_EQ(ns::characterPrefix(text, 50), text);
    EXPECT_EQ(ns::characterSubstring(text, 2, 2), flagFR + family);
    EXPECT_EQ(ns::characterSubstring(text, 4, 10), "z");
    EXPECT_EQ(ns::characterSubstring(text, 9, 1), "");
    EXPECT_EQ(ns::characterSuffixFrom(text, 3), family + "z");
    EXPECT_EQ(ns::characterPrefix("ab\r\ncd", 3), "ab\r\n");
}

TEST(TextCharacters, SplitRejoinsToTheSameBytes) {
    const std::string text = "x" + eCombining + " " + flagFR + family + thumbsMedium + "\r\n";
    auto parts = ns::splitCharacters(text);
    ASSERT_EQ(parts.size(), 7u);
    EXPECT_EQ(parts[1], eCombining);
    EXPECT_EQ(parts[4], family);
    EXPECT_EQ(parts[6], "\r\n");
    std::string joined;
    for (const auto& p : parts)
        joined += p;
    EXPECT_EQ(joined, text);
}

TEST(TextInvalidUtf8, NeverCrashesAndCountsEachBadByte) {
    const std::string bad[] = {"\xFF",     "a\x80z",       "\xE2\x82",  "\xF0\x9F\x98",
                               "\xC0\xAF", "\xED\xA0\x80", "ok\xF5\xFF"};
    for (const auto& text : bad) {
        EXPECT_FALSE(ns::isValidUtf8(text));
        std::size_t count = ns::characterCount(text);
        EXPECT_GE(count, 1u);
        std::string joined;
        for (const auto& p : ns::splitCharacters(text))
            joined += p;
        EXPECT_EQ(joined, text);
        EXPECT_LE(ns::byteOffsetOfCharacter(text, count), text.size());
        (void)ns::lowercased(text);
        (void)ns::normalizedNFC(text);
    }
    EXPECT_EQ(ns::characterCount("a\x80z"), 3u);
    EXPECT_EQ(ns::characterCount("\xE2\x82"), 2u); // truncated sequence: two bad bytes
    // A bad byte between a letter and a combining mark does not glue them together.
    EXPECT_EQ(ns::characterCount("e\xFF\xCC\x81"), 3u);
}

TEST(TextScalars, DecodesAndReplacesInvalidSequences) {
    EXPECT_EQ(ns::decodeScalars("a" + eAcute + flagFR), std::u32string(U"a\u00E9\U0001F1EB\U0001F1F7"));
    EXPECT_EQ(ns::decodeScalars("a\xC0\xAF"
                                "b"),
              std::u32string(U"a\uFFFD\uFFFDb"));                                        // overlong
    EXPECT_EQ(ns::decodeScalars("\xED\xA0\x80"), std::u32string(U"\uFFFD\uFFFD\uFFFD")); // surrogate
    auto s = ns::decodeScalarAt("x\xF0\x9F\x98\x80", 1);
    EXPECT_EQ(s.value, U'\U0001F600');
    EXPECT_EQ(s.length, 4u);
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(ns::decodeScalarAt("x", 5).length, 0u);

    std::string out;
    for (char32_t c : {U'a', U'\u00E9', U'\u20AC', U'\U0001F600', char32_t(0xD800), char32_t(0x110000)})
        ns::appendScalar(out, c);
    EXPECT_EQ(out, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextEquivalence, CanonicalEquivalenceNotCompatibility) {
    EXPECT_TRUE(ns::canonicallyEqual(eAcute, eCombining));
    EXPECT_TRUE(ns::canonicallyEqual("caf" + eAcute, "caf" + eCombining));
    EXPECT_TRUE(ns::canonicallyEqual("abc", "abc"));
    EXPECT_FALSE(ns::canonicallyEqual("abc", "abd"));
    EXPECT_FALSE(ns::canonicallyEqual("Abc", "abc"));
    // KELVIN SIGN decomposes canonically to an ASCII "K": an ASCII side must not short-circuit.
    EXPECT_TRUE(ns::canonicallyEqual("\xE2\x84\xAA", "K"));
    // Compatibility forms are not canonical: the "fi" ligature is not "fi".
    EXPECT_FALSE(ns::canonicallyEqual("\xEF\xAC\x81", "fi"));
    // Two different broken byte runs both decode to U+FFFD but are not the same text.
    EXPECT_FALSE(ns::canonicallyEqual("\xFF", "\xFE"));
    EXPECT_EQ(ns::normalizedNFC(eCombining), eAcute);
    EXPECT_EQ(ns::normalizedNFD(eAcute), eCombining);
}

TEST(TextCase, LowercasesUnicode) {
    EXPECT_EQ(ns::lowercased("Hello WORLD 42"), "hello world 42");
    EXPECT_EQ(ns::lowercased("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9"); // ÉTÉ -> été
    EXPECT_EQ(ns::lowercased("I"), "i");                                 // root locale
}

TEST(TextWhitespace, TwoClassesAsThePlatformDefinesThem) {
    struct Case {
        char32_t c;
        bool blank;
        bool blankOrLineBreak;
        const char* name;
    };
    const Case cases[] = {
        {U' ', true, true, "space"},
        {U'\t', true, true, "tab"},
        {U'\u00A0', true, true, "no-break space"},
        {U'\u2003', true, true, "em space"},
        {U'\u3000', true, true, "ideographic space"},
        {U'\u202F', true, true, "narrow no-break space"},
        {U'\n', false, true, "line feed"},
        {U'\r', false, true, "carriage return"},
        {U'\v', false, true, "vertical tab"},
        {U'\f', false, true, "form feed"},
        {U'\u0085', false, true, "next line"},
        {U'\u2028', false, true, "line separator"},
        {U'\u2029', false, true, "paragraph separator"},
        {U'a', false, false, "letter"},
        {U'\u200B', false, false, "zero width space (format, not Zs)"},
        {U'\u001F', false, false, "unit separator"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ns::isBlank(c.c), c.blank) << c.name;
        EXPECT_EQ(ns::isBlankOrLineBreak(c.c), c.blankOrLineBreak) << c.name;
    }
}

// Text whose scalars all lie below U+0300 (Latin-1, Latin Extended, IPA: accented answers) is counted,
// cut and normalised without ICU. Each scalar of that range, beside itself, ASCII, CR LF and a
// combining mark, must give exactly what ICU gives.
TEST(TextCharacters, ScalarsBelowCombiningMarksAgreeWithIcu) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    ASSERT_TRUE(U_SUCCESS(status));
    auto icuCount = [&](const std::string& text) {
        const auto u = icu::UnicodeString::fromUTF8(text);
        breaks->setText(u);
        std::size_t count = 0;
        for (breaks->first(); breaks->next() != icu::BreakIterator::DONE;)
            ++count;
        return count;
    };
    for (char32_t c = 0x80; c < 0x300; ++c) {
        std::string scalar;
        ns::appendScalar(scalar, c);
        for (const std::string& text : {"a" + scalar + scalar + "\r\nb" + scalar, scalar + "\r" + scalar,
                                        scalar + "\xCC\x81" + scalar}) {
            SCOPED_TRACE(static_cast<unsigned>(c));
            EXPECT_EQ(ns::characterCount(text), icuCount(text));
            const auto u = icu::UnicodeString::fromUTF8(text);
            std::string normalized;
            nfc->normalize(u, status).toUTF8String(normalized);
            EXPECT_EQ(ns::normalizedNFC(text), normalized);
        }
        const std::string text = "x" + scalar + "\r\n" + scalar;
        EXPECT_EQ(ns::byteOffsetOfCharacter(text, 2), 1 + scalar.size());
        EXPECT_EQ(ns::byteOffsetOfCharacter(text, 3), 3 + scalar.size());
    }
    // Broken sequences in that byte range stay one character per byte: a lone lead, a lone
    // continuation, an overlong lead.
    EXPECT_EQ(ns::characterCount("\xC3x\xA9\xC0\x80"), 5u);
    EXPECT_EQ(ns::normalizedNFC("a\xC3"), "a\xEF\xBF\xBD");
}

// Text whose scalars can join nothing (symbols, box drawing, CJK...) is split without ICU. Every
// scalar of the Basic Multilingual Plane and of the emoji and other supplementary blocks, doubled,
// beside ASCII, CR LF, a block element and a combining mark, must split exactly as ICU splits it.
TEST(TextCharacters, EveryScalarSplitsAsIcuSplitsIt) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    ASSERT_TRUE(U_SUCCESS(status));
    auto icuSplit = [&](const std::string& text) {
        const auto u = icu::UnicodeString::fromUTF8(text);
        breaks->setText(u);
        std::vector<std::string> parts;
        for (int32_t start = breaks->first(), end = breaks->next(); end != icu::BreakIterator::DONE;
             start = end, end = breaks->next()) {
            std::string part;
            u.tempSubStringBetween(start, end).toUTF8String(part);
            parts.push_back(part);
        }
        return parts;
    };
    auto check = [&](char32_t c) {
        std::string scalar;
        ns::appendScalar(scalar, c);
        for (const std::string& text : {"a" + scalar + scalar + "\r\n" + scalar, scalar + "\r" + scalar,
                                        "\xE2\x96\x88" + scalar + "\xCC\x81", scalar + "\xF0\x9F\x98\x80"}) {
            if (ns::splitCharacters(text) != icuSplit(text)) {
                ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c);
                return false;
            }
        }
        return true;
    };
    for (char32_t c = 0x300; c < 0x10000; ++c)
        if ((c < 0xD800 || c > 0xDFFF) && !check(c)) return;
    for (char32_t c = 0x1F000; c < 0x1FB00; ++c) // emoji, pictographs, regional indicators
        if (!check(c)) return;
    for (char32_t c : {U'\U00010000', U'\U000110BD', U'\U00020000', U'\U000E0001', U'\U000E0100'})
        if (!check(c)) return;
}

} // namespace
