#pragma once
// The analytics switches and limits of the server settings, read once per settings document into an
// immutable value that any queue may hold. A missing key reads as off or 0; before any settings arrive
// (haveSettings false) analytics, custom and predefined events count as enabled.
//
//   "features"/"collect_analytics"            master switch
//   "analytics"/"url"                         upload endpoint (absent: uploads fail with code -2)
//   "analytics"/"track_view_controllers"      view events; also kept for the next launch
//   "analytics"/"flush_on_background"         "app_became_inactive" becomes high priority
//   "analytics"/"max_byte_size_per_file"      a log file larger than this starts maintenance (0: never)
//   "analytics"/"flush_interval_secs"         maintenance timer interval (0: no timer)
//   "analytics"/"max_pending_send_file_count" limit of non-current log files kept by pruning
//   "analytics"/"track_custom_events", "analytics"/"track_predefined_events"
//   "analytics"/"sampling_rate"               sampling factor of life-cycle events
//
// Failure contract: values of the wrong kind read as missing; negative counts read as 0 and counts
// beyond their width are held at its maximum. Never fails.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

struct ZEVAnalyticsSettings {
    bool haveSettings = false;
    bool shouldCollectAnalytics = false;
    std::optional<std::string> analyticsURL;
    bool shouldTrackViewControllers = false;
    bool shouldFlushOnBackground = false;
    std::uint64_t maxByteSizePerFile = 0;
    std::uint32_t flushIntervalSecs = 0;
    std::uint32_t maxPendingSendFileCount = 0;
    bool trackCustomEvents = true;
    bool trackPredefinedEvents = true;
    std::int64_t samplingRate = 0;

    // Nothing (no document) gives the values before settings.
    static ZEVAnalyticsSettings fromDocument(const nlohmann::json* settings);

    bool analyticsFeatureSwitchEnabled() const { return !haveSettings || shouldCollectAnalytics; }
    bool customEventsFeatureSwitchEnabled() const {
        return !haveSettings || (shouldCollectAnalytics && trackCustomEvents);
    }
    bool predefinedEventsFeatureSwitchEnabled() const {
        return !haveSettings || (shouldCollectAnalytics && trackPredefinedEvents);
    }
};
