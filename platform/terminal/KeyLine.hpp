#pragma once
// The key line at the bottom of every screen: what the keys that work now do, in the screen's order,
// and which of them give way first when the terminal is too narrow for all.
//
// Failure contract: none; an item wider than the whole line is left out, never cut.
#include <string>
#include <vector>

namespace term {

struct KeyLineItem {
    std::string text; // "Ctrl-R run"
    int weight = 0;   // the lightest give way first
    friend bool operator==(const KeyLineItem&, const KeyLineItem&) = default;
};

// The weight of a screen's main key, the one that opens or answers ("Enter open", "type answer",
// "Enter pick"): it stays as long as any other item does. A panel that has the keys for a while may
// rank its own key above it (kMainKeyWeight + 1).
inline constexpr int kMainKeyWeight = 2000;

// The items joined by two blanks, in their order, after dropping the lightest (of equal weight, the
// first) until the rest fit in `columns`. An item is never cut: where even the heaviest alone is too
// wide, the line is empty rather than naming another key in its place. So the line only grows as the
// terminal widens, and a shown item is never lighter than a dropped one.
std::string fitKeyLine(const std::vector<KeyLineItem>& items, int columns);

} // namespace term
