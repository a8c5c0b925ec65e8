// Response classification, "Retry-After" reading and the content-type check, without a network.
#include "sdk/zovaze/network/ZOVNetworkResponseHandler.hpp"

#include <gtest/gtest.h>

namespace {

net::URLResponseRef httpResponse(int status, std::vector<std::pair<std::string, std::string>> headers = {}) {
    net::HeaderFields fields;
    for (auto& [name, value] : headers)
        fields.append(name, value);
    return std::make_shared<net::URLResponse>("https://127.0.0.1/", status, fields);
}

std::pair<long, long> classify(const net::URLResponseRef& response) {
    std::pair<long, long> seen{-100, -100};
    int calls = 0;
    ZOVNetworkResponseHandler::clientResponseType(response,
                                                  [&](ZOVNetworkClientResponseType type, long status) {
                                                      seen = {type, status};
                                                      ++calls;
                                                  });
    EXPECT_EQ(calls, 1);
    return seen;
}

TEST(ZOVNetworkResponseHandler, StatusCodesFallIntoTheirClasses) {
    const std::pair<int, ZOVNetworkClientResponseType> table[] = {
        {200, ZOVNetworkClientResponseTypeOK},          {201, ZOVNetworkClientResponseTypeOK},
        {202, ZOVNetworkClientResponseTypeOK},          {204, ZOVNetworkClientResponseTypeOK},
        {304, ZOVNetworkClientResponseTypeOK},          {100, ZOVNetworkClientResponseTypeFailure},
        {203, ZOVNetworkClientResponseTypeFailure},     {205, ZOVNetworkClientResponseTypeFailure},
        {206, ZOVNetworkClientResponseTypeFailure},     {300, ZOVNetworkClientResponseTypeFailure},
        {302, ZOVNetworkClientResponseTypeFailure},     {405, ZOVNetworkClientResponseTypeFailure},
        {409, ZOVNetworkClientResponseTypeFailure},     {412, ZOVNetworkClientResponseTypeFailure},
        {432, ZOVNetworkClientResponseTypeFailure},     {451, ZOVNetworkClientResponseTypeFailure},
        {600, ZOVNetworkClientResponseTypeFailure},     {400, ZOVNetworkClientResponseTypeClientError},
        {401, ZOVNetworkClientResponseTypeClientError}, {403, ZOVNetworkClientResponseTypeClientError},
        {404, ZOVNetworkClientResponseTypeClientError}, {406, ZOVNetworkClientResponseTypeClientError},
        {410, ZOVNetworkClientResponseTypeClientError}, {411, ZOVNetworkClientResponseTypeClientError},
        {413, ZOVNetworkClientResponseTypeClientError}, {419, ZOVNetworkClientResponseTypeClientError},
        {422, ZOVNetworkClientResponseTypeClientError}, {431, ZOVNetworkClientResponseTypeClientError},
        {408, ZOVNetworkClientResponseTypeRetry},       {500, ZOVNetworkClientResponseTypeRetry},
        {503, ZOVNetworkClientResponseTypeRetry},       {599, ZOVNetworkClientResponseTypeRetry},
        {420, ZOVNetworkClientResponseTypeRateLimited}, {429, ZOVNetworkClientResponseTypeRateLimited},
    };
    for (const auto& [status, type] : table)
        EXPECT_EQ(classify(httpResponse(status)), std::make_pair(long(type), long(status))) << status;
    EXPECT_EQ(classify(std::make_shared<net::URLResponse>("file:///x")), std::make_pair(1L, 0L));
    EXPECT_EQ(classify(nullptr), std::make_pair(1L, 0L));
}

TEST(ZOVNetworkResponseHandler, RetryAfterIsAPlainDecimalNumber) {
    const std::pair<const char*, double> table[] = {
        {"2", 2.0},
        {"0.25", 0.25},
        {" 7 seconds", 7.0},
        {"-5", 300.0},
        {"abc", 0.0},
        {"", 0.0},
        {"inf", 0.0},
        {"nan", 0.0},
        {"0x10", 0.0},
        {"1e3", 1.0},
        {"+3", 3.0},
        {".5", 0.5},
        {"99999999999999999999999999", ZOVNetworkResponseHandler::retryValueLimit},
    };
    for (const auto& [text, expected] : table)
        EXPECT_DOUBLE_EQ(
            ZOVNetworkResponseHandler::retryValueForResponse(httpResponse(503, {{"Retry-After", text}})),
            expected)
            << text;
    EXPECT_DOUBLE_EQ(ZOVNetworkResponseHandler::retryValueForResponse(httpResponse(503)), 300.0);
    EXPECT_DOUBLE_EQ(ZOVNetworkResponseHandler::retryValueForResponse(nullptr), 300.0);
}

TEST(ZOVNetworkResponseHandler, ContentTypeMustMatchTheAcceptedTypeAndCharset) {
    struct Case {
        std::optional<std::string> accept, charset, contentType;
        bool expected;
    };
    const Case cases[] = {
        {std::nullopt, "utf-8", std::nullopt, true},
        {"application/json", "utf-8", "application/json; charset=UTF-8", true},
        {"application/json", "utf-8", "APPLICATION/JSON", true},
        {"application/json", "utf-8", "application/json; charset=latin1", false},
        {"application/json", std::nullopt, "application/json; charset=latin1", true},
        {"application/json", "utf-8", "text/html", false},
        {"application/json", "utf-8", std::nullopt, false},
        {"application/json", "utf-8", "application/json;charset=utf-8",
         false}, // no blank: whole strings differ
        {"application/json, text/plain", "utf-8", "application/json", false},
    };
    for (const auto& c : cases) {
        net::URLRequest request("https://127.0.0.1/");
        if (c.accept) request.setValue(*c.accept, "Accept");
        if (c.charset) request.setValue(*c.charset, "Accept-Charset");
        std::vector<std::pair<std::string, std::string>> headers;
        if (c.contentType) headers.emplace_back("Content-Type", *c.contentType);
        EXPECT_EQ(ZOVNetworkResponseHandler::contentTypeForResponse(httpResponse(200, headers), request),
                  c.expected)
            << c.contentType.value_or("(none)");
    }
}

TEST(ZOVNetworkResponseHandler, CompletedExchangesGiveRetryFlagsAndErrorsWithUserInfo) {
    net::URLRequest request("https://127.0.0.1/");
    request.setValue("application/json", "Accept");
    struct Case {
        net::URLResponseRef response;
        bool retry;
        std::optional<long> code;
        std::map<std::string, std::string> userInfo;
    };
    const Case cases[] = {
        {httpResponse(200, {{"Content-Type", "application/json"}}), false, std::nullopt, {}},
        {httpResponse(200, {{"Content-Type", "text/html"}, {"X-Request-Id", "r1"}}),
         false,
         -4,
         {{"type", "1"}, {"status_code", "200"}, {"request_id", "r1"}, {"content_type", "text/html"}}},
        {httpResponse(302),
         false,
         -4,
         {{"type", "1"}, {"status_code", "302"}, {"request_id", ""}, {"content_type", ""}}},
        {httpResponse(404, {{"Content-Type", "application/json"}}),
         false,
         -5,
         {{"type", "2"}, {"status_code", "404"}, {"request_id", ""}, {"content_type", "application/json"}}},
        {httpResponse(503, {{"X-Request-Id", "r2"}}),
         true,
         -1,
         {{"type", "3"}, {"status_code", "503"}, {"request_id", "r2"}, {"content_type", ""}}},
        {httpResponse(429),
         true,
         -1,
         {{"type", "4"}, {"status_code", "429"}, {"request_id", ""}, {"content_type", ""}}},
        {nullptr, false, -4, {{"type", "1"}, {"status_code", "0"}, {"request_id", ""}, {"content_type", ""}}},
    };
    for (const auto& c : cases) {
        int calls = 0;
        ZOVNetworkResponseHandler::handleCompletedResponse(
            c.response, request, std::nullopt, [&](bool retry, std::optional<ns::Error> error) {
                ++calls;
                EXPECT_EQ(retry, c.retry);
                ASSERT_EQ(error.has_value(), c.code.has_value());
                if (!error) return;
                EXPECT_EQ(error->domain(), "ZOVNetworkError");
                EXPECT_EQ(error->code(), *c.code);
                EXPECT_EQ(error->userInfo(), c.userInfo);
            });
        EXPECT_EQ(calls, 1);
    }
}

TEST(ZOVNetworkResponseHandler, ATransportErrorPassesThroughUnexamined) {
    ns::Error transport("NSURLErrorDomain", -1001);
    ZOVNetworkResponseHandler::handleCompletedResponse(httpResponse(500), net::URLRequest("https://h/"),
                                                       transport,
                                                       [&](bool retry, std::optional<ns::Error> error) {
                                                           EXPECT_FALSE(retry);
                                                           EXPECT_EQ(error, transport);
                                                       });
}

} // namespace
