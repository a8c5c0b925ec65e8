#pragma once
// Runs, once per launch, the conversation with the SDK's settings service: download the settings into
// the cache; when they say the service does not know the app ("app"."status" "new") create it and
// download again; when they ask for it ("app"."update_required") update the app's description. When
// settings are available it posts "ZOVSettingsAvailableNotification" (no sender, no user info) on the
// default notification centre, on the network client's completion thread.
//
// Requests, per first answer: failure -> GET; "new" -> GET, POST, GET (notification after the second
// GET); plain -> GET (notification); update required -> GET, notification, PUT. Onboarding happens at
// most once per launch, and every path ends by closing the network client.
//
// Endpoints ("SettingsEndpoint", "ConfigureEndpoint") come from the process environment variable of
// that exact name, else the main Info.plist "Zevuzavidav" dictionary, else the built-in defaults.
// The cache is <Caches>/io.zovaze.sdk.ios.data/<main bundle identifier>/settings.json; a bundle
// identifier that is empty or would climb out of that folder ("." or "..") is replaced by the bundle's
// storage-safe name.
//
// Failure contract: failures are logged ("[Zovaze] failed to download settings <error>", "[Zovaze]
// unable to complete application configure: <error>", "[Zovaze] unable to complete application update:
// <error>") and end the flow for this launch; nothing is retried beyond the client's retry limit. An
// absent identifier model leaves the installation identifier, instance identifier and icon out of the
// requests.
#include "sdk/zovaze/identity/ZOVApplicationIdentiferModel.hpp"
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"
#include "sdk/zovaze/settings/ZOVDownloadAndSaveSettingsOperation.hpp"
#include "sdk/zovaze/settings/ZOVOnboardingOperation.hpp"
#include "sdk/zovaze/settings/ZOVSettings.hpp"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

inline constexpr const char* ZOVSettingsAvailableNotification = "ZOVSettingsAvailableNotification";

class ZOVSettingsOnboardingManager : public ZOVDownloadAndSaveSettingsOperationDelegate,
                                     public ZOVOnboardingOperationDelegate,
                                     public std::enable_shared_from_this<ZOVSettingsOnboardingManager> {
  public:
    using KitVersions = std::map<std::string, std::string>;

    static constexpr const char* defaultSettingsEndpoint = "https://settings.zovaze.io";
    static constexpr const char* defaultConfigureEndpoint = "https://api.zovaze.io";

    // The manager of the running app: a pinned network client and the cache in the sandbox's caches.
    static std::shared_ptr<ZOVSettingsOnboardingManager>
    initWithApplicationIdentifierModel(std::shared_ptr<ZOVApplicationIdentiferModel> model);
    // Any client and cache folder (tests).
    static std::shared_ptr<ZOVSettingsOnboardingManager>
    initWithApplicationIdentifierModel(std::shared_ptr<ZOVApplicationIdentiferModel> model,
                                       std::shared_ptr<ZOVNetworkClient> networkClient,
                                       std::string settingsDirectoryPath);

    void beginSettingsAndOnboardingOperationsWithAPIKey(const std::optional<std::string>& APIKey,
                                                        const KitVersions& kitVersionsByKitBundleIdentifier);
    void beginSettingsDownload();
    void beginOnboarding(bool shouldCreate, const std::string& endpointString);

    ZOVSettings& settingsModel();
    std::optional<std::string> settingsURL();
    std::optional<std::string> appIconHash() const;
    const std::string& settingsDirectoryPath() const { return settingsDirectoryPath_; }
    std::string settingsPath() const { return settingsDirectoryPath_ + "/settings.json"; }
    static std::string defaultSettingsDirectoryPath();

    static std::optional<std::string> valueForConfigurationKey(const std::string& key);

    void finishNetworkingSession();
    void postSettingsDownloadCompletedNotification();

    // Where the advertising token is read when a download is made (the SDK's shared instance).
    void setAdvertisingTokenProvider(std::function<std::optional<std::string>()> provider);

    void operation(ZOVDownloadAndSaveSettingsOperation& operation,
                   const std::optional<ns::Error>& error) override;
    void onboardingOperationDidCompleteAppCreationWithError(ZOVOnboardingOperation& operation,
                                                            const std::optional<ns::Error>& error) override;
    void onboardingOperationDidCompleteAppUpdateWithError(ZOVOnboardingOperation& operation,
                                                          const std::optional<ns::Error>& error) override;

    bool hasAttemptedAppConfigure() const;
    const std::shared_ptr<ZOVApplicationIdentiferModel>& appIdentifierModel() const {
        return appIdentifierModel_;
    }
    std::shared_ptr<ZOVOnboardingOperation> onboardingOperation() const;
    const std::shared_ptr<ZOVNetworkClient>& networkClient() const { return networkClient_; }

  private:
    ZOVSettingsOnboardingManager() = default;

    mutable std::mutex mutex_;
    bool hasAttemptedAppConfigure_ = false;
    std::unique_ptr<ZOVSettings> settingsModel_;
    std::shared_ptr<ZOVApplicationIdentiferModel> appIdentifierModel_;
    std::shared_ptr<ZOVOnboardingOperation> onboardingOperation_;
    std::optional<std::string> APIKey_;
    KitVersions kitVersionsByKitBundleIdentifier_;
    std::shared_ptr<ZOVNetworkClient> networkClient_;
    std::string settingsDirectoryPath_;
    std::function<std::optional<std::string>()> advertisingTokenProvider_;
};
