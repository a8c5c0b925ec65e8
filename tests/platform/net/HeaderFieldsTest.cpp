#include "platform/net/HeaderFields.hpp"
#include "platform/net/URLResponse.hpp"

#include <gtest/gtest.h>

namespace {

TEST(HeaderFields, SetReplacesInPlaceAddAppendsAndLookupsIgnoreCase) {
    net::HeaderFields fields;
    fields.set("Accept", "a");
    fields.set("X-One", "1");
    fields.set("accept", "b");
    fields.add("X-ONE", "2");
    fields.add("X-Two", "3");
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields.fields()[0], (net::HeaderFields::Field{"Accept", "b"}));
    EXPECT_EQ(fields.fields()[1], (net::HeaderFields::Field{"X-One", "1,2"}));
    EXPECT_EQ(fields.value("x-two"), "3");
    EXPECT_FALSE(fields.value("X-Three"));
}

TEST(HeaderFields, LineBreaksInNamesOrValuesAreRefused) {
    net::HeaderFields fields;
    EXPECT_FALSE(fields.set("X-Evil", "a\r\nInjected: yes"));
    EXPECT_FALSE(fields.add("X-Evil\n", "a"));
    EXPECT_FALSE(fields.set("", "a"));
    EXPECT_TRUE(fields.empty());
}

TEST(URLResponse, MIMETypeAndLengthComeFromTheHeaders) {
    net::HeaderFields headers;
    headers.append("content-type", " application/json ; charset=utf-8");
    headers.append("Content-Length", "12x");
    net::URLResponse response("https://h/", 200, headers);
    EXPECT_EQ(response.MIMEType(), "application/json");
    EXPECT_EQ(response.expectedContentLength(), -1);
    EXPECT_FALSE(net::URLResponse("file:///x").isHTTP());
}

} // namespace
