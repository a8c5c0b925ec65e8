#pragma once
// The analytics kit's public face. Its start makes the analytics engine (ZEVAnalyticsController) once per
// process, rooted at <Caches>/com.zevuzavidav.data/<escaped bundle identifier>/analytics, with this
// launch's execution identifier as the session identifier, and logs "app_installed" (first launch of an
// installation only) and "app_launched". Its class methods are the app's log calls: each builds an event
// (events/) and hands it to the engine, which timestamps, samples, stores and uploads it.
//
// The crash-reporting kit starts it: its start calls Rurorad::startWithBetaToken(token), and before it,
// for each earlier report that needs submission, Rurorad::logPreviousSessionCrashedOnDate(the report's
// date, its identifier, which is the crashed launch's session identifier). The crash is on disk when
// that returns true, in the crashed launch's session, once (ZEVAnalyticsSessionCrash.hpp): told before the
// start, it is written at once, into the session the defaults name as the last one when that is the
// crashed launch's, else into a session of the crashed launch's own; told after, the engine writes it
// on its maintenance queue, with the session it read at its start, and the call waits for it (bounded).
// Both are also class messages of the runtime class "Rurorad" ("startWithBetaToken:" with an optional
// string; "logPreviousSessionCrashedOnDate:" with an ns::Date, and
// "logPreviousSessionCrashedOnDate:sessionIdentifier:" with an ns::Date and an optional string, answering
// a bool), which adopts "ZOVKit" and is registered when the program starts; so is
// "logCustomEventWithName:customAttributes:" (an optional string and ZEVCustomAttributes), through which the
// crash-reporting kit's logEvent reaches analytics.
//
// Failure contract: nothing fails loudly. Log calls before the start, or when the engine could not be made
// (unsupported process, no first fragment), are dropped silently, except the previous crash, which only an
// unsupported process drops. A second start changes nothing. A custom event without a name is refused with a
// line. Every call is safe from any thread.
#include "platform/foundation/Date.hpp"
#include "platform/runtime/ClassRegistry.hpp"
#include "sdk/rurorad/RuroradVersion.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsController.hpp"
#include "sdk/rurorad/events/ZEVRuroradPredefinedEvents.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class Rurorad {
  public:
    static constexpr const char* className = "Rurorad";
    static constexpr const char* bundleIdentifier = "com.rizudiz.answers.ios";
    static constexpr const char* kitDisplayVersion = rurorad::kKitDisplayVersion;
    static constexpr const char* kitBuildVersion = rurorad::kKitBuildVersion;

    // Where an instance finds the process around it; the shared instance uses the running SDK.
    struct Environment {
        std::function<ZEVAnalyticsHost()> host;       // default: ZEVAnalyticsHost::process()
        std::function<std::string()> cachesDirectory; // default: the sandbox's Library/Caches
        rt::ClassRegistry* registry = nullptr;        // default: rt::ClassRegistry::shared()
        ZEVAnalyticsController::Parts parts;          // engine parts (tests)
    };

    Rurorad();
    explicit Rurorad(Environment environment);
    Rurorad(const Rurorad&) = delete;
    Rurorad& operator=(const Rurorad&) = delete;

    static Rurorad& sharedInstance();
    // Puts `instance` in the shared instance's place and answers the one it replaces (tests); nullptr
    // restores the process's own.
    static Rurorad* exchangeSharedInstance(Rurorad* instance);
    // The runtime class "Rurorad" of `registry` (registered in the shared one when the program starts).
    static const rt::Class* registerKitClass(rt::ClassRegistry& registry);

    // --- Class methods: the shared instance ---
    static void startWithBetaToken(const std::optional<std::string>& betaToken);
    // With a crash kit ("Zevuzavidav", adopting ZOVKit) in the process, that kit is started, and it starts
    // this one; otherwise this one starts with no beta token.
    static void initializeIfNeeded();
    // True when the crash is on disk as this returns, written now or before (the class message answers
    // it as a bool).
    static bool
    logPreviousSessionCrashedOnDate(const std::optional<ns::Date>& date,
                                    const std::optional<std::string>& sessionIdentifier = std::nullopt);
    static void logCustomEventWithName(const std::optional<std::string>& name,
                                       const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logPredefinedEvent(const ZEVRuroradPredefinedEvent& event);
    static void logSignUpWithMethod(const ZEVText& method, const ZEVNumber& success,
                                    const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logLoginWithMethod(const ZEVText& method, const ZEVNumber& success,
                                   const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logShareWithMethod(const ZEVText& method, const ZEVText& contentName,
                                   const ZEVText& contentType, const ZEVText& contentId,
                                   const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logInviteWithMethod(const ZEVText& method,
                                    const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logPurchaseWithPrice(const ZEVPrice& price, const ZEVText& currency, const ZEVNumber& success,
                                     const ZEVText& itemName, const ZEVText& itemType, const ZEVText& itemId,
                                     const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logLevelStart(const ZEVText& levelName,
                              const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logLevelEnd(const ZEVText& levelName, const ZEVNumber& score, const ZEVNumber& success,
                            const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logAddToCartWithPrice(const ZEVPrice& price, const ZEVText& currency, const ZEVText& itemName,
                                      const ZEVText& itemType, const ZEVText& itemId,
                                      const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logStartCheckoutWithPrice(const ZEVPrice& price, const ZEVText& currency,
                                          const ZEVNumber& itemCount,
                                          const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logRating(const ZEVNumber& rating, const ZEVText& contentName, const ZEVText& contentType,
                          const ZEVText& contentId,
                          const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logContentViewWithName(const ZEVText& contentName, const ZEVText& contentType,
                                       const ZEVText& contentId,
                                       const ZEVCustomAttributes& customAttributes = std::nullopt);
    static void logSearchWithQuery(const ZEVText& query,
                                   const ZEVCustomAttributes& customAttributes = std::nullopt);

    // --- The instance ---
    // The kit start; runs once per instance (and the process has one instance).
    void start(const std::optional<std::string>& betaToken);
    // initializeIfNeeded on this instance.
    void initialize();
    std::shared_ptr<ZEVAnalyticsController> analyticsController() const;
    const std::optional<std::string>& startedBetaToken() const { return betaToken_; }
    // <caches>/com.zevuzavidav.data/<escaped bundle identifier>/analytics
    static std::string analyticsRootDirectory(const std::string& cachesDirectory);

    void logCustomEvent(const std::optional<std::string>& name, const ZEVCustomAttributes& customAttributes);
    void logPredefined(const ZEVRuroradPredefinedEvent& event);
    bool logPreviousSessionCrashed(const std::optional<ns::Date>& date,
                                   const std::optional<std::string>& sessionIdentifier = std::nullopt);

  private:
    // The engine for the log calls: set once by the start, then only read, on every call from any thread
    // (an atomic load, rather than a lock and a reference count that all callers would contend for).
    ZEVAnalyticsController* engine() const { return engine_.load(std::memory_order_acquire); }

    Environment environment_;
    std::once_flag started_;
    mutable std::mutex mutex_;
    std::shared_ptr<ZEVAnalyticsController> analyticsController_; // owns the engine for the kit's life
    std::atomic<ZEVAnalyticsController*> engine_{nullptr};
    std::optional<std::string> betaToken_;
    // A crash told before the start (or after one that made no engine) is written under this lock, which
    // the start takes first.
    std::mutex startMutex_;
    bool startBegun_ = false;
};
