// The kit's life and its API for the app: the shared instance, the start, identity, keys, errors,
// exceptions, events and the test crashes.
#include "sdk/zevuzavidav/kit/Zevuzavidav.hpp"

#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"
#include "sdk/zevuzavidav/context/PlatformFacts.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "sdk/zevuzavidav/kit/ZEVContextInitialize.hpp"
#include "sdk/zevuzavidav/logging/ZEVUserLogging.hpp"
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"

#include <cstdio>
#include <cstdlib>

namespace {

Zevuzavidav::Environment withDefaults(Zevuzavidav::Environment environment) {
    if (!environment.registry) environment.registry = &rt::ClassRegistry::shared();
    if (!environment.sdk) environment.sdk = []() -> Zovaze& { return Zovaze::sharedSDK(); };
    if (!environment.isBetaSupported) environment.isBetaSupported = ZEVBetaController::isBetaSupported;
    if (!environment.makeBetaController) {
        environment.makeBetaController = [](std::weak_ptr<ZEVBetaControllerDelegate> delegate) {
            return ZEVBetaController::initWithDelegate(std::move(delegate));
        };
    }
    if (!environment.makeCrashReportingController) {
        environment.makeCrashReportingController =
            [](std::shared_ptr<ZEVFileManager> fileManager,
               std::weak_ptr<ZEVCrashReportingControllerDelegate> delegate) {
                ZEVCrashReportingController::Environment controllerEnvironment;
                controllerEnvironment.contextInitialize = ZEVContextInitialize;
                return ZEVCrashReportingController::initWithFileManager(
                    std::move(fileManager), std::move(delegate), std::move(controllerEnvironment));
            };
    }
    if (!environment.isExtension) environment.isExtension = ZEVApplicationIsExtension;
    return environment;
}

// How the platform describes a number: a float with up to 7 significant digits ("0.5", "3.14159").
std::string floatDescription(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
    return text;
}

} // namespace

// --- The shared instance and the class side --------------------------------------------------------

std::shared_ptr<Zevuzavidav> Zevuzavidav::sharedInstance() {
    // Made once and kept for the whole process: the controllers hold the kit weakly and call it from
    // their own threads until the process ends.
    static auto* shared = new std::shared_ptr<Zevuzavidav>(initWithSuper());
    return *shared;
}

std::shared_ptr<Zevuzavidav> Zevuzavidav::initWithSuper() {
    return initWithSuper(Environment{});
}

std::shared_ptr<Zevuzavidav> Zevuzavidav::initWithSuper(Environment environment) {
    const rt::Class* kitClass = environment.kitClass;
    if (!kitClass) kitClass = registerKitClass(rt::ClassRegistry::shared());
    return std::shared_ptr<Zevuzavidav>(new Zevuzavidav(*kitClass, std::move(environment)));
}

Zevuzavidav::Zevuzavidav(const rt::Class& kitClass, Environment environment)
    : rt::Object(kitClass), environment_(withDefaults(std::move(environment))) {}

Zevuzavidav::~Zevuzavidav() = default;

void Zevuzavidav::initializeIfNeeded() {
    sharedInstance()->start();
}

std::shared_ptr<Zevuzavidav> Zevuzavidav::startWithAPIKey(const std::string& APIKey) {
    return startWithAPIKey(APIKey, nullptr);
}

std::shared_ptr<Zevuzavidav> Zevuzavidav::startWithAPIKey(const std::string& APIKey,
                                                          std::shared_ptr<ZevuzavidavDelegate> delegate) {
    auto kit = sharedInstance();
    kit->startSDKWithAPIKey(APIKey, std::move(delegate));
    return kit;
}

std::shared_ptr<Zevuzavidav> Zevuzavidav::startWithAPIKeyAfterDelay(const std::string& APIKey, double) {
    ns::console("[Zevuzavidav] Warning, startWithAPIKey:afterDelay: is deprecated.");
    return startWithAPIKey(APIKey);
}

std::shared_ptr<Zevuzavidav>
Zevuzavidav::startWithAPIKeyAfterDelay(const std::string& APIKey,
                                       std::shared_ptr<ZevuzavidavDelegate> delegate, double) {
    ns::console("[Zevuzavidav] Warning, startWithAPIKey:delegate:afterDelay: is deprecated.");
    return startWithAPIKey(APIKey, std::move(delegate));
}

void Zevuzavidav::startSDKWithAPIKey(const std::string& APIKey,
                                     std::shared_ptr<ZevuzavidavDelegate> delegate) {
    if (delegate) setDelegate(std::move(delegate));
    // This SDK has no kit-initializing class message to probe for: the start goes through with().
    Zovaze& sdk = environment_.sdk();
    sdk.setAPIKey(APIKey);
    sdk.startWith({std::static_pointer_cast<rt::Object>(shared_from_this())});
}

