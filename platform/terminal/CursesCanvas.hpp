#pragma once
// The canvas of the real terminal (the curses standard screen). Colour pairs are allocated on demand;
// with a direct-colour terminal the exact 24-bit colours are used, else the nearest of 256 (or of 8).
//
// Failure contract: none; drawing outside the screen is clipped. Only usable between curses start and
// end (CursesTerminal owns that).
#include "platform/terminal/Canvas.hpp"

namespace term {

class CursesCanvas : public Canvas {
  public:
    CursesCanvas();
    int width() const override;
    int height() const override;
    void clear() override;
    void setCaret(std::optional<Cell> caret) override { caret_ = caret; }
    // Moves the hardware caret where it belongs and shows the frame.
    void present();

  protected:
    void put(int x, int y, std::string_view cluster, int columns, const Style& style) override;
    // One line of blanks drawn by curses in one call.
    void putBlanks(int x, int y, int count, const Style& style) override;

  private:
    int colorNumber(const std::optional<ui::Color>& color) const;
    // The colour pair of a style's colours; the last one is kept, since a screen is drawn in runs of
    // cells of one style.
    int colorPair(const Style& style);
    std::optional<Cell> caret_;
    std::optional<ui::Color> pairForeground_, pairBackground_;
    int pair_ = -1;
    bool direct_ = false;
    int colors_ = 8;
};

} // namespace term
