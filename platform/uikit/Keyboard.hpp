#pragma once
// The on-screen keyboard as the model knows it: the names of its notifications and the frame it is
// shown in. It is "shown" exactly while a text field is first responder.
#include "platform/uikit/Geometry.hpp"

namespace ui {

inline constexpr const char* keyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* keyboardWillHideNotification = "UIKeyboardWillHideNotification";
// User-info key of both notifications; its value is a ui::Rect.
inline constexpr const char* keyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";

// Height of the keyboard in points.
inline constexpr double kKeyboardHeight = 291.0;

// Frame of the keyboard when shown: full width of the main screen, at its bottom.
Rect keyboardShownFrame();
// Frame when hidden: just below the bottom edge. The start frame of a show.
Rect keyboardHiddenFrame();

bool isKeyboardVisible();

} // namespace ui
