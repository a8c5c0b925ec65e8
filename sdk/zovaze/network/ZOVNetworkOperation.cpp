#include "sdk/zovaze/network/ZOVNetworkOperation.hpp"

#include <cctype>
#include <cstdlib>

net::URLRequest
ZOVNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const std::string& URL) const {
    return mutableRequestWithDefaultHTTPHeadersForURL(URL, defaultTimeout);
}

net::URLRequest ZOVNetworkOperation::mutableRequestWithDefaultHTTPHeadersForURL(const std::string& URL,
                                                                                double timeout) const {
    net::URLRequest request(URL, net::URLRequestCachePolicy::reloadIgnoringLocalCacheData, timeout);
    std::string locale = localeIdentifier();
    request.setValue(userAgentString(), "User-Agent");
    request.setValue("utf-8", "Accept-Charset");
    request.setValue(locale, "Accept-Language");
    request.setValue(locale, "Content-Language");
    request.setValue(developerToken, "X-Zevuzavidav-Developer-Token");
    request.setValue(clientIdentifier, "X-Zevuzavidav-API-Client-Id");
    request.setValue(clientDisplayVersion, "X-Zevuzavidav-API-Client-Display-Version");
    request.setValue(clientBuildVersion, "X-Zevuzavidav-API-Client-Build-Version");
    request.setValue(APIKey_, "X-Zevuzavidav-API-Key");
    return request;
}

std::string ZOVNetworkOperation::userAgentString() {
    return std::string(clientIdentifier) + "/" + clientDisplayVersion + " (" + clientBuildVersion + ")";
}

std::string ZOVNetworkOperation::localeIdentifier() {
    const char* value = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* candidate = std::getenv(name);
        if (candidate && *candidate) {
            value = candidate;
            break;
        }
    }
    std::string locale = value ? value : "";
    locale = locale.substr(0, locale.find_first_of(".@"));
    // A locale name is letters, digits and underscores; anything else would not be a header-safe value.
    bool plain = !locale.empty();
    for (char c : locale)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) plain = false;
    if (!plain || locale == "C" || locale == "POSIX") return "en_US_POSIX";
    return locale;
}
