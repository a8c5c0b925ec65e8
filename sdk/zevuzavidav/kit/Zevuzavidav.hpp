#pragma once
// The crash-reporting kit: its start, its public API, and the delegate of both of its controllers.
//
// The SDK starts it by class name: the runtime class "Zevuzavidav" (registered when the program starts,
// adopting "ZOVKit") answers "bundleIdentifier" "com.rizudiz.zevuzavidav.ios", "kitDisplayVersion"
// "3.4.0", "kitBuildVersion" "92" and "initializeIfNeeded", which starts the one shared instance. The
// start runs once per process, on the caller's thread (the main thread at launch), in this order: the
// version line, the file manager, the beta controller when beta is supported, the crash reporting
// controller (which installs the crash handlers and deals with earlier reports), then the analytics
// kit's "startWithBetaToken:" with the beta token read again. It also makes crash reporting's own log
// lines follow the SDK's debug flag.
//
// The app's API, on sharedInstance(): identity
// ("com.zevuzavidav.user-id", "-name", "-email", "-development-platform-name"/"-version" as internal
// keys), custom keys stored as their description, logged errors, custom exceptions (capped per launch
// by the exception recorder), custom events (handed to "Rurorad"), test crashes (`crash` traps,
// `throwException` raises "ZevuzavidavTestException"), web-page error monitoring, and an application
// delegate (ZevuzavidavDelegate.hpp) asked only about the methods it says it implements. Without one
// every report is sent, background sessions are allowed outside extensions, there is no crash callback
// and no signal is exempted from the exception-port mask.
//
// The phone's class-side forms of the setters and of logEvent are class messages of the runtime class,
// under their own names ("setUserIdentifier:", "setUserName:", "setUserEmail:", "setObjectValue:forKey:",
// "setIntValue:forKey:" with an int32, "setBoolValue:forKey:", "setFloatValue:forKey:" with a float,
// "setDevelopmentPlatformName:", "setDevelopmentPlatformVersion:"; texts as std::optional<std::string>,
// std::string or const char*): each setter goes to the receiving class's "sharedInstance", while
// "logEvent:" and "logEvent:attributes:" (ZevuzavidavEventAttributes) always go to this class's own.
//
// Earlier reports that need submission are announced to analytics during the start, before any of them
// leaves "active" ("logPreviousSessionCrashedOnDate:sessionIdentifier:" with the report's start date and
// its identifier, the crashed launch's execution identifier, which analytics uses as that launch's
// session identifier), and analytics has the crash in its file when the message returns: a launch that
// ends at once loses no crash. Every report is a crash of its own launch, so analytics hears of each one,
// once: launches that crash in the SDK's first moments leave a run of reports for the one that sends,
// and each counts in its own session. Once analytics answers that it keeps the crash, the report's
// folder is marked (ZEVInternalReport::markCrashCounted) and the crash is not told of again. Until then
// it is told again right before the report is packaged, at this launch or a later one, wherever the
// report then waits (a full disk at the start leaves the crash unkept; one that fails the packaging too
// leaves the report in "processing"), and analytics, finding a crash it keeps already, counts it once.
// An analytics kit that takes the date alone cannot answer, so it hears of each crash once a launch.
// The app's root screen must be up by the time the main queue runs (the permission prompt is shown
// there).
//
// Failure contract: nothing throws. A beta controller that cannot start, or crash reporting that cannot
// be set up, is logged ("[Zevuzavidav] Beta could not be initialized", "[Zevuzavidav] Crash reporting
// could not be initialized") and the rest of the start goes on; analytics is started in every case.
// Key, identity, error and exception calls before crash reporting has set up this launch's report are
// dropped by the recorders. Web-view monitoring that cannot be installed is logged. Setters are safe from
// any thread; the web-view methods belong to the main thread.
#include "platform/foundation/Error.hpp"
#include "platform/foundation/PropertyList.hpp"
#include "platform/runtime/ClassRegistry.hpp"
#include "platform/services/WebView.hpp"
#include "sdk/zevuzavidav/base/ZEVKitVersion.hpp"
#include "sdk/zevuzavidav/beta/ZEVBetaController.hpp"
#include "sdk/zevuzavidav/kit/ZevuzavidavDelegate.hpp"
#include "sdk/zevuzavidav/record/ZEVStackFrame.hpp"
#include "sdk/zevuzavidav/report/ZEVCrashReportingController.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class Zovaze;

// Attributes of a custom event: (key, value) pairs in the order given, as the analytics kit takes them.
using ZevuzavidavEventAttributes = std::vector<std::pair<ns::PropertyList, ns::PropertyList>>;

