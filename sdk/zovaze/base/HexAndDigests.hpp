#pragma once
// Byte and identifier helpers every part of the SDK uses in requests, file names and records: new UUID
// strings, lower-case hexadecimal text of bytes, SHA-1 digests, and walking a buffer's byte ranges.
// Plain functions without state; safe from any thread. (The app and device facts live in
// ZOVDeviceFacts.hpp.)
//
// Failure contract: none of these fails, raises or logs. ZOVHexEncodeBytes does nothing without an
// output buffer and writes the empty text when there are no input bytes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zovaze {

struct ByteRange {
    std::size_t location = 0;
    std::size_t length = 0;
};

} // namespace zovaze

// A new random UUID: 36 characters, upper-case hexadecimal in groups 8-4-4-4-12 joined by "-".
std::string ZOVGenerateUUIDString();

// Writes 2n digits ("0123456789abcdef", high nibble first) and a zero byte into `output`, which must
// hold at least 2n + 1 bytes.
void ZOVHexEncodeBytes(const std::uint8_t* bytes, std::size_t length, char* output);
std::string ZOVHexStringFromData(const std::vector<std::uint8_t>& data);
std::string ZOVHexStringFromUUIDBytes(const std::uint8_t (&bytes)[16]);

// The SHA-1 digest (FIPS 180-4) as 40 hexadecimal digits; null bytes count as no bytes.
std::string ZOVSHA1HexFromBytes(const std::uint8_t* bytes, std::uint32_t length);
std::string ZOVSHA1HexFromData(const std::vector<std::uint8_t>& data);

// Calls the block once per contiguous piece of the buffer (a vector is one piece: the whole of it, even
// when empty), with the bytes, the piece's range and a stop flag that starts false.
void ZOVEnumerateDataByteRanges(
    const std::vector<std::uint8_t>& data,
    const std::function<void(const std::uint8_t* bytes, zovaze::ByteRange range, bool& stop)>& block);
