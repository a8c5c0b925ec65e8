#pragma once
// An RGBA colour with components in 0...1, as the view layer takes them. Header-only so that model
// types can name colours without linking the view layer.
#include <cstdint>

namespace ui {

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // Components given as n/255, alpha 1: the form every colour of the app is specified in.
    static constexpr Color rgb255(int r, int g, int b) { return Color{r / 255.0, g / 255.0, b / 255.0, 1.0}; }
    static constexpr Color white() { return Color{1, 1, 1, 1}; }
    static constexpr Color black() { return Color{0, 0, 0, 1}; }
    static constexpr Color clear() { return Color{0, 0, 0, 0}; }

    // 8-bit channel values (rounded), for the terminal and for tests.
    constexpr std::uint8_t red8() const { return to8(red); }
    constexpr std::uint8_t green8() const { return to8(green); }
    constexpr std::uint8_t blue8() const { return to8(blue); }

    friend constexpr bool operator==(const Color&, const Color&) = default;

  private:
    static constexpr std::uint8_t to8(double v) {
        return static_cast<std::uint8_t>(v <= 0 ? 0 : v >= 1 ? 255 : v * 255.0 + 0.5);
    }
};

} // namespace ui
