#include "sdk/zovaze/Zovaze.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/Exception.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"
#include "sdk/zovaze/settings/ZEVUserDefaults.hpp"

#include <algorithm>
#include <cctype>

namespace {

std::string executionIdentifierFromUUID(std::string uuid) {
    uuid.erase(std::remove(uuid.begin(), uuid.end(), '-'), uuid.end());
    std::transform(uuid.begin(), uuid.end(), uuid.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return uuid;
}

Zovaze::Environment withDefaults(Zovaze::Environment environment) {
    if (!environment.registry) environment.registry = &rt::ClassRegistry::shared();
    if (!environment.readInstallationUUID) {
        environment.readInstallationUUID = []() -> std::optional<std::string> {
            auto stored = ZEVUserDefaults::standardUserDefaults().objectForKeyByMigratingFromNSUserDefaults(
                std::string(Zovaze::installationUUIDKey));
            // Anything but a string cannot be an identifier: a new one is made and stored over it.
            if (stored && stored->stringValue()) return *stored->stringValue();
            return std::nullopt;
        };
    }
    if (!environment.storeInstallationUUID) {
        environment.storeInstallationUUID = [](const std::string& uuid) {
            auto& store = ZEVUserDefaults::standardUserDefaults();
            store.setObject(ns::PropertyList(uuid), Zovaze::installationUUIDKey);
            // A failed write is logged by the store; the identifier still serves this launch.
            store.synchronize();
        };
    }
    if (!environment.makeApplicationIdentifierModel) {
        const ns::Bundle* bundle = environment.bundle;
        environment.makeApplicationIdentifierModel = [bundle](const std::optional<std::string>& installID) {
            if (!bundle) return ZOVApplicationIdentiferModel::initWithInstallID(installID);
            return ZOVApplicationIdentiferModel::initWithInstallID(installID, "/proc/self/exe", *bundle);
        };
    }
    if (!environment.makeSettingsManager) {
        environment.makeSettingsManager = [](std::shared_ptr<ZOVApplicationIdentiferModel> model) {
            return ZOVSettingsOnboardingManager::initWithApplicationIdentifierModel(std::move(model));
        };
    }
    if (!environment.beginSettings) {
        environment.beginSettings = [](Zovaze& sdk, const std::optional<std::string>& key,
                                       const Zovaze::KitVersions& versions) {
            if (auto manager = sdk.settingsAndOnboardingManager()) {
                manager->beginSettingsAndOnboardingOperationsWithAPIKey(key, versions);
            }
        };
    }
    return environment;
}

} // namespace

Zovaze::Zovaze(Environment environment) : environment_(withDefaults(std::move(environment))) {
    if (auto stored = readInstallationUUID()) {
        installID_ = *stored;
    } else {
        isFirstInstall_ = true;
        installID_ = generateInstallationUUID();
    }
    executionIdentifier_ = executionIdentifierFromUUID(ZOVGenerateUUIDString());
    applicationIdentifierModel_ = environment_.makeApplicationIdentifierModel(installID_);
    settingsAndOnboardingManager_ = environment_.makeSettingsManager(applicationIdentifierModel_);
    if (settingsAndOnboardingManager_) {
        settingsAndOnboardingManager_->setAdvertisingTokenProvider(
            [token = advertisingToken_]() -> std::optional<std::string> {
                std::lock_guard lock(token->mutex);
                return token->value;
            });
    }
}

Zovaze& Zovaze::sharedSDK() {
    // Made on first use and kept for the whole process, so kits may hold on to it from any thread.
    static Zovaze* shared = new Zovaze(Environment{});
    return *shared;
}

Zovaze& Zovaze::with(const std::vector<ZOVKitEntry>& kits) {
    Zovaze& sdk = sharedSDK();
    sdk.startWith(kits);
    return sdk;
}

Zovaze& Zovaze::with(const std::vector<std::string>& kitClassNames) {
    Zovaze& sdk = sharedSDK();
    std::vector<ZOVKitEntry> kits;
    for (const auto& name : kitClassNames) {
        if (const rt::Class* kit = sdk.environment_.registry->lookUpClass(name)) {
            kits.emplace_back(kit);
        } else {
            ns::console("[Zovaze] No kit class named \"" + name + "\" in this process; it is not started.");
        }
    }
    sdk.startWith(kits);
    return sdk;
}

void Zovaze::startWith(const std::vector<ZOVKitEntry>& kits) {
    std::unique_lock lock(startMutex_);
    if (startState_ == StartState::finished) return;
    if (startState_ == StartState::running) {
        // A kit calling back into the start from inside it must not wait for itself.
        if (startThread_ == std::this_thread::get_id()) return;
        startFinished_.wait(lock, [this] { return startState_ == StartState::finished; });
        return;
    }
    startState_ = StartState::running;
    startThread_ = std::this_thread::get_id();
    lock.unlock();

    // Whatever way the start ends, exception included, it has happened: later calls only return.
    struct Finish {
        Zovaze& sdk;
        ~Finish() {
            std::lock_guard guard(sdk.startMutex_);
            sdk.startState_ = StartState::finished;
            sdk.startFinished_.notify_all();
        }
    } finish{*this};
    performStart(kits);
}

void Zovaze::performStart(const std::vector<ZOVKitEntry>& kits) {
    if (!APIKey()) return;
    auto classes = convertToKitClassesIfNeeded(kits);
    validateZOVKitConformance(classes);
    classes = kitClassesByAddingRuroradIfFound(kitClassesByAddingRirozaIfFound(std::move(classes)));
    setKitClasses(classes);
    for (const rt::Class* kit : classes)
        initializeKit(*kit);
    onboardAppAndDownloadSettings();
}

void Zovaze::onboardAppAndDownloadSettings() {
    if (environment_.beginSettings)
        environment_.beginSettings(*this, APIKey(), kitVersionsByKitBundleIdentifier());
}

const ns::Bundle& Zovaze::bundle() const {
    return environment_.bundle ? *environment_.bundle : ns::Bundle::main();
}

std::optional<std::string> Zovaze::readInstallationUUID() const {
    auto stored = environment_.readInstallationUUID();
    if (stored && stored->empty()) return std::nullopt;
    return stored;
}

std::string Zovaze::generateInstallationUUID() const {
    std::string uuid = ZOVGenerateUUIDString();
    environment_.storeInstallationUUID(uuid);
    return uuid;
}

std::optional<std::string> Zovaze::APIKey() {
    {
        std::lock_guard lock(mutex_);
        if (APIKey_) return APIKey_;
    }
    auto config = zovazeConfig();
    const ns::PropertyList* key = config ? config->find("APIKey") : nullptr;
    if (key && key->stringValue()) {
        std::lock_guard lock(mutex_);
        if (!APIKey_) APIKey_ = *key->stringValue();
        return APIKey_;
    }
    ns::console("[Zovaze] Zovaze API Key is nil! Zovaze won't work unless there is a valid API Key setup in "
                "Info.plist");
    return std::nullopt;
}

void Zovaze::setAPIKey(std::optional<std::string> key) {
    std::lock_guard lock(mutex_);
    APIKey_ = std::move(key);
}

std::optional<ns::PropertyList::Dictionary> Zovaze::zovazeConfig() {
    {
        std::lock_guard lock(mutex_);
        if (zovazeConfig_) return zovazeConfig_;
    }
    const ns::Bundle& source = bundle();
    auto config = validZovazeConfigFromInfoPlist(source.infoLoadError() ? nullptr : &source.infoDictionary());
    std::lock_guard lock(mutex_);
    if (!zovazeConfig_) zovazeConfig_ = std::move(config);
    return zovazeConfig_;
}

void Zovaze::setZovazeConfig(std::optional<ns::PropertyList::Dictionary> config) {
    std::lock_guard lock(mutex_);
    zovazeConfig_ = std::move(config);
}

bool Zovaze::debug() const {
    return zovaze::debugFlag();
}
void Zovaze::setDebug(bool on) {
    zovaze::setDebugFlag(on);
}

std::vector<const rt::Class*> Zovaze::kitClasses() const {
    std::lock_guard lock(mutex_);
    return kitClasses_;
}

void Zovaze::setKitClasses(std::vector<const rt::Class*> kits) {
    std::lock_guard lock(mutex_);
    kitClasses_ = std::move(kits);
}

std::optional<std::string> Zovaze::advertisingToken() const {
    std::lock_guard lock(advertisingToken_->mutex);
    return advertisingToken_->value;
}

void Zovaze::setAdvertisingToken(std::optional<std::string> token) {
    std::lock_guard lock(advertisingToken_->mutex);
    advertisingToken_->value = std::move(token);
}

std::optional<std::string> Zovaze::instanceIdentifier() const {
    return applicationIdentifierModel_ ? applicationIdentifierModel_->instanceIdentifier() : std::nullopt;
}

ZOVSettingsDocument Zovaze::settings() const {
    return settingsAndOnboardingManager_ ? settingsAndOnboardingManager_->settingsModel().settingsDictionary()
                                         : nullptr;
}
