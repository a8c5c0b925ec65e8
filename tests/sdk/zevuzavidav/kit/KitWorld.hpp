#pragma once
// A crash kit of its own for a test, in a world of its own: a sandbox and bundle, an SDK singleton
// stand-in (its own Zovaze instance, API key "kit-key"), a class registry whose "Rurorad" notes every
// class message the kit sends it, and crash reporting controllers whose handlers are only recorded,
// never installed.
#include "platform/dispatch/MainQueue.hpp"
#include "platform/uikit/AlertController.hpp"
#include "platform/uikit/Application.hpp"
#include "sdk/zevuzavidav/kit/Zevuzavidav.hpp"
#include "sdk/zovaze/Zovaze.hpp"
#include "tests/sdk/zevuzavidav/support/ReportServer.hpp"
#include "tests/support/SDKHome.hpp"

#include <any>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kittest {

inline constexpr const char* kBundleIdentifier = "com.velomarinth.kittest";

// What the kit sent the analytics kit, by class message.
struct AnalyticsCalls {
    std::mutex mutex;
    std::vector<std::optional<std::string>> starts;
    std::vector<std::optional<ns::Date>> previousSessionCrashes;
    std::vector<std::optional<std::string>> previousCrashSessions;
    // What the message that names the crashed launch answers: whether the crash is kept.
    bool keepsCrashes = true;
    std::vector<std::pair<std::optional<std::string>, std::optional<ZevuzavidavEventAttributes>>> events;
};

// `takesTheLaunch`: the analytics kit also answers the message that names the crashed launch, as this
// program's does; without it only the one with the date alone.
inline void registerAnalytics(rt::ClassRegistry& registry, const std::shared_ptr<AnalyticsCalls>& calls,
                              bool takesTheLaunch = true) {
    rt::ClassDefinition analytics;
    analytics.name = "Rurorad";
    analytics.classMethods["startWithBetaToken:"] = [calls](const rt::Class&, rt::Arguments arguments) {
        std::lock_guard lock(calls->mutex);
        calls->starts.push_back(std::any_cast<std::optional<std::string>>(arguments[0]));
        return std::any();
    };
    analytics.classMethods["logPreviousSessionCrashedOnDate:"] = [calls](const rt::Class&,
                                                                         rt::Arguments arguments) {
        const auto* date = std::any_cast<ns::Date>(&arguments[0]);
        std::lock_guard lock(calls->mutex);
        calls->previousSessionCrashes.push_back(date ? std::optional<ns::Date>(*date) : std::nullopt);
        calls->previousCrashSessions.push_back(std::nullopt);
        return std::any();
    };
    if (takesTheLaunch)
        analytics.classMethods["logPreviousSessionCrashedOnDate:sessionIdentifier:"] =
            [calls](const rt::Class&, rt::Arguments arguments) {
                const auto* date = std::any_cast<ns::Date>(&arguments[0]);
                std::lock_guard lock(calls->mutex);
                calls->previousSessionCrashes.push_back(date ? std::optional<ns::Date>(*date) : std::nullopt);
                calls->previousCrashSessions.push_back(
                    std::any_cast<std::optional<std::string>>(arguments[1]));
                return std::any(calls->keepsCrashes);
            };
    analytics.classMethods["logCustomEventWithName:customAttributes:"] = [calls](const rt::Class&,
                                                                                 rt::Arguments arguments) {
        std::lock_guard lock(calls->mutex);
        calls->events.emplace_back(std::any_cast<std::optional<std::string>>(arguments[0]),
                                   std::any_cast<std::optional<ZevuzavidavEventAttributes>>(arguments[1]));
        return std::any();
    };
    registry.registerClass(std::move(analytics));
}

