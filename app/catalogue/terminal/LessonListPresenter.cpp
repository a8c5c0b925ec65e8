#include "app/catalogue/terminal/LessonListPresenter.hpp"

#include "platform/terminal/TextWindow.hpp"
#include "platform/terminal/TextWrap.hpp"

#include <algorithm>

LessonListPresenter::LessonListPresenter(std::shared_ptr<ChapterViewController> screen) : screen_(screen) {
    auto tableKey = [this](const term::Key& key) {
        auto screen = screen_.lock();
        return screen && list_.handleTableKey(key, screen->tableView.get(), pageRows_);
    };
    keys_ = term::KeyTable(selectionBindings(tableKey, 3));
    keys_.add({{term::Key::named(term::Key::Kind::enter)}, "open lesson", term::kMainKeyWeight, tableKey});
}

void LessonListPresenter::draw(term::Canvas& canvas, term::Area area) {
    auto screen = screen_.lock();
    if (!screen || !screen->tableView) return;
    screen->tableView->layoutIfNeeded();
    term::Style plain = term::Style::fg(term::palette::text).withBackground(term::palette::background);
    canvas.text(area.x + 2, area.y + 1, screen->chapterNumberLabel->text(),
                plain.withBackground(term::palette::background));
    canvas.text(area.x + 2, area.y + 2, term::fitText(screen->chapterTitleLabel->text(), area.width - 4),
                plain.bolded());

    // Back from the lesson screen: the focus goes to the lesson the learner was on.
    if (screen->lessonShownLast && screen->lessonShownLast != focusedFor_) {
        focusedFor_ = screen->lessonShownLast;
        const auto& lessons = screen->chapter->lessons;
        if (auto it = std::find(lessons.begin(), lessons.end(), focusedFor_); it != lessons.end())
            list_.setFocus(static_cast<int>(it - lessons.begin()));
    }
    const auto cells = screen->tableView->visibleCells();
    int rows = static_cast<int>(cells.size());
    int top = area.y + 4;
    pageRows_ = std::max(1, area.y + area.height - top);
    int first = list_.firstVisibleRow(rows, pageRows_);
    for (int r = first; r < rows && top + (r - first) < area.y + area.height; ++r) {
        auto cell = std::dynamic_pointer_cast<ChapterTableViewCell>(cells[static_cast<std::size_t>(r)]);
        if (!cell) continue;
        int y = top + (r - first);
        bool focused = r == list_.focus();
        term::Style base = plain.withBackground(focused ? term::palette::focus : term::palette::background);
        canvas.fill(area.x, y, area.width, 1, base);
        canvas.text(area.x + 1, y, focused ? "›" : " ", base.bolded());
        std::string number = cell->lessonNumberLabel->text();
        canvas.text(area.x + 3 + std::max(0, 3 - term::columnsOfText(number)), y, number, base);
        if (cell->titleLabel)
            canvas.text(area.x + 8, y, term::fitText(cell->titleLabel->text(), area.width - 14), base);
        if (!cell->checkmarkView->isHidden()) {
            canvas.text(
                area.x + area.width - 4, y, "✓",
                term::Style::fg(term::palette::accent).withBackground(base.background.value()).bolded());
        }
        // Rows above or below the ones shown are marked at the side.
        const std::string mark = term::scrollMark(term::TextWindow{first, rows, pageRows_}, r - first);
        canvas.text(area.x + area.width - term::columnsOfText(mark), y, mark, base);
    }
    if (rows == 0)
        canvas.text(area.x + 2, top, "No lessons in this chapter yet.",
                    term::Style::fg(term::palette::muted));
    canvas.setCaret(std::nullopt);
}
