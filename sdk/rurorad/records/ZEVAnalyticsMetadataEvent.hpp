#pragma once
// The "metadata" record that opens every log file; its payload is the session's metadata JSON.
//
// Failure contract: none.
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEvent.hpp"

class ZEVAnalyticsMetadataEvent final : public ZEVEventLogEvent {
  public:
    ZEVAnalyticsMetadataEvent(std::uint64_t priority, std::uint64_t timestamp, std::string metadataJSONData)
        : ZEVEventLogEvent(priority, timestamp, "metadata", std::move(metadataJSONData)) {}
    const std::string& metadataJSONData() const { return *payload(); }
};
