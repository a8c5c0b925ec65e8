#pragma once
// The table view the catalogue's lists are made of: one section of rows, a data source that makes each
// row's cell, and a selection handler.
//
// Reloading is deferred, as on the phone: reloadData() only marks the table and posts a layout pass to
// the main queue; the rows are configured by that pass (or by an explicit layoutIfNeeded()), so model
// changes made right after the request still show. Cells are recycled: a layout pass hands the cells of
// the previous pass out again through dequeueReusableCell.
//
// Failure contract: a data source answering more rows than it can make (a null cell) gets an empty cell
// in that row and a console line, never a crash; selecting a row outside the table does nothing and
// returns false. Main thread only; the data source is not owned.
#include "app/catalogue/standins/TableViewCell.hpp"
#include "platform/uikit/View.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TableView;

class TableViewDataSource {
  public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSections(TableView&) { return 1; }
    virtual int numberOfRows(TableView& tableView, int section) = 0;
    virtual std::shared_ptr<TableViewCell> cellForRow(TableView& tableView, IndexPath indexPath) = 0;
};

class TableView : public ui::View {
  public:
    static constexpr double automaticDimension = -1;

    void setDataSource(TableViewDataSource* dataSource) { dataSource_ = dataSource; }

    // A tap on a row: the screen decides (a delegate call or a segue from the cell).
    using SelectionHandler = std::function<void(TableView&, IndexPath, TableViewCell&)>;
    void setSelectionHandler(SelectionHandler handler) { onSelect_ = std::move(handler); }

    void reloadData();
    bool needsReload() const { return needsReload_; }
    int reloadRequests() const { return reloadRequests_; }
    int layoutPasses() const { return layoutPasses_; }
    // Runs the pending layout pass now, if one is pending.
    void layoutIfNeeded() override;

    // The configured rows of the last layout pass, in order.
    const std::vector<std::shared_ptr<TableViewCell>>& visibleCells() const { return cells_; }
    int numberOfRows() const { return static_cast<int>(cells_.size()); }

    std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier);
    std::optional<IndexPath> indexPathForCell(const ui::View* cell) const;

    // The person picks a row (after a pending layout pass has run). Returns whether a row was there.
    bool selectRow(IndexPath indexPath);
    std::optional<IndexPath> indexPathForSelectedRow() const { return selected_; }

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height) { rowHeight_ = height; }
    double estimatedRowHeight() const { return estimatedRowHeight_; }
    void setEstimatedRowHeight(double height) { estimatedRowHeight_ = height; }
    const std::shared_ptr<ui::View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<ui::View> view) { backgroundView_ = std::move(view); }
    const std::shared_ptr<ui::View>& tableHeaderView() const { return headerView_; }
    void setTableHeaderView(std::shared_ptr<ui::View> view) { headerView_ = std::move(view); }

  private:
    TableViewDataSource* dataSource_ = nullptr;
    SelectionHandler onSelect_;
    bool needsReload_ = false;
    int reloadRequests_ = 0;
    int layoutPasses_ = 0;
    std::vector<std::shared_ptr<TableViewCell>> cells_;
    std::vector<std::shared_ptr<TableViewCell>> reusable_;
    std::optional<IndexPath> selected_;
    double rowHeight_ = 44;
    double estimatedRowHeight_ = 0;
    std::shared_ptr<ui::View> backgroundView_;
    std::shared_ptr<ui::View> headerView_;
};
