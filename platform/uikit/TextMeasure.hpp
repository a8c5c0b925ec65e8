#pragma once
// Text measuring for layout rules that size views to their text (the answer field grows with its text).
//
// The terminal draws every character in one cell, so measuring is monospace: one line of text is
// kCharacterAdvance points per character (extended grapheme cluster; an emoji or a letter with combining
// marks is one character), whatever the font, and one line is kLineHeight points high. Text is measured
// as one line (no wrapping; line breaks count as characters). The result is clipped to `box`: never
// wider than box.width nor higher than box.height. Invalid UTF-8 is measured byte by byte for the bad
// bytes; it never fails.
#include "platform/uikit/Font.hpp"
#include "platform/uikit/Geometry.hpp"

#include <string_view>

namespace ui {

inline constexpr double kCharacterAdvance = 10.0;
inline constexpr double kLineHeight = 20.0;

Size measure(std::string_view text, const Font& font, Size box);

} // namespace ui
