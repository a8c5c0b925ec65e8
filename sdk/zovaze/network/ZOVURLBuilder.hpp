#pragma once
// Builds the SDK's request URLs as text: a base, path pieces (escaped or not) and query parameters,
// then parses the text into a URL.
//
// Query parameters open with "?" for the first one this builder appends and "&" after that, whatever
// the base already holds. Escaping is the platform's whole-URL percent escaping with UTF-8: every byte
// outside ASCII, the control characters, the blank, '"', '%', '<', '>', '\', '^', '`', '{', '|', '}',
// '[' and ']' become "%XX" (upper-case hex); letters, digits, "-._~", the reserved characters
// "!$&'()*+,/:;=?@" and '#' stay as they are.
//
// Failure contract: appending never fails; URL() answers nothing when the text is not a valid URL
// (a character that may not stand in a URL, a bad percent escape, or an absolute URL that does not
// parse).
#include "platform/foundation/PropertyList.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class ZOVURLBuilder {
  public:
    static std::shared_ptr<ZOVURLBuilder> URLWithBase(const std::string& base);
    static std::string escapeString(const std::string& text);

    ZOVURLBuilder() = default;

    void appendComponent(const std::string& component);
    void escapeAndAppendComponent(const std::string& component);
    // A null value appends nothing; other values by their text (a number in decimal).
    void appendValue(const ns::PropertyList& value, const std::string& queryParam);

    std::optional<std::string> URL() const;

    const std::string& URLString() const { return URLString_; }
    void setURLString(std::string text) { URLString_ = std::move(text); }
    std::uint64_t queryParams() const { return queryParams_; }
    void setQueryParams(std::uint64_t count) { queryParams_ = count; }

  private:
    std::string URLString_;
    std::uint64_t queryParams_ = 0;
};
