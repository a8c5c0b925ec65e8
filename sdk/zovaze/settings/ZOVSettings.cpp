#include "sdk/zovaze/settings/ZOVSettings.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/JSON.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/network/ZOVURLBuilder.hpp"

#include <filesystem>

ZOVSettings::ZOVSettings(std::string settingsPath) : settingsPath_(std::move(settingsPath)) {}

void ZOVSettings::setSettingsPath(std::string path) {
    std::lock_guard lock(mutex_);
    settingsPath_ = std::move(path);
}

void ZOVSettings::setSettingsDictionary(ZOVSettingsDocument dictionary) {
    std::lock_guard lock(mutex_);
    settingsDictionary_ = std::move(dictionary);
}

ZOVSettingsDocument ZOVSettings::settingsDictionary() {
    // The load runs under the lock: a clear that arrives while the older file is being read waits for
    // that load and then empties it, so the next reader always sees the file the clear was meant for.
    std::lock_guard lock(mutex_);
    if (settingsDictionary_) return settingsDictionary_;
    auto discard = [this](const std::string& reason) {
        ns::console("[Zovaze] Could not load settings with error: " + reason);
        std::error_code ignored;
        std::filesystem::remove(settingsPath_, ignored);
    };
    // Nothing is read or removed through a link where the settings' folder (or one above it) belongs:
    // that link goes and an empty folder stands there, which holds no settings.
    const std::filesystem::path folder = std::filesystem::path(settingsPath_).parent_path();
    std::error_code missing;
    if (!ns::Sandbox::ownFolderExists(folder, missing, folder)) return nullptr;
    // A file far beyond what the service ever sends would cost every start the time to read and parse
    // it (and no download can put one there any more), and a link or a FIFO in its place is no file of
    // ours (the link is removed, never followed; the FIFO never waited for): each goes like one that
    // does not parse.
    const auto read = ns::readFileIfPresent(settingsPath_, maximumDocumentLength);
    if (!read) {
        if (ns::isUnusableFileError(static_cast<int>(read.error().code())))
            discard(read.error().localizedDescription());
        return nullptr;
    }
    if (!read->has_value()) return nullptr;
    const auto& bytes = **read;
    auto parsed = ns::parseJSON(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!parsed) {
        discard(parsed.error().localizedDescription());
        return nullptr;
    }
    // Every reader expects an object; anything else is as good as no settings.
    if (!parsed->is_object()) return nullptr;
    settingsDictionary_ = std::make_shared<const nlohmann::json>(std::move(parsed).value());
    return settingsDictionary_;
}

std::optional<nlohmann::json> ZOVSettings::appSettings() {
    auto document = settingsDictionary();
    if (!document) return std::nullopt;
    auto app = document->find("app");
    if (app == document->end() || !app->is_object()) return std::nullopt;
    return *app;
}

std::optional<std::string> ZOVSettings::appStatus() {
    auto app = appSettings();
    if (!app) return std::nullopt;
    auto status = app->find("status");
    if (status == app->end() || !status->is_string()) return std::nullopt;
    return status->get<std::string>();
}

bool ZOVSettings::appUpdateRequired() {
    auto app = appSettings();
    if (!app) return false;
    auto required = app->find("update_required");
    if (required == app->end()) return false;
    if (required->is_boolean()) return required->get<bool>();
    if (required->is_number()) return required->get<double>() != 0.0;
    return false;
}

std::optional<std::string> ZOVSettings::appBundleIdentifier() {
    return ZOVEscapedBundleIdentifier();
}
std::optional<std::string> ZOVSettings::appBuildVersion() {
    return ZOVBundleVersion();
}
std::optional<std::string> ZOVSettings::appDisplayVersion() {
    return ZOVBundleShortVersionString();
}
int ZOVSettings::appSource() {
    return ZOVInstallSource();
}

std::optional<std::string>
ZOVSettings::settingsURLForEndpoint(const std::string& endpoint,
                                    const std::optional<std::string>& appInstanceIdentifer,
                                    const std::optional<std::string>& appIconHash) {
    auto builder = ZOVURLBuilder::URLWithBase(endpoint);
    builder->appendComponent("/spi/v2/platforms/");
    builder->escapeAndAppendComponent(appPlatform());
    builder->appendComponent("/apps/");
    builder->escapeAndAppendComponent(appBundleIdentifier().value_or(""));
    builder->appendComponent("/settings");
    auto value = [](const std::optional<std::string>& text) {
        return text ? ns::PropertyList(*text) : ns::PropertyList();
    };
    builder->appendValue(value(appBuildVersion()), "build_version");
    builder->appendValue(value(appDisplayVersion()), "display_version");
    builder->appendValue(value(appInstanceIdentifer), "instance");
    builder->appendValue(value(appIconHash), "icon_hash");
    builder->appendValue(ns::PropertyList(appSource()), "source");
    return builder->URL();
}
