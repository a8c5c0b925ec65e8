#pragma once
// Hexadecimal digits of bytes, written into the caller's buffer: no allocation, no locks and no library
// call, so crash handlers use it as freely as record writers, identifiers and URL escapes do.
//
// Failure contract: none. Each byte becomes two digits, high nibble first; nothing is terminated.
#include <cstddef>
#include <cstdint>

namespace ns {

enum class HexCase : bool { lower, upper };

// The digit of the low four bits of `nibble`.
constexpr char hexDigit(unsigned nibble, HexCase letters = HexCase::lower) {
    return (letters == HexCase::upper ? "0123456789ABCDEF" : "0123456789abcdef")[nibble & 0xF];
}

// Writes the two digits of `byte` at `out`; answers the position after them.
constexpr char* hexEncodeByte(std::uint8_t byte, char* out, HexCase letters = HexCase::lower) {
    out[0] = hexDigit(byte >> 4, letters);
    out[1] = hexDigit(byte, letters);
    return out + 2;
}

// Writes 2 * length digits of `bytes` at `out`; answers the position after them.
inline char* hexEncode(const void* bytes, std::size_t length, char* out, HexCase letters = HexCase::lower) {
    const auto* in = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < length; ++i)
        out = hexEncodeByte(in[i], out, letters);
    return out;
}

} // namespace ns
