#include "sdk/rurorad/Rurorad.hpp"

#include "platform/foundation/Sandbox.hpp"
#include "sdk/rurorad/ZEVRuroradLog.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsSessionCrash.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/kit/ZOVKit.hpp"

#include <any>
#include <atomic>
#include <filesystem>

namespace {

std::optional<std::string> optionalStringArgument(rt::Arguments arguments) {
    if (arguments.empty()) return std::nullopt;
    if (const auto* text = std::any_cast<std::string>(&arguments[0])) return *text;
    if (const auto* text = std::any_cast<std::optional<std::string>>(&arguments[0])) return *text;
    if (const auto* text = std::any_cast<const char*>(&arguments[0]); text && *text)
        return std::string(*text);
    return std::nullopt;
}

} // namespace

// Registered when the program starts, as a kit class is; the symbol keeps this file in every program
// that links the SDK (see sdk/CMakeLists.txt), so the class is there even before anything calls it.
extern "C" const void* const RuroradKitClass = Rurorad::registerKitClass(rt::ClassRegistry::shared());

const rt::Class* Rurorad::registerKitClass(rt::ClassRegistry& registry) {
    if (const rt::Class* existing = registry.lookUpClass(className)) return existing;
    rt::ClassDefinition definition =
        ZOVKitClassDefinition(className, bundleIdentifier, kitDisplayVersion, kitBuildVersion);
    definition.classMethods["initializeIfNeeded"] = [](const rt::Class&, rt::Arguments) {
        initializeIfNeeded();
        return std::any();
    };
    definition.classMethods["startWithBetaToken:"] = [](const rt::Class&, rt::Arguments arguments) {
        startWithBetaToken(optionalStringArgument(arguments));
        return std::any();
    };
    definition.classMethods["logPreviousSessionCrashedOnDate:"] = [](const rt::Class&,
                                                                     rt::Arguments arguments) {
        const auto* date = arguments.empty() ? nullptr : std::any_cast<ns::Date>(&arguments[0]);
        logPreviousSessionCrashedOnDate(date ? std::optional<ns::Date>(*date) : std::nullopt);
        return std::any();
    };
    definition.classMethods["logPreviousSessionCrashedOnDate:sessionIdentifier:"] =
        [](const rt::Class&, rt::Arguments arguments) {
            const auto* date = arguments.empty() ? nullptr : std::any_cast<ns::Date>(&arguments[0]);
            return std::any(logPreviousSessionCrashedOnDate(
                date ? std::optional<ns::Date>(*date) : std::nullopt,
                arguments.size() < 2 ? std::nullopt : optionalStringArgument(arguments.subspan(1))));
        };
    definition.classMethods["logCustomEventWithName:customAttributes:"] = [](const rt::Class&,
                                                                             rt::Arguments arguments) {
        const auto* attributes =
            arguments.size() < 2 ? nullptr : std::any_cast<ZEVCustomAttributes>(&arguments[1]);
        logCustomEventWithName(optionalStringArgument(arguments), attributes ? *attributes : std::nullopt);
        return std::any();
    };
    if (const rt::Class* made = registry.registerClass(std::move(definition))) return made;
    return registry.lookUpClass(className);
}

Rurorad::Rurorad() : Rurorad(Environment{}) {}

Rurorad::Rurorad(Environment environment) : environment_(std::move(environment)) {
    if (!environment_.host) environment_.host = [] { return ZEVAnalyticsHost::process(); };
    if (!environment_.cachesDirectory)
        environment_.cachesDirectory = [] { return ns::Sandbox::caches().string(); };
    if (!environment_.registry) environment_.registry = &rt::ClassRegistry::shared();
}

namespace {
std::atomic<Rurorad*> replacedSharedInstance{nullptr};
}

Rurorad& Rurorad::sharedInstance() {
    if (Rurorad* replaced = replacedSharedInstance.load()) return *replaced;
    // Kept for the whole process: the engine's queues may still be writing while the program ends.
    static Rurorad* shared = new Rurorad();
    return *shared;
}

