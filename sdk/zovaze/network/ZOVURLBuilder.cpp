#include "sdk/zovaze/network/ZOVURLBuilder.hpp"

#include "platform/foundation/Hex.hpp"

#include "sdk/zovaze/network/ZOVMultipartMimeStreamEncoder.hpp"

#include <curl/curl.h>

#include <cctype>
#include <cstring>

namespace {

bool staysUnescaped(unsigned char c) {
    if (std::isalnum(c)) return true;
    return std::strchr("-._~!$&'()*+,/:;=?@#", c) != nullptr && c != '\0';
}

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

std::shared_ptr<ZOVURLBuilder> ZOVURLBuilder::URLWithBase(const std::string& base) {
    auto builder = std::make_shared<ZOVURLBuilder>();
    builder->appendComponent(base);
    return builder;
}

std::string ZOVURLBuilder::escapeString(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (unsigned char c : text) {
        if (staysUnescaped(c)) {
            escaped += static_cast<char>(c);
        } else {
            char digits[2];
            ns::hexEncodeByte(c, digits, ns::HexCase::upper);
            escaped += '%';
            escaped.append(digits, 2);
        }
    }
    return escaped;
}

void ZOVURLBuilder::appendComponent(const std::string& component) {
    URLString_ += component;
}

void ZOVURLBuilder::escapeAndAppendComponent(const std::string& component) {
    URLString_ += escapeString(component);
}

void ZOVURLBuilder::appendValue(const ns::PropertyList& value, const std::string& queryParam) {
    auto text = ZOVMultipartMimeStreamEncoder::textForValue(value);
    if (!text) return;
    URLString_ += queryParams_ > 0 ? "&" : "?";
    ++queryParams_;
    URLString_ += queryParam;
    URLString_ += "=";
    URLString_ += escapeString(*text);
}

std::optional<std::string> ZOVURLBuilder::URL() const {
    const std::string& text = URLString_;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) return std::nullopt;
            continue;
        }
        if (!staysUnescaped(c) && c != '[' && c != ']') return std::nullopt;
    }
    // Text with a scheme must parse as an absolute URL; scheme-less text is a relative reference.
    auto colon = text.find(':');
    bool hasScheme =
        colon != std::string::npos && colon > 0 && std::isalpha(static_cast<unsigned char>(text[0]));
    for (std::size_t i = 1; hasScheme && i < colon; ++i)
        if (!std::isalnum(static_cast<unsigned char>(text[i])) && !std::strchr("+-.", text[i]))
            hasScheme = false;
    if (hasScheme) {
        CURLU* parsed = curl_url();
        bool ok = parsed &&
                  curl_url_set(parsed, CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
        if (parsed) curl_url_cleanup(parsed);
        if (!ok) return std::nullopt;
    }
    return text;
}
