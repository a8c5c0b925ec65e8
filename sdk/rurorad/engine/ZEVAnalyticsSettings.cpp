#include "sdk/rurorad/engine/ZEVAnalyticsSettings.hpp"

#include <cmath>
#include <limits>

namespace {

const nlohmann::json* member(const nlohmann::json* object, const char* key) {
    if (!object || !object->is_object()) return nullptr;
    auto found = object->find(key);
    return found == object->end() ? nullptr : &*found;
}

bool boolOf(const nlohmann::json* value) {
    if (!value) return false;
    if (value->is_boolean()) return value->get<bool>();
    if (value->is_number()) return value->get<double>() != 0.0;
    return false;
}

// A whole number held within T's range; fractions are dropped toward zero, NaN reads as 0.
template <typename T> T integerOf(const nlohmann::json* value) {
    constexpr T lowest = std::numeric_limits<T>::min();
    constexpr T highest = std::numeric_limits<T>::max();
    if (!value || !value->is_number()) return 0;
    if (value->is_number_unsigned()) {
        const auto number = value->get<std::uint64_t>();
        return number > static_cast<std::uint64_t>(highest) ? highest : static_cast<T>(number);
    }
    if (value->is_number_integer()) { // negative here: non-negative integers read as unsigned
        const auto number = value->get<std::int64_t>();
        return number < static_cast<std::int64_t>(lowest) ? lowest : static_cast<T>(number);
    }
    const double number = std::trunc(value->get<double>());
    if (std::isnan(number)) return 0;
    if (number <= static_cast<double>(lowest)) return lowest;
    if (number >= static_cast<double>(highest)) return highest;
    return static_cast<T>(number);
}

} // namespace

ZEVAnalyticsSettings ZEVAnalyticsSettings::fromDocument(const nlohmann::json* settings) {
    ZEVAnalyticsSettings result;
    if (!settings) return result;
    result.haveSettings = true;
    result.shouldCollectAnalytics = boolOf(member(member(settings, "features"), "collect_analytics"));
    const nlohmann::json* analytics = member(settings, "analytics");
    if (const auto* url = member(analytics, "url");
        url && url->is_string() && !url->get<std::string>().empty())
        result.analyticsURL = url->get<std::string>();
    result.shouldTrackViewControllers = boolOf(member(analytics, "track_view_controllers"));
    result.shouldFlushOnBackground = boolOf(member(analytics, "flush_on_background"));
    result.maxByteSizePerFile = integerOf<std::uint64_t>(member(analytics, "max_byte_size_per_file"));
    result.flushIntervalSecs = integerOf<std::uint32_t>(member(analytics, "flush_interval_secs"));
    result.maxPendingSendFileCount =
        integerOf<std::uint32_t>(member(analytics, "max_pending_send_file_count"));
    result.trackCustomEvents = boolOf(member(analytics, "track_custom_events"));
    result.trackPredefinedEvents = boolOf(member(analytics, "track_predefined_events"));
    result.samplingRate = integerOf<std::int64_t>(member(analytics, "sampling_rate"));
    return result;
}
