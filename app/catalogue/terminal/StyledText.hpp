#pragma once
// Drawing a label's coloured text in the terminal: each character keeps the colour its attributed
// string gives it (the label's own colour elsewhere), and long text wraps at blanks. Blanks are kept as
// written (indentation and alignment of code), except at a wrap.
//
// Failure contract: none; text that does not fit in `maxLines` is cut.
#include "platform/terminal/Canvas.hpp"
#include "platform/uikit/Label.hpp"

#include <optional>

// Draws from (x, y), at most `width` columns and `maxLines` lines; returns the lines used.
int drawLabel(term::Canvas& canvas, int x, int y, int width, int maxLines, const ui::Label& label,
              std::optional<ui::Color> background = std::nullopt);

// The same for any attributed text with a default colour.
int drawAttributed(term::Canvas& canvas, int x, int y, int width, int maxLines,
                   const ui::AttributedString& text, ui::Color defaultColor,
                   std::optional<ui::Color> background = std::nullopt);
