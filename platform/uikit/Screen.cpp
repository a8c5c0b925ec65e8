#include "platform/uikit/Screen.hpp"

namespace ui {

Screen& Screen::main() {
    static Screen screen;
    return screen;
}

void Screen::setScale(double scale) {
    if (scale > 0) scale_ = scale;
}

Rect Screen::bounds() const {
    return Rect::make(0, 0, nativeBounds_.width() / scale_, nativeBounds_.height() / scale_);
}

void Screen::reset() {
    *this = Screen{};
}

} // namespace ui
