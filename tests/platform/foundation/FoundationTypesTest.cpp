#include "platform/foundation/Date.hpp"
#include "platform/foundation/Error.hpp"
#include "platform/foundation/Exception.hpp"
#include "platform/foundation/Hex.hpp"
#include "platform/foundation/UUID.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace {

// Two digits a byte, high nibble first, in the case asked for; nothing written past them.
TEST(Hex, EncodesEachByteAsTwoDigitsAndWritesNothingElse) {
    const unsigned char bytes[] = {0x00, 0x0f, 0xa5, 0xf0, 0xff};
    struct Case {
        ns::HexCase letters;
        const char* digits;
    } cases[] = {{ns::HexCase::lower, "000fa5f0ff"}, {ns::HexCase::upper, "000FA5F0FF"}};
    for (const Case& c : cases) {
        char out[13] = "............";
        EXPECT_EQ(ns::hexEncode(bytes, sizeof bytes, out, c.letters), out + 10);
        EXPECT_EQ(std::string(out, 12), std::string(c.digits) + "..");
    }
    char pair[3] = "..";
    EXPECT_EQ(ns::hexEncodeByte(0x7c, pair), pair + 2);
    EXPECT_STREQ(pair, "7c");
    EXPECT_EQ(ns::hexEncode(bytes, 0, pair), pair);
}

TEST(UUID, RandomIsVersion4InUpperCaseForm) {
    std::set<std::string> seen;
    const std::regex form("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    for (int i = 0; i < 200; ++i) {
        std::string s = ns::UUID::random().string();
        EXPECT_TRUE(std::regex_match(s, form)) << s;
        seen.insert(s);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(UUID, ParseAcceptsBothCasesAndRejectsMalformed) {
    auto u = ns::UUID::parse("0123abcd-ef01-4234-8567-89abcdef0123");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->string(), "0123ABCD-EF01-4234-8567-89ABCDEF0123");
    EXPECT_EQ(ns::UUID::parse(u->string()), u);
    for (const char* bad : {"", "0123abcd-ef01-4234-8567-89abcdef012", "0123abcd_ef01-4234-8567-89abcdef0123",
                            "0123abcg-ef01-4234-8567-89abcdef0123", "0123abcd-ef01-4234-8567-89abcdef01234"})
        EXPECT_FALSE(ns::UUID::parse(bad)) << bad;
}

TEST(Date, EpochsAndIsoFormatting) {
    auto ref = ns::Date::fromTimeIntervalSinceReferenceDate(0);
    EXPECT_EQ(ref.timeIntervalSince1970(), 978307200.0);
    EXPECT_EQ(ref.iso8601String(), "2001-01-01T00:00:00Z");
    EXPECT_EQ(ns::Date::fromTimeIntervalSince1970(0).iso8601String(), "1970-01-01T00:00:00Z");
    EXPECT_EQ(ns::Date::fromTimeIntervalSince1970(951782400.25).iso8601String(true),
              "2000-02-29T00:00:00.250Z");
    EXPECT_EQ(ns::Date::fromTimeIntervalSince1970(-1).iso8601String(), "1969-12-31T23:59:59Z");
    EXPECT_EQ(ns::Date::fromTimeIntervalSince1970(1e300).iso8601String(), "9999-12-31T23:59:59Z");
    auto now = ns::Date::now();
    EXPECT_GT(now.timeIntervalSince1970(), 1.7e9);
    EXPECT_NEAR(now.timeIntervalSinceReferenceDate(), now.timeIntervalSince1970() - 978307200.0, 1e-6);
}

TEST(Error, PrintedFormAndDescriptions) {
    ns::Error e = ns::Error::make("ZOVSDKOnboardingErrorDomain", 3, "Bad thing");
    EXPECT_EQ(e.localizedDescription(), "Bad thing");
    EXPECT_EQ(e.description(), "Error Domain=ZOVSDKOnboardingErrorDomain Code=3 \"Bad thing\" "
                               "UserInfo={NSLocalizedDescription=Bad thing}");
    ns::Error bare("D", -1);
    EXPECT_EQ(bare.localizedDescription(), "The operation couldn't be completed. (D error -1.)");
    EXPECT_EQ(bare.description(),
              "Error Domain=D Code=-1 \"The operation couldn't be completed. (D error -1.)\"");
}

TEST(Exception, CarriesNameAndReason) {
    try {
        throw ns::Exception("NSInvalidArgumentException", "bad index");
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "NSInvalidArgumentException: bad index");
        auto* ours = dynamic_cast<const ns::Exception*>(&e);
        ASSERT_NE(ours, nullptr);
        EXPECT_EQ(ours->name(), "NSInvalidArgumentException");
        EXPECT_EQ(ours->reason(), "bad index");
    }
}

} // namespace
