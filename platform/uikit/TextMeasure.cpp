#include "platform/uikit/TextMeasure.hpp"

#include "platform/foundation/Text.hpp"

#include <algorithm>

namespace ui {

Size measure(std::string_view text, const Font& /*font*/, Size box) {
    double width = static_cast<double>(ns::characterCount(text)) * kCharacterAdvance;
    double height = text.empty() ? 0.0 : kLineHeight;
    return Size{std::clamp(width, 0.0, std::max(box.width, 0.0)),
                std::clamp(height, 0.0, std::max(box.height, 0.0))};
}

} // namespace ui