class KitWorld {
  public:
    explicit KitWorld(ns::PropertyList::Dictionary info = {{"CFBundleIdentifier", kBundleIdentifier},
                                                           {"CFBundleVersion", "7"}},
                      bool analyticsTakesTheLaunch = true)
        : home_(std::move(info)) {
        reporttest::pinnedTestRoot(); // before the first client takes the pinned set
        dispatch::main().bindToCurrentThread();
        ui::Application::shared().setRootViewController(std::make_shared<ui::ViewController>());
        registerAnalytics(registry, analytics, analyticsTakesTheLaunch);
        Zovaze::Environment sdkEnvironment;
        sdkEnvironment.registry = &registry;
        sdkEnvironment.readInstallationUUID = [] { return std::optional<std::string>("INSTALL-1"); };
        sdkEnvironment.storeInstallationUUID = [](const std::string&) {};
        sdkEnvironment.makeApplicationIdentifierModel = [](const std::optional<std::string>&) {
            return std::shared_ptr<ZOVApplicationIdentiferModel>();
        };
        sdkEnvironment.makeSettingsManager = [](std::shared_ptr<ZOVApplicationIdentiferModel>) {
            return std::shared_ptr<ZOVSettingsOnboardingManager>();
        };
        sdkEnvironment.beginSettings = [](Zovaze&, const std::optional<std::string>&,
                                          const Zovaze::KitVersions&) {};
        sdk = std::make_unique<Zovaze>(sdkEnvironment);
        sdk->setAPIKey(std::string("kit-key"));
    }
    ~KitWorld() {
        // The controllers go here, on this thread, once their work is done (never from their own queue).
        for (const auto& controller : controllers_) {
            dispatch::main().drain();
            controller->operationQueue()->waitUntilAllOperationsAreFinished();
        }
        controllers_.clear();
        dispatch::main().drain();
        ui::AlertController::clearPresentedAlerts();
        ui::Application::shared().reset();
    }
    KitWorld(const KitWorld&) = delete;
    KitWorld& operator=(const KitWorld&) = delete;

    // A kit of this world; `betaToken` (when beta is supported) stands for the font's token.
    std::shared_ptr<Zevuzavidav> makeKit(bool betaSupported = false,
                                         std::optional<std::string> betaToken = std::nullopt) {
        Zevuzavidav::Environment environment;
        environment.kitClass = Zevuzavidav::registerKitClass(registry);
        environment.registry = &registry;
        environment.sdk = [this]() -> Zovaze& { return *sdk; };
        environment.isBetaSupported = [betaSupported] { return betaSupported; };
        environment.makeBetaController = [this,
                                          betaToken](std::weak_ptr<ZEVBetaControllerDelegate> delegate) {
            ZEVBetaController::Environment beta;
            beta.readBetaToken = [betaToken] { return betaToken; };
            beta.instanceIdentifier = [] { return std::optional<std::string>("instance-1"); };
            beta.notificationCenter = &center;
            return ZEVBetaController::initWithDelegate(std::move(delegate), beta);
        };
        environment.makeCrashReportingController =
            [this](std::shared_ptr<ZEVFileManager> files,
                   std::weak_ptr<ZEVCrashReportingControllerDelegate> kit) {
                ZEVCrashReportingController::Environment controller;
                controller.executionIdentifier = [] { return std::string("launch-1"); };
                controller.contextInitialize = [this](const ZEVContextInitData* data) {
                    installedBetaTokens.push_back(
                        data->betaToken ? std::optional<std::string>(data->betaToken) : std::nullopt);
                    crashCallbackInstalled = data->crashCallbackTarget != nullptr;
                };
                ++controllersMade;
                controllers_.push_back(ZEVCrashReportingController::initWithFileManager(
                    std::move(files), std::move(kit), controller));
                return controllers_.back();
            };
        environment.isExtension = [this] { return extension; };
        return Zevuzavidav::initWithSuper(environment);
    }

    const zovtest::SDKHome& home() const { return home_; }

    rt::ClassRegistry registry;
    std::shared_ptr<AnalyticsCalls> analytics = std::make_shared<AnalyticsCalls>();
    std::unique_ptr<Zovaze> sdk;
    ns::NotificationCenter center;
    bool extension = false;
    int controllersMade = 0;
    std::vector<std::optional<std::string>> installedBetaTokens;
    bool crashCallbackInstalled = false;

  private:
    std::vector<std::shared_ptr<ZEVCrashReportingController>> controllers_;
    zovtest::SDKHome home_;
    // Earlier reports are sent nowhere.
    zovtest::ScopedEnvironment reports_{"ZevuzavidavReportsEndpoint", "https://127.0.0.1:9"};
};

} // namespace kittest
