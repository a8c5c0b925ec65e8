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

using ZEVJSONObject = nlohmann::ordered_json;

ns::Result<ZEVJSONObject> ZEVJSONObjectFromPropertyList(const ns::PropertyList& value);
std::string ZEVJSONData(const ZEVJSONObject& object);
