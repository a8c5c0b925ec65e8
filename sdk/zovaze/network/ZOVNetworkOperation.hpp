#pragma once
// The base of the SDK's settings and onboarding requests: it holds the API key and builds requests that
// carry the SDK's default header set, in this order: "User-Agent", "Accept-Charset", "Accept-Language",
// "Content-Language", "X-Zevuzavidav-Developer-Token", "X-Zevuzavidav-API-Client-Id",
// "X-Zevuzavidav-API-Client-Display-Version", "X-Zevuzavidav-API-Client-Build-Version",
// "X-Zevuzavidav-API-Key"; cache policy "reload ignoring local cache data".
//
// Failure contract: an operation cannot exist without an API key: initWithAPIKey<T>() answers null
// when the key is absent (an empty key is accepted). Building a request never fails.
#include "platform/net/URLRequest.hpp"
#include "sdk/zovaze/kit/ZOVKitVersion.hpp"
#include "sdk/zovaze/network/ZOVAsynchronousOperation.hpp"

#include <memory>
#include <optional>
#include <string>

class ZOVNetworkOperation : public ZOVAsynchronousOperation {
  public:
    static constexpr const char* developerToken = "7c3e9a1f0b5d2e8c4a6f1b9d3e7c0a5f2b8d4e6a";
    static constexpr const char* clientIdentifier = "io.zovaze.sdk.ios";
    static constexpr const char* clientDisplayVersion = zovaze::kSDKDisplayVersion;
    static constexpr const char* clientBuildVersion = zovaze::kSDKBuildVersion;
    static constexpr double defaultTimeout = 10.0;

    // Makes a T (a subclass whose constructor takes the key first) or null without a key.
    template <class T, class... Args>
    static std::shared_ptr<T> initWithAPIKey(const std::optional<std::string>& APIKey, Args&&... args) {
        if (!APIKey) return nullptr;
        return std::shared_ptr<T>(new T(*APIKey, std::forward<Args>(args)...));
    }

    const std::string& APIKey() const { return APIKey_; }

    virtual net::URLRequest
    mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const std::string& URL) const;
    net::URLRequest mutableRequestWithDefaultHTTPHeadersForURL(const std::string& URL, double timeout) const;

    static std::string userAgentString();
    // The user's locale as language_REGION (from LC_ALL, LC_MESSAGES or LANG; "en_US_POSIX" for the
    // C/POSIX locale or when none is set).
    static std::string localeIdentifier();

  protected:
    explicit ZOVNetworkOperation(std::string APIKey) : APIKey_(std::move(APIKey)) {}

  private:
    const std::string APIKey_;
};
