#include "sdk/zevuzavidav/settings/ZEVSettings.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"

#include <cmath>
#include <cstdlib>
#include <limits>

std::optional<ns::PropertyList::Dictionary> ZEVSettings::configuration() {
    const ns::PropertyList* value = ns::Bundle::main().objectForInfoDictionaryKey("Zevuzavidav");
    const auto* dictionary = value ? value->dictionaryValue() : nullptr;
    if (!dictionary) return std::nullopt;
    return *dictionary;
}

ns::PropertyList::Dictionary ZEVSettings::defaultConfiguration() {
    return ns::PropertyList::Dictionary{{"ReportsEndpoint", defaultReportsEndpoint},
                                        {"BetaEndpoint", defaultBetaEndpoint},
                                        {"PackageReports", true},
                                        {"SubmitReports", true},
                                        {"UrgentReports", true}};
}

std::optional<ns::PropertyList> ZEVSettings::valueForConfigurationKey(const std::string& key) {
    if (const char* value = std::getenv(("Zevuzavidav" + key).c_str())) {
        ns::console("[Zevuzavidav:Crash] override: '" + key + "' => '" + value + "'");
        return ns::PropertyList(std::string(value));
    }
    if (auto local = configuration()) {
        if (const ns::PropertyList* value = local->find(key)) return *value;
    }
    const ns::PropertyList::Dictionary defaults = defaultConfiguration();
    if (const ns::PropertyList* value = defaults.find(key)) return *value;
    return std::nullopt;
}

bool ZEVSettings::boolFromText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    if (i == text.size()) return false;
    char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

bool ZEVSettings::configurationBool(const std::string& key) {
    auto value = valueForConfigurationKey(key);
    if (value) {
        if (auto flag = value->boolValue()) return *flag;
        if (auto number = value->integerValue()) return *number != 0;
        if (auto number = value->realValue()) return *number != 0;
        if (const auto* text = value->stringValue()) return boolFromText(*text);
    }
    // A value of another kind is no switch: the default decides.
    return defaultConfiguration().find(key)->boolValue().value_or(false);
}

std::string ZEVSettings::configurationString(const std::string& key) {
    auto value = valueForConfigurationKey(key);
    if (value && value->stringValue()) return *value->stringValue();
    return *defaultConfiguration().find(key)->stringValue();
}

std::string ZEVSettings::reportsEndpoint() const {
    return configurationString("ReportsEndpoint");
}
std::string ZEVSettings::betaEndpoint() const {
    return configurationString("BetaEndpoint");
}
bool ZEVSettings::shouldPackageReports() const {
    return configurationBool("PackageReports");
}
bool ZEVSettings::shouldSubmitReports() const {
    return configurationBool("SubmitReports");
}
bool ZEVSettings::canProcessUrgentReports() const {
    return configurationBool("UrgentReports");
}

const nlohmann::json* ZEVSettings::serverValue(const char* section, const char* key) const {
    if (!settingsDictionary_ || !settingsDictionary_->is_object()) return nullptr;
    auto group = settingsDictionary_->find(section);
    if (group == settingsDictionary_->end() || !group->is_object()) return nullptr;
    auto value = group->find(key);
    return value == group->end() ? nullptr : &*value;
}

bool ZEVSettings::serverBool(const char* section, const char* key, bool fallback) const {
    const nlohmann::json* value = serverValue(section, key);
    if (value == nullptr) return fallback;
    if (value->is_boolean()) return value->get<bool>();
    if (value->is_number()) return value->get<double>() != 0;
    if (value->is_string()) return boolFromText(value->get<std::string>());
    return fallback;
}

std::uint32_t ZEVSettings::serverUInt32(const char* section, const char* key, std::uint32_t fallback) const {
    const nlohmann::json* value = serverValue(section, key);
    if (value == nullptr || !value->is_number()) return fallback;
    if (value->is_number_unsigned()) {
        return static_cast<std::uint32_t>(
            std::min<std::uint64_t>(value->get<std::uint64_t>(), std::numeric_limits<std::uint32_t>::max()));
    }
    double number = value->get<double>();
    if (!(number > 0)) return 0;
    if (number >= static_cast<double>(std::numeric_limits<std::uint32_t>::max()))
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(number);
}

bool ZEVSettings::errorReportingEnabled() const {
    return serverBool("features", "collect_logged_exceptions", true);
}
bool ZEVSettings::crashReportingEnabled() const {
    return serverBool("features", "collect_reports", true);
}
bool ZEVSettings::userPromptEnabled() const {
    return serverBool("features", "prompt_enabled", false);
}
std::uint32_t ZEVSettings::logBufferSize() const {
    return serverUInt32("session", "log_buffer_size", 65536);
}
std::uint32_t ZEVSettings::maxCustomExceptions() const {
    return serverUInt32("session", "max_custom_exception_events", 16);
}
std::uint32_t ZEVSettings::maxCustomKeys() const {
    return serverUInt32("session", "max_custom_key_value_pairs", 16);
}

double ZEVSettings::betaSuspendDuration() const {
    const nlohmann::json* value = serverValue("beta", "update_suspend_duration");
    if (value == nullptr || !value->is_number()) return 3600;
    return value->get<double>();
}

std::string ZEVSettings::promptValueForSettingsKey(const std::string& settingsKey,
                                                   const std::string& localizedKey,
                                                   const std::string& defaultValue) const {
    const nlohmann::json* server = serverValue("prompt", settingsKey.c_str());
    std::string text = server && server->is_string() ? server->get<std::string>() : defaultValue;
    return ns::Bundle::main().localizedStringForKey(localizedKey, text, "Zevuzavidav");
}

std::string ZEVSettings::interactivePromptTitle() const {
    return promptValueForSettingsKey("title", "ZevuzavidavCrashSubmissionPromptTitle", "Send Crash Report?");
}
std::string ZEVSettings::interactivePromptMessage() const {
    return promptValueForSettingsKey(
        "message", "ZevuzavidavCrashSubmissionPromptMessage",
        "Looks like we crashed! Please help us fix the problem by sending a crash report.");
}
std::string ZEVSettings::interactivePromptCancelTitle() const {
    return promptValueForSettingsKey("cancel_button_title", "ZevuzavidavCrashSubmissionCancelTitle",
                                     "Don't Send");
}
std::string ZEVSettings::interactivePromptSendTitle() const {
    return promptValueForSettingsKey("send_button_title", "ZevuzavidavCrashSubmissionSendTitle", "Send");
}
std::string ZEVSettings::interactivePromptAlwaysSendTitle() const {
    return promptValueForSettingsKey("always_send_button_title", "ZevuzavidavCrashSubmissionAlwaysSendTitle",
                                     "Always Send");
}
