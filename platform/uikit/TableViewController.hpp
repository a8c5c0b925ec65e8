#pragma once
// A screen whose root view is a table, with itself as the table's data source and delegate. Subclasses
// override the data-source and delegate methods. The wiring needs the screen to be owned by a shared_ptr
// (as every screen is); otherwise the table has no data source. Main thread only.
#include "platform/uikit/TableView.hpp"
#include "platform/uikit/ViewController.hpp"

namespace ui {

class TableViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
  public:
    // The root view, loading it on first access.
    std::shared_ptr<TableView> tableView();

    void loadView() override;
    int numberOfRowsInSection(TableView&, int) override { return 0; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, IndexPath) override;
};

} // namespace ui
