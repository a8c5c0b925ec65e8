#include "platform/net/URLError.hpp"

#include <map>

namespace net {
namespace {

const char* describe(long code) {
    switch (code) {
    case URLErrorCancelled:
        return "cancelled";
    case URLErrorBadURL:
        return "unsupported URL";
    case URLErrorTimedOut:
        return "The request timed out.";
    case URLErrorUnsupportedURL:
        return "unsupported URL";
    case URLErrorCannotFindHost:
        return "A server with the specified hostname could not be found.";
    case URLErrorCannotConnectToHost:
        return "Could not connect to the server.";
    case URLErrorNetworkConnectionLost:
        return "The network connection was lost.";
    case URLErrorHTTPTooManyRedirects:
        return "too many HTTP redirects";
    case URLErrorAppTransportSecurityRequiresSecureConnection:
        return "The resource could not be loaded because the App Transport Security policy requires the "
               "use of a secure connection.";
    case URLErrorDataLengthExceedsMaximum:
        return "The resource exceeds the maximum size.";
    case URLErrorNotConnectedToInternet:
        return "The Internet connection appears to be offline.";
    case URLErrorBadServerResponse:
        return "The server returned a bad response.";
    case URLErrorUserCancelledAuthentication:
        return "The user cancelled authentication.";
    case URLErrorFileDoesNotExist:
        return "The file does not exist.";
    case URLErrorSecureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case URLErrorServerCertificateUntrusted:
        return "The certificate for this server is invalid.";
    case URLErrorCannotCreateFile:
        return "The file could not be created.";
    case URLErrorCannotWriteToFile:
        return "The file could not be written.";
    default:
        return "An unknown error occurred.";
    }
}

} // namespace

ns::Error makeURLError(long code, const std::string& failingURL, const std::string& detail) {
    std::map<std::string, std::string> info;
    std::string text = describe(code);
    if (!detail.empty()) text += " (" + detail + ")";
    info[ns::Error::localizedDescriptionKey] = text;
    if (!failingURL.empty()) info[URLErrorFailingURLStringKey] = failingURL;
    return ns::Error(URLErrorDomain, code, std::move(info));
}

} // namespace net
