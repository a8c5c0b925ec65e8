#include "platform/terminal/TextWindow.hpp"

#include <algorithm>

namespace term {

void TextWindow::fit(int lines, int rows) {
    total = std::max(0, lines);
    visible = std::max(0, rows);
    first = std::clamp(first, 0, std::max(0, total - visible));
}

bool TextWindow::scroll(const Key& key) {
    using Kind = Key::Kind;
    const int page = std::max(1, visible - 1);
    int step = 0;
    if (key.is(Kind::up))
        step = -1;
    else if (key.is(Kind::down))
        step = 1;
    else if (key.is(Kind::pageUp))
        step = -page;
    else if (key.is(Kind::pageDown))
        step = page;
    else
        return false;
    first = std::clamp(first + step, 0, std::max(0, total - visible));
    return true;
}

std::string scrollMark(const TextWindow& window, int row) {
    if (window.visible <= 0) return "";
    const int last = std::min(window.visible, window.total - window.first) - 1;
    std::string mark;
    if (row == 0 && window.first > 0) mark += "▲";
    if (row == last && window.first + window.visible < window.total) mark += "▼";
    return mark;
}

} // namespace term
