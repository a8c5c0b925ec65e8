#pragma once
// Sampling of life-cycle events: with a sampling factor f of 2 or more, only installations whose
// identifier hashes (Java string hash over UTF-16 units) to a multiple of f keep reporting the
// life-cycle kinds ("app_launched", "app_terminated", "app_crashed", "app_memory_warning",
// "app_entered_background", "app_entered_foreground", "app_became_inactive", "app_became_active").
// Builds carrying a beta token are never sampled; "app_installed", view and app events never are.
//
// Failure contract: none; stateless and safe from any thread. No event is discarded as nothing.
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEvent.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class ZEVAnalyticsEventFilter {
  public:
    static bool shouldDiscardEvent(const ZEVEventLogEvent* event, const std::optional<std::string>& betaToken,
                                   const std::optional<std::string>& installationID, std::int64_t factor);
    // The same for an event of this key; the installation identifier is asked for (absent: none) only
    // when the event is of a sampled kind, so events that sampling never drops do not pay for it.
    static bool shouldDiscardEventWithKey(std::string_view key, const std::optional<std::string>& betaToken,
                                          const std::function<std::optional<std::string>()>& installationID,
                                          std::int64_t factor);
    static bool samplingEnabledForEventType(std::string_view key);
    static bool shouldDiscardEventWithInstallationID(const std::optional<std::string>& installationID,
                                                     std::int64_t factor);
    static std::int32_t javaHashCodeForString(std::string_view text);
};
