#pragma once
// The server settings as cached on disk ("settings.json", a JSON object): loaded and parsed on first
// use, kept until cleared, and asked the two questions of the onboarding decision (is the app "new" to
// the service, is an update of its description required). Also builds the settings request URL.
//
// Failure contract: no file gives no settings (and the next call looks again). A file that does not
// parse is logged ("[Zovaze] Could not load settings with error: <description>") and removed; a file
// whose root is not an object counts as no settings. A file longer than maximumDocumentLength (never
// read), a symbolic link or a FIFO in the file's place (never followed or waited for; the entry itself
// is removed), or one nested deeper than ns::maxJSONDepth does not parse, as far as this model is
// concerned. The folder is checked first (ns::Sandbox::ownFolderExists): a link in its place or above
// it, up to the sandbox's Library, is replaced by an empty folder, so no settings come from elsewhere. An
// "app" that is not an object, or a "status" that is not a string, counts as absent. Readers on any thread
// get the previous document, nothing, or the new one: the document is handed out as a shared, immutable
// value. A load holds the model's lock, so a clear during it waits for it and the older document is never
// left held.
#include <nlohmann/json.hpp>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

using ZOVSettingsDocument = std::shared_ptr<const nlohmann::json>;

class ZOVSettings {
  public:
    // The service sends a few kilobytes; a download or a cached file beyond this is refused whole.
    static constexpr std::size_t maximumDocumentLength = 1024 * 1024;

    explicit ZOVSettings(std::string settingsPath);

    ZOVSettingsDocument settingsDictionary();
    void setSettingsDictionary(ZOVSettingsDocument dictionary);
    void clearSettingsDictionary() { setSettingsDictionary(nullptr); }

    // The "app" object; nothing when absent, null or not an object.
    std::optional<nlohmann::json> appSettings();
    std::optional<std::string> appStatus();
    bool appNeedsOnboarding() { return appStatus() == "new"; }
    bool appUpdateRequired();

    static std::optional<std::string> appBundleIdentifier();
    static std::string appPlatform() { return "ios"; }
    static std::optional<std::string> appBuildVersion();
    static std::optional<std::string> appDisplayVersion();
    static int appSource();

    // <endpoint>/spi/v2/platforms/ios/apps/<bundle id>/settings?build_version=..&display_version=..
    // &instance=..&icon_hash=..&source=.. (each parameter only when present). Nothing when the result is
    // not a valid URL.
    static std::optional<std::string>
    settingsURLForEndpoint(const std::string& endpoint,
                           const std::optional<std::string>& appInstanceIdentifer,
                           const std::optional<std::string>& appIconHash);

    const std::string& settingsPath() const { return settingsPath_; }
    void setSettingsPath(std::string path);

  private:
    std::mutex mutex_;
    ZOVSettingsDocument settingsDictionary_;
    std::string settingsPath_;
};
