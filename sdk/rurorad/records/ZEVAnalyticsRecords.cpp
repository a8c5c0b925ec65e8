// The analytics records: the JSON payload rule, the life-cycle and view kinds, the generators.
#include "sdk/rurorad/ZEVRuroradLog.hpp"
#include "sdk/rurorad/records/JSON.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsApplicationLifecycleEvent.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsEvent.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsGenerators.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsViewControllerEvent.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"

#include "platform/foundation/UUID.hpp"

#include <sys/random.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>

// --- ZEVAnalyticsEvent -----------------------------------------------------------------------------

ZEVAnalyticsEvent::ZEVAnalyticsEvent(std::uint64_t priority, std::uint64_t timestamp, std::string key,
                                     std::string payload, std::string eventIdentifier,
                                     ZEVRuroradAttributes payloadValues)
    : ZEVEventLogEvent(priority, timestamp, std::move(key), std::move(payload)),
      eventIdentifier_(std::move(eventIdentifier)), stringPayloadValueDict_(std::move(payloadValues)) {}

namespace {

ns::Result<void> appendMembers(rurorad::JSONObjectWriter& object, const ZEVRuroradAttributes& values) {
    for (const auto& [key, value] : values)
        if (auto written = object.member(key, value); !written) return written;
    return {};
}

// The members of a kit event's payload dictionary, in its order, written from the event's own
// dictionaries: the metadata, then "predefined_attributes" and "custom_attributes", each of which takes
// the place of a metadata entry of its name (as payloadDictionary() sets them).
ns::Result<void> appendRuroradPayloadMembers(rurorad::JSONObjectWriter& object,
                                             const ZEVRuroradEvent& event) {
    static constexpr std::string_view predefinedKey = "predefined_attributes";
    static constexpr std::string_view customKey = "custom_attributes";
    bool predefinedWritten = false;
    bool customWritten = false;
    for (const auto& [key, value] : event.metadata()) {
        ns::Result<void> written;
        if (key == predefinedKey) {
            predefinedWritten = true;
            written = object.member(key, event.predefinedAttributes());
        } else if (key == customKey) {
            customWritten = true;
            written = object.member(key, event.customAttributes());
        } else {
            written = object.member(key, value);
        }
        if (!written) return written;
    }
    if (!predefinedWritten)
        if (auto written = object.member(predefinedKey, event.predefinedAttributes()); !written)
            return written;
    if (!customWritten)
        if (auto written = object.member(customKey, event.customAttributes()); !written) return written;
    return {};
}

// The payload: a JSON object of the members `appendValues` writes, with "eventId" as its last key (the
// values never hold it: they are the event's own). False, with the debug line and `out` as it was, when
// a value cannot be written.
template <class AppendValues>
bool appendPayload(std::string& out, std::string_view eventIdentifier, AppendValues&& appendValues) {
    rurorad::JSONObjectWriter object(out);
    if (auto written = appendValues(object); !written) {
        object.abandon();
        ZEVRuroradDebugLog("ZEVAnalyticsEvent unable to JSON-encode payloadValueDictionary {error: " +
                           written.error().description() + "}");
        return false;
    }
    object.stringMember(rurorad::JSONPlainKey("eventId"), eventIdentifier);
    object.close();
    return true;
}

} // namespace

std::optional<std::string> ZEVAnalyticsEvent::payloadJSON(const ZEVRuroradAttributes& payloadValues,
                                                          const std::string& eventIdentifier) {
    std::string json;
    json.reserve(128);
    if (!appendPayload(json, eventIdentifier, [&](rurorad::JSONObjectWriter& object) {
            return appendMembers(object, payloadValues);
        }))
        return std::nullopt;
    return json;
}

bool ZEVAnalyticsEvent::appendRuroradPayload(std::string& out, const ZEVRuroradEvent& event,
                                             std::string_view eventIdentifier) {
    return appendPayload(out, eventIdentifier, [&](rurorad::JSONObjectWriter& object) {
        return appendRuroradPayloadMembers(object, event);
    });
}

bool ZEVAnalyticsEvent::appendCustomPayload(std::string& out, std::string_view cutName,
                                            rurorad::JSONMemberRefs customAttributes,
                                            std::string_view eventIdentifier) {
    static const ZEVRuroradAttributes noAttributes;
    return appendPayload(out, eventIdentifier, [&](rurorad::JSONObjectWriter& object) -> ns::Result<void> {
        object.stringMember(rurorad::JSONPlainKey(ZEVRuroradCustomEvent::typeKey), cutName);
        if (auto written = object.member(rurorad::JSONPlainKey("predefined_attributes"), noAttributes);
            !written)
            return written;
        return object.member(rurorad::JSONPlainKey("custom_attributes"), customAttributes);
    });
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
    // Every event needs one: the kernel's random bytes are drawn 32 identifiers at a time per thread
    // rather than with one system call each.
    thread_local std::array<std::uint8_t, 16 * 32> pool;
    thread_local std::size_t used = pool.size();
    if (used == pool.size()) {
        std::size_t filled = 0;
        while (filled < pool.size()) {
            const ssize_t got = ::getrandom(pool.data() + filled, pool.size() - filled, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return ZOVGenerateUUIDString(); // the platform's own fallback
            filled += static_cast<std::size_t>(got);
        }
        used = 0;
    }
    ns::UUID::Bytes bytes;
    std::copy_n(pool.begin() + static_cast<std::ptrdiff_t>(used), bytes.size(), bytes.begin());
    used += bytes.size();
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return ns::UUID(bytes).string();
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
