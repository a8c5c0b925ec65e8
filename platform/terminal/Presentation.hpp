#pragma once
// What a screen shows of its views right now, animations included: the view layer keeps end states in
// its model, and these read the values in flight on the dispatch clock, so a bar fading in after a
// delay is absent until then, and a panel sliding in is drawn lower while it moves.
//
// A terminal cell has no transparency: a partly faded view is drawn with its colours blended toward
// what lies behind it, and a view at alpha 0 is not drawn at all.
//
// Failure contract: none; a null view is not shown. Main thread only.
#include "platform/terminal/Style.hpp"
#include "platform/uikit/View.hpp"

namespace term {

// The view's alpha as shown now, times its ancestors' (0 when it or an ancestor is hidden).
double shownAlpha(const ui::View* view);
// Drawn at all: not hidden and not fully transparent, itself and every ancestor.
bool isShown(const ui::View* view);
// The view's centre and scale as shown now.
ui::Point shownCenter(const ui::View& view);
double shownScale(const ui::View& view);

// `style` with its colours blended toward `behind` by `alpha` (1 leaves it as it is).
Style faded(Style style, double alpha, ui::Color behind);

} // namespace term
