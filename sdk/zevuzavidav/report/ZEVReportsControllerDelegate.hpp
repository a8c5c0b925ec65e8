#pragma once
// What the reports controller asks and tells its owner (the crash reporting controller).
#include "platform/foundation/Error.hpp"
#include "sdk/zevuzavidav/settings/ZEVSettings.hpp"

#include <optional>
#include <string>

class ZEVReportsController;

class ZEVReportsControllerDelegate {
  public:
    virtual ~ZEVReportsControllerDelegate() = default;
    // Told after every finished upload: the package path and the error, or nothing on success.
    virtual void reportsControllerDidCompletePackageSubmission(ZEVReportsController& controller,
                                                               const std::string& path,
                                                               const std::optional<ns::Error>& error) = 0;
    virtual ZEVSettings settingsForReportsController(ZEVReportsController& controller) = 0;
    virtual std::optional<std::string> APIKeyForReportsController(ZEVReportsController& controller) = 0;
    virtual std::string bundleIdentifierForReportsController(ZEVReportsController& controller) = 0;
};
