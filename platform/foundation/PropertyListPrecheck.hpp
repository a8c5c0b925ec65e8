#pragma once
// Checks run on untrusted property-list bytes before libplist sees them. libplist parses (or frees)
// nesting recursively and asserts on a NUL inside a dictionary key; these checks walk the bytes without
// recursion and refuse such input first. Anything else malformed is left to libplist's own checks.
//
// libplist also reads an integer beyond the signed 64 bits (a 16-byte binary integer, or XML digits
// past INT64_MAX or below INT64_MIN) into a 64-bit word whose sign is then wrong (2^64 - 1 as -1): the
// integer checks find such values so they can be refused rather than changed.
//
// Failure contract: each check answers false only for what it looks for; it never reads out of bounds.
#include <cstdint>
#include <span>

namespace ns::plistcheck {

// Binary: no chain of arrays/sets/dictionaries deeper than maxDepth.
bool binaryNestingWithinLimit(std::span<const std::uint8_t> bytes, int maxDepth);
// Binary: no string object (ASCII or UTF-16) holds a NUL character.
bool binaryStringsFreeOfNul(std::span<const std::uint8_t> bytes);
// Binary: every integer object fits a signed 64-bit integer.
bool binaryIntegersFitInt64(std::span<const std::uint8_t> bytes);
// XML: no <array>/<dict> nesting deeper than maxDepth, however the tags are spelled.
bool xmlNestingWithinLimit(std::span<const std::uint8_t> bytes, int maxDepth);
// XML: every <integer> element's number fits a signed 64-bit integer. Elements are found as libplist
// finds them, whatever their start tags hold after the name (white space, attributes).
bool xmlIntegersFitInt64(std::span<const std::uint8_t> bytes);

} // namespace ns::plistcheck
