#include "sdk/zovaze/network/EndpointPolicy.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstring>

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The host of an authority ("user@host:port", "[v6]:port"), without brackets or port.
std::string hostOf(const std::string& authority) {
    std::string host =
        authority.substr(authority.rfind('@') == std::string::npos ? 0 : authority.rfind('@') + 1);
    if (!host.empty() && host.front() == '[') {
        std::size_t close = host.find(']');
        return close == std::string::npos ? std::string() : host.substr(1, close - 1);
    }
    return host.substr(0, host.find(':'));
}

bool isLoopback(const std::string& host) {
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) != 1) return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

} // namespace

bool zovaze::isURLAllowedForSDKRequest(const std::string& url) {
    std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return false;
    std::string scheme = lowered(url.substr(0, schemeEnd));
    std::size_t authorityStart = schemeEnd + 3;
    std::size_t authorityEnd = url.find_first_of("/?#", authorityStart);
    std::string host =
        hostOf(url.substr(authorityStart, authorityEnd == std::string::npos ? std::string::npos
                                                                            : authorityEnd - authorityStart));
    if (host.empty()) return false;
    if (scheme == "https") return true;
    return scheme == "http" && isLoopback(host);
}
