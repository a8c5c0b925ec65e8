#include "platform/services/rest/ParseJson.hpp"

#include "platform/foundation/JSON.hpp"
#include "platform/services/BackendClient.hpp"

namespace svc::rest {

namespace {

ns::Error badResponse(const std::string& why) {
    return ns::Error::make(backendErrorDomain, static_cast<long>(BackendErrorCode::badResponse),
                           "The backend's answer could not be read: " + why);
}

// Every answer is parsed with the platform's nesting bound (ns::maxJSONDepth, 64 levels): deeper than
// any object this app stores or reads, and converting a deeper answer would recurse once per level and
// could run the worker thread out of stack.
ns::Result<nlohmann::json> parse(std::string_view body) {
    auto json = ns::parseJSON(body);
    if (json) return json;
    return badResponse(ns::isJSONNestingError(json.error()) ? "nested too deeply" : "not JSON");
}

} // namespace

nlohmann::json toJson(const ns::PropertyList& value) {
    using Type = ns::PropertyList::Type;
    switch (value.type()) {
    case Type::null:
        return nullptr;
    case Type::boolean:
        return *value.boolValue();
    case Type::integer:
        return *value.integerValue();
    case Type::real:
        return *value.realValue();
    case Type::string:
        return *value.stringValue();
    case Type::array: {
        auto out = nlohmann::json::array();
        for (const auto& item : *value.arrayValue())
            out.push_back(toJson(item));
        return out;
    }
    case Type::dictionary: {
        auto out = nlohmann::json::object();
        for (const auto& [key, item] : *value.dictionaryValue())
            out[key] = toJson(item);
        return out;
    }
    default:
        return value.debugDescription();
    }
}

ns::PropertyList fromJson(const nlohmann::json& value) {
    if (value.is_boolean()) return ns::PropertyList(value.get<bool>());
    if (value.is_number_integer()) return ns::PropertyList(value.get<std::int64_t>());
    if (value.is_number_unsigned())
        return ns::PropertyList(static_cast<std::int64_t>(value.get<std::uint64_t>()));
    if (value.is_number_float()) return ns::PropertyList(value.get<double>());
    if (value.is_string()) return ns::PropertyList(value.get<std::string>());
    if (value.is_array()) {
        ns::PropertyList::Array out;
        for (const auto& item : value)
            out.push_back(fromJson(item));
        return ns::PropertyList(std::move(out));
    }
    if (value.is_object()) {
        ns::PropertyList::Dictionary out;
        for (const auto& [key, item] : value.items())
            out.set(key, fromJson(item));
        return ns::PropertyList(std::move(out));
    }
    return ns::PropertyList();
}

std::string dump(const nlohmann::json& value) {
    // Text typed in a terminal with a legacy 8-bit encoding is not UTF-8; JSON must be. Such bytes
    // become U+FFFD instead of an exception.
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string objectBody(const BackendObject& object) {
    auto body = nlohmann::json::object();
    for (const auto& [key, item] : object.values())
        body[key] = toJson(item);
    return dump(body);
}

std::string whereParameter(const BackendQuery& query) {
    auto where = nlohmann::json::object();
    if (const auto& condition = query.condition()) where[condition->key] = toJson(condition->equalTo);
    return dump(where);
}

ns::Result<std::vector<BackendObject>> parseFindAnswer(std::string_view body, const std::string& className) {
    auto json = parse(body);
    if (!json) return json.error();
    if (!json->is_object() || !json->contains("results") || !(*json)["results"].is_array()) {
        return badResponse("no \"results\" list");
    }
    std::vector<BackendObject> objects;
    for (const auto& row : (*json)["results"]) {
        if (!row.is_object()) return badResponse("a result is not an object");
        BackendObject object(className);
        for (const auto& [key, item] : row.items()) {
            if (key == "objectId" && item.is_string()) {
                object.setObjectId(item.get<std::string>());
            } else {
                object.setObject(key, fromJson(item));
            }
        }
        objects.push_back(std::move(object));
    }
    return objects;
}

ns::Result<std::optional<std::string>> parseSaveAnswer(std::string_view body) {
    auto json = parse(body);
    if (!json) return json.error();
    if (!json->is_object()) return badResponse("not an object");
    if (json->contains("objectId") && (*json)["objectId"].is_string()) {
        return std::optional<std::string>((*json)["objectId"].get<std::string>());
    }
    return std::optional<std::string>();
}

ns::Error errorForStatus(long httpStatus, std::string_view body) {
    auto parsed = ns::parseJSON(body);
    const nlohmann::json json = parsed ? std::move(parsed).value() : nlohmann::json();
    std::string text = "The backend answered HTTP " + std::to_string(httpStatus);
    std::map<std::string, std::string> userInfo{{"HTTPStatus", std::to_string(httpStatus)}};
    if (json.is_object()) {
        if (json.contains("error") && json["error"].is_string()) text = json["error"].get<std::string>();
        if (json.contains("code") && json["code"].is_number_integer()) {
            userInfo["ParseErrorCode"] = std::to_string(json["code"].get<long>());
        }
    }
    userInfo[ns::Error::localizedDescriptionKey] = text;
    return ns::Error(backendErrorDomain, static_cast<long>(BackendErrorCode::server), std::move(userInfo));
}

} // namespace svc::rest
