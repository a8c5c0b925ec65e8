#include "platform/foundation/PropertyListSerialization.hpp"

#include "platform/foundation/Text.hpp"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>

namespace ns {
namespace {

Error plistError(PropertyListErrorCode code, std::string description) {
    return Error::make(propertyListErrorDomain, static_cast<long>(code), std::move(description));
}

struct NodeDeleter {
    void operator()(void* node) const {
        if (node) plist_free(node);
    }
};
using NodePtr = std::unique_ptr<void, NodeDeleter>;

Result<plist_t> toNode(const PropertyList& value, int depth) {
    using T = PropertyList::Type;
    if (depth > maxPropertyListDepth)
        return plistError(PropertyListErrorCode::tooDeep, "property list nested too deeply to write");
    switch (value.type()) {
    case T::null:
        return plistError(PropertyListErrorCode::unsupported,
                          "a null value cannot be stored in a property list");
    case T::boolean:
        return plist_new_bool(*value.boolValue() ? 1 : 0);
    case T::integer:
        // libplist keeps integers as 64-bit words; negative values round-trip as two's complement.
        return plist_new_uint(static_cast<std::uint64_t>(*value.integerValue()));
    case T::real:
        return plist_new_real(*value.realValue());
    case T::string: {
        const std::string& s = *value.stringValue();
        if (s.find('\0') != std::string::npos)
            return plistError(PropertyListErrorCode::unsupported,
                              "a string with a NUL character cannot be stored");
        if (!isValidUtf8(s))
            return plistError(PropertyListErrorCode::unsupported,
                              "a string that is not valid UTF-8 cannot be stored");
        return plist_new_string(s.c_str());
    }
    case T::data: {
        const auto& d = *value.dataValue();
        if (d.size() > std::numeric_limits<std::uint32_t>::max())
            return plistError(PropertyListErrorCode::unsupported, "data too large for a property list");
        return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
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
        return plist_new_date(sec, usec);
    }
    case T::array: {
        NodePtr node(plist_new_array());
        for (const auto& item : *value.arrayValue()) {
            auto child = toNode(item, depth + 1);
            if (!child) return child.error();
            plist_array_append_item(node.get(), *child);
        }
        return node.release();
    }
    case T::dictionary: {
        NodePtr node(plist_new_dict());
        for (const auto& [key, item] : *value.dictionaryValue()) {
            if (key.find('\0') != std::string::npos || !isValidUtf8(key))
                return plistError(PropertyListErrorCode::unsupported, "dictionary key is not storable text");
            auto child = toNode(item, depth + 1);
            if (!child) return child.error();
            plist_dict_set_item(node.get(), key.c_str(), *child);
        }
        return node.release();
    }
    case T::uid:
        return plist_new_uid(value.uidValue()->value);
    }
    return plistError(PropertyListErrorCode::unsupported, "unknown value type");
}

// Within one second of the reference date the split value has no sign left; the binary form of the
// lone date (marker 0x33, then a big-endian double) still has it.
bool dateWithinFirstSecondIsNegative(plist_t node) {
    char* out = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(node, &out, &length);
    bool negative = false;
    if (out && length > 9 + 8 && static_cast<unsigned char>(out[8]) == 0x33)
        negative = (static_cast<unsigned char>(out[9]) & 0x80) != 0;
    if (out) plist_to_bin_free(out);
    return negative;
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
        return PropertyList(std::string(p ? p : "", p ? length : 0));
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
        std::int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        // libplist splits the stored seconds by truncation and hands out the fraction's magnitude only,
        // so dates before 2001 need the sign put back.
        const double magnitude =
            std::fabs(static_cast<double>(sec)) + std::fabs(static_cast<double>(usec)) / 1e6;
        bool negative = sec < 0;
        if (sec == 0 && usec != 0) negative = dateWithinFirstSecondIsNegative(node);
        return PropertyList(Date::fromTimeIntervalSinceReferenceDate(negative ? -magnitude : magnitude));
    }
    case PLIST_ARRAY: {
        PropertyList::Array array;
        const std::uint32_t n = plist_array_get_size(node);
        array.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            auto item = fromNode(plist_array_get_item(node, i), depth + 1);
            if (!item) return item.error();
            array.push_back(std::move(item).value());
        }
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

// Binary property lists nest by object references; libplist parses them recursively, so refuse
// trees deeper than we accept before handing them over. Scans the binary format's object table
// iteratively (no recursion on hostile input); anything it cannot follow is left to libplist, which
// validates offsets and references itself.
bool binaryNestingWithinLimit(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 8 + 32) return true;
    const std::uint8_t* trailer = bytes.data() + bytes.size() - 32;
    const unsigned offsetSize = trailer[6];
    const unsigned refSize = trailer[7];
    auto be = [](const std::uint8_t* p, unsigned n) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < n; ++i)
            v = v << 8 | p[i];
        return v;
    };
    const std::uint64_t numObjects = be(trailer + 8, 8);
    const std::uint64_t topObject = be(trailer + 16, 8);
    const std::uint64_t tableOffset = be(trailer + 24, 8);
    const std::uint64_t dataEnd = bytes.size() - 32;
    if (offsetSize == 0 || offsetSize > 8 || refSize == 0 || refSize > 8 || numObjects == 0 ||
        topObject >= numObjects || tableOffset >= dataEnd ||
        numObjects > (dataEnd - tableOffset) / offsetSize)
        return true; // malformed: libplist rejects it on its own terms
    auto objectOffset = [&](std::uint64_t index) -> std::uint64_t {
        return be(bytes.data() + tableOffset + index * offsetSize, offsetSize);
    };
    // Depth of each object, computed by an explicit stack (post-order). 0 = not yet known.
    std::vector<std::uint32_t> depth(static_cast<std::size_t>(numObjects), 0);
    std::vector<std::uint8_t> state(static_cast<std::size_t>(numObjects), 0); // 0 new, 1 open, 2 done
    struct Frame {
        std::uint64_t object;
        std::uint64_t next; // next child index
    };
    auto children = [&](std::uint64_t object, std::uint64_t& first, std::uint64_t& count, bool& isDict) {
        count = 0;
        std::uint64_t off = objectOffset(object);
        if (off >= dataEnd) return;
        const std::uint8_t marker = bytes[off];
        const unsigned kind = marker >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD) return;
        isDict = kind == 0xD;
        std::uint64_t n = marker & 0x0F;
        std::uint64_t pos = off + 1;
        if (n == 0x0F) {
            if (pos >= dataEnd || (bytes[pos] >> 4) != 0x1) return;
            const unsigned width = 1u << (bytes[pos] & 0x0F);
            if (width > 8 || pos + 1 + width > dataEnd) return;
            n = be(bytes.data() + pos + 1, width);
            pos += 1 + width;
        }
        const std::uint64_t refs = isDict ? 2 * n : n;
        if (n > dataEnd || refs > (dataEnd - pos) / refSize) return;
        first = pos;
        count = n;
    };
    std::vector<Frame> stack;
    stack.push_back({topObject, 0});
    state[topObject] = 1;
    while (!stack.empty()) {
        Frame& f = stack.back();
        std::uint64_t first = 0, count = 0;
        bool isDict = false;
        children(f.object, first, count, isDict);
        if (f.next < count) {
            // Dictionary values follow the keys; only containers matter, keys are strings.
            std::uint64_t refPos = first + (isDict ? count + f.next : f.next) * refSize;
            std::uint64_t child = be(bytes.data() + refPos, refSize);
            ++f.next;
            if (child >= numObjects || state[child] == 1)
                return true; // bad reference or cycle: libplist reports it
            if (state[child] == 0) {
                state[child] = 1;
                stack.push_back({child, 0});
                if (stack.size() > static_cast<std::size_t>(maxPropertyListDepth) + 1) return false;
            }
            continue;
        }
        std::uint32_t d = 0;
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint64_t refPos = first + (isDict ? count + i : i) * refSize;
            std::uint64_t child = be(bytes.data() + refPos, refSize);
            if (child < numObjects) d = std::max(d, depth[child] + 1);
        }
        if (d > static_cast<std::uint32_t>(maxPropertyListDepth)) return false;
        depth[f.object] = d;
        state[f.object] = 2;
        stack.pop_back();
    }
    return true;
}

