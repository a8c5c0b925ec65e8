#include "platform/terminal/AlertPresenter.hpp"

#include "platform/terminal/TextWrap.hpp"

#include <algorithm>

namespace term {

AlertPresenter::AlertPresenter(std::shared_ptr<ui::AlertController> alert) : alert_(std::move(alert)) {
    using Kind = Key::Kind;
    auto hasActions = [this] { return !alert_->actions().empty(); };
    auto scrolls = [this] { return text_.overflows(); };
    auto scroll = [this](const Key& key) { return text_.scroll(key); };
    keys_ = KeyTable({
        {{Key::named(Kind::left), Key::named(Kind::right)},
         "choose",
         3,
         [this](const Key& key) { return moveFocus(key.is(Kind::left) ? -1 : 1); },
         hasActions},
        // A text taller than the box takes Up and Down from the actions (Left, Right and Tab still
        // choose).
        {{Key::named(Kind::up), Key::named(Kind::down)}, "scroll", 4, scroll, scrolls},
        {{Key::named(Kind::pageUp), Key::named(Kind::pageDown)}, "", 0, scroll, scrolls},
        {{Key::named(Kind::backTab), Key::named(Kind::up)},
         "",
         0,
         [this](const Key&) { return moveFocus(-1); },
         hasActions},
        {{Key::named(Kind::tab), Key::named(Kind::down)},
         "",
         0,
         [this](const Key&) { return moveFocus(1); },
         hasActions},
        {{Key::named(Kind::enter)},
         "pick",
         kMainKeyWeight,
         [this](const Key&) { return alert_->pickAction(focus_); },
         hasActions},
        {{Key::named(Kind::escape)}, "cancel", 2, [this](const Key&) { return cancel(); }, hasActions},
        // Modal: nothing reaches the screen beneath.
        {{}, "", 0, [](const Key&) { return true; }, hasActions, [](const Key&) { return true; }},
    });
}

void AlertPresenter::draw(Canvas& canvas, Area area) {
    int boxWidth = std::min(area.width - 4, 60);
    if (boxWidth < 10) boxWidth = std::max(area.width, 1);
    int inner = boxWidth - 4;
    // Title and message, laid out at `width`.
    std::size_t titleLines = 0;
    auto layOut = [&](int width) {
        std::vector<std::string> lines;
        if (alert_->title()) lines = wrapText(*alert_->title(), width);
        titleLines = lines.size();
        if (alert_->message()) {
            lines.push_back("");
            for (auto& l : wrapText(*alert_->message(), width))
                lines.push_back(l);
        }
        return lines;
    };
    // The box holds a blank above and below the text, and the actions with a blank above them.
    constexpr int kRowsBesideText = 4;
    auto lines = layOut(inner);
    const int boxHeight = std::min(static_cast<int>(lines.size()) + kRowsBesideText, area.height);
    const int textRows = std::max(0, boxHeight - kRowsBesideText + 1);
    // A text taller than the box gives a column to its scroll marks.
    if (static_cast<int>(lines.size()) > textRows && inner > 2) lines = layOut(inner - 2);
    text_.fit(static_cast<int>(lines.size()), textRows);
    int x = area.x + (area.width - boxWidth) / 2;
    int y = area.y + std::max(0, (area.height - boxHeight) / 2);

    Style box = Style::fg(palette::text).withBackground(palette::focus);
    canvas.fill(x, y, boxWidth, boxHeight, box);
    for (int row = 0; row < textRows; ++row) {
        const auto i = static_cast<std::size_t>(text_.first + row);
        if (i >= lines.size()) break;
        Style s = i < titleLines ? box.bolded() : box;
        int w = columnsOfText(lines[i]);
        canvas.text(x + 2 + (i < titleLines ? std::max(0, (inner - w) / 2) : 0), y + 1 + row, lines[i], s,
                    inner);
    }
    Style mark = box.bolded();
    for (int row = 0; row < textRows; ++row) {
        const std::string side = scrollMark(text_, row);
        canvas.text(x + boxWidth - 2 - columnsOfText(side), y + 1 + row, side, mark);
    }
    // Actions on the last line of the box, the focused one reversed; one that does not fit is cut with
    // a mark.
    int ax = x + 2;
    const auto& actions = alert_->actions();
    for (std::size_t i = 0; i < actions.size(); ++i) {
        Style s = box;
        if (actions[i].style == ui::AlertActionStyle::destructive) s.foreground = palette::warning;
        if (i == focus_) s = s.reversed();
        ax += canvas.text(ax, y + boxHeight - 2,
                          fitText("[ " + actions[i].title + " ]", x + boxWidth - 2 - ax), s);
        ax += 1;
    }
    canvas.setCaret(std::nullopt);
}

bool AlertPresenter::moveFocus(int step) {
    const std::size_t n = alert_->actions().size();
    focus_ = step < 0 ? (focus_ + n - 1) % n : (focus_ + 1) % n;
    return true;
}

bool AlertPresenter::cancel() {
    const auto& actions = alert_->actions();
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (actions[i].style == ui::AlertActionStyle::cancel) return alert_->pickAction(i);
    }
    if (actions.size() == 1) return alert_->pickAction(std::size_t{0});
    // No action says "cancel": Esc closes the alert and chooses none of them, which is the one answer
    // that can never do something the person did not ask for.
    return alert_->dismissWithoutAction();
}

} // namespace term
