#pragma once
// The errors of the SDK's network client and response classification: domain "ZOVNetworkError".
//
// Codes -1, -4 and -5 carry the user info "type", "status_code", "request_id" and "content_type"
// (numbers as decimal text); -3 and -6 carry none.

namespace zovaze {
inline constexpr const char* kNetworkErrorDomain = "ZOVNetworkError";
} // namespace zovaze

enum ZOVNetworkErrorCode : long {
    ZOVNetworkErrorCodeRetry = -1,
    ZOVNetworkErrorCodeTaskCreationFailed = -3,
    ZOVNetworkErrorCodeUnexpectedResponse = -4,
    ZOVNetworkErrorCodeClientError = -5,
    ZOVNetworkErrorCodeRetryLimitReached = -6,
};
