#pragma once
// A push button: a title (and optional image name) per control state, and actions run on a tap.
//
// A title that is not set for a state falls back to the normal state's title, as on the phone. Main
// thread only; nothing fails.
#include "platform/uikit/Control.hpp"

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace ui {

class Button : public Control {
  public:
    Button() = default;
    explicit Button(std::string title);

    void setTitle(std::optional<std::string> title, ControlState state);
    std::optional<std::string> title(ControlState state) const;
    // The title for the current state.
    std::optional<std::string> currentTitle() const { return title(state()); }

    void setTitleColor(std::optional<Color> color, ControlState state);
    std::optional<Color> titleColor(ControlState state) const;

    void setImage(std::optional<std::string> imageName, ControlState state);
    std::optional<std::string> image(ControlState state) const;

    // Runs on every tap, with the button as sender.
    void addAction(std::function<void(Button& sender)> action);
    // A tap by the user: runs the actions unless the button is disabled, hidden or not interactive.
    // Returns whether the actions ran.
    bool tap();
    // Runs the tap actions whatever the state.
    void sendActions() { Control::sendActions(ControlEvent::touchUpInside); }

  private:
    std::map<ControlState, std::string> titles_;
    std::map<ControlState, Color> titleColors_;
    std::map<ControlState, std::string> images_;
};

} // namespace ui