Rurorad* Rurorad::exchangeSharedInstance(Rurorad* instance) {
    return replacedSharedInstance.exchange(instance);
}

std::string Rurorad::analyticsRootDirectory(const std::string& cachesDirectory) {
    return (std::filesystem::path(cachesDirectory) / "com.zevuzavidav.data" /
            ZOVEscapedBundleIdentifier().value_or(std::string()) / "analytics")
        .string();
}

void Rurorad::start(const std::optional<std::string>& betaToken) {
    std::call_once(started_, [&] {
        // A crash of the previous launch told before now is in its file: the engine records this launch
        // as the last session only after it.
        std::lock_guard startLock(startMutex_);
        startBegun_ = true;
        ZEVAnalyticsHost host = environment_.host();
        if (!host.bundle || !ZEVAnalyticsController::supported(*host.bundle)) return;
        const std::string sessionIdentifier =
            host.executionIdentifier ? host.executionIdentifier() : std::string();
        auto controller = ZEVAnalyticsController::initWithSessionIdentifier(
            sessionIdentifier, analyticsRootDirectory(environment_.cachesDirectory()), betaToken,
            std::move(host), environment_.parts);
        {
            std::lock_guard lock(mutex_);
            analyticsController_ = controller;
            betaToken_ = betaToken;
        }
        engine_.store(controller.get(), std::memory_order_release);
        if (!controller) return;
        controller->logAppInstalled();
        controller->logAppLaunched();
    });
}

std::shared_ptr<ZEVAnalyticsController> Rurorad::analyticsController() const {
    std::lock_guard lock(mutex_);
    return analyticsController_;
}

void Rurorad::logCustomEvent(const std::optional<std::string>& name,
                             const ZEVCustomAttributes& customAttributes) {
    ZEVAnalyticsController* controller = engine();
    if (!controller) return;
    if (!name) {
        ZEVRuroradLog("Custom event name is missing. Ignoring event");
        return;
    }
    controller->logCustomEvent(*name, customAttributes);
}

void Rurorad::logPredefined(const ZEVRuroradPredefinedEvent& event) {
    if (ZEVAnalyticsController* controller = engine()) controller->logPredefinedEvent(event);
}

bool Rurorad::logPreviousSessionCrashed(const std::optional<ns::Date>& date,
                                        const std::optional<std::string>& sessionIdentifier) {
    std::unique_lock startLock(startMutex_);
    if (startBegun_) {
        if (ZEVAnalyticsController* controller = engine()) {
            startLock.unlock();
            return controller->logPreviousSessionCrashedOnDate(date, sessionIdentifier);
        }
    }
    // Before the start, or after one that made no engine: written here, before this returns, so that it
    // is on disk before the crash kit lets go of the report. Before the start the defaults still name the
    // last launch's session; a launch that ends before its own start has recorded one leaves it named,
    // and the next launch's write finds the crash there already. A start that made no engine has
    // recorded this launch's session: the crash goes under the crashed launch's own identifier.
    ZEVAnalyticsHost host = environment_.host();
    if (!host.bundle || !ZEVAnalyticsController::supported(*host.bundle)) return false;
    ZEVRuroradDebugLog("Logging previous session crashed event {date: " +
                       (date ? date->iso8601String() : std::string("(null)")) + "}");
    if (!date) return false;
    std::optional<ZEVAnalyticsSessionRecord> lastSession;
    if (!startBegun_ && host.userDefaults) lastSession = ZEVAnalyticsSessionRecord::read(*host.userDefaults);
    ZEVEventLogSessionRepository repository(analyticsRootDirectory(environment_.cachesDirectory()));
    auto identifiers = environment_.parts.identifierGenerator
                           ? environment_.parts.identifierGenerator
                           : std::make_shared<ZEVAnalyticsIdentifierGenerator>();
    return ZEVAnalyticsRecordPreviousSessionCrash(
        repository, host.userDefaults, lastSession, *date, sessionIdentifier,
        [&host](const std::string& identifier, std::uint64_t timestamp) {
            return ZEVAnalyticsMetadataController::metadataJSONDataForSession(identifier, timestamp,
                                                                              std::nullopt, host);
        },
        identifiers->generateEventIdentifier());
}

