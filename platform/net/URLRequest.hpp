#pragma once
// A URL request: URL text, method, ordered header fields, an optional body (bytes in memory, or a
// file streamed as the body), a timeout, a cache policy, and the most answer bytes the caller takes.
//
// maximumResponseLength bounds the body of the answer, whatever its headers say or however long the
// server keeps sending: past it the transfer is cut off and the task fails with
// URLErrorDataLengthExceedsMaximum (nothing of the body is handed over, a download's file is deleted).
// Each caller sets what its kind of answer can hold; the default only keeps a forgotten one bounded.
//
// Failure contract: none; setters refuse header values holding CR or LF (see HeaderFields). Whether
// the URL is valid is found out when a task runs it (it then fails with a "bad URL" error).
#include "platform/net/HeaderFields.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace net {

enum class URLRequestCachePolicy {
    useProtocolCachePolicy = 0,
    reloadIgnoringLocalCacheData = 1,
};

class URLRequest {
  public:
    static constexpr double defaultTimeoutInterval = 60.0;
    static constexpr std::size_t defaultMaximumResponseLength = 16 * 1024 * 1024;

    URLRequest() = default;
    explicit URLRequest(std::string url,
                        URLRequestCachePolicy cachePolicy = URLRequestCachePolicy::useProtocolCachePolicy,
                        double timeoutInterval = defaultTimeoutInterval)
        : url_(std::move(url)), cachePolicy_(cachePolicy), timeoutInterval_(timeoutInterval) {}

    const std::string& URL() const { return url_; }
    void setURL(std::string url) { url_ = std::move(url); }

    const std::string& HTTPMethod() const { return method_; }
    void setHTTPMethod(std::string method) { method_ = std::move(method); }

    double timeoutInterval() const { return timeoutInterval_; }
    void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }

    std::size_t maximumResponseLength() const { return maximumResponseLength_; }
    void setMaximumResponseLength(std::size_t bytes) { maximumResponseLength_ = bytes; }

    URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }

    const HeaderFields& allHTTPHeaderFields() const { return headers_; }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const {
        return headers_.value(name);
    }
    bool setValue(std::string_view value, std::string_view name) { return headers_.set(name, value); }
    bool addValue(std::string_view value, std::string_view name) { return headers_.add(name, value); }
    void removeHTTPHeaderField(std::string_view name) { headers_.remove(name); }

    // Body in memory; setting it clears a body file, and the other way round.
    const std::optional<std::vector<std::uint8_t>>& HTTPBody() const { return body_; }
    void setHTTPBody(std::optional<std::vector<std::uint8_t>> body) {
        body_ = std::move(body);
        if (body_) bodyFile_.reset();
    }
    const std::optional<std::string>& HTTPBodyFile() const { return bodyFile_; }
    void setHTTPBodyFile(std::optional<std::string> path) {
        bodyFile_ = std::move(path);
        if (bodyFile_) body_.reset();
    }

    bool operator==(const URLRequest&) const = default;

  private:
    std::string url_;
    std::string method_ = "GET";
    URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::useProtocolCachePolicy;
    double timeoutInterval_ = defaultTimeoutInterval;
    std::size_t maximumResponseLength_ = defaultMaximumResponseLength;
    HeaderFields headers_;
    std::optional<std::vector<std::uint8_t>> body_;
    std::optional<std::string> bodyFile_;
};

} // namespace net
