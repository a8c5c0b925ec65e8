#pragma once
// The JSON forms of the Parse-style REST protocol: object bodies, query results and error answers.
//
// Failure contract: nothing throws; text that is not UTF-8 is written with U+FFFD in place of its bad
// bytes. Converting a value that JSON cannot hold (data, date, UID) gives its
// debug text as a string; reading an answer that is not the expected JSON gives an error with
// BackendErrorCode::badResponse, never a partial result; so does an answer nested more than 64 levels
// deep.
#include "platform/foundation/Error.hpp"
#include "platform/foundation/PropertyList.hpp"
#include "platform/foundation/Result.hpp"
#include "platform/services/BackendObject.hpp"
#include "platform/services/BackendQuery.hpp"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace svc::rest {

nlohmann::json toJson(const ns::PropertyList& value);
ns::PropertyList fromJson(const nlohmann::json& value);

// The JSON text of a value; bytes that are not UTF-8 (in keys or strings) become U+FFFD.
std::string dump(const nlohmann::json& value);

// The body of a save: the object's keys and values.
std::string objectBody(const BackendObject& object);

// The "where" parameter of a query with one "key equal to value" condition ("{}" without one).
std::string whereParameter(const BackendQuery& query);

// {"results":[{...}, ...]} -> objects of `className` (objectId taken out of the keys).
ns::Result<std::vector<BackendObject>> parseFindAnswer(std::string_view body, const std::string& className);

// {"objectId":"...", ...} -> the object id, when present.
ns::Result<std::optional<std::string>> parseSaveAnswer(std::string_view body);

// An HTTP error answer ({"code":N,"error":"text"} or anything else) -> a BackendErrorCode::server error
// whose description is the server's text; its own code, when given, is kept under "ParseErrorCode".
ns::Error errorForStatus(long httpStatus, std::string_view body);

} // namespace svc::rest
