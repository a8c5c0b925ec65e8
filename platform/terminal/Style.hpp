#pragma once
// How a stretch of text is drawn: colours (absent means the terminal's own), and a few attributes.
//
// Failure contract: none.
#include "platform/uikit/Color.hpp"

#include <optional>

namespace term {

struct Style {
    std::optional<ui::Color> foreground;
    std::optional<ui::Color> background;
    bool bold = false;
    bool reverse = false;
    bool underline = false;
    bool dim = false;

    static Style fg(ui::Color color) { return Style{color, std::nullopt}; }
    Style withBackground(ui::Color color) const {
        Style s = *this;
        s.background = color;
        return s;
    }
    Style bolded() const {
        Style s = *this;
        s.bold = true;
        return s;
    }
    Style reversed() const {
        Style s = *this;
        s.reverse = true;
        return s;
    }
    friend bool operator==(const Style&, const Style&) = default;
};

// The nearest colour of the xterm 256-colour palette (the 6x6x6 cube and the grey ramp, 16...255).
int nearest256(ui::Color color);

} // namespace term
