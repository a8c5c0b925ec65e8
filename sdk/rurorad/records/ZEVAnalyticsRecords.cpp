// The analytics records: the JSON payload rule, the life-cycle and view kinds, the generators.
#include "sdk/rurorad/records/ZEVAnalyticsApplicationLifecycleEvent.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsEvent.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsGenerators.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsViewControllerEvent.hpp"
#include "sdk/rurorad/support/ZEVJSON.hpp"
#include "sdk/rurorad/support/ZEVRuroradLog.hpp"
#include "sdk/zovaze/ZOVApplicationFacts.hpp"

#include <chrono>
#include <cmath>

// --- ZEVAnalyticsEvent -----------------------------------------------------------------------------

ZEVAnalyticsEvent::ZEVAnalyticsEvent(std::uint64_t priority, std::uint64_t timestamp, std::string key,
                                     std::string payload, std::string eventIdentifier,
                                     ZEVRuroradAttributes payloadValues)
    : ZEVEventLogEvent(priority, timestamp, std::move(key), std::move(payload)),
      eventIdentifier_(std::move(eventIdentifier)), stringPayloadValueDict_(std::move(payloadValues)) {}

std::optional<std::string> ZEVAnalyticsEvent::payloadJSON(const ZEVRuroradAttributes& payloadValues,
                                                          const std::string& eventIdentifier) {
    auto object = ZEVJSONObjectFromPropertyList(ns::PropertyList(payloadValues));
    if (!object) {
        ZEVRuroradDebugLog("ZEVAnalyticsEvent unable to JSON-encode payloadValueDictionary {error: " +
                           object.error().description() + "}");
        return std::nullopt;
    }
    (*object)["eventId"] = eventIdentifier;
    return ZEVJSONData(*object);
}

ZEVAnalyticsEvent::Ptr ZEVAnalyticsEvent::initWithPriority(std::uint64_t priority, std::uint64_t timestamp,
                                                           std::string key, std::string eventIdentifier,
                                                           ZEVRuroradAttributes payloadValues) {
    auto json = payloadJSON(payloadValues, eventIdentifier);
    if (!json) return nullptr;
    return Ptr(new ZEVAnalyticsEvent(priority, timestamp, std::move(key), std::move(*json),
                                     std::move(eventIdentifier), std::move(payloadValues)));
}

ZEVAnalyticsEvent::Ptr ZEVAnalyticsEvent::initWithRuroradEvent(const ZEVRuroradEvent& event,
                                                               std::uint64_t timestamp,
                                                               std::string eventIdentifier) {
    return initWithPriority(2, timestamp, event.key(), std::move(eventIdentifier), event.payloadDictionary());
}

std::string ZEVAnalyticsEvent::description() const {
    return className() + " {id=" + eventIdentifier_ + ", key=" + key() +
           ", stringPayloadValueDict=" + ns::PropertyList(stringPayloadValueDict_).debugDescription() + "}";
}

// --- Life cycle ------------------------------------------------------------------------------------

ZEVAnalyticsEvent::Ptr ZEVAnalyticsApplicationLifecycleEvent::make(std::uint64_t priority,
                                                                   std::uint64_t timestamp, std::string key,
                                                                   std::string eventIdentifier) {
    auto json = payloadJSON({}, eventIdentifier);
    if (!json) return nullptr;
    return Ptr(new ZEVAnalyticsApplicationLifecycleEvent(priority, timestamp, std::move(key),
                                                         std::move(*json), std::move(eventIdentifier), {}));
}