// --- The start -------------------------------------------------------------------------------------

void Zevuzavidav::start() {
    std::call_once(started_, [this] { startOnce(); });
}

void Zevuzavidav::startOnce() {
    // Crash reporting's own progress lines follow the SDK's debug flag from here on.
    zevuzavidav::setDebugFlagProvider(zovaze::debugFlag);
    const std::uint64_t profilingMark = ZEVProfilingStart();
    ns::console(std::string("[Zevuzavidav] Version ") + kitDisplayVersion + " (" + kitBuildVersion + ")");
    if (debugMode()) {
        ns::console("[Zevuzavidav] Running on " + ZOVDeviceModel().value_or("(null)") + ", " +
                    ZOVOSDisplayVersion() + " (" + ZOVOSBuildVersion().value_or("(null)") + ")");
    }
    std::weak_ptr<Zevuzavidav> weak = weak_from_this();
    dispatch::main().async([weak] {
        if (auto self = weak.lock()) self->warnDelegateAboutMethods();
    });

    auto fileManager = std::make_shared<ZEVFileManager>();
    std::shared_ptr<ZEVBetaController> beta;
    if (environment_.isBetaSupported()) {
        beta = environment_.makeBetaController(weak);
        {
            std::lock_guard lock(mutex_);
            betaController_ = beta;
        }
        if (!beta || !beta->start()) ns::console("[Zevuzavidav] Beta could not be initialized");
    }
    const auto betaToken = [&beta]() -> std::optional<std::string> {
        return beta ? beta->betaToken() : std::nullopt;
    };

    auto controller = environment_.makeCrashReportingController(std::move(fileManager), weak);
    {
        std::lock_guard lock(mutex_);
        crashReportingController_ = controller;
    }
    if (!controller || !controller->startWithProfilingMark(profilingMark, betaToken()))
        ns::console("[Zevuzavidav] Crash reporting could not be initialized");

    sendToAnalytics("startWithBetaToken:", {std::any(betaToken())});
}

void Zevuzavidav::warnDelegateAboutMethods() {
    auto current = delegate();
    if (!current) return;
    if (current->implementsMethod(
            ZevuzavidavDelegateMethod::didDetectCrashDuringPreviousExecutionWithReport) ||
        current->implementsMethod(ZevuzavidavDelegateMethod::didDetectCrashDuringPreviousExecution)) {
        ns::console(
            "[Zevuzavidav] The Zevuzavidav delegate '" + current->description() +
            "' implements deprecated methods. See Zevuzavidav.hpp for the methods that replace them.");
    }
    if (current->implementsMethod(ZevuzavidavDelegateMethod::canUseBackgroundSessions) &&
        current->zevuzavidavCanUseBackgroundSessions(*this) && environment_.isExtension()) {
        ns::console("[Zevuzavidav] Background sessions are not supported in extensions. See Zevuzavidav.hpp "
                    "for zevuzavidavCanUseBackgroundSessions.");
    }
}

bool Zevuzavidav::sendToAnalytics(const char* selector, std::vector<std::any> arguments) {
    return askAnalytics(selector, std::move(arguments)).has_value();
}

std::optional<std::any> Zevuzavidav::askAnalytics(const char* selector, std::vector<std::any> arguments) {
    const rt::Class* analytics = environment_.registry->lookUpClass("Rurorad");
    if (!analytics || !analytics->respondsToClassSelector(selector)) return std::nullopt;
    return analytics->performClassSelector(selector, arguments);
}

// --- The kit and the SDK ---------------------------------------------------------------------------

std::optional<std::string> Zevuzavidav::APIKey() {
    return environment_.sdk().APIKey();
}

std::optional<std::string> Zevuzavidav::installID() {
    return environment_.sdk().installID();
}

bool Zevuzavidav::isFirstInstall() {
    return environment_.sdk().isFirstInstall();
}

bool Zevuzavidav::isZevuzavidavStarted() const {
    std::lock_guard lock(mutex_);
    return crashReportingController_ != nullptr;
}

bool Zevuzavidav::debugMode() {
    return environment_.sdk().debug();
}

void Zevuzavidav::setDebugMode(bool) {
    // Debugging cannot be switched off once asked for.
    environment_.sdk().setDebug(true);
    if (isZevuzavidavStarted())
        ns::console("[Zevuzavidav] Warning, consider enabling debug mode before starting Zevuzavidav");
}

