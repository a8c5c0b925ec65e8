#pragma once
// Compact JSON of analytics payloads and metadata, keys in the order they were set.
//
// Failure contract: a value JSON cannot hold (a date, data, an archive reference, a number that is not
// finite) gives an error (domain "NSCocoaErrorDomain", code 3851, naming the value); strings that are
// not UTF-8 are written with U+FFFD in place of the bad bytes.
#include "platform/foundation/PropertyList.hpp"
#include "platform/foundation/Result.hpp"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

using ZEVJSONObject = nlohmann::ordered_json;

ns::Result<ZEVJSONObject> ZEVJSONObjectFromPropertyList(const ns::PropertyList& value);
std::string ZEVJSONData(const ZEVJSONObject& object);

// The same compact JSON appended straight to `out`, without building a document first (the path every
// event takes). Answers the same errors; `out` then holds a partial text the caller drops.
ns::Result<void> ZEVAppendJSON(std::string& out, const ns::PropertyList& value);
// A JSON string literal of the text (quoted and escaped; bytes that are not UTF-8 become U+FFFD).
void ZEVAppendJSONString(std::string& out, std::string_view text);
