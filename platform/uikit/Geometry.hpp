#pragma once
// Plane geometry of the view layer, in points (a point is one terminal cell's width divided by the text
// advance, see TextMeasure.hpp; the model does not care what a point is on screen). Origin top-left, y
// grows downward.
namespace ui {

struct Point {
    double x = 0;
    double y = 0;
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend constexpr bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    static constexpr Rect make(double x, double y, double width, double height) {
        return Rect{Point{x, y}, Size{width, height}};
    }
    static constexpr Rect zero() { return Rect{}; }

    constexpr double minX() const { return origin.x; }
    constexpr double minY() const { return origin.y; }
    constexpr double maxX() const { return origin.x + size.width; }
    constexpr double maxY() const { return origin.y + size.height; }
    constexpr double midX() const { return origin.x + size.width / 2; }
    constexpr double midY() const { return origin.y + size.height / 2; }
    constexpr double width() const { return size.width; }
    constexpr double height() const { return size.height; }
    constexpr Point center() const { return Point{midX(), midY()}; }
    constexpr Rect offsetBy(double dx, double dy) const {
        return Rect{Point{origin.x + dx, origin.y + dy}, size};
    }

    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

} // namespace ui
