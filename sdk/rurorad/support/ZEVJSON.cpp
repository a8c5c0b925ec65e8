#include "sdk/rurorad/support/ZEVJSON.hpp"

#include "platform/foundation/Text.hpp"
#include "sdk/rurorad/support/ZEVRuroradText.hpp"

#include <charconv>
#include <cmath>
#include <utility>

namespace {

ns::Error invalidValue(const ns::PropertyList& value) {
    return ns::Error::make("NSCocoaErrorDomain", 3851,
                           std::string("Invalid type in JSON write (") +
                               ns::propertyListTypeName(value.type()) + ")");
}

} // namespace

ns::Result<ZEVJSONObject> ZEVJSONObjectFromPropertyList(const ns::PropertyList& value) {
    using Type = ns::PropertyList::Type;
    switch (value.type()) {
    case Type::null:
        return ZEVJSONObject(nullptr);
    case Type::boolean:
        return ZEVJSONObject(*value.boolValue());
    case Type::integer:
        return ZEVJSONObject(*value.integerValue());
    case Type::real: {
        const double real = *value.realValue();
        if (!std::isfinite(real))
            return ns::Error::make("NSCocoaErrorDomain", 3851,
                                   "Invalid number value (" + std::to_string(real) + ") in JSON write");
        return ZEVJSONObject(real);
    }
    case Type::string:
        return ZEVJSONObject(*value.stringValue());
    case Type::array: {
        ZEVJSONObject array = ZEVJSONObject::array();
        for (const auto& element : *value.arrayValue()) {
            auto converted = ZEVJSONObjectFromPropertyList(element);
            if (!converted) return converted.error();
            array.push_back(std::move(*converted));
        }
        return array;
    }
    case Type::dictionary: {
        ZEVJSONObject object = ZEVJSONObject::object();
        for (const auto& [key, element] : *value.dictionaryValue()) {
            auto converted = ZEVJSONObjectFromPropertyList(element);
            if (!converted) return converted.error();
            object[key] = std::move(*converted);
        }
        return object;
    }
    default:
        return invalidValue(value);
    }
}

std::string ZEVJSONData(const ZEVJSONObject& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void ZEVAppendJSONString(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string sanitized;
    std::string_view valid = text;
    if (!ns::isValidUtf8(text)) {
        sanitized = ZEVValidUTF8(text);
        valid = sanitized;
    }
    out.push_back('"');
    std::size_t plain = 0; // start of the run of characters that go in as they are
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto byte = static_cast<unsigned char>(valid[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
        out.append(valid.data() + plain, i - plain);
        plain = i + 1;
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out.push_back(hex[byte >> 4]);
            out.push_back(hex[byte & 0x0F]);
        }
    }
    out.append(valid.data() + plain, valid.size() - plain);
    out.push_back('"');
}

ns::Result<void> ZEVAppendJSON(std::string& out, const ns::PropertyList& value) {
    using Type = ns::PropertyList::Type;
    switch (value.type()) {
    case Type::null:
        out += "null";
        return {};
    case Type::boolean:
        out += *value.boolValue() ? "true" : "false";
        return {};
    case Type::integer: {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, *value.integerValue()).ptr;
        out.append(digits, end);
        return {};
    }
    case Type::real:
        if (!std::isfinite(*value.realValue())) return ZEVJSONObjectFromPropertyList(value).error();
        // The shortest text that reads back as the same double, as the document writer gives it.
        out += ZEVJSONData(ZEVJSONObject(*value.realValue()));
        return {};
    case Type::string:
        ZEVAppendJSONString(out, *value.stringValue());
        return {};
    case Type::array: {
        out.push_back('[');
        bool first = true;
        for (const auto& element : *value.arrayValue()) {
            if (!std::exchange(first, false)) out.push_back(',');
            if (auto appended = ZEVAppendJSON(out, element); !appended) return appended;
        }
        out.push_back(']');
        return {};
    }
    case Type::dictionary: {
        out.push_back('{');
        bool first = true;
        for (const auto& [key, element] : *value.dictionaryValue()) {
            if (!std::exchange(first, false)) out.push_back(',');
            ZEVAppendJSONString(out, key);
            out.push_back(':');
            if (auto appended = ZEVAppendJSON(out, element); !appended) return appended;
        }
        out.push_back('}');
        return {};
    }
    default:
        return invalidValue(value);
    }
}
