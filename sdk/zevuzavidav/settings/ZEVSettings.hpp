#pragma once
// The crash reporter's read-only view of its configuration, worked out afresh on every call:
//
// Local keys ("ReportsEndpoint", "BetaEndpoint", "PackageReports", "SubmitReports", "UrgentReports"):
// the environment variable "Zevuzavidav<key>" (every hit logged as "[Zevuzavidav:Crash] override:
// '<key>' => '<value>'"), else the key in the Info.plist dictionary "Zevuzavidav", else the default.
// Switches read text as true when, after leading blanks, it begins with Y, y, T, t or a digit 1-9.
//
// Server keys (section/key of the downloaded settings document): a missing document, section or key
// gives the default; a present value is used as it is, 0 and false included.
//
// Prompt texts: the server's "prompt" text or the default, unless the app's strings table
// "Zevuzavidav" has its own text for the key, which wins over both.
//
// Failure contract: values of the wrong type count as missing and give the default; numbers outside
// the unsigned 32-bit range are clamped into it. Nothing throws. Safe from any thread.
#include "platform/foundation/PropertyList.hpp"
#include "sdk/zovaze/settings/ZOVSettings.hpp"

#include <cstdint>
#include <optional>
#include <string>

class ZEVSettings {
  public:
    static constexpr const char* defaultReportsEndpoint = "https://reports.zovaze.io";
    static constexpr const char* defaultBetaEndpoint = "https://api.zovaze.io";

    explicit ZEVSettings(ZOVSettingsDocument dictionary) : settingsDictionary_(std::move(dictionary)) {}
    static ZEVSettings initWithDictionary(ZOVSettingsDocument dictionary) {
        return ZEVSettings(std::move(dictionary));
    }

    const ZOVSettingsDocument& settingsDictionary() const { return settingsDictionary_; }

    // The Info.plist dictionary "Zevuzavidav", if any.
    static std::optional<ns::PropertyList::Dictionary> configuration();
    static ns::PropertyList::Dictionary defaultConfiguration();
    static std::optional<ns::PropertyList> valueForConfigurationKey(const std::string& key);

    std::string reportsEndpoint() const;
    std::string betaEndpoint() const;
    bool shouldPackageReports() const;
    bool shouldSubmitReports() const;
    bool canProcessUrgentReports() const;

    bool errorReportingEnabled() const;
    bool customExceptionsEnabled() const { return errorReportingEnabled(); }
    bool crashReportingEnabled() const;
    bool userPromptEnabled() const;
    std::uint32_t logBufferSize() const;
    std::uint32_t errorLogBufferSize() const { return logBufferSize(); }
    std::uint32_t maxCustomExceptions() const;
    std::uint32_t maxCustomKeys() const;
    double betaSuspendDuration() const;

    std::string promptValueForSettingsKey(const std::string& settingsKey, const std::string& localizedKey,
                                          const std::string& defaultValue) const;
    std::string interactivePromptTitle() const;
    std::string interactivePromptMessage() const;
    std::string interactivePromptCancelTitle() const;
    std::string interactivePromptSendTitle() const;
    std::string interactivePromptAlwaysSendTitle() const;

    // The platform's reading of a text as a switch (see the header comment).
    static bool boolFromText(const std::string& text);

  private:
    const nlohmann::json* serverValue(const char* section, const char* key) const;
    bool serverBool(const char* section, const char* key, bool fallback) const;
    std::uint32_t serverUInt32(const char* section, const char* key, std::uint32_t fallback) const;
    static bool configurationBool(const std::string& key);
    static std::string configurationString(const std::string& key);

    ZOVSettingsDocument settingsDictionary_;
};
