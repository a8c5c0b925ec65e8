#include "sdk/zovaze/network/EndpointPolicy.hpp"

#include "platform/net/RequestPolicy.hpp"

bool zovaze::isURLAllowedForSDKRequest(const std::string& url) {
    return net::isURLAllowedByRequestPolicy(url);
}
