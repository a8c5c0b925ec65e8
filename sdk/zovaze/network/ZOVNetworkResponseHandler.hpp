#pragma once
// Judges a finished HTTP exchange: its status class, whether to retry, whether the content type is
// the one the request accepted, the "Retry-After" and "X-Request-Id" headers, and the errors of the
// domain "ZOVNetworkError". Class operations only; no state.
//
// Status classes: OK (200, 201, 202, 204, 304); ClientError (400, 401, 403, 404, 406, 410, 411, 413,
// 419, 422, 431); Retry (408, 500-599); RateLimited (420, 429); Failure (everything else, and a
// response without a status code).
//
// Failure contract: nothing throws or logs; every outcome goes through the block or handler, called
// once, synchronously. "Retry-After" is read as a plain decimal number (optional sign, digits,
// optional fraction): text that does not start with one reads as 0, a missing header or a negative
// number as 300; "inf", "nan", hexadecimal and exponents are not numbers here, and values beyond
// retryValueLimit are clamped to it, so no later conversion can overflow.
#include "platform/foundation/Error.hpp"
#include "platform/net/URLRequest.hpp"
#include "platform/net/URLResponse.hpp"
#include "sdk/zovaze/network/ZOVNetworkError.hpp"

#include <functional>
#include <map>
#include <optional>
#include <string>

enum ZOVNetworkClientResponseType : long {
    ZOVNetworkClientResponseTypeOK = 0,
    ZOVNetworkClientResponseTypeFailure = 1,
    ZOVNetworkClientResponseTypeClientError = 2,
    ZOVNetworkClientResponseTypeRetry = 3,
    ZOVNetworkClientResponseTypeRateLimited = 4,
};

class ZOVNetworkResponseHandler {
  public:
    static constexpr double defaultRetryValue = 300.0;
    // One day: no server needs the SDK to wait longer than that between two attempts.
    static constexpr double retryValueLimit = 86400.0;

    static std::optional<std::string> headerForResponse(const net::URLResponseRef& response,
                                                        const std::string& key);
    static double retryValueForResponse(const net::URLResponseRef& response);
    static std::optional<std::string> requestIdForResponse(const net::URLResponseRef& response);
    static bool contentTypeForResponse(const net::URLResponseRef& response, const net::URLRequest& request);

    static ns::Error errorForCode(long code, std::map<std::string, std::string> userInfo);
    static std::optional<ns::Error> errorForResponse(const net::URLResponseRef& response,
                                                     ZOVNetworkClientResponseType type, long status);

    static void
    clientResponseType(const net::URLResponseRef& response,
                       const std::function<void(ZOVNetworkClientResponseType type, long status)>& handler);
    static void
    handleCompletedResponse(const net::URLResponseRef& response, const net::URLRequest& originalRequest,
                            const std::optional<ns::Error>& error,
                            const std::function<void(bool retry, std::optional<ns::Error> error)>& block);

    // The decimal number at the start of `text` (see the header comment), or nullopt when none.
    static std::optional<double> parseDecimalPrefix(const std::string& text);
};
