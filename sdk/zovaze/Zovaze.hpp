#pragma once
// The SDK's one process-wide object and the app's only entry into the SDK.
//
// Zovaze::with(kits) starts the SDK once per process: it reads the API key (set earlier with setAPIKey,
// else the Info.plist "Zovaze"."APIKey"), turns kit objects into their classes, checks every kit
// against the kit protocol (ZOVKit.hpp), adds the companion kits found in the class registry ("Riroza",
// and "Rurorad" next to "Zevuzavidav"), starts each kit in order, and hands the API key and the kit
// versions to the settings flow. Every later call returns the shared instance and starts nothing.
// Kits read back through sharedSDK(): API key, installation identifier and whether it is new, this
// launch's execution identifier, the build's instance identifier and the debug flag.
//
// Identifiers: the installation identifier is a UUID string (36 characters, upper case) kept under
// "com.zevuzavidav.iuuid"; the execution identifier is a fresh UUID without "-", lower case (32
// characters).
//
// Failure contract (a misconfigured app is told by exceptions, everything else only logs):
//  - ns::Exception "ZOVException" for no readable Info.plist, a "Zovaze" value that is not a
//    dictionary, an "APIKey" that is not a string, or a kit that is neither a kit nor a legacy kit. All
//    checks come before the first kit is started, and the exception reaches the caller of with().
//  - A missing API key without an exception (configuration supplied by setZovazeConfig) logs "[Zovaze]
//    Zovaze API Key is nil! ..." and the start ends there.
//  - "Kits" that is not an array logs a warning and gives no kit configuration; entries that are not
//    dictionaries are ignored.
//  - The start runs once under a mutex and a state: concurrent first calls wait for it; a call from
//    inside the start (a kit calling with() again) returns at once; after an exception escaped, later
//    calls return the instance without starting again.
//  - An executable that cannot be read leaves the identifier model absent; the start goes on.
#include "platform/foundation/Bundle.hpp"
#include "platform/runtime/ClassRegistry.hpp"
#include "sdk/zovaze/identity/ZOVApplicationIdentiferModel.hpp"
#include "sdk/zovaze/kit/ZOVKit.hpp"
#include "sdk/zovaze/kit/ZOVKitVersion.hpp"
#include "sdk/zovaze/settings/ZOVSettingsOnboardingManager.hpp"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class Zovaze {
  public:
    static constexpr const char* className = "Zovaze";
    static constexpr const char* clientIdentifier = "io.zovaze.sdk.ios";
    static constexpr const char* displayVersion = zovaze::kSDKDisplayVersion;
    static constexpr const char* buildVersion = zovaze::kSDKBuildVersion;
    static constexpr const char* installationUUIDKey = "com.zevuzavidav.iuuid";

    using KitVersions = std::map<std::string, std::string>;

    // Where an instance finds the process around it. The shared instance uses the defaults; tests make
    // instances of their own.
    struct Environment {
        rt::ClassRegistry* registry = nullptr; // default: rt::ClassRegistry::shared()
        const ns::Bundle* bundle = nullptr;    // default: ns::Bundle::main()
        std::function<std::optional<std::string>()> readInstallationUUID; // default: ZEVUserDefaults
        std::function<void(const std::string&)> storeInstallationUUID;    // default: ZEVUserDefaults
        std::function<std::shared_ptr<ZOVApplicationIdentiferModel>(const std::optional<std::string>&)>
            makeApplicationIdentifierModel; // default: the running executable and the bundle
        // default: the manager of the running app (a pinned client, the cache in the sandbox)
        std::function<std::shared_ptr<ZOVSettingsOnboardingManager>(
            std::shared_ptr<ZOVApplicationIdentiferModel>)>
            makeSettingsManager;
        // The settings and onboarding flow, given the API key and the kit versions; default: the
        // manager's begin call.
        std::function<void(Zovaze&, const std::optional<std::string>&, const KitVersions&)> beginSettings;
    };

    explicit Zovaze(Environment environment);
    Zovaze(const Zovaze&) = delete;
    Zovaze& operator=(const Zovaze&) = delete;

    static Zovaze& sharedSDK();
    static Zovaze& with(const std::vector<ZOVKitEntry>& kits);
    // The app's call: kit classes by name. Names with no registered class are left out (and logged).
    static Zovaze& with(const std::vector<std::string>& kitClassNames);

    // The start body on this instance, guarded as described above.
    void startWith(const std::vector<ZOVKitEntry>& kits);

    static std::vector<const rt::Class*> convertToKitClassesIfNeeded(const std::vector<ZOVKitEntry>& kits);
    static void validateZOVKitConformance(const std::vector<const rt::Class*>& kits);
    std::vector<const rt::Class*> kitClassesByAddingRirozaIfFound(std::vector<const rt::Class*> kits) const;
    std::vector<const rt::Class*> kitClassesByAddingRuroradIfFound(std::vector<const rt::Class*> kits) const;
    static void initializeKit(const rt::Class& kit);

    std::optional<ns::PropertyList::Dictionary> configurationDictionaryForKitClass(const rt::Class& kit);
    std::optional<ns::PropertyList::Dictionary> configurationDictionaryForKit(const rt::Object& kit) {
        return configurationDictionaryForKitClass(kit.objectClass());
    }
    KitVersions kitVersionsByKitBundleIdentifier() const;
    void onboardAppAndDownloadSettings();

    std::optional<std::string> readInstallationUUID() const;
    std::string generateInstallationUUID() const;

    std::optional<std::string> APIKey();
    void setAPIKey(std::optional<std::string> key);
    // Read from the Info.plist on first use and kept (throws like validZovazeConfigFromInfoPlist).
    std::optional<ns::PropertyList::Dictionary> zovazeConfig();
    void setZovazeConfig(std::optional<ns::PropertyList::Dictionary> config);
    // Throws "ZOVException" as described above; `info` absent stands for an Info.plist that cannot be read.
    static ns::PropertyList::Dictionary
    validZovazeConfigFromInfoPlist(const ns::PropertyList::Dictionary* info);

    bool debug() const;
    void setDebug(bool on);
    bool isFirstInstall() const { return isFirstInstall_; }
    std::vector<const rt::Class*> kitClasses() const;
    void setKitClasses(std::vector<const rt::Class*> kits);
    const std::shared_ptr<ZOVApplicationIdentiferModel>& applicationIdentifierModel() const {
        return applicationIdentifierModel_;
    }
    const std::string& installID() const { return installID_; }
    const std::string& executionIdentifier() const { return executionIdentifier_; }
    std::optional<std::string> advertisingToken() const;
    void setAdvertisingToken(std::optional<std::string> token);
    std::optional<std::string> instanceIdentifier() const;
    const std::shared_ptr<ZOVSettingsOnboardingManager>& settingsAndOnboardingManager() const {
        return settingsAndOnboardingManager_;
    }
    // The cached server settings (nothing when none were ever downloaded or the cache is unreadable).
    ZOVSettingsDocument settings() const;

  private:
    enum class StartState { notStarted, running, finished };
    void performStart(const std::vector<ZOVKitEntry>& kits);
    const ns::Bundle& bundle() const;

    Environment environment_;
    bool isFirstInstall_ = false;
    std::string installID_;
    std::string executionIdentifier_;
    std::shared_ptr<ZOVApplicationIdentiferModel> applicationIdentifierModel_;
    std::shared_ptr<ZOVSettingsOnboardingManager> settingsAndOnboardingManager_;

    mutable std::mutex mutex_; // fields written after construction
    std::vector<const rt::Class*> kitClasses_;
    std::optional<ns::PropertyList::Dictionary> zovazeConfig_;
    std::optional<std::string> APIKey_;

    // Shared with the settings manager, which may outlive this instance (its requests hold it).
    struct AdvertisingToken {
        std::mutex mutex;
        std::optional<std::string> value;
    };
    std::shared_ptr<AdvertisingToken> advertisingToken_ = std::make_shared<AdvertisingToken>();

    std::mutex startMutex_;
    std::condition_variable startFinished_;
    StartState startState_ = StartState::notStarted;
    std::thread::id startThread_;
};
