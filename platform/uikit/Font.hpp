#pragma once
// A font as the model knows it: a name and a size in points. The terminal draws one font; the size
// only matters to text measuring (TextMeasure.hpp).
#include <string>

namespace ui {

struct Font {
    std::string name = "System";
    double pointSize = 17;

    static Font systemFont(double pointSize) { return Font{"System", pointSize}; }
    static Font boldSystemFont(double pointSize) { return Font{"System-Bold", pointSize}; }

    friend bool operator==(const Font&, const Font&) = default;
};

} // namespace ui