// libplist aborts (an assertion) when a dictionary key holds a NUL character, so refuse any string
// object with one before it is parsed. Strings with NUL cannot be written by us either.
bool binaryStringsFreeOfNul(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 8 + 32) return true;
    const std::uint8_t* trailer = bytes.data() + bytes.size() - 32;
    const unsigned offsetSize = trailer[6];
    auto be = [](const std::uint8_t* p, unsigned n) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < n; ++i)
            v = v << 8 | p[i];
        return v;
    };
    const std::uint64_t numObjects = be(trailer + 8, 8);
    const std::uint64_t tableOffset = be(trailer + 24, 8);
    const std::uint64_t dataEnd = bytes.size() - 32;
    if (offsetSize == 0 || offsetSize > 8 || tableOffset >= dataEnd ||
        numObjects > (dataEnd - tableOffset) / offsetSize)
        return true; // malformed: libplist rejects it on its own terms
    for (std::uint64_t i = 0; i < numObjects; ++i) {
        const std::uint64_t off = be(bytes.data() + tableOffset + i * offsetSize, offsetSize);
        if (off >= dataEnd) continue;
        const unsigned kind = bytes[off] >> 4;
        if (kind != 0x5 && kind != 0x6) continue;
        std::uint64_t n = bytes[off] & 0x0F;
        std::uint64_t pos = off + 1;
        if (n == 0x0F) {
            if (pos >= dataEnd || (bytes[pos] >> 4) != 0x1) continue;
            const unsigned width = 1u << (bytes[pos] & 0x0F);
            if (width > 8 || pos + 1 + width > dataEnd) continue;
            n = be(bytes.data() + pos + 1, width);
            pos += 1 + width;
        }
        const std::uint64_t unit = kind == 0x6 ? 2 : 1;
        if (n > dataEnd || n * unit > dataEnd - pos) continue;
        for (std::uint64_t j = 0; j < n; ++j) {
            const std::uint8_t* c = bytes.data() + pos + j * unit;
            if (c[0] == 0 && (unit == 1 || c[1] == 0)) return false;
        }
    }
    return true;
}

