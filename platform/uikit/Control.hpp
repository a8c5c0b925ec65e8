#pragma once
// Base of the views that send target actions (buttons, switches, text fields).
//
// Actions run in the order added, on the calling (main) thread. sendActions() runs them unconditionally
// (as code asking the control to send its actions); the user entry points of the subclasses (Button::tap,
// Switch::toggle) do nothing while the control is disabled, hidden or not interactive.
#include "platform/uikit/View.hpp"

#include <functional>
#include <vector>

namespace ui {

enum class ControlState { normal, highlighted, disabled, selected };
enum class ControlEvent { touchUpInside, valueChanged, editingChanged, editingDidBegin, editingDidEnd };

class Control : public View {
  public:
    using Action = std::function<void(Control& sender)>;

    void addTarget(Action action, ControlEvent event);
    void removeAllTargets();
    void sendActions(ControlEvent event);
    std::size_t actionCount(ControlEvent event) const;

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { selected_ = selected; }
    // normal, highlighted, disabled or selected, in that order of precedence: disabled, highlighted,
    // selected, normal.
    ControlState state() const;

  protected:
    // Whether a user could touch it now.
    bool acceptsUserInput() const;

  private:
    struct Target {
        Action action;
        ControlEvent event;
    };
    std::vector<Target> targets_;
    bool enabled_ = true;
    bool highlighted_ = false;
    bool selected_ = false;
};

} // namespace ui
