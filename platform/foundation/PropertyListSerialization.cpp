#include "platform/foundation/PropertyListSerialization.hpp"
#include "platform/foundation/FileContents.hpp"

#include "platform/foundation/PropertyListPrecheck.hpp"
#include "platform/foundation/Text.hpp"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>

namespace ns {
namespace {

Error plistError(PropertyListErrorCode code, std::string description) {
    return Error::make(propertyListErrorDomain, static_cast<long>(code), std::move(description));
}

Result<PlistNode> toNode(const PropertyList& value, int depth) {
    using T = PropertyList::Type;
    if (depth > maxPropertyListDepth)
        return plistError(PropertyListErrorCode::tooDeep, "property list nested too deeply to write");
    switch (value.type()) {
    case T::null:
        return plistError(PropertyListErrorCode::unsupported,
                          "a null value cannot be stored in a property list");
    case T::boolean:
        return PlistNode(plist_new_bool(*value.boolValue() ? 1 : 0));
    case T::integer:
        // libplist keeps integers as 64-bit words; negative values round-trip as two's complement.
        return PlistNode(plist_new_uint(static_cast<std::uint64_t>(*value.integerValue())));
    case T::real:
        return PlistNode(plist_new_real(*value.realValue()));
    case T::string: {
        const std::string& s = *value.stringValue();
        if (s.find('\0') != std::string::npos)
            return plistError(PropertyListErrorCode::unsupported,
                              "a string with a NUL character cannot be stored");
        if (!isValidUtf8(s))
            return plistError(PropertyListErrorCode::unsupported,
                              "a string that is not valid UTF-8 cannot be stored");
        return PlistNode(plist_new_string(s.c_str()));
    }
    case T::data: {
        const auto& d = *value.dataValue();
        if (d.size() > std::numeric_limits<std::uint32_t>::max())
            return plistError(PropertyListErrorCode::unsupported, "data too large for a property list");
        return PlistNode(plist_new_data(reinterpret_cast<const char*>(d.data()), d.size()));
    }
    case T::date: {
        double since2001 = value.dateValue()->timeIntervalSinceReferenceDate();
        double whole = std::floor(since2001);
        if (!(whole >= std::numeric_limits<std::int32_t>::min() &&
              whole <= std::numeric_limits<std::int32_t>::max()))
            return plistError(PropertyListErrorCode::unsupported,
                              "date out of the range a property list can store");
        auto usec = static_cast<std::int32_t>(std::llround((since2001 - whole) * 1e6));
        auto sec = static_cast<std::int32_t>(whole);
        if (usec >= 1000000 && sec < std::numeric_limits<std::int32_t>::max()) {
            usec -= 1000000;
            ++sec;
        } else if (usec >= 1000000) {
            usec = 999999;
        }
        return PlistNode(plist_new_date(sec, usec));
    }
    case T::array: {
        PlistNode node(plist_new_array());
        for (const auto& item : *value.arrayValue()) {
            auto child = toNode(item, depth + 1);
            if (!child) return child.error();
            plist_array_append_item(node.get(), child->release());
        }
        return node;
    }
    case T::dictionary: {
        PlistNode node(plist_new_dict());
        for (const auto& [key, item] : *value.dictionaryValue()) {
            if (key.find('\0') != std::string::npos || !isValidUtf8(key))
                return plistError(PropertyListErrorCode::unsupported, "dictionary key is not storable text");
            auto child = toNode(item, depth + 1);
            if (!child) return child.error();
            plist_dict_set_item(node.get(), key.c_str(), child->release());
        }
        return node;
    }
    case T::uid:
        return PlistNode(plist_new_uid(value.uidValue()->value));
    }
    return plistError(PropertyListErrorCode::unsupported, "unknown value type");
}

// Within one second of the reference date the split value has no sign left; the binary form of the
// lone date (marker 0x33, then a big-endian double) still has it.
// The seconds since 2001 that a date node holds. libplist hands them out only split into whole
// seconds and truncated microseconds, which drops a microsecond from many values (so a date would
// drift on every save) and the sign of dates within a second before 2001; the node's own binary form
// (the marker 0x33 and a big-endian double after the 8-byte header) holds them exactly.
std::optional<double> dateSeconds(plist_t node) {
    char* out = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(node, &out, &length);
    std::optional<double> seconds;
    if (out && length >= 9 + 8 && static_cast<unsigned char>(out[8]) == 0x33) {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = (bits << 8) | static_cast<unsigned char>(out[9 + i]);
        seconds = std::bit_cast<double>(bits);
    }
    if (out) plist_to_bin_free(out);
    return seconds;
}

Result<PropertyList> fromNode(plist_t node, int depth) {
    if (!node) return plistError(PropertyListErrorCode::corrupt, "missing property-list node");
    if (depth > maxPropertyListDepth)
        return plistError(PropertyListErrorCode::tooDeep, "property list nested too deeply");
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return PropertyList(b != 0);
    }
    case PLIST_UINT: {
        std::uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return PropertyList(static_cast<std::int64_t>(v));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return PropertyList(d);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        std::uint64_t length = 0;
        const char* p = plist_get_string_ptr(node, &length);
        std::string text(p ? p : "", p ? length : 0);
        // What the writers refuse is damage here: taken in, it would make the whole list unwritable.
        if (text.find('\0') != std::string::npos || !isValidUtf8(text))
            return plistError(PropertyListErrorCode::corrupt, "a string that is not valid text");
        return PropertyList(std::move(text));
    }
    case PLIST_DATA: {
        std::uint64_t length = 0;
        const char* p = plist_get_data_ptr(node, &length);
        PropertyList::Data data;
        if (p && length)
            data.assign(reinterpret_cast<const std::uint8_t*>(p),
                        reinterpret_cast<const std::uint8_t*>(p) + length);
        return PropertyList(std::move(data));
    }
    case PLIST_DATE: {
        const auto seconds = dateSeconds(node);
        // The writers store whole seconds in 32 bits: a date beyond them is damage.
        if (!seconds || !std::isfinite(*seconds) ||
            std::floor(*seconds) < std::numeric_limits<std::int32_t>::min() ||
            std::floor(*seconds) > std::numeric_limits<std::int32_t>::max())
            return plistError(PropertyListErrorCode::corrupt,
                              "a date out of the range a property list holds");
        return PropertyList(Date::fromTimeIntervalSinceReferenceDate(*seconds));
    }
    case PLIST_ARRAY: {
        // Walked with the iterator: reading by index starts from the first item every time.
        PropertyList::Array array;
        array.reserve(plist_array_get_size(node));
        plist_array_iter iter = nullptr;
        plist_array_new_iter(node, &iter);
        if (!iter) return plistError(PropertyListErrorCode::corrupt, "unreadable array");
        std::optional<Error> failure;
        for (;;) {
            plist_t child = nullptr;
            plist_array_next_item(node, iter, &child);
            if (!child) break;
            auto item = fromNode(child, depth + 1);
            if (!item) {
                failure = item.error();
                break;
            }
            array.push_back(std::move(item).value());
        }
        std::free(iter);
        if (failure) return *failure;
        return PropertyList(std::move(array));
    }
    case PLIST_DICT: {
        PropertyList::Dictionary dict;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        if (!iter) return plistError(PropertyListErrorCode::corrupt, "unreadable dictionary");
        std::optional<Error> failure;
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iter, &key, &item);
            if (!item) {
                std::free(key);
                break;
            }
            std::string k = key ? key : "";
            std::free(key);
            if (!isValidUtf8(k)) {
                failure =
                    plistError(PropertyListErrorCode::corrupt, "a dictionary key that is not valid text");
                break;
            }
            auto value = fromNode(item, depth + 1);
            if (!value) {
                failure = value.error();
                break;
            }
            dict.set(std::move(k), std::move(value).value());
        }
        std::free(iter);
        if (failure) return *failure;
        // XML has no UID element: writers spell a UID as a one-key dictionary {"CF$UID": n}.
        if (dict.size() == 1)
            if (const auto* uid = dict.find("CF$UID");
                uid && uid->integerValue() && *uid->integerValue() >= 0)
                return PropertyList(PropertyList::Uid{static_cast<std::uint64_t>(*uid->integerValue())});
        return PropertyList(std::move(dict));
    }
    case PLIST_UID: {
        std::uint64_t v = 0;
        plist_get_uid_val(node, &v);
        return PropertyList(PropertyList::Uid{v});
    }
    default:
        return plistError(PropertyListErrorCode::corrupt, "unknown property-list node type");
    }
}

} // namespace

