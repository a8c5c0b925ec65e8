#pragma once
// JSON read from a file or a server, parsed with a bound on its nesting.
//
// nlohmann's parser does not recurse, but copying, comparing, printing and converting a value do, once
// per level: a document nested a million levels deep (2 MB of brackets) parses and then overflows the
// stack of the first code that copies it. Every JSON text that comes from outside the process goes
// through parseJSON, which refuses anything nested deeper than the bound before a value of that depth
// is built. No document this system reads comes near the bound.
//
// Failure contract: never throws. Nesting deeper than `maxDepth` containers fails with
// JSONErrorNestedTooDeeply; anything else that is not one JSON value (empty text, trailing bytes, a NUL
// byte anywhere, bad syntax, invalid UTF-8) fails with JSONErrorMalformed. Both are in "NSCocoaErrorDomain",
// code 3840, as the platform's JSON reader reports unreadable data; the reason is under failureReasonKey.
#include "platform/foundation/Result.hpp"

#include <nlohmann/json.hpp>

#include <string_view>

namespace ns {

// Containers (objects and arrays) nested inside one another; a scalar at the top counts 0.
inline constexpr int maxJSONDepth = 64;

inline constexpr const char* JSONErrorDomain = "NSCocoaErrorDomain";
inline constexpr long JSONErrorCode = 3840;
inline constexpr const char* JSONErrorMalformed = "malformed JSON";
inline constexpr const char* JSONErrorNestedTooDeeply = "JSON nested too deeply";

Result<nlohmann::json> parseJSON(std::string_view text, int maxDepth = maxJSONDepth);

// True for an error of parseJSON that refused the nesting.
bool isJSONNestingError(const Error& error);

} // namespace ns
