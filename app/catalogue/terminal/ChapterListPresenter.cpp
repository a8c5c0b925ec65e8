#include "app/catalogue/terminal/ChapterListPresenter.hpp"

#include "platform/terminal/TextWindow.hpp"
#include "platform/terminal/TextWrap.hpp"

#include <algorithm>
#include <cmath>

ChapterListPresenter::ChapterListPresenter(std::shared_ptr<MainViewController> screen,
                                           term::FrontEnd& frontEnd)
    : screen_(screen), frontEnd_(frontEnd),
      keys_(selectionBindings([this](const term::Key& key) { return tableKey(key); }, 3)) {
    using term::Key;
    auto withScreen = [this](void (MainViewController::*open)()) {
        return [this, open](const Key&) {
            auto screen = screen_.lock();
            if (screen) ((*screen).*open)();
            return screen != nullptr;
        };
    };
    keys_.add({{Key::named(Key::Kind::enter)}, "open", term::kMainKeyWeight, [this](const Key& key) {
                   return tableKey(key);
               }});
    keys_.add({{Key::typed("/")}, "search", 2, withScreen(&MainViewController::openSearch)});
    keys_.add({{Key::typed("s")}, "settings", 2, withScreen(&MainViewController::openSettings)});
    keys_.add({{Key::typed("q")}, "quit", 1, [this](const Key&) {
                   frontEnd_.requestQuit();
                   return true;
               }});
}

bool ChapterListPresenter::tableKey(const term::Key& key) {
    auto screen = screen_.lock();
    return screen && list_.handleTableKey(key, screen->tableView.get(), pageRows_);
}

namespace {

// "c / n" as its two numbers; the whole text and "" when it has another form.
std::pair<std::string, std::string> countParts(const std::string& count) {
    const auto slash = count.find(" / ");
    if (slash == std::string::npos) return {count, ""};
    return {count.substr(0, slash), count.substr(slash + 3)};
}

} // namespace

std::string ChapterListPresenter::alignedCount(const std::string& count, std::size_t digits) {
    auto [done, total] = countParts(count);
    if (total.empty()) return count;
    auto padded = [digits](const std::string& number) {
        return std::string(number.size() < digits ? digits - number.size() : 0, ' ') + number;
    };
    return padded(done) + " / " + padded(total);
}

int ChapterListPresenter::barColumnsFor(int width) {
    // Number and marker (7), a title of 16, the count (10): what is left, up to the full bar.
    int room = std::min(barColumns, width - 7 - 16 - 10);
    return room >= 4 ? room : 0;
}

void ChapterListPresenter::draw(term::Canvas& canvas, term::Area area) {
    auto screen = screen_.lock();
    if (!screen || !screen->tableView) return;
    screen->tableView->layoutIfNeeded();
    const auto cells = screen->tableView->visibleCells();
    int rows = static_cast<int>(cells.size());
    int top = area.y + 1;
    pageRows_ = std::max(1, area.height - 1);
    int first = list_.firstVisibleRow(rows, pageRows_);
    double rootWidth = screen->view()->frame().width();
    const int bar = barColumnsFor(area.width);
    int countColumn = std::max(10, bar > 0 ? area.width - bar - 12 : area.width - 9);

    // The counts stand in a column: each number right-aligned in the width of the widest, so that
    // "0 / 5" and "0 / 20" line up at their slash.
    std::size_t digits = 1;
    for (const auto& c : cells)
        if (auto cell = std::dynamic_pointer_cast<MainTableViewCell>(c))
            digits = std::max(digits, countParts(cell->progressLabel->text()).second.size());

    for (int r = first; r < rows && top + (r - first) < area.y + area.height; ++r) {
        auto cell = std::dynamic_pointer_cast<MainTableViewCell>(cells[static_cast<std::size_t>(r)]);
        if (!cell) continue;
        int y = top + (r - first);
        bool focused = r == list_.focus();
        term::Style base = term::Style::fg(term::palette::text)
                               .withBackground(focused ? term::palette::focus : term::palette::background);
        canvas.fill(area.x, y, area.width, 1, base);
        canvas.text(area.x + 1, y, focused ? "›" : " ", base.bolded());
        canvas.text(area.x + 3, y, cell->chapterNumberLabel->text(), base, 4);
        canvas.text(area.x + 7, y, term::fitText(cell->chapterTitleLabel->text(), countColumn - 8),
                    focused ? base.bolded() : base);
        std::string count = alignedCount(cell->progressLabel->text(), digits);
        canvas.text(area.x + countColumn + 8 - term::columnsOfText(count), y, count, base);

        int filled = 0;
        if (!cell->progressView->isHidden() && rootWidth > 0) {
            double share = cell->progressViewWidthConstraint->constant() / rootWidth;
            filled = std::clamp(static_cast<int>(std::lround(share * bar)), 0, bar);
            if (filled == 0 && share > 0 && bar > 0) filled = 1; // something done always shows
        }
        int bx = area.x + countColumn + 10;
        for (int i = 0; i < bar && bx + i < area.x + area.width; ++i) {
            bool done = i < filled;
            canvas.text(bx + i, y, done ? "█" : "░",
                        term::Style::fg(done ? term::palette::accent : term::palette::muted)
                            .withBackground(base.background.value()));
        }
        // Rows above or below the ones shown are marked at the side.
        const std::string mark = term::scrollMark(term::TextWindow{first, rows, pageRows_}, r - first);
        canvas.text(area.x + area.width - term::columnsOfText(mark), y, mark, base);
    }
    if (rows == 0) canvas.text(area.x + 2, top, "No chapters.", term::Style::fg(term::palette::muted));
    canvas.setCaret(std::nullopt);
}
