#pragma once
// How crash reporting makes its alerts: an alert of the platform's older, self-showing kind, with the
// caller as delegate, a cancel button and at most one further button; not shown yet.
//
// Failure contract: none; the platform always has the alert kind here.
#include "platform/uikit/AlertView.hpp"

#include <memory>
#include <optional>
#include <string>

class ZEVAlert {
  public:
    static std::shared_ptr<ui::AlertView> alertWithTitle(std::optional<std::string> title,
                                                         std::optional<std::string> message,
                                                         std::weak_ptr<ui::AlertViewDelegate> delegate,
                                                         std::optional<std::string> cancelButtonTitle,
                                                         std::optional<std::string> otherButtonTitle) {
        return std::make_shared<ui::AlertView>(std::move(title), std::move(message), std::move(delegate),
                                               std::move(cancelButtonTitle), std::move(otherButtonTitle));
    }
};
