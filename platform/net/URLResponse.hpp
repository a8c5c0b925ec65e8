#pragma once
// A response: the URL it came from and, for HTTP, the status code and the header fields as the server
// sent them (in order; lookups ignore letter case).
//
// Failure contract: none. A response without a status code is not an HTTP response: its header
// fields are empty and statusCode() is nullopt.
#include "platform/net/HeaderFields.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace net {

class URLResponse {
  public:
    URLResponse() = default;
    // A non-HTTP response.
    explicit URLResponse(std::string url) : url_(std::move(url)) {}
    // An HTTP response.
    URLResponse(std::string url, int statusCode, HeaderFields headers)
        : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headers)) {}

    const std::string& URL() const { return url_; }
    bool isHTTP() const { return statusCode_.has_value(); }
    std::optional<int> statusCode() const { return statusCode_; }
    const HeaderFields& allHeaderFields() const { return headers_; }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const {
        return headers_.value(name);
    }

    // The "Content-Type" value up to its first ";", trimmed; empty when there is none.
    std::string MIMEType() const;
    // "Content-Length" as a number, -1 when unknown.
    std::int64_t expectedContentLength() const;

  private:
    std::string url_;
    std::optional<int> statusCode_;
    HeaderFields headers_;
};

using URLResponseRef = std::shared_ptr<const URLResponse>;

} // namespace net
