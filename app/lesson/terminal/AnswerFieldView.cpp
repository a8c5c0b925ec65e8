#include "app/lesson/terminal/AnswerFieldView.hpp"

#include "platform/foundation/Text.hpp"
#include "platform/terminal/Presenter.hpp"
#include "platform/terminal/TextWrap.hpp"

#include <algorithm>

int AnswerFieldView::draw(term::Canvas& canvas, int x, int y, int right, const ui::TextField& field,
                          bool focused) {
    const int room = std::max(1, right - x - 2);
    const std::string& text = field.text();
    const std::size_t length = field.length();
    const std::size_t caret = std::min(field.selectedRange().value_or(ui::Range{length, 0}).location, length);
    auto columns = [&](std::size_t from, std::size_t count) {
        return term::columnsOfText(ns::characterSubstring(text, from, count));
    };

    // The text moves only when the caret would leave the box; at the end of the text the caret stands
    // on the blank after it.
    if (term::columnsOfText(text) <= room) scroll_ = 0;
    scroll_ = std::min(scroll_, caret);
    const int caretRoom = caret == length ? room : room - 1;
    while (scroll_ < caret && columns(scroll_, caret - scroll_) > caretRoom)
        ++scroll_;

    const ui::Color background =
        field.backgroundColor().alpha > 0 ? field.backgroundColor() : defaultBackground;
    term::Style box = term::Style{}.withBackground(background);
    int used = 0;
    if (text.empty()) {
        const auto& placeholder = field.attributedPlaceholder();
        ui::Color color =
            placeholder.runs().empty() ? term::palette::muted : placeholder.runs().front().color;
        term::Style style = term::Style::fg(color).withBackground(background);
        style.dim = !placeholder.hasAttributes();
        used = term::columnsOfText(placeholder.text());
        used = std::min(std::max(used, 1), room);
        canvas.fill(x, y, used + 2, 1, box);
        canvas.text(x + 1, y, term::fitText(placeholder.text(), used), style, used);
    } else {
        const std::string shown = ns::characterSuffixFrom(text, scroll_);
        used = std::min(std::max(term::columnsOfText(shown), 1), room);
        canvas.fill(x, y, used + 2, 1, box);
        term::Style style = term::Style::fg(field.textColor()).withBackground(background);
        style.underline = true;
        canvas.text(x + 1, y, shown, style, used);
        term::Style more = term::Style::fg(term::palette::muted).withBackground(background);
        if (scroll_ > 0) canvas.text(x, y, "‹", more);
        if (term::columnsOfText(shown) > used) canvas.text(x + used + 1, y, "›", more);
    }
    if (focused)
        canvas.setCaret(term::Cell{x + 1 + (text.empty() ? 0 : columns(scroll_, caret - scroll_)), y});
    return x + used + 2;
}