Result<PlistNode> toPlistNode(const PropertyList& value) {
    return toNode(value, 0);
}
Result<PropertyList> fromPlistNode(plist_t node) {
    return fromNode(node, 0);
}

Result<PropertyList> readPropertyList(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return plistError(PropertyListErrorCode::corrupt, "no property-list data (empty)");
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max())
        return plistError(PropertyListErrorCode::corrupt, "property-list data too large");
    const char* raw = reinterpret_cast<const char*>(bytes.data());
    const auto length = static_cast<std::uint32_t>(bytes.size());
    const bool binary = plist_is_binary(raw, length) != 0;
    if (binary ? !plistcheck::binaryNestingWithinLimit(bytes, maxPropertyListDepth)
               : !plistcheck::xmlNestingWithinLimit(bytes, maxPropertyListDepth))
        return plistError(PropertyListErrorCode::tooDeep, "property list nested too deeply");
    if (binary && !plistcheck::binaryStringsFreeOfNul(bytes))
        return plistError(PropertyListErrorCode::corrupt, "damaged binary property list (NUL in a string)");
    if (binary ? !plistcheck::binaryIntegersFitInt64(bytes) : !plistcheck::xmlIntegersFitInt64(bytes))
        return plistError(PropertyListErrorCode::unsupported,
                          "an integer beyond the signed 64 bits a property list value holds");
    plist_t root = nullptr;
    if (binary)
        plist_from_bin(raw, length, &root);
    else
        plist_from_xml(raw, length, &root);
    if (!root)
        return plistError(PropertyListErrorCode::corrupt,
                          binary ? "damaged binary property list" : "damaged or unknown property-list data");
    const PlistNode owner(root);
    return fromNode(root, 0);
}

