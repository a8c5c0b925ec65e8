#pragma once
// The app's navigation controller: every screen inside it gets the same dark bar with white controls.
//
// Failure contract: none.
#include "platform/uikit/NavigationController.hpp"

class NavigationController : public ui::NavigationController {
  public:
    using ui::NavigationController::NavigationController;
    void viewDidLoad() override;
};
