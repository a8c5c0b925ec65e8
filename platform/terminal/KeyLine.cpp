#include "platform/terminal/KeyLine.hpp"

#include "platform/terminal/Canvas.hpp"

#include <algorithm>

namespace term {

std::string fitKeyLine(std::vector<KeyLineItem> items, int columns) {
    auto joined = [&] {
        std::string out;
        for (const auto& item : items)
            out += (out.empty() ? "" : "  ") + item.text;
        return out;
    };
    std::string line = joined();
    while (items.size() > 1 && columnsOfText(line) > columns) {
        items.erase(
            std::min_element(items.begin(), items.end(),
                             [](const KeyLineItem& a, const KeyLineItem& b) { return a.weight < b.weight; }));
        line = joined();
    }
    return line;
}

} // namespace term
