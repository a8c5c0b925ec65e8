#include "sdk/rurorad/events/Text.hpp"

#include "platform/foundation/Text.hpp"

namespace {

std::size_t unitsOf(char32_t scalar) {
    return scalar > 0xFFFF ? 2 : 1;
}

} // namespace

std::string rurorad::validUTF8(std::string_view text) {
    if (ns::isValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    ns::forEachScalar(text, [&](const ns::Scalar& scalar) { ns::appendScalar(out, scalar.value); });
    return out;
}

std::string rurorad::truncateUTF16(std::string_view text, std::size_t limit, bool& wasCut) {
    wasCut = false;
    if (ns::isAscii(text)) {
        if (text.size() <= limit) return std::string(text);
        wasCut = true;
        return std::string(text.substr(0, limit));
    }
    std::string out;
    std::size_t units = 0;
    ns::forEachScalar(text, [&](const ns::Scalar& scalar) {
        if (wasCut) return;
        units += unitsOf(scalar.value);
        if (units > limit) {
            wasCut = true;
            return;
        }
        ns::appendScalar(out, scalar.value);
    });
    return out;
}

std::size_t rurorad::utf16Length(std::string_view text) {
    if (ns::isAscii(text)) return text.size();
    std::size_t units = 0;
    ns::forEachScalar(text, [&](const ns::Scalar& scalar) { units += unitsOf(scalar.value); });
    return units;
}

std::int32_t rurorad::javaHashCode(std::string_view text) {
    std::uint32_t h = 0;
    auto step = [&h](std::uint32_t unit) { h = 31 * h + unit; };
    ns::forEachScalar(text, [&](const ns::Scalar& scalar) {
        const char32_t c = scalar.value;
        if (c > 0xFFFF) {
            const char32_t v = c - 0x10000;
            step(0xD800 + (v >> 10));
            step(0xDC00 + (v & 0x3FF));
        } else {
            step(c);
        }
    });
    return static_cast<std::int32_t>(h);
}
