#include "sdk/zovaze/base/HexAndDigests.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>

namespace {

TEST(HexAndDigests, HexEncodingIsLowerCaseHighNibbleFirstAndTerminated) {
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

TEST(HexAndDigests, SHA1IsFortyDigitsAlsoForNoBytes) {
    EXPECT_EQ(ZOVSHA1HexFromBytes(nullptr, 0), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    // Two blocks once padded, and a million bytes.
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(ZOVSHA1HexFromData({twoBlocks.begin(), twoBlocks.end()}),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(ZOVSHA1HexFromData(std::vector<std::uint8_t>(1000000, 'a')),
              "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(HexAndDigests, UUIDStringsAreUpperCaseCanonicalAndFresh) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        auto text = ZOVGenerateUUIDString();
        EXPECT_TRUE(std::regex_match(
            text, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 100u);
}

} // namespace
