#include "app/lesson/AttributedText.hpp"

ui::AttributedString attributedText(const std::string& text, const std::vector<ColorPair>& rules) {
    ui::AttributedString out(text);
    for (const auto& [rangeOfString, color] : rules) {
        if (rangeOfString.empty()) continue;
        // A byte search over UTF-8 finds the same first occurrence as a search over UTF-16 would.
        const auto at = text.find(rangeOfString);
        if (at != std::string::npos)
            out.addForegroundColor(uiColor(color), ui::Range{at, rangeOfString.size()});
    }
    return out;
}