class Zevuzavidav final : public rt::Object,
                          public ZEVCrashReportingControllerDelegate,
                          public ZEVBetaControllerDelegate,
                          public svc::ScriptMessageHandler,
                          public std::enable_shared_from_this<Zevuzavidav> {
  public:
    static constexpr const char* className = "Zevuzavidav";
    static constexpr const char* kitBundleIdentifier = "com.rizudiz.zevuzavidav.ios";
    static constexpr const char* kitDisplayVersion = zevuzavidav::kKitDisplayVersion;
    static constexpr const char* kitBuildVersion = zevuzavidav::kKitBuildVersion;

    static constexpr const char* userIdentifierKey = "com.zevuzavidav.user-id";
    static constexpr const char* userNameKey = "com.zevuzavidav.user-name";
    static constexpr const char* userEmailKey = "com.zevuzavidav.user-email";
    static constexpr const char* developmentPlatformNameKey = "com.zevuzavidav.development-platform-name";
    static constexpr const char* developmentPlatformVersionKey =
        "com.zevuzavidav.development-platform-version";

    // Where an instance finds the process around it; the shared instance takes every default.
    struct Environment {
        const rt::Class* kitClass = nullptr;   // default: "Zevuzavidav" of the shared registry
        rt::ClassRegistry* registry = nullptr; // where "Rurorad" is found; default: the shared one
        std::function<Zovaze&()> sdk;          // default: Zovaze::sharedSDK()
        std::function<bool()> isBetaSupported; // default: ZEVBetaController::isBetaSupported
        std::function<std::shared_ptr<ZEVBetaController>(std::weak_ptr<ZEVBetaControllerDelegate>)>
            makeBetaController; // default: ZEVBetaController::initWithDelegate
        std::function<std::shared_ptr<ZEVCrashReportingController>(
            std::shared_ptr<ZEVFileManager>, std::weak_ptr<ZEVCrashReportingControllerDelegate>)>
            makeCrashReportingController;  // default: ZEVCrashReportingController::initWithFileManager, with
                                           // ZEVContextInitialize as its installer
        std::function<bool()> isExtension; // default: ZEVApplicationIsExtension
    };

    // --- Class side ---
    static std::shared_ptr<Zevuzavidav> sharedInstance();
    // Every allocation answers the shared instance.
    static std::shared_ptr<Zevuzavidav> init() { return sharedInstance(); }
    // A new instance (the shared one is made with the defaults).
    static std::shared_ptr<Zevuzavidav> initWithSuper();
    static std::shared_ptr<Zevuzavidav> initWithSuper(Environment environment);
    // The runtime class "Zevuzavidav" of `registry`, registered there on first use.
    static const rt::Class* registerKitClass(rt::ClassRegistry& registry);
    static void initializeIfNeeded();
    // The older way to start: sets the API key, then starts the SDK with this kit.
    static std::shared_ptr<Zevuzavidav> startWithAPIKey(const std::string& APIKey);
    static std::shared_ptr<Zevuzavidav> startWithAPIKey(const std::string& APIKey,
                                                        std::shared_ptr<ZevuzavidavDelegate> delegate);
    // Deprecated; the delay is not used.
    static std::shared_ptr<Zevuzavidav> startWithAPIKeyAfterDelay(const std::string& APIKey, double delay);
    static std::shared_ptr<Zevuzavidav>
    startWithAPIKeyAfterDelay(const std::string& APIKey, std::shared_ptr<ZevuzavidavDelegate> delegate,
                              double delay);

    ~Zevuzavidav() override;
    Zevuzavidav(const Zevuzavidav&) = delete;
    Zevuzavidav& operator=(const Zevuzavidav&) = delete;

    // --- The start ---
    void start();
    void warnDelegateAboutMethods();
    // Set-up for the legacy start: the key, then the SDK's start with this kit object.
    void startSDKWithAPIKey(const std::string& APIKey, std::shared_ptr<ZevuzavidavDelegate> delegate);

    // --- What the kit says about itself and the SDK ---
    std::string version() const { return kitDisplayVersion; }
    std::string bundleIdentifier() const { return kitBundleIdentifier; }
    std::optional<ns::PropertyList::Dictionary> kitInfo() const { return std::nullopt; }
    void setKitInfo(const std::optional<ns::PropertyList::Dictionary>&) {}
    std::optional<std::string> APIKey();
    std::optional<std::string> installID();
    bool isFirstInstall();
    std::optional<ns::PropertyList::Dictionary> settingsDictionary() const { return std::nullopt; }
    bool isZevuzavidavStarted() const;
    bool debugMode();
    // Turns the SDK's debug flag on whatever `on` says (false does not clear it).
    void setDebugMode(bool on);
    std::shared_ptr<ZevuzavidavDelegate> delegate() const;
    void setDelegate(std::shared_ptr<ZevuzavidavDelegate> delegate);
    std::shared_ptr<ZEVBetaController> betaController() const;
    std::shared_ptr<ZEVCrashReportingController> crashReportingController() const;

    // --- Test crashes ---
    [[noreturn]] void crash();
    [[noreturn]] void throwException();

    // --- Identity and keys ---
    void setUserIdentifier(const std::optional<std::string>& identifier);
    void setUserName(const std::optional<std::string>& name);
    void setUserEmail(const std::optional<std::string>& email);
    void setDevelopmentPlatformName(const std::optional<std::string>& name);
    void setDevelopmentPlatformVersion(const std::optional<std::string>& version);
    // Write-only: log a line and answer nothing.
    std::optional<std::string> developmentPlatformName();
    std::optional<std::string> developmentPlatformVersion();
    // The value as its description; nothing removes the key. No key records nothing.
    void setObjectValue(const std::optional<std::string>& value, const std::optional<std::string>& key);
    void setIntValue(std::int32_t value, const std::optional<std::string>& key);
    void setBoolValue(bool value, const std::optional<std::string>& key);
    void setFloatValue(float value, const std::optional<std::string>& key);

    // --- Errors, exceptions, events ---
    void recordError(const ns::Error& error);
    void recordError(const ns::Error& error,
                     const std::optional<std::map<std::string, std::string>>& userInfo);
    void recordCustomExceptionName(const std::optional<std::string>& name,
                                   const std::optional<std::string>& reason,
                                   const std::vector<ZEVStackFrame>& frameArray);
    void logEvent(const std::optional<std::string>& name);
    void logEvent(const std::optional<std::string>& name,
                  const std::optional<ZevuzavidavEventAttributes>& attributes);

    // --- Web pages (main thread) ---
    // The classic web view: injects the error script; its reports come back as "zevuzavidav" URLs the
    // app's web-view delegate hands to handleWebView (true: it was one, do not load it).
    void monitorErrorsForUIWebView(svc::WebView& webView);
    bool handleWebView(svc::WebView& webView, const svc::URLRequest& request, std::int64_t navigationType);
    // The modern web view: the kit becomes the configuration's message handler "zevuzavidav" and the
    // error script one of its user scripts.
    void monitorErrorsForWKWebViewConfiguration(svc::WebViewConfiguration& configuration);
    void userContentControllerDidReceiveScriptMessage(svc::UserContentController& controller,
                                                      const svc::ScriptMessage& message) override;

    // --- As the crash reporting controller's delegate ---
    bool shouldInstallCrashCallback() override;
    void detectedCrash() override;
    bool reportingControllerCanUseBackgroundSessions(ZEVCrashReportingController& controller) override;
    bool reportingControllerMustInformDelegateOfReports(ZEVCrashReportingController& controller) override;
    void reportingControllerDidDetectReportForLastExecution(
        ZEVCrashReportingController& controller, const std::shared_ptr<ZEVInternalReport>& report,
        std::function<void(bool submit)> completionHandler) override;
    void reportingControllerInternalDidDetectReportForLastExecution(
        ZEVCrashReportingController& controller, const std::shared_ptr<ZEVInternalReport>& report) override;
    bool reportingControllerEnsureDeliveryOfUnixSignal(ZEVCrashReportingController& controller,
                                                       int signal) override;
    std::optional<std::string>
    APIKeyForCrashReportingController(ZEVCrashReportingController& controller) override;
    std::optional<std::string>
    installIDForCrashReportingController(ZEVCrashReportingController& controller) override;
    bool isFirstInstallForCrashReportingController(ZEVCrashReportingController& controller) override;
    ZEVSettings settingsForCrashReportingController(ZEVCrashReportingController& controller) override;

    // --- As the beta controller's delegate ---
    std::optional<std::string> APIKeyForBetaController(ZEVBetaController& controller) override;
    ZEVSettings settingsForBetaController(ZEVBetaController& controller) override;

  private:
    Zevuzavidav(const rt::Class& kitClass, Environment environment);
    void startOnce();
    bool delegateImplements(ZevuzavidavDelegateMethod method) const;
    ZEVSettings currentSettings();
    void recordJavaScriptException(const std::optional<std::string>& reason);
    // Sends a class message to "Rurorad" when it answers it; false otherwise.
    bool sendToAnalytics(const char* selector, std::vector<std::any> arguments);
    // The same, with the message's answer; nothing when "Rurorad" does not answer it.
    std::optional<std::any> askAnalytics(const char* selector, std::vector<std::any> arguments);

    Environment environment_;
    std::once_flag started_;

    mutable std::mutex mutex_;
    std::shared_ptr<ZevuzavidavDelegate> delegate_;
    // Every delegate ever set stays alive, so the crash handler may read this without a lock.
    std::vector<std::shared_ptr<ZevuzavidavDelegate>> retiredDelegates_;
    std::atomic<ZevuzavidavDelegate*> crashDelegate_{nullptr};
    std::shared_ptr<ZEVCrashReportingController> crashReportingController_;
    std::shared_ptr<ZEVBetaController> betaController_;
    // The reports whose crash an analytics kit that takes the date alone has heard of in this launch.
    std::set<std::string> toldByDateAlone_;
};
