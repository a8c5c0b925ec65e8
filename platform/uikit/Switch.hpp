#pragma once
// An on/off switch. A user flip (toggle) changes the state and sends the valueChanged actions;
// setOn from code changes it silently. Main thread only.
#include "platform/uikit/Control.hpp"

#include <functional>

namespace ui {

class Switch : public Control {
  public:
    bool isOn() const { return on_; }
    void setOn(bool on, bool animated = false);

    void addAction(std::function<void(Switch& sender)> action);
    // A flip by the user: does nothing while disabled, hidden or not interactive. Returns whether it
    // flipped.
    bool toggle();

  private:
    bool on_ = false;
};

} // namespace ui
