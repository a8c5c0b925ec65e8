#include "sdk/zovaze/ZOVApplicationFacts.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>

namespace {

TEST(ZOVApplicationFactsTest, HexEncodingIsLowerCaseHighNibbleFirstAndTerminated) {
    const std::uint8_t input[] = {0x00, 0xAB, 0xFF};
    char output[8];
    std::memset(output, 'z', sizeof output);
    ZOVHexEncodeBytes(input, 3, output);
    EXPECT_EQ(std::string(output, 7), std::string("00abff\0", 7));
    EXPECT_EQ(output[7], 'z'); // nothing beyond 2n + 1
    std::memset(output, 'z', sizeof output);
    ZOVHexEncodeBytes(nullptr, 3, output);
    EXPECT_EQ(std::string(output, 7), std::string(7, '\0'));
    ZOVHexEncodeBytes(input, 3, nullptr); // no buffer: nothing happens
    EXPECT_EQ(ZOVHexStringFromData({}), "");
    const std::uint8_t uuid[16] = {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0, 0, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(ZOVHexStringFromUUIDBytes(uuid), "123456789abcdef00001020304050607");
}

TEST(ZOVApplicationFactsTest, SHA1IsFortyDigitsAlsoForNoBytes) {
    EXPECT_EQ(ZOVSHA1HexFromBytes(nullptr, 0), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(ZOVSHA1HexFromData({'a', 'b', 'c'}), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(ZOVApplicationFactsTest, UUIDStringsAreUpperCaseCanonicalAndFresh) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        auto text = ZOVGenerateUUIDString();
        EXPECT_TRUE(std::regex_match(
            text, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(ZOVApplicationFactsTest, AContiguousBufferIsOneRange) {
    std::vector<std::uint8_t> data{1, 2, 3};
    int calls = 0;
    ZOVEnumerateDataByteRanges(data, [&](const std::uint8_t* bytes, ZOVByteRange range, bool& stop) {
        ++calls;
        EXPECT_EQ(bytes, data.data());
        EXPECT_EQ(range.location, 0u);
        EXPECT_EQ(range.length, 3u);
        EXPECT_FALSE(stop);
    });
    EXPECT_EQ(calls, 1);
}

} // namespace
