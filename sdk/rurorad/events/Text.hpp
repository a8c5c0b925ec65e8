#pragma once
// Text rules of analytics values. Lengths count UTF-16 code units, as the analytics server does; a cut
// never ends inside a character's encoding (a surrogate pair or a UTF-8 sequence), so it may keep one
// unit less than the limit. Bytes that are not UTF-8 become U+FFFD, so every value written is valid
// UTF-8.
//
// Failure contract: none; any bytes are accepted.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rurorad {

// The text made valid UTF-8 (each invalid byte replaced by U+FFFD).
std::string validUTF8(std::string_view text);
// The text made valid and cut to at most `limit` UTF-16 units; `wasCut` tells whether anything was
// dropped.
std::string truncateUTF16(std::string_view text, std::size_t limit, bool& wasCut);
std::size_t utf16Length(std::string_view text);
// h = 31 h + c over the UTF-16 units, modulo 2^32, read as a signed 32-bit number.
std::int32_t javaHashCode(std::string_view text);

} // namespace rurorad
