#pragma once
// A decimal number kept exactly, as mantissa x 10^exponent, for amounts of money: 9.99 stays 999 x 10^-2,
// so 9.99 x 1000000 is exactly 9990000 (a binary double would give 9989999.999...).
//
// Failure contract: fromString answers nothing for text that is not a decimal number ("[-+]digits
// [.digits][e[-+]digits]", at most 18 significant digits); multiplying answers nothing when the
// product does not fit. Nothing throws.
#include "platform/foundation/PropertyList.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ns {

class DecimalNumber {
  public:
    constexpr DecimalNumber(std::int64_t mantissa = 0, std::int32_t exponent = 0)
        : mantissa_(mantissa), exponent_(exponent) {}
    static std::optional<DecimalNumber> fromString(std::string_view text);

    std::int64_t mantissa() const { return mantissa_; }
    std::int32_t exponent() const { return exponent_; }

    std::optional<DecimalNumber> multiplying(const DecimalNumber& other) const;

    // An integer when the value is whole and fits 64 bits, else the nearest double.
    PropertyList propertyListValue() const;
    // Plain decimal text without exponent: "9.99", "-0.5", "9990000".
    std::string stringValue() const;

    // Same value (1.50 equals 1.5).
    bool operator==(const DecimalNumber& other) const;

  private:
    // The same value with trailing zeros of the mantissa moved into the exponent.
    DecimalNumber normalized() const;

    std::int64_t mantissa_;
    std::int32_t exponent_;
};

} // namespace ns
