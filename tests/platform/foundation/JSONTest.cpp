// JSON from outside the process: nesting is bounded before any deep value is built, so nothing that
// copies or walks the result afterwards can run out of stack.
#include "platform/foundation/JSON.hpp"

#include <gtest/gtest.h>

namespace {

std::string nested(std::size_t levels, char open = '[', char close = ']', const std::string& inside = "1") {
    return std::string(levels, open) + inside + std::string(levels, close);
}

std::string nestedObjects(std::size_t levels) {
    std::string text;
    text.reserve(levels * 8);
    for (std::size_t i = 0; i < levels; ++i)
        text += "{\"a\":";
    text += "1";
    text.append(levels, '}');
    return text;
}

TEST(JSON, NestingUpToTheBoundParsesAndDeeperIsRefusedAsTooDeep) {
    struct Case {
        const char* what;
        std::string text;
        bool parses;
    };
    const Case cases[] = {
        {"a scalar", "7", true},
        {"64 arrays", nested(64), true},
        {"65 arrays", nested(65), false},
        {"64 objects", nestedObjects(64), true},
        {"65 objects", nestedObjects(65), false},
        {"an empty 65th array", nested(64, '[', ']', "[]"), false},
        {"65 levels mixing both", "{\"a\":" + nested(64) + "}", false},
        {"a million arrays (2 MB)", nested(1000000), false},
        {"a million objects", nestedObjects(1000000), false},
        {"a million openings that never close", std::string(1000000, '['), false},
    };
    for (const auto& c : cases) {
        auto parsed = ns::parseJSON(c.text);
        EXPECT_EQ(parsed.ok(), c.parses) << c.what;
        if (parsed) {
            // What got through can be copied and printed, as its readers do.
            nlohmann::json copy = *parsed;
            EXPECT_EQ(copy.dump(), nlohmann::json::parse(c.text).dump()) << c.what;
        } else if (std::string(c.what) != "a million openings that never close") {
            EXPECT_TRUE(ns::isJSONNestingError(parsed.error())) << c.what;
        }
    }
}

TEST(JSON, WhatIsNotOneValueIsMalformed) {
    for (const char* text : {"", "{", "{\"a\":1} trailing", "[1,]", "nul", "\"\xff\"", "{\"a\" 1}"}) {
        auto parsed = ns::parseJSON(text);
        ASSERT_FALSE(parsed) << text;
        EXPECT_EQ(parsed.error().domain(), "NSCocoaErrorDomain");
        EXPECT_EQ(parsed.error().code(), 3840);
        EXPECT_FALSE(ns::isJSONNestingError(parsed.error())) << text;
    }
    EXPECT_EQ(ns::parseJSON(nested(3), 2).ok(), false);
    EXPECT_EQ(ns::parseJSON(nested(2), 2).ok(), true);
}

// A NUL byte is no end of the text: whatever follows it still counts, and JSON has no place for one.
TEST(JSON, ANulByteAnywhereIsMalformedWhileAnEscapedOneIsText) {
    using namespace std::string_literals;
    for (const std::string& text : {"{}\0garbage"s, "{}\0"s, "\0{}"s, "[\"a\0b\"]"s, "{\"a\":1}\0\0"s}) {
        auto parsed = ns::parseJSON(text);
        ASSERT_FALSE(parsed) << parsed->dump();
        EXPECT_EQ(parsed.error().code(), 3840);
    }
    auto escaped = ns::parseJSON(R"(["a\u0000b"])");
    ASSERT_TRUE(escaped);
    EXPECT_EQ((*escaped)[0].get<std::string>(), "a\0b"s);
}

} // namespace
