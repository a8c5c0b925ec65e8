#include "sdk/zovaze/base/HexAndDigests.hpp"

#include "platform/foundation/Hex.hpp"
#include "platform/foundation/UUID.hpp"

// SHA1() and the EVP interface fetch the digest from OpenSSL's providers, and the first fetch in a
// process sets the library up (configuration file, provider tables): about six million instructions at
// start, for digests of a few dozen bytes. The low-level SHA1_Init/Update/Final compute the same digest
// with the same code and need no set-up; OpenSSL 3 marks them deprecated, not removed.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <cstring>

std::string ZOVGenerateUUIDString() {
    return ns::UUID::random().string();
}

void ZOVHexEncodeBytes(const std::uint8_t* bytes, std::size_t length, char* output) {
    if (output == nullptr) return;
    std::memset(output, 0, 2 * length + 1);
    if (bytes == nullptr || length == 0) return;
    ns::hexEncode(bytes, length, output);
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
    std::uint8_t digest[SHA_DIGEST_LENGTH];
    SHA_CTX context;
    SHA1_Init(&context);
    if (bytes) SHA1_Update(&context, bytes, length);
    SHA1_Final(digest, &context);
    char text[2 * SHA_DIGEST_LENGTH + 1];
    ZOVHexEncodeBytes(digest, sizeof digest, text);
    return std::string(text, 2 * SHA_DIGEST_LENGTH);
}

std::string ZOVSHA1HexFromData(const std::vector<std::uint8_t>& data) {
    return ZOVSHA1HexFromBytes(data.data(), static_cast<std::uint32_t>(data.size()));
}

void ZOVEnumerateDataByteRanges(
    const std::vector<std::uint8_t>& data,
    const std::function<void(const std::uint8_t*, zovaze::ByteRange, bool&)>& block) {
    bool stop = false;
    block(data.data(), zovaze::ByteRange{0, data.size()}, stop);
}