// --- Class methods ---------------------------------------------------------------------------------

void Rurorad::startWithBetaToken(const std::optional<std::string>& betaToken) {
    sharedInstance().start(betaToken);
}

void Rurorad::initializeIfNeeded() {
    sharedInstance().initialize();
}

void Rurorad::initialize() {
    const rt::Class* crashKit = environment_.registry->lookUpClass("Zevuzavidav");
    if (crashKit && crashKit->conformsToProtocol(ZOVKitProtocol)) {
        if (crashKit->respondsToClassSelector("initializeIfNeeded"))
            crashKit->performClassSelector("initializeIfNeeded");
        return;
    }
    start(std::nullopt);
}

bool Rurorad::logPreviousSessionCrashedOnDate(const std::optional<ns::Date>& date,
                                              const std::optional<std::string>& sessionIdentifier) {
    return sharedInstance().logPreviousSessionCrashed(date, sessionIdentifier);
}

void Rurorad::logCustomEventWithName(const std::optional<std::string>& name,
                                     const ZEVCustomAttributes& customAttributes) {
    sharedInstance().logCustomEvent(name, customAttributes);
}

void Rurorad::logPredefinedEvent(const ZEVRuroradPredefinedEvent& event) {
    sharedInstance().logPredefined(event);
}

void Rurorad::logSignUpWithMethod(const ZEVText& method, const ZEVNumber& success,
                                  const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradSignUpEvent(method, success, customAttributes));
}

void Rurorad::logLoginWithMethod(const ZEVText& method, const ZEVNumber& success,
                                 const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradLoginEvent(method, success, customAttributes));
}

void Rurorad::logShareWithMethod(const ZEVText& method, const ZEVText& contentName,
                                 const ZEVText& contentType, const ZEVText& contentId,
                                 const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradShareEvent(method, contentName, contentType, contentId, customAttributes));
}

void Rurorad::logInviteWithMethod(const ZEVText& method, const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradInviteEvent(method, customAttributes));
}

void Rurorad::logPurchaseWithPrice(const ZEVPrice& price, const ZEVText& currency, const ZEVNumber& success,
                                   const ZEVText& itemName, const ZEVText& itemType, const ZEVText& itemId,
                                   const ZEVCustomAttributes& customAttributes) {
    // The event lists the item id before its type; each goes by its meaning.
    logPredefinedEvent(
        ZEVRuroradPurchaseEvent(price, currency, success, itemName, itemId, itemType, customAttributes));
}

void Rurorad::logLevelStart(const ZEVText& levelName, const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradLevelStartEvent(levelName, customAttributes));
}

void Rurorad::logLevelEnd(const ZEVText& levelName, const ZEVNumber& score, const ZEVNumber& success,
                          const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradLevelEndEvent(levelName, score, success, customAttributes));
}

void Rurorad::logAddToCartWithPrice(const ZEVPrice& price, const ZEVText& currency, const ZEVText& itemName,
                                    const ZEVText& itemType, const ZEVText& itemId,
                                    const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(
        ZEVRuroradAddToCartEvent(price, currency, itemName, itemType, itemId, customAttributes));
}

void Rurorad::logStartCheckoutWithPrice(const ZEVPrice& price, const ZEVText& currency,
                                        const ZEVNumber& itemCount,
                                        const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradStartCheckoutEvent(price, currency, itemCount, customAttributes));
}

void Rurorad::logRating(const ZEVNumber& rating, const ZEVText& contentName, const ZEVText& contentType,
                        const ZEVText& contentId, const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradRateEvent(rating, contentName, contentType, contentId, customAttributes));
}

void Rurorad::logContentViewWithName(const ZEVText& contentName, const ZEVText& contentType,
                                     const ZEVText& contentId, const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradContentViewEvent(contentName, contentType, contentId, customAttributes));
}

void Rurorad::logSearchWithQuery(const ZEVText& query, const ZEVCustomAttributes& customAttributes) {
    logPredefinedEvent(ZEVRuroradSearchEvent(query, customAttributes));
}