ZEVAnalyticsEvent::Ptr ZEVAnalyticsApplicationLifecycleEvent::initWithApplicationNotificationName(
    const std::string& name, std::uint64_t timestamp, std::string eventIdentifier,
    bool highPriorityEventOnBackground) {
    struct Kind {
        const char* notification;
        const char* key;
        std::uint64_t priority;
    };
    static const Kind kinds[] = {
        {"UIApplicationWillTerminateNotification", "app_terminated", 1},
        {"UIApplicationDidReceiveMemoryWarningNotification", "app_memory_warning", 1},
        {"UIApplicationDidEnterBackgroundNotification", "app_entered_background", 1},
        {"UIApplicationWillEnterForegroundNotification", "app_entered_foreground", 1},
        {"UIApplicationWillResignActiveNotification", "app_became_inactive", 1},
        {"UIApplicationDidBecomeActiveNotification", "app_became_active", 0},
    };
    for (const auto& kind : kinds) {
        if (name != kind.notification) continue;
        std::uint64_t priority = kind.priority;
        if (std::string(kind.key) == "app_became_inactive" && highPriorityEventOnBackground) priority = 0;
        return make(priority, timestamp, kind.key, std::move(eventIdentifier));
    }
    return nullptr;
}

ZEVAnalyticsEvent::Ptr
ZEVAnalyticsApplicationLifecycleEvent::initApplicationInstalledEvent(std::uint64_t timestamp,
                                                                     std::string eventIdentifier) {
    return make(0, timestamp, "app_installed", std::move(eventIdentifier));
}

ZEVAnalyticsEvent::Ptr
ZEVAnalyticsApplicationLifecycleEvent::initApplicationLaunchedEvent(std::uint64_t timestamp,
                                                                    std::string eventIdentifier) {
    return make(1, timestamp, "app_launched", std::move(eventIdentifier));
}

ZEVAnalyticsEvent::Ptr
ZEVAnalyticsApplicationLifecycleEvent::initApplicationCrashedEvent(std::uint64_t timestamp,
                                                                   std::string eventIdentifier) {
    return make(1, timestamp, "app_crashed", std::move(eventIdentifier));
}

// --- View controllers ------------------------------------------------------------------------------

ZEVAnalyticsEvent::Ptr ZEVAnalyticsViewControllerEvent::initWithEventForViewController(
    const std::string& className, const std::optional<std::string>& title, std::string eventKey,
    std::uint64_t timestamp, std::string eventIdentifier) {
    if (className.empty()) return nullptr;
    ZEVRuroradAttributes values{{"view_controller_class", className},
                                {"view_controller_title", title ? *title : std::string()}};
    auto json = payloadJSON(values, eventIdentifier);
    if (!json) return nullptr;
    return Ptr(new ZEVAnalyticsViewControllerEvent(2, timestamp, std::move(eventKey), std::move(*json),
                                                   std::move(eventIdentifier), std::move(values)));
}

ZEVAnalyticsEvent::Ptr ZEVAnalyticsViewControllerEvent::initWithAppearedEventForViewController(
    const std::string& className, const std::optional<std::string>& title, std::uint64_t timestamp,
    std::string eventIdentifier) {
    return initWithEventForViewController(className, title, "view_controller_appeared", timestamp,
                                          std::move(eventIdentifier));
}

ZEVAnalyticsEvent::Ptr ZEVAnalyticsViewControllerEvent::initWithDisappearedEventForViewController(
    const std::string& className, const std::optional<std::string>& title, std::uint64_t timestamp,
    std::string eventIdentifier) {
    return initWithEventForViewController(className, title, "view_controller_disappeared", timestamp,
                                          std::move(eventIdentifier));
}

// --- Generators ------------------------------------------------------------------------------------

std::string ZEVAnalyticsIdentifierGenerator::generateSessionFragmentIdentifier() {
    return ZOVGenerateUUIDString();
}

std::string ZEVAnalyticsIdentifierGenerator::generateEventIdentifier() {
    return ZOVGenerateUUIDString();
}

std::uint64_t ZEVAnalyticsTimestampGenerator::generateAnalyticsTimestamp() {
    using namespace std::chrono;
    const auto since1970 = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return since1970 > 0 ? static_cast<std::uint64_t>(since1970) : 0;
}

std::uint64_t ZEVAnalyticsTimestampGenerator::millisecondsSince1970(const ns::Date& date) {
    const double ms = std::floor(date.timeIntervalSince1970() * 1000.0);
    if (!(ms > 0)) return 0;
    if (ms >= 1.8446744073709552e19) return UINT64_MAX;
    return static_cast<std::uint64_t>(ms);
}
