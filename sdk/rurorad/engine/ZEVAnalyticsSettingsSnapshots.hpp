#pragma once
// The analytics settings in force, readable from any thread with one atomic load: the event road reads
// them for every event, without a lock or a reference count. Every snapshot published is kept for the
// holder's life (settings arrive a few times a launch), so a reference once read stays valid.
//
// Failure contract: none. current() and publish() may be called from any thread.
#include "sdk/rurorad/engine/ZEVAnalyticsSettings.hpp"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class ZEVAnalyticsSettingsSnapshots {
  public:
    // Starts with the values before any settings.
    ZEVAnalyticsSettingsSnapshots();
    ZEVAnalyticsSettingsSnapshots(const ZEVAnalyticsSettingsSnapshots&) = delete;
    ZEVAnalyticsSettingsSnapshots& operator=(const ZEVAnalyticsSettingsSnapshots&) = delete;

    const ZEVAnalyticsSettings& current() const { return *current_.load(std::memory_order_acquire); }
    // Makes `settings` the ones in force and answers them.
    const ZEVAnalyticsSettings& publish(ZEVAnalyticsSettings settings);

  private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<const ZEVAnalyticsSettings>> kept_;
    std::atomic<const ZEVAnalyticsSettings*> current_{nullptr};
};
