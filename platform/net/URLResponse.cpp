#include "platform/net/URLResponse.hpp"

#include <charconv>

namespace net {

std::string URLResponse::MIMEType() const {
    auto type = headers_.value("Content-Type");
    if (!type) return {};
    std::string text = type->substr(0, type->find(';'));
    auto first = text.find_first_not_of(" \t");
    auto last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::int64_t URLResponse::expectedContentLength() const {
    auto length = headers_.value("Content-Length");
    if (!length) return -1;
    std::int64_t value = -1;
    auto [end, ec] = std::from_chars(length->data(), length->data() + length->size(), value);
    if (ec != std::errc() || end != length->data() + length->size() || value < 0) return -1;
    return value;
}

} // namespace net
