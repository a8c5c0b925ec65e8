#include "sdk/rurorad/engine/ZEVAnalyticsEventFilter.hpp"

#include "sdk/rurorad/events/Text.hpp"

#include <array>

bool ZEVAnalyticsEventFilter::shouldDiscardEvent(const ZEVEventLogEvent* event,
                                                 const std::optional<std::string>& betaToken,
                                                 const std::optional<std::string>& installationID,
                                                 std::int64_t factor) {
    if (!event) return true;
    return shouldDiscardEventWithKey(
        event->key(), betaToken, [&installationID] { return installationID; }, factor);
}

bool ZEVAnalyticsEventFilter::shouldDiscardEventWithKey(
    std::string_view key, const std::optional<std::string>& betaToken,
    const std::function<std::optional<std::string>()>& installationID, std::int64_t factor) {
    if (betaToken) return false;
    if (!samplingEnabledForEventType(key)) return false;
    return shouldDiscardEventWithInstallationID(installationID ? installationID() : std::nullopt, factor);
}

bool ZEVAnalyticsEventFilter::samplingEnabledForEventType(std::string_view key) {
    static constexpr std::array<std::string_view, 8> sampled = {
        "app_launched",           "app_terminated",         "app_crashed",         "app_memory_warning",
        "app_entered_background", "app_entered_foreground", "app_became_inactive", "app_became_active",
    };
    for (auto kind : sampled)
        if (kind == key) return true;
    return false;
}

bool ZEVAnalyticsEventFilter::shouldDiscardEventWithInstallationID(
    const std::optional<std::string>& installationID, std::int64_t factor) {
    if (!installationID || factor < 2) return false;
    const std::int64_t hash = javaHashCodeForString(*installationID);
    // C++ division truncates toward zero, so only whether the remainder is 0 counts, not its sign.
    return hash % factor != 0;
}

std::int32_t ZEVAnalyticsEventFilter::javaHashCodeForString(std::string_view text) {
    return rurorad::javaHashCode(text);
}
