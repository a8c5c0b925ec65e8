#include "platform/foundation/DecimalNumber.hpp"

#include <cmath>
#include <limits>

namespace ns {

namespace {
constexpr int kMaxDigits = 18; // every 18-digit mantissa fits in 64 bits
constexpr std::int32_t kExponentLimit = 1000;
} // namespace

std::optional<DecimalNumber> DecimalNumber::fromString(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t mantissa = 0;
    std::int32_t exponent = 0;
    int digits = 0;
    int significant = 0;
    bool fraction = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && !fraction) {
            fraction = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        ++digits;
        if (significant == 0 && c == '0') {
            if (fraction) --exponent;
            continue;
        }
        if (++significant > kMaxDigits) return std::nullopt;
        mantissa = mantissa * 10 + (c - '0');
        if (fraction) --exponent;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) negativeExponent = text[i++] == '-';
        std::int32_t value = 0;
        std::size_t start = i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            value = value * 10 + (text[i] - '0');
            if (value > kExponentLimit) return std::nullopt;
        }
        if (i == start) return std::nullopt;
        exponent += negativeExponent ? -value : value;
    }
    if (i != text.size()) return std::nullopt;
    return DecimalNumber(negative ? -mantissa : mantissa, mantissa == 0 ? 0 : exponent).normalized();
}

DecimalNumber DecimalNumber::normalized() const {
    if (mantissa_ == 0) return DecimalNumber(0, 0);
    std::int64_t mantissa = mantissa_;
    std::int32_t exponent = exponent_;
    while (mantissa % 10 == 0) {
        mantissa /= 10;
        ++exponent;
    }
    return DecimalNumber(mantissa, exponent);
}

std::optional<DecimalNumber> DecimalNumber::multiplying(const DecimalNumber& other) const {
    DecimalNumber a = normalized();
    DecimalNumber b = other.normalized();
    std::int64_t product = 0;
    if (__builtin_mul_overflow(a.mantissa_, b.mantissa_, &product)) return std::nullopt;
    const std::int64_t exponent = std::int64_t(a.exponent_) + b.exponent_;
    if (exponent > kExponentLimit || exponent < -kExponentLimit) return std::nullopt;
    return DecimalNumber(product, static_cast<std::int32_t>(exponent)).normalized();
}

bool DecimalNumber::operator==(const DecimalNumber& other) const {
    DecimalNumber a = normalized();
    DecimalNumber b = other.normalized();
    return a.mantissa_ == b.mantissa_ && a.exponent_ == b.exponent_;
}

PropertyList DecimalNumber::propertyListValue() const {
    DecimalNumber value = normalized();
    std::int64_t whole = value.mantissa_;
    bool fits = value.exponent_ >= 0;
    for (std::int32_t e = 0; fits && e < value.exponent_; ++e)
        fits = !__builtin_mul_overflow(whole, std::int64_t{10}, &whole);
    if (fits) return PropertyList(whole);
    return PropertyList(static_cast<double>(value.mantissa_) * std::pow(10.0, value.exponent_));
}

std::string DecimalNumber::stringValue() const {
    DecimalNumber value = normalized();
    const bool negative = value.mantissa_ < 0;
    // The magnitude as digits (the most negative mantissa cannot be negated in 64 bits).
    std::string digits = std::to_string(value.mantissa_);
    if (negative) digits.erase(0, 1);
    std::string text;
    if (value.exponent_ >= 0) {
        text = digits + std::string(static_cast<std::size_t>(value.exponent_), '0');
    } else {
        const std::size_t fraction = static_cast<std::size_t>(-std::int64_t(value.exponent_));
        if (digits.size() <= fraction) digits.insert(0, fraction - digits.size() + 1, '0');
        text = digits.substr(0, digits.size() - fraction) + "." + digits.substr(digits.size() - fraction);
    }
    if (value.mantissa_ == 0) return "0";
    return negative ? "-" + text : text;
}

} // namespace ns
