#include "platform/foundation/JSON.hpp"

#include "platform/foundation/FileContents.hpp"

namespace ns {
namespace {

Error jsonError(const char* reason) {
    return Error(
        JSONErrorDomain, JSONErrorCode,
        {{Error::localizedDescriptionKey,
          std::string("The data couldn't be read because it isn't in the correct format (") + reason + ")."},
         {failureReasonKey, reason}});
}

} // namespace

Result<nlohmann::json> parseJSON(std::string_view text, int maxDepth) {
    // The parser takes a NUL byte for the end of the input, so "{}\0anything" would read as "{}". JSON
    // has no place for a raw NUL (inside a string it is written \u0000): a text holding one is no JSON.
    if (text.find('\0') != std::string_view::npos) return jsonError(JSONErrorMalformed);
    bool tooDeep = false;
    // A container that opens at `depth` sits inside `depth` others. Returning false drops it, so
    // nothing deeper than the bound is ever built; the parse itself still runs to the end of the text
    // without recursing.
    auto json = nlohmann::json::parse(
        text,
        [&tooDeep, maxDepth](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
            if ((event == nlohmann::json::parse_event_t::object_start ||
                 event == nlohmann::json::parse_event_t::array_start) &&
                depth >= maxDepth)
                tooDeep = true;
            return !tooDeep;
        },
        /*allow_exceptions=*/false);
    if (tooDeep) return jsonError(JSONErrorNestedTooDeeply);
    if (json.is_discarded()) return jsonError(JSONErrorMalformed);
    return json;
}

bool isJSONNestingError(const Error& error) {
    if (error.domain() != JSONErrorDomain || error.code() != JSONErrorCode) return false;
    auto reason = error.userInfo().find(failureReasonKey);
    return reason != error.userInfo().end() && reason->second == JSONErrorNestedTooDeeply;
}

} // namespace ns
