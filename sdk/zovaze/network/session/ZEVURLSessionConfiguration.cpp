#include "sdk/zovaze/network/session/ZEVURLSessionConfiguration.hpp"

#include "sdk/zovaze/network/session/ZEVURLSession.hpp"

net::URLSessionConfigurationRef ZEVURLSessionConfiguration::defaultSessionConfiguration() {
    if (ZEVURLSession::NSURLSessionShouldBeUsed())
        return net::URLSessionConfiguration::defaultSessionConfiguration();
    return std::make_shared<ZEVURLSessionConfiguration>();
}

net::URLSessionConfigurationRef ZEVURLSessionConfiguration::ephemeralSessionConfiguration() {
    if (ZEVURLSession::NSURLSessionShouldBeUsed())
        return net::URLSessionConfiguration::ephemeralSessionConfiguration();
    return std::make_shared<ZEVURLSessionConfiguration>();
}

net::URLSessionConfigurationRef
ZEVURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(const std::string& identifier) {
    if (ZEVURLSession::NSURLSessionShouldBeUsed())
        return net::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(identifier);
    return nullptr;
}

net::URLSessionConfigurationRef
ZEVURLSessionConfiguration::backgroundSessionConfiguration(const std::string& identifier) {
    return backgroundSessionConfigurationWithIdentifier(identifier);
}

net::URLSessionConfigurationRef ZEVURLSessionConfiguration::copy() const {
    auto copy = std::make_shared<ZEVURLSessionConfiguration>();
    copy->setHTTPAdditionalHeaders(HTTPAdditionalHeaders());
    return copy;
}
