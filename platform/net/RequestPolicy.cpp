#include "platform/net/RequestPolicy.hpp"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>

namespace net {
namespace {

struct Target {
    std::string scheme;
    std::string host;
};

std::optional<std::string> part(CURLU* url, CURLUPart which) {
    char* text = nullptr;
    if (curl_url_get(url, which, &text, 0) != CURLUE_OK || text == nullptr) return std::nullopt;
    std::string value = text;
    curl_free(text);
    return value;
}

std::optional<Target> targetOf(const std::string& url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
    // Only a full URL with a scheme counts: no guessing, no scheme the transfers do not speak.
    if (!parsed ||
        curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return std::nullopt;
    auto scheme = part(parsed.get(), CURLUPART_SCHEME);
    auto host = part(parsed.get(), CURLUPART_HOST);
    if (!scheme || !host || host->empty()) return std::nullopt;
    if (host->size() > 2 && host->front() == '[' && host->back() == ']')
        host = host->substr(1, host->size() - 2);
    return Target{*scheme, *host};
}

bool isLoopbackLiteral(const std::string& host) {
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) != 1) return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

bool allowed(const std::optional<Target>& target) {
    if (!target) return false;
    if (target->scheme == "https") return true;
    return target->scheme == "http" && isLoopbackLiteral(target->host);
}

} // namespace

bool isURLAllowedByRequestPolicy(const std::string& url) {
    return allowed(targetOf(url));
}

bool isRedirectAllowedByRequestPolicy(const std::string& from, const std::string& to) {
    auto origin = targetOf(from);
    auto target = targetOf(to);
    if (!allowed(origin) || !allowed(target)) return false;
    return !(origin->scheme == "https" && target->scheme != "https");
}

bool isLoopbackURL(const std::string& url) {
    auto target = targetOf(url);
    if (!target) return false;
    if (isLoopbackLiteral(target->host)) return true;
    std::string host = target->host;
    std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
    return host == "localhost" || host == "localhost.";
}

std::string requestPolicyRefusalReason(const std::string& url) {
    auto target = targetOf(url);
    if (!target) return "it is not a URL the app can send to";
    if (target->scheme != "http" && target->scheme != "https") return "only https is allowed";
    return "plain HTTP is allowed only to a loopback address (127.0.0.0/8, ::1); use https";
}

} // namespace net
