#pragma once
// Life-cycle records: payload only {"eventId": ...}.
//
//   "app_installed" 0, "app_launched" 1, "app_crashed" 1, and from the application's notifications:
//   will terminate "app_terminated" 1, memory warning "app_memory_warning" 1, did enter background
//   "app_entered_background" 1, will enter foreground "app_entered_foreground" 1, will resign active
//   "app_became_inactive" (0 when high priority on background is asked for, else 1), did become active
//   "app_became_active" 0.
//
// Failure contract: an unknown notification name gives nullptr.
#include "sdk/rurorad/records/ZEVAnalyticsEvent.hpp"

class ZEVAnalyticsApplicationLifecycleEvent final : public ZEVAnalyticsEvent {
  public:
    static Ptr initWithApplicationNotificationName(const std::string& name, std::uint64_t timestamp,
                                                   std::string eventIdentifier,
                                                   bool highPriorityEventOnBackground);
    static Ptr initApplicationInstalledEvent(std::uint64_t timestamp, std::string eventIdentifier);
    static Ptr initApplicationLaunchedEvent(std::uint64_t timestamp, std::string eventIdentifier);
    static Ptr initApplicationCrashedEvent(std::uint64_t timestamp, std::string eventIdentifier);

    std::string className() const override { return "ZEVAnalyticsApplicationLifecycleEvent"; }

  private:
    using ZEVAnalyticsEvent::ZEVAnalyticsEvent;
    static Ptr make(std::uint64_t priority, std::uint64_t timestamp, std::string key,
                    std::string eventIdentifier);
};
