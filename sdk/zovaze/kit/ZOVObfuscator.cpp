#include "sdk/zovaze/kit/ZOVObfuscator.hpp"

#include "platform/foundation/Exception.hpp"
#include "platform/foundation/KeyedArchive.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"

#include <openssl/evp.h>

namespace {

constexpr const char* kExceptionName = "InvalidObfuscatedData";
constexpr const char* kImproper = "Improperly obfuscated data.";
constexpr const char* kValueKey = "root";

[[noreturn]] void improper() {
    throw ns::Exception(kExceptionName, kImproper);
}

using Uid = ns::PropertyList::Uid;

// The archiver writes one object with keyed values; the dictionary goes in under one key, and the
// archive's top is then pointed straight at the dictionary's own entry, which is how the platform
// archives a dictionary root.
std::vector<std::uint8_t> archiveDictionary(const ns::PropertyList::Dictionary& dictionary) {
    ns::KeyedArchiver archiver("NSObject");
    archiver.encodeObject(kValueKey, ns::PropertyList(dictionary));
    auto tree = archiver.archiveTree();
    if (!tree) improper();
    auto* top = tree.value().dictionaryValue();
    auto* objects = top ? top->find("$objects") : nullptr;
    auto* topRef = top ? top->find("$top") : nullptr;
    if (!objects || !objects->arrayValue() || !topRef || !topRef->dictionaryValue()) improper();
    const auto* rootRef = topRef->dictionaryValue()->find("root");
    if (!rootRef || !rootRef->uidValue() || rootRef->uidValue()->value >= objects->arrayValue()->size())
        improper();
    const auto* wrapper = (*objects->arrayValue())[rootRef->uidValue()->value].dictionaryValue();
    const auto* dictionaryRef = wrapper ? wrapper->find(kValueKey) : nullptr;
    if (!dictionaryRef || !dictionaryRef->uidValue()) improper();
    topRef->dictionaryValue()->set("root", *dictionaryRef);
    auto bytes = ns::writePropertyList(tree.value(), ns::PropertyListFormat::binary);
    if (!bytes) improper();
    return std::move(bytes).value();
}

// The reverse: wrap whatever the top points at in one keyed object, so the foundation unarchiver (which
// checks every reference, type and cycle) decodes it as that object's one value.
ns::PropertyList::Dictionary unarchiveDictionary(const std::vector<std::uint8_t>& bytes) {
    auto tree = ns::readPropertyList(std::span<const std::uint8_t>(bytes));
    if (!tree) improper();
    auto* top = tree.value().dictionaryValue();
    auto* objectsValue = top ? top->find("$objects") : nullptr;
    auto* objects = objectsValue ? objectsValue->arrayValue() : nullptr;
    auto* topValue = top ? top->find("$top") : nullptr;
    auto* topRef = topValue ? topValue->dictionaryValue() : nullptr;
    const auto* rootRef = topRef ? topRef->find("root") : nullptr;
    if (!objects || !rootRef || !rootRef->uidValue()) improper();
    const std::uint64_t classIndex = objects->size();
    objects->push_back(ns::PropertyList(ns::PropertyList::Dictionary{
        {"$classname", "ZOVObfuscatedKitInfo"},
        {"$classes", ns::PropertyList(ns::PropertyList::Array{"ZOVObfuscatedKitInfo", "NSObject"})}}));
    objects->push_back(ns::PropertyList(
        ns::PropertyList::Dictionary{{"$class", ns::PropertyList(Uid{classIndex})}, {kValueKey, *rootRef}}));
    topRef->set("root", ns::PropertyList(Uid{classIndex + 1}));
    auto object = ns::KeyedUnarchiver::unarchiveTree(tree.value());
    if (!object) improper();
    const ns::PropertyList* value = object.value().decodeObject(kValueKey);
    if (!value || !value->dictionaryValue()) improper();
    return *value->dictionaryValue();
}

} // namespace

std::string ZOVObfuscator::base64Encode(const std::vector<std::uint8_t>& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                        static_cast<int>(bytes.size()));
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

std::optional<std::vector<std::uint8_t>> ZOVObfuscator::base64Decode(const std::vector<std::uint8_t>& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t c = text[i];
        const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                              c == '+' || c == '/';
        if (c == '=') {
            // Padding: at most two characters, and only at the very end.
            if (i + 2 < text.size()) return std::nullopt;
            ++padding;
        } else if (!alphabet || padding > 0) {
            return std::nullopt;
        }
    }
    std::vector<std::uint8_t> bytes(3 * (text.size() / 4));
    if (text.empty()) return bytes;
    const int decoded = EVP_DecodeBlock(bytes.data(), text.data(), static_cast<int>(text.size()));
    if (decoded < 0 || static_cast<std::size_t>(decoded) < padding) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(decoded) - padding);
    return bytes;
}

std::vector<std::uint8_t>
ZOVObfuscator::obfuscatedDataFromDictionary(const ns::PropertyList::Dictionary& dictionary) {
    const std::string text = base64Encode(archiveDictionary(dictionary));
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

ns::PropertyList::Dictionary
ZOVObfuscator::dictionaryWithObfuscatedData(const std::vector<std::uint8_t>& data) {
    if (data.empty()) throw ns::Exception(kExceptionName, "Attempting to deobfuscate nil or empty data.");
    auto archive = base64Decode(data);
    if (!archive || archive->empty()) improper();
    return unarchiveDictionary(*archive);
}
