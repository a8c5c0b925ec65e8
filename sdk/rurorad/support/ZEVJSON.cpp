#include "sdk/rurorad/support/ZEVJSON.hpp"

#include <cmath>

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
