#include "sdk/zovaze/ZOVApplicationFacts.hpp"

#include "platform/foundation/UUID.hpp"

#include <openssl/sha.h>

#include <cstring>

std::string ZOVGenerateUUIDString() {
    return ns::UUID::random().string();
}

void ZOVHexEncodeBytes(const std::uint8_t* bytes, std::size_t length, char* output) {
    static const char digits[] = "0123456789abcdef";
    if (output == nullptr) return;
    std::memset(output, 0, 2 * length + 1);
    if (bytes == nullptr || length == 0) return;
    for (std::size_t i = 0; i < length; ++i) {
        output[2 * i] = digits[bytes[i] >> 4];
        output[2 * i + 1] = digits[bytes[i] & 0x0f];
    }
}

std::string ZOVHexStringFromData(const std::vector<std::uint8_t>& data) {
    std::string text(2 * data.size() + 1, '\0');
    ZOVHexEncodeBytes(data.data(), data.size(), text.data());
    text.resize(2 * data.size());
    return text;
}

std::string ZOVHexStringFromUUIDBytes(const std::uint8_t (&bytes)[16]) {
    char buffer[33];
    ZOVHexEncodeBytes(bytes, 16, buffer);
    return std::string(buffer, 32);
}

std::string ZOVSHA1HexFromBytes(const std::uint8_t* bytes, std::uint32_t length) {
    static const std::uint8_t nothing = 0;
    std::vector<std::uint8_t> digest(SHA_DIGEST_LENGTH);
    SHA1(bytes ? bytes : &nothing, bytes ? length : 0, digest.data());
    return ZOVHexStringFromData(digest);
}

std::string ZOVSHA1HexFromData(const std::vector<std::uint8_t>& data) {
    return ZOVSHA1HexFromBytes(data.data(), static_cast<std::uint32_t>(data.size()));
}

void ZOVEnumerateDataByteRanges(const std::vector<std::uint8_t>& data,
                                const std::function<void(const std::uint8_t*, ZOVByteRange, bool&)>& block) {
    bool stop = false;
    block(data.data(), ZOVByteRange{0, data.size()}, stop);
}
