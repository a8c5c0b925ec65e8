#pragma once
// Where a text (or a list) stands in the rows it is shown in when it has more lines than rows, the keys
// that move it, and the marks that say more lies above or below.
//
// Failure contract: none; the first line shown always stays inside the text.
#include "platform/terminal/Key.hpp"

#include <string>

namespace term {

struct TextWindow {
    int first = 0;   // the first line shown
    int total = 0;   // lines in all
    int visible = 0; // rows it is shown in

    bool overflows() const { return visible > 0 && total > visible; }
    // Takes the lines and rows as drawn now, moving `first` back inside them.
    void fit(int lines, int rows);
    // Up and Down move a line, PgUp and PgDn a page (the rows less one, so that a line stays in sight);
    // true for those keys.
    bool scroll(const Key& key);
};

// The mark that row `row` (counted from the first shown) carries at the side: "▲" on the first row when
// lines lie above, "▼" on the last when lines lie below, "▲▼" on a single row with both, "" on others.
std::string scrollMark(const TextWindow& window, int row);

} // namespace term
