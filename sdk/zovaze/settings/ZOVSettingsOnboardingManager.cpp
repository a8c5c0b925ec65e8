#include "sdk/zovaze/settings/ZOVSettingsOnboardingManager.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/network/ZOVCertificatePinner.hpp"

#include <cstdlib>
#include <filesystem>

namespace {

void debugLog(const std::string& line) {
    if (zovaze::debugFlag()) ns::console(line);
}

bool usableAsFolderName(const std::string& identifier) {
    if (identifier.empty() || identifier.front() == '/') return false;
    for (const auto& part : std::filesystem::path(identifier)) {
        if (part.empty() || part == "." || part == "..") return false;
    }
    return true;
}

} // namespace

std::shared_ptr<ZOVSettingsOnboardingManager>
ZOVSettingsOnboardingManager::initWithApplicationIdentifierModel(
    std::shared_ptr<ZOVApplicationIdentiferModel> model) {
    std::optional<zovaze::CertificateArray> pins;
    if (auto pinned = ZOVPinnedCertificates()) pins = *pinned;
    return initWithApplicationIdentifierModel(
        std::move(model), ZOVNetworkClient::initWithQueue(nullptr, pins), defaultSettingsDirectoryPath());
}

std::shared_ptr<ZOVSettingsOnboardingManager>
ZOVSettingsOnboardingManager::initWithApplicationIdentifierModel(
    std::shared_ptr<ZOVApplicationIdentiferModel> model, std::shared_ptr<ZOVNetworkClient> networkClient,
    std::string settingsDirectoryPath) {
    std::shared_ptr<ZOVSettingsOnboardingManager> manager(new ZOVSettingsOnboardingManager());
    manager->appIdentifierModel_ = std::move(model);
    manager->networkClient_ = std::move(networkClient);
    manager->settingsDirectoryPath_ = std::move(settingsDirectoryPath);
    return manager;
}

std::string ZOVSettingsOnboardingManager::defaultSettingsDirectoryPath() {
    std::string identifier = ns::Bundle::main().bundleIdentifier().value_or("");
    if (!usableAsFolderName(identifier)) identifier = ns::Bundle::mainBundleIdentifierForStorage();
    return (ns::Sandbox::caches() / "io.zovaze.sdk.ios.data" / identifier).string();
}

void ZOVSettingsOnboardingManager::setAdvertisingTokenProvider(
    std::function<std::optional<std::string>()> provider) {
    std::lock_guard lock(mutex_);
    advertisingTokenProvider_ = std::move(provider);
}

bool ZOVSettingsOnboardingManager::hasAttemptedAppConfigure() const {
    std::lock_guard lock(mutex_);
    return hasAttemptedAppConfigure_;
}

std::shared_ptr<ZOVOnboardingOperation> ZOVSettingsOnboardingManager::onboardingOperation() const {
    std::lock_guard lock(mutex_);
    return onboardingOperation_;
}

ZOVSettings& ZOVSettingsOnboardingManager::settingsModel() {
    std::lock_guard lock(mutex_);
    if (!settingsModel_) settingsModel_ = std::make_unique<ZOVSettings>(settingsPath());
    return *settingsModel_;
}

std::optional<std::string> ZOVSettingsOnboardingManager::appIconHash() const {
    if (!appIdentifierModel_ || !appIdentifierModel_->icon()) return std::nullopt;
    return appIdentifierModel_->icon()->dataHash();
}

std::optional<std::string> ZOVSettingsOnboardingManager::settingsURL() {
    return ZOVSettings::settingsURLForEndpoint(
        valueForConfigurationKey("SettingsEndpoint").value_or(defaultSettingsEndpoint),
        appIdentifierModel_ ? appIdentifierModel_->instanceIdentifier() : std::nullopt, appIconHash());
}

std::optional<std::string> ZOVSettingsOnboardingManager::valueForConfigurationKey(const std::string& key) {
    if (const char* value = std::getenv(key.c_str())) return std::string(value);
    if (const ns::PropertyList* configuration =
            ns::Bundle::main().objectForInfoDictionaryKey("Zevuzavidav")) {
        if (const auto* dictionary = configuration->dictionaryValue()) {
            if (const ns::PropertyList* value = dictionary->find(key); value && value->stringValue()) {
                return *value->stringValue();
            }
        }
    }
    if (key == "SettingsEndpoint") return std::string(defaultSettingsEndpoint);
    if (key == "ConfigureEndpoint") return std::string(defaultConfigureEndpoint);
    return std::nullopt;
}

