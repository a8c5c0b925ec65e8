#include "platform/uikit/Keyboard.hpp"

#include "platform/uikit/Screen.hpp"
#include "platform/uikit/TextField.hpp"

namespace ui {

Rect keyboardShownFrame() {
    Rect screen = Screen::main().bounds();
    return Rect::make(0, screen.height() - kKeyboardHeight, screen.width(), kKeyboardHeight);
}

Rect keyboardHiddenFrame() {
    Rect screen = Screen::main().bounds();
    return Rect::make(0, screen.height(), screen.width(), kKeyboardHeight);
}

bool isKeyboardVisible() {
    return dynamic_cast<TextField*>(firstResponder()) != nullptr;
}

} // namespace ui
