#pragma once
// The answer field as the terminal draws it inside its code line: a box in the field's own background
// colour (a grey when it has none) with a blank on each side, so the code around it reads as code ("if [
// appIsUpToDate == false ] {" rather than "ifappIsUpToDate == false {"), the placeholder while it is empty,
// and the caret whenever the field has the focus, from the moment the lesson opens. A text longer than the
// room scrolls sideways with the caret; "‹" and "›" in the side blanks say that more text lies that way.
// A placeholder longer than the room ends in "…".
//
// Failure contract: none; with no room at all the box still takes its two blanks and one cell.
#include "platform/terminal/Canvas.hpp"
#include "platform/uikit/TextField.hpp"

#include <cstddef>

class AnswerFieldView {
  public:
    // The box's colour for a field without a background of its own.
    static constexpr ui::Color defaultBackground = ui::Color::rgb255(64, 64, 64);

    // Draws `field` from column x of row y, ending at `right` at most; with `focused` the caret goes
    // into it. Returns the first column after the box.
    int draw(term::Canvas& canvas, int x, int y, int right, const ui::TextField& field, bool focused);

    // Back to the start, for a new lesson.
    void reset() { scroll_ = 0; }

  private:
    // The first character shown; kept between draws so the text moves only when the caret leaves it.
    std::size_t scroll_ = 0;
};
