#include "platform/uikit/Switch.hpp"

namespace ui {

void Switch::setOn(bool on, bool /*animated*/) {
    on_ = on;
}

void Switch::addAction(std::function<void(Switch&)> action) {
    if (!action) return;
    addTarget([action = std::move(action)](Control& sender) { action(static_cast<Switch&>(sender)); },
              ControlEvent::valueChanged);
}

bool Switch::toggle() {
    if (!acceptsUserInput()) return false;
    on_ = !on_;
    sendActions(ControlEvent::valueChanged);
    return true;
}

} // namespace ui
