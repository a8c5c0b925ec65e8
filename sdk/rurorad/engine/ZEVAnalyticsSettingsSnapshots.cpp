#include "sdk/rurorad/engine/ZEVAnalyticsSettingsSnapshots.hpp"

ZEVAnalyticsSettingsSnapshots::ZEVAnalyticsSettingsSnapshots() {
    publish(ZEVAnalyticsSettings());
}

const ZEVAnalyticsSettings& ZEVAnalyticsSettingsSnapshots::publish(ZEVAnalyticsSettings settings) {
    auto snapshot = std::make_unique<const ZEVAnalyticsSettings>(std::move(settings));
    const ZEVAnalyticsSettings* published = snapshot.get();
    // Under the lock, so that of two publishers the later one is the one in force.
    std::lock_guard lock(mutex_);
    kept_.push_back(std::move(snapshot));
    current_.store(published, std::memory_order_release);
    return *published;
}
