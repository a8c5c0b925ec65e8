#include "platform/terminal/KeyLine.hpp"

#include "platform/terminal/Canvas.hpp"

#include <algorithm>
#include <numeric>

namespace term {

std::string fitKeyLine(const std::vector<KeyLineItem>& items, int columns) {
    constexpr int kGap = 2;
    // Heaviest first; of equal weight, the later first.
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return items[a].weight != items[b].weight ? items[a].weight > items[b].weight : a > b;
    });
    std::vector<bool> kept(items.size(), false);
    int used = -kGap;
    for (std::size_t i : order) {
        used += columnsOfText(items[i].text) + kGap;
        if (used > columns) break;
        kept[i] = true;
    }
    std::string line;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (kept[i]) line += (line.empty() ? "" : "  ") + items[i].text;
    return line;
}

} // namespace term
