#pragma once
// The codec of a kit's "ObfuscatedKitInfo" configuration: the dictionary as a keyed archive (root object
// the dictionary, in the platform's archive layout), then as standard Base64 text without line breaks;
// the stored value is that text's bytes. It only keeps the configuration from being read at a glance;
// no key or other secret takes part.
//
// Failure contract: dictionaryWithObfuscatedData throws ns::Exception named "InvalidObfuscatedData"
// with the reason "Attempting to deobfuscate nil or empty data." for empty data, and "Improperly
// obfuscated data." when the text is not strict Base64 (no whitespace, padding only at the end), the
// bytes are not a keyed archive, or its root is not a dictionary. obfuscatedDataFromDictionary throws
// the same exception, reason "Improperly obfuscated data.", for a dictionary the archiver cannot write.
#include "platform/foundation/PropertyList.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ZOVObfuscator {
  public:
    static std::vector<std::uint8_t>
    obfuscatedDataFromDictionary(const ns::PropertyList::Dictionary& dictionary);
    static ns::PropertyList::Dictionary dictionaryWithObfuscatedData(const std::vector<std::uint8_t>& data);

    // Standard Base64, exposed for its tests: encoding without line breaks; strict decoding.
    static std::string base64Encode(const std::vector<std::uint8_t>& bytes);
    static std::optional<std::vector<std::uint8_t>> base64Decode(const std::vector<std::uint8_t>& text);
};