Result<PropertyList> readPropertyList(std::string_view bytes) {
    return readPropertyList(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

Result<PropertyList> readPropertyListFile(const std::filesystem::path& path, std::size_t limit) {
    const auto bytes = readFileIfPresent(path, limit);
    if (!bytes) return plistError(PropertyListErrorCode::readFailed, bytes.error().localizedDescription());
    if (!bytes->has_value())
        return plistError(PropertyListErrorCode::fileNotFound, "no file at " + path.string());
    return readPropertyList(std::span<const std::uint8_t>(**bytes));
}

Result<std::vector<std::uint8_t>> writePropertyList(const PropertyList& value, PropertyListFormat format) {
    const auto node = toPlistNode(value);
    if (!node) return node.error();
    char* out = nullptr;
    std::uint32_t length = 0;
    if (format == PropertyListFormat::binary)
        plist_to_bin(node->get(), &out, &length);
    else
        plist_to_xml(node->get(), &out, &length);
    if (!out) return plistError(PropertyListErrorCode::writeFailed, "the property list could not be encoded");
    std::vector<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(out),
                                    reinterpret_cast<std::uint8_t*>(out) + length);
    if (format == PropertyListFormat::binary)
        plist_to_bin_free(out);
    else
        plist_to_xml_free(out);
    return bytes;
}

} // namespace ns
