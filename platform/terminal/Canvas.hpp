#pragma once
// A grid of terminal cells that presenters draw into. Text is placed character by character (extended
// grapheme clusters), each taking its display width (1, or 2 for wide characters such as emoji);
// anything outside the grid or past `maxColumns` is clipped.
//
// Failure contract: none; drawing outside the grid does nothing. Invalid UTF-8 draws one cell per bad
// byte, never crashes. Control characters draw as their pictures, so a text holding one (even NUL) is
// shown whole.
#include "platform/terminal/Style.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace term {

struct Cell {
    int x = 0;
    int y = 0;
    friend bool operator==(const Cell&, const Cell&) = default;
};

class Canvas {
  public:
    virtual ~Canvas() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;

    // Draws `text` from (x, y) on one line; returns the columns used. Line breaks draw as blanks.
    int text(int x, int y, std::string_view text, const Style& style = {}, int maxColumns = -1);
    // Fills a rectangle with blanks in `style`.
    void fill(int x, int y, int w, int h, const Style& style);
    // Clears everything.
    virtual void clear() = 0;

    // Where the blinking caret goes (nothing: hidden).
    virtual void setCaret(std::optional<Cell> caret) = 0;

    // The background of text and fills whose style names none (the screen's own colour), so that a
    // terminal with another default background shows no stripes. Absent: the terminal's default.
    void setDefaultBackground(std::optional<ui::Color> color) { defaultBackground_ = color; }

  protected:
    // One character (cluster) of display width `columns` at (x, y).
    virtual void put(int x, int y, std::string_view cluster, int columns, const Style& style) = 0;
    // `count` blanks from (x, y) on, all inside the grid; a canvas may do better than a put per cell.
    virtual void putBlanks(int x, int y, int count, const Style& style);

  private:
    Style resolved(const Style& style) const;
    std::optional<ui::Color> defaultBackground_;
};

// The visible stand-in of a control character (NUL, ESC, DEL, ...) that a text may hold: its picture
// from the Control Pictures block ("\u2400" for NUL). None for every other character, line breaks and
// tabs included (they draw as blanks).
std::optional<std::string> controlPicture(std::string_view cluster);

// Display width of one character: 0 for combining-only text, 2 for wide characters, 1 for a control
// character (drawn as its picture), else 1.
int columnsOf(std::string_view cluster);
// Display width of a text.
int columnsOfText(std::string_view text);

} // namespace term
