#include "sdk/zovaze/network/ZOVNetworkResponseHandler.hpp"

#include <algorithm>
#include <cctype>

namespace {

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isClientError(long status) {
    switch (status) {
    case 400:
    case 401:
    case 403:
    case 404:
    case 406:
    case 410:
    case 411:
    case 413:
    case 419:
    case 422:
    case 431:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<std::string> ZOVNetworkResponseHandler::headerForResponse(const net::URLResponseRef& response,
                                                                        const std::string& key) {
    if (!response || !response->isHTTP()) return std::nullopt;
    return response->valueForHTTPHeaderField(key);
}

std::optional<double> ZOVNetworkResponseHandler::parseDecimalPrefix(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    double value = 0;
    bool digits = false;
    // Accumulating digit by digit and stopping at the limit keeps even a thousand-digit value finite.
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        digits = true;
        if (value < 1e12) value = value * 10 + (text[i] - '0');
    }
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, scale /= 10) {
            digits = true;
            value += (text[i] - '0') * scale;
        }
    }
    if (!digits) return std::nullopt;
    return negative ? -value : value;
}

double ZOVNetworkResponseHandler::retryValueForResponse(const net::URLResponseRef& response) {
    auto header = headerForResponse(response, "Retry-After");
    if (!header) return defaultRetryValue;
    double value = parseDecimalPrefix(*header).value_or(0.0);
    if (value < 0) return defaultRetryValue;
    return std::min(value, retryValueLimit);
}

std::optional<std::string>
ZOVNetworkResponseHandler::requestIdForResponse(const net::URLResponseRef& response) {
    return headerForResponse(response, "X-Request-Id");
}

bool ZOVNetworkResponseHandler::contentTypeForResponse(const net::URLResponseRef& response,
                                                       const net::URLRequest& request) {
    auto accept = request.valueForHTTPHeaderField("Accept");
    if (!accept) return true;
    auto contentType = headerForResponse(response, "Content-Type");
    if (!contentType) return false;
    auto charset = request.valueForHTTPHeaderField("Accept-Charset");
    static const std::string separator = "; charset=";
    auto split = contentType->find(separator);
    std::string type = contentType->substr(0, split);
    if (!equalIgnoringCase(type, *accept)) return false;
    if (!charset) return true;
    if (split == std::string::npos) return true;
    std::string rest = contentType->substr(split + separator.size());
    std::string second = rest.substr(0, rest.find(separator));
    return equalIgnoringCase(second, *charset);
}

ns::Error ZOVNetworkResponseHandler::errorForCode(long code, std::map<std::string, std::string> userInfo) {
    return ns::Error(zovaze::kNetworkErrorDomain, code, std::move(userInfo));
}

std::optional<ns::Error> ZOVNetworkResponseHandler::errorForResponse(const net::URLResponseRef& response,
                                                                     ZOVNetworkClientResponseType type,
                                                                     long status) {
    if (type == ZOVNetworkClientResponseTypeOK) return std::nullopt;
    long code = type == ZOVNetworkClientResponseTypeFailure       ? ZOVNetworkErrorCodeUnexpectedResponse
                : type == ZOVNetworkClientResponseTypeClientError ? ZOVNetworkErrorCodeClientError
                                                                  : ZOVNetworkErrorCodeRetry;
    return errorForCode(code, {
                                  {"type", std::to_string(static_cast<long>(type))},
                                  {"status_code", std::to_string(status)},
                                  {"request_id", requestIdForResponse(response).value_or("")},
                                  {"content_type", headerForResponse(response, "Content-Type").value_or("")},
                              });
}

void ZOVNetworkResponseHandler::clientResponseType(
    const net::URLResponseRef& response,
    const std::function<void(ZOVNetworkClientResponseType, long)>& handler) {
    if (!response || !response->isHTTP()) {
        handler(ZOVNetworkClientResponseTypeFailure, 0);
        return;
    }
    long status = *response->statusCode();
    ZOVNetworkClientResponseType type;
    switch (status) {
    case 200:
    case 201:
    case 202:
    case 204:
    case 304:
        type = ZOVNetworkClientResponseTypeOK;
        break;
    default:
        if (status >= 400 && status <= 431 && isClientError(status))
            type = ZOVNetworkClientResponseTypeClientError;
        else if (status == 420 || status == 429)
            type = ZOVNetworkClientResponseTypeRateLimited;
        else if (status == 408 || (status >= 500 && status <= 599))
            type = ZOVNetworkClientResponseTypeRetry;
        else
            type = ZOVNetworkClientResponseTypeFailure;
    }
    handler(type, status);
}

void ZOVNetworkResponseHandler::handleCompletedResponse(
    const net::URLResponseRef& response, const net::URLRequest& originalRequest,
    const std::optional<ns::Error>& error, const std::function<void(bool, std::optional<ns::Error>)>& block) {
    if (error) {
        block(false, error);
        return;
    }
    clientResponseType(response, [&](ZOVNetworkClientResponseType type, long status) {
        switch (type) {
        case ZOVNetworkClientResponseTypeOK:
            if (!contentTypeForResponse(response, originalRequest))
                block(false, errorForResponse(response, ZOVNetworkClientResponseTypeFailure, status));
            else
                block(false, std::nullopt);
            break;
        case ZOVNetworkClientResponseTypeFailure:
        case ZOVNetworkClientResponseTypeClientError:
            block(false, errorForResponse(response, type, status));
            break;
        case ZOVNetworkClientResponseTypeRetry:
        case ZOVNetworkClientResponseTypeRateLimited:
            block(true, errorForResponse(response, type, status));
            break;
        }
    });
}
