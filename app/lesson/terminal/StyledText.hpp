#pragma once
// Drawing a label's coloured text in the terminal: each character keeps the colour its attributed
// string gives it (the label's own colour elsewhere), and long text wraps at blanks. Blanks are kept as
// written (indentation and alignment of code), except at a wrap.
//
// A text can be laid out first and drawn later, whole or a window of its lines, so that a panel can
// size itself to what it shows and scroll what does not fit.
//
// Failure contract: none; text that does not fit in `maxLines` is cut (marked where the caller asks).
#include "platform/terminal/Canvas.hpp"
#include "platform/uikit/Label.hpp"

#include <optional>
#include <string>
#include <vector>

// One character on a laid-out line, at its column from the line's start.
struct StyledGlyph {
    std::string text;
    ui::Color color;
    int column = 0;
};
using StyledLine = std::vector<StyledGlyph>;

// The lines `text` takes in `width` columns (none for a width of 0 or less).
std::vector<StyledLine> layOutAttributed(const ui::AttributedString& text, ui::Color defaultColor, int width);
std::vector<StyledLine> layOutLabel(const ui::Label& label, int width);

// Draws `count` lines from `first` on, from (x, y) down; lines outside `lines` draw nothing.
void drawStyledLines(term::Canvas& canvas, int x, int y, const std::vector<StyledLine>& lines, int first,
                     int count, std::optional<ui::Color> background = std::nullopt);

// Draws from (x, y), at most `width` columns and `maxLines` lines; returns the lines used.
int drawLabel(term::Canvas& canvas, int x, int y, int width, int maxLines, const ui::Label& label,
              std::optional<ui::Color> background = std::nullopt);

// Draws the label's text on row y from x, in `maxColumns` at most and without wrapping: a text that does
// not fit (or holds more than one line) shows as much of its start as fits before a "…"; blanks after its
// last character give way unmarked. Returns the columns used, its trailing blanks included as far as
// they fit.
int drawLabelInOneRow(term::Canvas& canvas, int x, int y, int maxColumns, const ui::Label& label);

// The same for any attributed text with a default colour.
int drawAttributed(term::Canvas& canvas, int x, int y, int width, int maxLines,
                   const ui::AttributedString& text, ui::Color defaultColor,
                   std::optional<ui::Color> background = std::nullopt);
