#include "app/catalogue/terminal/SearchPresenter.hpp"

#include "platform/foundation/Text.hpp"

#include <algorithm>

SearchPresenter::SearchPresenter(std::shared_ptr<SearchResultsTableViewController> screen) : screen_(screen) {
    using term::Key;
    using Kind = Key::Kind;
    auto tableKey = [this](const Key& key) {
        auto screen = screen_.lock();
        return screen && list_.handleTableKey(key, screen->tableView.get(), pageRows_);
    };
    // Typing goes to the search field as user edits, so the controller filters on every change.
    auto edit = [this](const Key& key) {
        auto screen = screen_.lock();
        if (!screen) return false;
        auto& field = *screen->searchController->searchBar()->searchTextField();
        if (!field.isEditing() && !field.becomeFirstResponder()) return true;
        if (key.is(Kind::text)) field.typeText(key.text);
        if (key.is(Kind::backspace)) field.deleteBackward();
        if (key.is(Kind::deleteKey)) field.deleteForward();
        if (key.is(Kind::left) || key.is(Kind::right)) {
            auto caret = field.selectedRange().value_or(ui::Range{field.length(), 0}).location;
            if (key.is(Kind::left) && caret > 0) --caret;
            if (key.is(Kind::right) && caret < field.length()) ++caret;
            field.setSelectedRange(ui::Range{caret, 0});
            return true;
        }
        list_.setFocus(0);
        return true;
    };
    keys_.add({{Key::typed("a")},
               "to filter",
               4, // the way to narrow the list outlasts the arrows
               edit,
               {},
               [](const Key& key) { return key.is(Kind::text) && !key.text.empty(); },
               "type"});
    for (auto& binding : selectionBindings(tableKey, 3))
        keys_.add(std::move(binding));
    keys_.add({{Key::named(Kind::enter)}, "open", term::kMainKeyWeight, tableKey});
    keys_.add({{Key::named(Kind::backspace), Key::named(Kind::deleteKey), Key::named(Kind::left),
                Key::named(Kind::right)},
               "",
               0,
               edit});
}

void SearchPresenter::draw(term::Canvas& canvas, term::Area area) {
    auto screen = screen_.lock();
    if (!screen || !screen->tableView) return;
    screen->tableView->layoutIfNeeded();
    term::Style plain = term::Style::fg(term::palette::text).withBackground(term::palette::background);
    const auto& searchField = *screen->searchController->searchBar()->searchTextField();
    term::Style field = term::Style::fg(searchField.textColor()).withBackground(term::palette::focus);
    const std::string& text = searchField.text();
    canvas.text(area.x + 1, area.y + 1, "Search", plain.bolded());
    canvas.fill(area.x + 8, area.y + 1, area.width - 10, 1, field);
    canvas.text(area.x + 9, area.y + 1, text, field, area.width - 12);
    if (text.empty()) {
        canvas.text(area.x + 9, area.y + 1, "lesson or chapter",
                    term::Style::fg(term::palette::muted).withBackground(term::palette::focus));
    }
    auto caret = searchField.selectedRange().value_or(ui::Range{searchField.length(), 0}).location;
    int caretColumn = term::columnsOfText(ns::characterPrefix(text, caret));
    canvas.setCaret(term::Cell{area.x + 9 + std::min(caretColumn, area.width - 12), area.y + 1});

    const auto cells = screen->tableView->visibleCells();
    int rows = static_cast<int>(cells.size());
    int top = area.y + 3;
    pageRows_ = std::max(1, area.y + area.height - top);
    int first = list_.firstVisibleRow(rows, pageRows_);
    for (int r = first; r < rows && top + (r - first) < area.y + area.height; ++r) {
        const auto& cell = cells[static_cast<std::size_t>(r)];
        int y = top + (r - first);
        bool focused = r == list_.focus();
        term::Style base = plain.withBackground(focused ? term::palette::focus : term::palette::background);
        canvas.fill(area.x, y, area.width, 1, base);
        canvas.text(area.x + 1, y, focused ? "›" : " ", base.bolded());
        // The chapter stands in a column of its own at the right, so the lesson titles read as a list.
        std::string chapter = cell->detailTextLabel() ? cell->detailTextLabel()->text() : std::string();
        int chapterColumns = std::min(term::columnsOfText(chapter), area.width / 3);
        int titleColumns = area.width - 3 - (chapterColumns > 0 ? chapterColumns + 4 : 1);
        canvas.text(area.x + 3, y, cell->textLabel()->text(), base, titleColumns);
        if (chapterColumns > 0) {
            canvas.text(area.x + area.width - 2 - chapterColumns, y, chapter,
                        term::Style::fg(term::palette::muted).withBackground(base.background.value()),
                        chapterColumns);
        }
    }
    if (rows == 0) canvas.text(area.x + 3, top, "No lesson matches.", term::Style::fg(term::palette::muted));
}
