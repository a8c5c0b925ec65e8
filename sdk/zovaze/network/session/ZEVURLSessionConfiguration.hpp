#pragma once
// The configuration of a URL session as the SDK asks for it: the platform's configuration when the
// platform's session service is there (ZEVURLSession::NSURLSessionShouldBeUsed), else an own
// configuration of which only the additional headers are used.
//
// Failure contract: the own configuration never sends launch events (setting it does nothing) and has
// no background mode: backgroundSessionConfigurationWithIdentifier() answers null then. A copy of an
// own configuration carries its additional headers only.
#include "platform/net/URLSessionConfiguration.hpp"

#include <cstdint>
#include <memory>
#include <string>

class ZEVURLSessionConfiguration final : public net::URLSessionConfiguration {
  public:
    static net::URLSessionConfigurationRef defaultSessionConfiguration();
    static net::URLSessionConfigurationRef ephemeralSessionConfiguration();
    static net::URLSessionConfigurationRef
    backgroundSessionConfigurationWithIdentifier(const std::string& identifier);
    static net::URLSessionConfigurationRef backgroundSessionConfiguration(const std::string& identifier);

    ZEVURLSessionConfiguration() = default;

    net::URLSessionConfigurationRef copy() const override;
    bool sessionSendsLaunchEvents() const override { return false; }
    void setSessionSendsLaunchEvents(bool) override {}

    // Kept, not used.
    const std::shared_ptr<void>& URLCache() const { return URLCache_; }
    void setURLCache(std::shared_ptr<void> cache) { URLCache_ = std::move(cache); }
    std::uint64_t HTTPCookieAcceptPolicy() const { return cookiePolicy_; }
    void setHTTPCookieAcceptPolicy(std::uint64_t policy) { cookiePolicy_ = policy; }

  private:
    std::shared_ptr<void> URLCache_;
    std::uint64_t cookiePolicy_ = 0;
};
