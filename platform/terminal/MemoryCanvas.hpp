#pragma once
// A canvas in memory, for tests and for drawing without a terminal: every cell keeps its character and
// style, and rows read back as text.
//
// Failure contract: none.
#include "platform/terminal/Canvas.hpp"

#include <string>
#include <vector>

namespace term {

class MemoryCanvas : public Canvas {
  public:
    MemoryCanvas(int width, int height);

    int width() const override { return width_; }
    int height() const override { return height_; }
    void clear() override;
    void setCaret(std::optional<Cell> caret) override { caret_ = caret; }
    std::optional<Cell> caret() const { return caret_; }

    // Row y as text (wide characters once, trailing blanks removed).
    std::string row(int y) const;
    // All rows joined with line breaks.
    std::string screen() const;
    // The first cell where `text` starts on some row, if any.
    std::optional<Cell> find(std::string_view text) const;
    const Style& styleAt(int x, int y) const;

  protected:
    void put(int x, int y, std::string_view cluster, int columns, const Style& style) override;

  private:
    struct Slot {
        std::string text = " ";
        Style style;
        bool continuation = false; // the second column of a wide character
    };
    int width_;
    int height_;
    std::vector<Slot> slots_;
    std::optional<Cell> caret_;
};

} // namespace term
