#pragma once
// Focus and scrolling of a list of rows in a terminal area: the keys that move the focus, and the first
// row to draw so that the focused one stays visible.
//
// Failure contract: none; an empty list keeps the focus at 0.
#include "platform/terminal/Key.hpp"
#include "platform/terminal/KeyTable.hpp"
#include "platform/uikit/TableView.hpp"

// The list keys as key-table bindings around `action`: ↑↓ named "select" with `weight`, PgUp, PgDn, Home
// and End working without a name on the key line.
std::vector<term::KeyBinding> selectionBindings(const std::function<bool(const term::Key&)>& action,
                                                int weight);

class ListNavigation {
  public:
    // Moves the focus for up/down/page/home/end; returns whether the key was one of them.
    bool handleKey(const term::Key& key, int rowCount, int pageRows);
    // The keys of a table's one section: focus moves as above, and Enter selects the focused row as a
    // tap would (after a pending reload). Returns whether the key did either; false for a null table.
    bool handleTableKey(const term::Key& key, ui::TableView* table, int pageRows);
    // Keeps the focus inside 0...rowCount-1 and returns the first row to show in `visibleRows` lines.
    int firstVisibleRow(int rowCount, int visibleRows);
    int focus() const { return focus_; }
    void setFocus(int row) { focus_ = row; }

  private:
    int focus_ = 0;
    int first_ = 0;
};
