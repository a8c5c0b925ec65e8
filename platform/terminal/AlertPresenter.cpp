#include "platform/terminal/AlertPresenter.hpp"

#include "platform/terminal/TextWrap.hpp"

#include <algorithm>

namespace term {

AlertPresenter::AlertPresenter(std::shared_ptr<ui::AlertController> alert) : alert_(std::move(alert)) {
    using Kind = Key::Kind;
    auto hasActions = [this] { return !alert_->actions().empty(); };
    keys_ = KeyTable({
        {{Key::named(Kind::left), Key::named(Kind::right)},
         "choose",
         2,
         [this](const Key& key) { return moveFocus(key.is(Kind::left) ? -1 : 1); },
         hasActions},
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
         3,
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
    std::vector<std::string> lines;
    if (alert_->title()) {
        for (auto& l : wrapText(*alert_->title(), inner))
            lines.push_back(l);
    }
    std::size_t titleLines = lines.size();
    if (alert_->message()) {
        lines.push_back("");
        for (auto& l : wrapText(*alert_->message(), inner))
            lines.push_back(l);
    }
    int boxHeight = static_cast<int>(lines.size()) + 4;
    if (boxHeight > area.height) boxHeight = area.height;
    int x = area.x + (area.width - boxWidth) / 2;
    int y = area.y + std::max(0, (area.height - boxHeight) / 2);

    Style box = Style::fg(palette::text).withBackground(palette::focus);
    canvas.fill(x, y, boxWidth, boxHeight, box);
    for (std::size_t i = 0; i < lines.size() && static_cast<int>(i) + 1 < boxHeight - 2; ++i) {
        Style s = i < titleLines ? box.bolded() : box;
        int w = columnsOfText(lines[i]);
        canvas.text(x + 2 + (i < titleLines ? std::max(0, (inner - w) / 2) : 0), y + 1 + static_cast<int>(i),
                    lines[i], s, inner);
    }
    // Actions on the last line of the box, the focused one reversed.
    int ax = x + 2;
    const auto& actions = alert_->actions();
    for (std::size_t i = 0; i < actions.size(); ++i) {
        Style s = box;
        if (actions[i].style == ui::AlertActionStyle::destructive) s.foreground = palette::warning;
        if (i == focus_) s = s.reversed();
        ax += canvas.text(ax, y + boxHeight - 2, "[ " + actions[i].title + " ]", s, x + boxWidth - 2 - ax);
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
