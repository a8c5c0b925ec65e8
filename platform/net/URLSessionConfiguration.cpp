#include "platform/net/URLSessionConfiguration.hpp"

namespace net {

std::shared_ptr<URLSessionConfiguration> URLSessionConfiguration::defaultSessionConfiguration() {
    return std::make_shared<URLSessionConfiguration>();
}

std::shared_ptr<URLSessionConfiguration> URLSessionConfiguration::ephemeralSessionConfiguration() {
    auto configuration = std::make_shared<URLSessionConfiguration>();
    configuration->ephemeral_ = true;
    return configuration;
}

std::shared_ptr<URLSessionConfiguration>
URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(std::string identifier) {
    auto configuration = std::make_shared<URLSessionConfiguration>();
    configuration->identifier_ = std::move(identifier);
    return configuration;
}

std::shared_ptr<URLSessionConfiguration> URLSessionConfiguration::copy() const {
    return std::shared_ptr<URLSessionConfiguration>(new URLSessionConfiguration(*this));
}

} // namespace net
