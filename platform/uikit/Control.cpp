#include "platform/uikit/Control.hpp"

#include <algorithm>

namespace ui {

void Control::addTarget(Action action, ControlEvent event) {
    if (action) targets_.push_back(Target{std::move(action), event});
}

void Control::removeAllTargets() {
    targets_.clear();
}

void Control::sendActions(ControlEvent event) {
    // A copy: an action may add or remove targets, or release the control's owner.
    auto keep = weak_from_this().lock(); // null for a control not owned by a shared_ptr
    auto targets = targets_;
    for (auto& target : targets) {
        if (target.event == event) target.action(*this);
    }
}

std::size_t Control::actionCount(ControlEvent event) const {
    return static_cast<std::size_t>(
        std::count_if(targets_.begin(), targets_.end(), [&](const Target& t) { return t.event == event; }));
}

ControlState Control::state() const {
    if (!enabled_) return ControlState::disabled;
    if (highlighted_) return ControlState::highlighted;
    if (selected_) return ControlState::selected;
    return ControlState::normal;
}

bool Control::acceptsUserInput() const {
    return enabled_ && isUserInteractionEnabled() && isVisible();
}

} // namespace ui
