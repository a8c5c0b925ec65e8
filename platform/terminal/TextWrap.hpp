#pragma once
// Breaking text into terminal lines, and fitting it into one.
//
// Failure contract: none; a width of 0 or less gives no lines (and no text), a word wider than the line
// is cut (after a "/" where it has one, so paths break between their parts).
#include <string>
#include <string_view>
#include <vector>

namespace term {

// Splits `text` into lines of at most `width` columns, breaking at blanks where it can and at line
// breaks always. Runs of blanks inside a line are kept; blanks at a break are dropped.
std::vector<std::string> wrapText(std::string_view text, int width);

// `text` in `columns` on one line: whole when it fits, else as much of its start as fits before a "…"
// (blanks before the mark dropped), so that a cut never goes unseen.
std::string fitText(std::string_view text, int columns);

// The mark that ends a text cut to fit.
inline constexpr const char* kCutMark = "…";

} // namespace term