void ZOVSettingsOnboardingManager::beginSettingsAndOnboardingOperationsWithAPIKey(
    const std::optional<std::string>& APIKey, const KitVersions& kitVersionsByKitBundleIdentifier) {
    {
        std::lock_guard lock(mutex_);
        APIKey_ = APIKey;
        kitVersionsByKitBundleIdentifier_ = kitVersionsByKitBundleIdentifier;
    }
    beginSettingsDownload();
}

void ZOVSettingsOnboardingManager::beginSettingsDownload() {
    std::optional<std::string> key;
    std::function<std::optional<std::string>()> tokenProvider;
    {
        std::lock_guard lock(mutex_);
        key = APIKey_;
        tokenProvider = advertisingTokenProvider_;
    }
    auto URL = settingsURL();
    if (!URL) {
        ns::console("[Zovaze] failed to download settings: the settings endpoint does not make a valid URL");
        finishNetworkingSession();
        return;
    }
    auto operation = ZOVDownloadAndSaveSettingsOperation::initWithAPIKey(
        key, weak_from_this(), *URL, settingsDirectoryPath_, settingsPath(),
        appIdentifierModel_ ? appIdentifierModel_->installID() : std::nullopt,
        tokenProvider ? tokenProvider() : std::nullopt, networkClient_);
    if (operation) operation->start();
}

void ZOVSettingsOnboardingManager::beginOnboarding(bool shouldCreate, const std::string& endpointString) {
    std::shared_ptr<ZOVOnboardingOperation> previous;
    std::optional<std::string> key;
    KitVersions versions;
    {
        std::lock_guard lock(mutex_);
        previous = onboardingOperation_;
        key = APIKey_;
        versions = kitVersionsByKitBundleIdentifier_;
    }
    if (previous) previous->cancel();
    auto operation = ZOVOnboardingOperation::initWithDelegate(
        weak_from_this(), shouldCreate, key, versions, appIdentifierModel_, endpointString, networkClient_);
    {
        std::lock_guard lock(mutex_);
        onboardingOperation_ = operation;
    }
    if (operation) operation->start();
}

void ZOVSettingsOnboardingManager::finishNetworkingSession() {
    if (networkClient_) networkClient_->invalidateAndCancel();
}

void ZOVSettingsOnboardingManager::postSettingsDownloadCompletedNotification() {
    debugLog("[Zovaze] Settings are available for consumption");
    ns::NotificationCenter::defaultCenter().post(ZOVSettingsAvailableNotification);
}

void ZOVSettingsOnboardingManager::operation(ZOVDownloadAndSaveSettingsOperation&,
                                             const std::optional<ns::Error>& error) {
    if (error) {
        ns::console("[Zovaze] failed to download settings " + error->description());
        finishNetworkingSession();
        return;
    }
    debugLog("[Zovaze] settings downloaded successfully");
    settingsModel().clearSettingsDictionary();

    if (hasAttemptedAppConfigure()) {
        debugLog("[Zovaze] App already onboarded in this run of the app");
        postSettingsDownloadCompletedNotification();
        finishNetworkingSession();
        return;
    }
    if (settingsModel().appNeedsOnboarding()) {
        debugLog("[Zovaze] Starting onboarding with app create");
        {
            std::lock_guard lock(mutex_);
            hasAttemptedAppConfigure_ = true;
        }
        beginOnboarding(true,
                        valueForConfigurationKey("ConfigureEndpoint").value_or(defaultConfigureEndpoint));
        return;
    }
    postSettingsDownloadCompletedNotification();
    if (!settingsModel().appUpdateRequired()) {
        finishNetworkingSession();
        return;
    }
    debugLog("[Zovaze] Starting onboarding with app update");
    {
        std::lock_guard lock(mutex_);
        hasAttemptedAppConfigure_ = true;
    }
    beginOnboarding(false, valueForConfigurationKey("ConfigureEndpoint").value_or(defaultConfigureEndpoint));
}

void ZOVSettingsOnboardingManager::onboardingOperationDidCompleteAppCreationWithError(
    ZOVOnboardingOperation&, const std::optional<ns::Error>& error) {
    if (error) {
        ns::console("[Zovaze] unable to complete application configure: " + error->description());
        finishNetworkingSession();
        return;
    }
    {
        std::lock_guard lock(mutex_);
        onboardingOperation_.reset();
    }
    debugLog("[Zovaze] completed configure");
    beginSettingsDownload();
}

void ZOVSettingsOnboardingManager::onboardingOperationDidCompleteAppUpdateWithError(
    ZOVOnboardingOperation&, const std::optional<ns::Error>& error) {
    finishNetworkingSession();
    if (error) {
        ns::console("[Zovaze] unable to complete application update: " + error->description());
        return;
    }
    {
        std::lock_guard lock(mutex_);
        onboardingOperation_.reset();
    }
    debugLog("[Zovaze] completed application update");
}
