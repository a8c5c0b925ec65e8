#pragma once
// The identifiers and timestamps of analytics records: identifiers are new UUID strings (upper case,
// with dashes); timestamps are whole milliseconds since 1970, the fraction dropped. Both are classes
// with virtual operations so that tests can make them predictable.
//
// Failure contract: none; safe from any thread.
#include "platform/foundation/Date.hpp"

#include <cstdint>
#include <string>

class ZEVAnalyticsIdentifierGenerator {
  public:
    virtual ~ZEVAnalyticsIdentifierGenerator() = default;
    virtual std::string generateSessionFragmentIdentifier();
    virtual std::string generateEventIdentifier();
};

class ZEVAnalyticsTimestampGenerator {
  public:
    virtual ~ZEVAnalyticsTimestampGenerator() = default;
    virtual std::uint64_t generateAnalyticsTimestamp();
    // floor(seconds x 1000) of a date; 0 before 1970.
    static std::uint64_t millisecondsSince1970(const ns::Date& date);
};
