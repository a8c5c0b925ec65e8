#include "app/catalogue/terminal/SearchPresenter.hpp"

#include "platform/foundation/Text.hpp"

#include <algorithm>

SearchPresenter::SearchPresenter(std::shared_ptr<SearchResultsTableViewController> screen)
    : screen_(screen) {}

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

bool SearchPresenter::handleKey(const term::Key& key) {
    auto screen = screen_.lock();
    if (!screen) return false;
    if (list_.handleTableKey(key, screen->tableView.get(), pageRows_)) return true;
    // Typing goes to the search field as user edits, so the controller filters on every change.
    auto& field = *screen->searchController->searchBar()->searchTextField();
    auto editing = [&] { return field.isEditing() || field.becomeFirstResponder(); };
    if (key.is(term::Key::Kind::text) && !key.text.empty()) {
        if (editing()) field.typeText(key.text);
        list_.setFocus(0);
        return true;
    }
    if (key.is(term::Key::Kind::backspace) || key.is(term::Key::Kind::deleteKey)) {
        if (editing()) key.is(term::Key::Kind::backspace) ? field.deleteBackward() : field.deleteForward();
        list_.setFocus(0);
        return true;
    }
    if (key.is(term::Key::Kind::left) || key.is(term::Key::Kind::right)) {
        if (!editing()) return true;
        auto caret = field.selectedRange().value_or(ui::Range{field.length(), 0}).location;
        if (key.is(term::Key::Kind::left) && caret > 0) --caret;
        if (key.is(term::Key::Kind::right) && caret < field.length()) ++caret;
        field.setSelectedRange(ui::Range{caret, 0});
        return true;
    }
    return false;
}

std::vector<term::KeyLineItem> SearchPresenter::keyLine() const {
    return {{"type to filter", 2}, {"↑↓ select", 3}, {"Enter open", 4}, {"Esc back", 2}};
}
