#include "sdk/zovaze/network/ZOVURLBuilder.hpp"

#include <gtest/gtest.h>

namespace {

TEST(ZOVURLBuilder, QueryParametersOpenWithTheFirstOneAppended) {
    auto builder = ZOVURLBuilder::URLWithBase("b");
    builder->appendValue(ns::PropertyList(), "skipped");
    builder->appendValue(1, "x");
    builder->appendValue(std::string("a b"), "y");
    builder->appendValue(42, "n");
    EXPECT_EQ(builder->URLString(), "b?x=1&y=a%20b&n=42");
    EXPECT_EQ(builder->queryParams(), 3u);

    auto withQuery = ZOVURLBuilder::URLWithBase("https://127.0.0.1/s?a=1");
    withQuery->appendValue(std::string("2"), "b");
    EXPECT_EQ(withQuery->URLString(), "https://127.0.0.1/s?a=1?b=2");
}

TEST(ZOVURLBuilder, EscapingFollowsTheWholeURLRule) {
    const std::pair<std::string, std::string> table[] = {
        {"\xC3\xA9", "%C3%A9"},
        {"a b", "a%20b"},
        {"\"%<>\\^`{|}", "%22%25%3C%3E%5C%5E%60%7B%7C%7D"},
        {"[]", "%5B%5D"},
        {std::string("\x01\x7f", 2), "%01%7F"},
        {"-._~!$&'()*+,/:;=?@#", "-._~!$&'()*+,/:;=?@#"},
        {"AZaz09", "AZaz09"},
    };
    for (const auto& [in, out] : table)
        EXPECT_EQ(ZOVURLBuilder::escapeString(in), out) << in;
}

TEST(ZOVURLBuilder, SettingsStylePathParsesAsAURL) {
    auto builder = ZOVURLBuilder::URLWithBase("https://127.0.0.1:8443");
    builder->appendComponent("/spi/v2/platforms/");
    builder->escapeAndAppendComponent("ios");
    builder->appendComponent("/apps/");
    builder->escapeAndAppendComponent("com.example app");
    builder->appendComponent("/settings");
    builder->appendValue(std::string("1.0 (3)"), "build_version");
    EXPECT_EQ(builder->URL(), "https://127.0.0.1:8443/spi/v2/platforms/ios/apps/com.example%20app/"
                              "settings?build_version=1.0%20(3)");
}

TEST(ZOVURLBuilder, TextThatIsNoURLGivesNone) {
    for (const std::string bad :
         {"https://h/a b", "https://h/%zz", "https://h/%4", "ht tp://h/", "https://[::1/"}) {
        ZOVURLBuilder builder;
        builder.appendComponent(bad);
        EXPECT_FALSE(builder.URL()) << bad;
    }
}

} // namespace
