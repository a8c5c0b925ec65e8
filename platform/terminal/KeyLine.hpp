#pragma once
// The key line at the bottom of every screen: what the keys that work now do, in the screen's order,
// and which of them give way first when the terminal is too narrow for all.
//
// Failure contract: none; an item wider than the whole line is still given (the canvas clips it).
#include <string>
#include <vector>

namespace term {

struct KeyLineItem {
    std::string text; // "Ctrl-R run"
    int weight = 0;   // the lightest give way first
    friend bool operator==(const KeyLineItem&, const KeyLineItem&) = default;
};

// The items joined by two blanks, in their order, after dropping the lightest (the first of equal
// weight) until the rest fit in `columns`; the heaviest item stays even when it alone is too wide.
std::string fitKeyLine(std::vector<KeyLineItem> items, int columns);

} // namespace term
