#pragma once
// What the application may read from a report of an earlier launch (handed to its delegate).
#include "platform/foundation/Date.hpp"

#include <map>
#include <optional>
#include <string>

class ZEVCrashReport {
  public:
    virtual ~ZEVCrashReport() = default;
    virtual std::optional<std::string> identifier() const = 0;
    virtual std::optional<std::map<std::string, std::string>> customKeys() const = 0;
    virtual std::optional<std::string> bundleVersion() const = 0;
    virtual std::optional<std::string> bundleShortVersionString() const = 0;
    // The start time of the launch the report belongs to.
    virtual std::optional<ns::Date> crashedOnDate() const = 0;
    virtual std::optional<std::string> OSVersion() const = 0;
    virtual std::optional<std::string> OSBuildVersion() const = 0;
};
