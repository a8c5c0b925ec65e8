#include "platform/uikit/AttributedString.hpp"

#include <algorithm>

namespace ui {

AttributedString::AttributedString(std::string text) : text_(std::move(text)) {}

void AttributedString::addForegroundColor(Color color, Range bytes) {
    if (bytes.location >= text_.size() || bytes.length == 0) return;
    bytes.length = std::min(bytes.length, text_.size() - bytes.location);
    runs_.push_back(Run{bytes, color});
}

std::optional<Color> AttributedString::colorAt(std::size_t byteOffset) const {
    for (auto it = runs_.rbegin(); it != runs_.rend(); ++it) {
        if (it->range.contains(byteOffset)) return it->color;
    }
    return std::nullopt;
}

std::vector<AttributedString::Segment> AttributedString::segments() const {
    std::vector<Segment> out;
    if (text_.empty()) return out;
    // Cut points: every run boundary. Between two cut points the colour is constant.
    std::vector<std::size_t> cuts{0, text_.size()};
    for (const auto& run : runs_) {
        cuts.push_back(run.range.location);
        cuts.push_back(run.range.end());
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        std::optional<Color> color = colorAt(cuts[i]);
        if (!out.empty() && out.back().color == color) {
            out.back().range.length += cuts[i + 1] - cuts[i];
        } else {
            out.push_back(Segment{Range{cuts[i], cuts[i + 1] - cuts[i]}, color});
        }
    }
    return out;
}

} // namespace ui
