// Which session and configuration the facade hands out, with and without the platform's service.
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"
#include "sdk/zovaze/network/session/ZEVURLSession.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionConfiguration.hpp"

#include <gtest/gtest.h>

namespace {

class URLSessionFacade : public ::testing::Test {
  protected:
    void TearDown() override { ZEVURLSession::overrideNSURLSessionAvailability(std::nullopt); }
};

TEST_F(URLSessionFacade, WithThePlatformServiceThePlatformObjectsAreHandedOut) {
    EXPECT_TRUE(ZEVURLSession::NSURLSessionShouldBeUsed());
    auto configuration = ZEVURLSessionConfiguration::defaultSessionConfiguration();
    EXPECT_FALSE(std::dynamic_pointer_cast<ZEVURLSessionConfiguration>(configuration));
    auto background = ZEVURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("id.bg");
    ASSERT_TRUE(background);
    EXPECT_EQ(background->identifier(), "id.bg");
    auto session = ZEVURLSession::sessionWithConfiguration(
        configuration, std::make_shared<net::URLSessionDelegate>(), nullptr);
    ASSERT_TRUE(session);
    EXPECT_FALSE(std::dynamic_pointer_cast<ZEVURLSession>(session));
    session->invalidateAndCancel();
}

TEST_F(URLSessionFacade, WithoutItOwnObjectsAndNoBackgroundMode) {
    ZEVURLSession::overrideNSURLSessionAvailability(false);
    auto configuration = ZEVURLSessionConfiguration::defaultSessionConfiguration();
    auto own = std::dynamic_pointer_cast<ZEVURLSessionConfiguration>(configuration);
    ASSERT_TRUE(own);
    EXPECT_TRUE(std::dynamic_pointer_cast<ZEVURLSessionConfiguration>(
        ZEVURLSessionConfiguration::ephemeralSessionConfiguration()));
    EXPECT_FALSE(ZEVURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("id.bg"));
    EXPECT_FALSE(ZEVURLSessionConfiguration::backgroundSessionConfiguration("id.bg"));
    own->setSessionSendsLaunchEvents(true);
    EXPECT_FALSE(own->sessionSendsLaunchEvents());

    net::HeaderFields headers;
    headers.set("X-A", "1");
    own->setHTTPAdditionalHeaders(headers);
    own->setHTTPCookieAcceptPolicy(2);
    auto copy = std::dynamic_pointer_cast<ZEVURLSessionConfiguration>(own->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->HTTPAdditionalHeaders(), headers);
    EXPECT_EQ(copy->HTTPCookieAcceptPolicy(), 0u); // a copy carries the headers only

    EXPECT_FALSE(ZEVURLSession::sessionWithConfiguration(nullptr));
    auto session = ZEVURLSession::sessionWithConfiguration(
        configuration, std::make_shared<net::URLSessionDelegate>(), nullptr);
    auto ownSession = std::dynamic_pointer_cast<ZEVURLSession>(session);
    ASSERT_TRUE(ownSession);
    ASSERT_TRUE(ownSession->delegateQueue());
    EXPECT_EQ(ownSession->delegateQueue()->maxConcurrentOperationCount(), 1);
    EXPECT_TRUE(ownSession->delegateQueue()->name().starts_with("ZEVURLSession 0x"));
    auto withoutDelegate = ZEVURLSession::sessionWithConfiguration(configuration);
    ASSERT_TRUE(withoutDelegate);
    EXPECT_FALSE(withoutDelegate->delegateQueue());
}

TEST_F(URLSessionFacade, TheNetworkClientTakesItsConfigurationFromTheFacadeToo) {
    ZEVURLSession::overrideNSURLSessionAvailability(false);
    auto client = ZOVNetworkClient::initWithQueue(nullptr, std::nullopt);
    ASSERT_TRUE(client);
    auto own = std::dynamic_pointer_cast<ZEVURLSession>(client->session());
    ASSERT_TRUE(own);
    EXPECT_TRUE(std::dynamic_pointer_cast<ZEVURLSessionConfiguration>(own->configuration()));
}

} // namespace
