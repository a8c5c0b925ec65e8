#include "app/catalogue/terminal/SettingsPresenter.hpp"

#include "platform/uikit/Switch.hpp"

SettingsPresenter::SettingsPresenter(std::shared_ptr<SettingsTableViewController> screen) : screen_(screen) {
    using term::Key;
    keys_ = term::KeyTable(selectionBindings(
        [this](const Key& key) {
            auto screen = screen_.lock();
            if (!screen) return false;
            screen->tableView->layoutIfNeeded();
            const int rows = screen->tableView->numberOfRowsInSection(0);
            return list_.handleKey(key, rows, rows);
        },
        3));
    // Space flips a switch too; the line names Enter.
    keys_.add({{Key::named(Key::Kind::enter), Key::typed(" ")},
               "choose / flip switch",
               term::kMainKeyWeight,
               [this](const Key&) { return choose(); },
               {},
               {},
               "Enter"});
}

bool SettingsPresenter::choose() {
    auto screen = screen_.lock();
    if (!screen) return false;
    screen->tableView->layoutIfNeeded();
    const int rows = screen->tableView->numberOfRowsInSection(0);
    if (list_.focus() >= rows) return false;
    auto cell = screen->tableView->cellForRowAtIndexPath({0, list_.focus()});
    if (!cell) return false;
    if (auto toggle = std::dynamic_pointer_cast<ui::Switch>(cell->accessoryView())) return toggle->toggle();
    return screen->tableView->selectRow({0, list_.focus()});
}

void SettingsPresenter::draw(term::Canvas& canvas, term::Area area) {
    auto screen = screen_.lock();
    if (!screen || !screen->tableView) return;
    screen->tableView->layoutIfNeeded();
    const auto cells = screen->tableView->visibleCells();
    int rows = static_cast<int>(cells.size());
    list_.firstVisibleRow(rows, rows);
    for (int r = 0; r < rows && area.y + 1 + r < area.y + area.height; ++r) {
        const auto& cell = cells[static_cast<std::size_t>(r)];
        int y = area.y + 1 + r;
        bool focused = r == list_.focus();
        term::Style base = term::Style::fg(cell->textLabel()->textColor())
                               .withBackground(focused ? term::palette::focus : term::palette::background);
        canvas.fill(area.x, y, area.width, 1, base);
        canvas.text(area.x + 1, y, focused ? "›" : " ", base.bolded());
        canvas.text(area.x + 3, y, cell->textLabel()->text(), base, area.width - 14);
        if (auto toggle = std::dynamic_pointer_cast<ui::Switch>(cell->accessoryView())) {
            bool on = toggle->isOn();
            canvas.text(area.x + area.width - 9, y, on ? "[ ON ]" : "[OFF ]",
                        term::Style::fg(on ? term::palette::accent : term::palette::muted)
                            .withBackground(base.background.value())
                            .bolded());
        }
    }
    canvas.setCaret(std::nullopt);
}
