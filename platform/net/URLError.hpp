#pragma once
// The transport errors of the URL-loading layer: the platform's domain and codes, so that callers can
// tell a time-out from a cancellation or a refused certificate exactly as on the phone.
//
// Failure contract: none; makeURLError() always builds an error whose user info carries a description
// and, when known, the failing URL under "NSErrorFailingURLStringKey".
#include "platform/foundation/Error.hpp"

#include <string>

namespace net {

inline constexpr const char* URLErrorDomain = "NSURLErrorDomain";
inline constexpr const char* URLErrorFailingURLStringKey = "NSErrorFailingURLStringKey";

enum URLErrorCode : long {
    URLErrorUnknown = -1,
    URLErrorCancelled = -999,
    URLErrorBadURL = -1000,
    URLErrorTimedOut = -1001,
    URLErrorUnsupportedURL = -1002,
    URLErrorCannotFindHost = -1003,
    URLErrorCannotConnectToHost = -1004,
    URLErrorNetworkConnectionLost = -1005,
    URLErrorHTTPTooManyRedirects = -1007,
    URLErrorNotConnectedToInternet = -1009,
    URLErrorBadServerResponse = -1011,
    // The request policy (RequestPolicy.hpp) refused the URL, or a redirect to one.
    URLErrorAppTransportSecurityRequiresSecureConnection = -1022,
    URLErrorCannotParseResponse = -1017,
    URLErrorUserCancelledAuthentication = -1012,
    URLErrorFileDoesNotExist = -1100,
    URLErrorDataLengthExceedsMaximum = -1103,
    URLErrorSecureConnectionFailed = -1200,
    URLErrorServerCertificateUntrusted = -1202,
    URLErrorCannotCreateFile = -3000,
    URLErrorCannotWriteToFile = -3003,
};

ns::Error makeURLError(long code, const std::string& failingURL, const std::string& detail = {});

} // namespace net
