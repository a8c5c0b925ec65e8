#pragma once
// View appearance records: priority 2, key "view_controller_appeared" or "view_controller_disappeared",
// payload values "view_controller_class" (the screen's class name) and "view_controller_title" (its
// title, "" when it has none).
//
// Failure contract: an empty class name gives nullptr.
#include "sdk/rurorad/records/ZEVAnalyticsEvent.hpp"

class ZEVAnalyticsViewControllerEvent final : public ZEVAnalyticsEvent {
  public:
    static Ptr initWithEventForViewController(const std::string& className,
                                              const std::optional<std::string>& title, std::string eventKey,
                                              std::uint64_t timestamp, std::string eventIdentifier);
    static Ptr initWithAppearedEventForViewController(const std::string& className,
                                                      const std::optional<std::string>& title,
                                                      std::uint64_t timestamp, std::string eventIdentifier);
    static Ptr initWithDisappearedEventForViewController(const std::string& className,
                                                         const std::optional<std::string>& title,
                                                         std::uint64_t timestamp,
                                                         std::string eventIdentifier);

    std::string className() const override { return "ZEVAnalyticsViewControllerEvent"; }

  private:
    using ZEVAnalyticsEvent::ZEVAnalyticsEvent;
};