std::shared_ptr<ZevuzavidavDelegate> Zevuzavidav::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void Zevuzavidav::setDelegate(std::shared_ptr<ZevuzavidavDelegate> delegate) {
    {
        std::lock_guard lock(mutex_);
        if (delegate) retiredDelegates_.push_back(delegate);
        crashDelegate_.store(delegate.get());
        delegate_ = std::move(delegate);
    }
    if (isZevuzavidavStarted()) {
        ns::console("[Zevuzavidav] Warning, setting delegate after start. Make sure to set the Zevuzavidav "
                    "delegate before calling startWithAPIKey:.., or +[Zovaze with...] to avoid missing some "
                    "delegate callbacks.");
    }
}

std::shared_ptr<ZEVBetaController> Zevuzavidav::betaController() const {
    std::lock_guard lock(mutex_);
    return betaController_;
}

std::shared_ptr<ZEVCrashReportingController> Zevuzavidav::crashReportingController() const {
    std::lock_guard lock(mutex_);
    return crashReportingController_;
}

// --- Test crashes ----------------------------------------------------------------------------------

void Zevuzavidav::crash() {
    // A breakpoint trap, captured like any other crash.
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("int3");
#elif defined(__aarch64__)
    __asm__ volatile("brk #0");
#else
    __builtin_trap();
#endif
    // Only reached when something let the trap through.
    std::abort();
}

void Zevuzavidav::throwException() {
    ZEVExceptionRaiseTestException();
}

// --- Identity and keys -----------------------------------------------------------------------------

void Zevuzavidav::setUserIdentifier(const std::optional<std::string>& identifier) {
    ZEVUserLoggingRecordInternalKeyValue(userIdentifierKey, identifier);
}

void Zevuzavidav::setUserName(const std::optional<std::string>& name) {
    ZEVUserLoggingRecordInternalKeyValue(userNameKey, name);
}

void Zevuzavidav::setUserEmail(const std::optional<std::string>& email) {
    ZEVUserLoggingRecordInternalKeyValue(userEmailKey, email);
}

void Zevuzavidav::setDevelopmentPlatformName(const std::optional<std::string>& name) {
    ZEVUserLoggingRecordInternalKeyValue(developmentPlatformNameKey, name);
}

void Zevuzavidav::setDevelopmentPlatformVersion(const std::optional<std::string>& version) {
    ZEVUserLoggingRecordInternalKeyValue(developmentPlatformVersionKey, version);
}

std::optional<std::string> Zevuzavidav::developmentPlatformName() {
    ns::console("[Zevuzavidav] developmentPlatformName is write-only");
    return std::nullopt;
}

std::optional<std::string> Zevuzavidav::developmentPlatformVersion() {
    ns::console("[Zevuzavidav] developmentPlatformVersion is write-only");
    return std::nullopt;
}

void Zevuzavidav::setObjectValue(const std::optional<std::string>& value,
                                 const std::optional<std::string>& key) {
    if (!key) return;
    ZEVUserLoggingRecordUserKeyValue(key->c_str(), value);
}

void Zevuzavidav::setIntValue(std::int32_t value, const std::optional<std::string>& key) {
    setObjectValue(std::to_string(value), key);
}

void Zevuzavidav::setBoolValue(bool value, const std::optional<std::string>& key) {
    setObjectValue(value ? "1" : "0", key);
}

void Zevuzavidav::setFloatValue(float value, const std::optional<std::string>& key) {
    setObjectValue(floatDescription(value), key);
}

// --- Errors, exceptions, events --------------------------------------------------------------------

void Zevuzavidav::recordError(const ns::Error& error) {
    recordError(error, std::nullopt);
}

void Zevuzavidav::recordError(const ns::Error& error,
                              const std::optional<std::map<std::string, std::string>>& userInfo) {
    zevuzavidav::LoggedError logged{error.domain(), error.code(), {}};
    logged.userInfo.assign(error.userInfo().begin(), error.userInfo().end());
    std::vector<std::pair<std::string, std::string>> extra;
    if (userInfo) extra.assign(userInfo->begin(), userInfo->end());
    ZEVUserLoggingRecordError(logged, userInfo ? &extra : nullptr);
}

void Zevuzavidav::recordCustomExceptionName(const std::optional<std::string>& name,
                                            const std::optional<std::string>& reason,
                                            const std::vector<ZEVStackFrame>& frameArray) {
    const std::vector<ZEVStackFrame> frames = frameArray;
    ZEVExceptionRecord(zevuzavidav::kExceptionTypeCustom, name ? name->c_str() : nullptr,
                       reason ? reason->c_str() : nullptr, &frames, false);
}

void Zevuzavidav::logEvent(const std::optional<std::string>& name) {
    logEvent(name, std::nullopt);
}

void Zevuzavidav::logEvent(const std::optional<std::string>& name,
                           const std::optional<ZevuzavidavEventAttributes>& attributes) {
    sendToAnalytics("logCustomEventWithName:customAttributes:", {std::any(name), std::any(attributes)});
}
