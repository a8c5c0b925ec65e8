#include "platform/uikit/BarButtonItem.hpp"

namespace ui {

bool BarButtonItem::tap() {
    if (!enabled_) return false;
    auto actions = actions_; // an action may add more
    for (auto& action : actions)
        action(*this);
    return true;
}

} // namespace ui