// XML nests by elements; count the deepest <array>/<dict> nesting before libplist recurses into it.
bool xmlNestingWithinLimit(std::span<const std::uint8_t> bytes) {
    long level = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '<') continue;
        std::string_view rest(reinterpret_cast<const char*>(bytes.data()) + i + 1, bytes.size() - i - 1);
        if (rest.starts_with("array>") || rest.starts_with("dict>") || rest.starts_with("array ") ||
            rest.starts_with("dict ")) {
            if (++level > maxPropertyListDepth) return false;
        } else if (rest.starts_with("/array") || rest.starts_with("/dict")) {
            --level;
        }
    }
    return true;
}

} // namespace

Result<plist_t> toPlistNode(const PropertyList& value) {
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
    if (binary ? !binaryNestingWithinLimit(bytes) : !xmlNestingWithinLimit(bytes))
        return plistError(PropertyListErrorCode::tooDeep, "property list nested too deeply");
    if (binary && !binaryStringsFreeOfNul(bytes))
        return plistError(PropertyListErrorCode::corrupt, "damaged binary property list (NUL in a string)");
    plist_t root = nullptr;
    if (binary)
        plist_from_bin(raw, length, &root);
    else
        plist_from_xml(raw, length, &root);
    if (!root)
        return plistError(PropertyListErrorCode::corrupt,
                          binary ? "damaged binary property list" : "damaged or unknown property-list data");
    NodePtr owner(root);
    return fromNode(root, 0);
}

Result<PropertyList> readPropertyList(std::string_view bytes) {
    return readPropertyList(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

Result<PropertyList> readPropertyListFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return plistError(PropertyListErrorCode::fileNotFound, "no file at " + path.string());
    if (!std::filesystem::is_regular_file(path, ec))
        return plistError(PropertyListErrorCode::readFailed, "not a regular file: " + path.string());
    std::ifstream in(path, std::ios::binary);
    if (!in) return plistError(PropertyListErrorCode::readFailed, "cannot open " + path.string());
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return plistError(PropertyListErrorCode::readFailed, "cannot read " + path.string());
    return readPropertyList(std::span<const std::uint8_t>(bytes));
}

Result<std::vector<std::uint8_t>> writePropertyList(const PropertyList& value, PropertyListFormat format) {
    auto node = toNode(value, 0);
    if (!node) return node.error();
    NodePtr owner(*node);
    char* out = nullptr;
    std::uint32_t length = 0;
    if (format == PropertyListFormat::binary)
        plist_to_bin(*node, &out, &length);
    else
        plist_to_xml(*node, &out, &length);
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
