#pragma once
// How a session behaves: headers added to every request that lacks them, the default request
// time-out, and, for background sessions, the identifier and whether the app is woken for events.
// On this host a background session runs its transfers like any other session for as long as the
// process lives.
//
// Failure contract: none. copy() gives an independent configuration of the same kind (subclasses
// override it to keep their own kind).
#include "platform/net/HeaderFields.hpp"

#include <memory>
#include <optional>
#include <string>

namespace net {

class URLSessionConfiguration {
  public:
    static std::shared_ptr<URLSessionConfiguration> defaultSessionConfiguration();
    static std::shared_ptr<URLSessionConfiguration> ephemeralSessionConfiguration();
    static std::shared_ptr<URLSessionConfiguration>
    backgroundSessionConfigurationWithIdentifier(std::string identifier);

    URLSessionConfiguration() = default;
    virtual ~URLSessionConfiguration() = default;
    virtual std::shared_ptr<URLSessionConfiguration> copy() const;

    const HeaderFields& HTTPAdditionalHeaders() const { return additionalHeaders_; }
    void setHTTPAdditionalHeaders(HeaderFields headers) { additionalHeaders_ = std::move(headers); }

    double timeoutIntervalForRequest() const { return timeoutIntervalForRequest_; }
    void setTimeoutIntervalForRequest(double seconds) { timeoutIntervalForRequest_ = seconds; }

    const std::optional<std::string>& identifier() const { return identifier_; }
    bool isEphemeral() const { return ephemeral_; }

    virtual bool sessionSendsLaunchEvents() const { return sendsLaunchEvents_; }
    virtual void setSessionSendsLaunchEvents(bool value) { sendsLaunchEvents_ = value; }

  protected:
    URLSessionConfiguration(const URLSessionConfiguration&) = default;

  private:
    HeaderFields additionalHeaders_;
    double timeoutIntervalForRequest_ = 60.0;
    std::optional<std::string> identifier_;
    bool ephemeral_ = false;
    bool sendsLaunchEvents_ = true;
};

using URLSessionConfigurationRef = std::shared_ptr<URLSessionConfiguration>;

} // namespace net
