#include "platform/uikit/LayoutConstraint.hpp"

#include "platform/uikit/Animation.hpp"

namespace ui {

void LayoutConstraint::setConstant(double constant) {
    if (constant_ != constant) detail::recordChange(*this, "constant", constant_, constant);
    constant_ = constant;
}

} // namespace ui
