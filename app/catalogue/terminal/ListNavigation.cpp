#include "app/catalogue/terminal/ListNavigation.hpp"

#include <algorithm>

std::vector<term::KeyBinding> selectionBindings(const std::function<bool(const term::Key&)>& action,
                                                int weight) {
    using Kind = term::Key::Kind;
    using term::Key;
    return {{{Key::named(Kind::up), Key::named(Kind::down)}, "select", weight, action},
            {{Key::named(Kind::pageUp), Key::named(Kind::pageDown), Key::named(Kind::home),
              Key::named(Kind::end)},
             "",
             0,
             action}};
}

bool ListNavigation::handleKey(const term::Key& key, int rowCount, int pageRows) {
    using Kind = term::Key::Kind;
    int page = std::max(1, pageRows - 1);
    switch (key.kind) {
    case Kind::up:
        focus_ -= 1;
        break;
    case Kind::down:
        focus_ += 1;
        break;
    case Kind::pageUp:
        focus_ -= page;
        break;
    case Kind::pageDown:
        focus_ += page;
        break;
    case Kind::home:
        focus_ = 0;
        break;
    case Kind::end:
        focus_ = rowCount - 1;
        break;
    default:
        return false;
    }
    focus_ = std::clamp(focus_, 0, std::max(0, rowCount - 1));
    return true;
}

bool ListNavigation::handleTableKey(const term::Key& key, ui::TableView* table, int pageRows) {
    if (!table) return false;
    if (handleKey(key, table->numberOfRowsInSection(0), pageRows)) return true;
    if (!key.is(term::Key::Kind::enter)) return false;
    table->layoutIfNeeded();
    return table->selectRow({0, focus_});
}

int ListNavigation::firstVisibleRow(int rowCount, int visibleRows) {
    focus_ = std::clamp(focus_, 0, std::max(0, rowCount - 1));
    if (visibleRows <= 0) return focus_;
    if (focus_ < first_) first_ = focus_;
    if (focus_ >= first_ + visibleRows) first_ = focus_ - visibleRows + 1;
    first_ = std::clamp(first_, 0, std::max(0, rowCount - visibleRows));
    return first_;
}
