#pragma once
// A headless table: rows in sections, cells made by the data source, selection by the user.
//
// Reloading is deferred, as on the phone: reloadData() only asks for a reload, which runs on the main
// queue (or at once in layoutIfNeeded()); several requests before it runs make one reload. A reload asks
// the data source for the counts and then for the cell of every row, in order, and keeps those cells
// (there is no scrolling window: every row counts as visible). Cells of the previous reload go into the
// reuse pool that dequeueReusableCell() draws from.
//
// The data source and the delegate are held weakly; a table without a data source has no rows. A
// negative row or section count counts as 0; a data source that returns no cell for a row gets an empty
// cell in its place and a console line (the phone would stop the app). A table that is not owned by a
// shared_ptr cannot defer and reloads at once.
//
// Main thread only.
#include "platform/uikit/ImageView.hpp"
#include "platform/uikit/Label.hpp"
#include "platform/uikit/View.hpp"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class TableView;
class ViewController;

struct IndexPath {
    int section = 0;
    int row = 0;
    friend constexpr bool operator==(const IndexPath&, const IndexPath&) = default;
    friend constexpr auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

enum class TableViewCellStyle { defaultStyle, value1, value2, subtitle };
enum class TableViewCellSelectionStyle { none, blue, gray, defaultStyle };
enum class TableViewCellAccessoryType { none, disclosureIndicator, detailButton, checkmark };

class TableViewCell : public View {
  public:
    explicit TableViewCell(TableViewCellStyle style = TableViewCellStyle::defaultStyle,
                           std::string reuseIdentifier = {});

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    TableViewCellStyle style() const { return style_; }

    // Made by the constructor; the content view holds the labels and the image view.
    const std::shared_ptr<View>& contentView() const { return contentView_; }
    const std::shared_ptr<Label>& textLabel() const { return textLabel_; }
    // Null for the default style, which has no detail line.
    const std::shared_ptr<Label>& detailTextLabel() const { return detailTextLabel_; }
    const std::shared_ptr<ImageView>& imageView() const { return imageView_; }

    const std::shared_ptr<View>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<View> view) { accessoryView_ = std::move(view); }
    TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(TableViewCellAccessoryType type) { accessoryType_ = type; }
    TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle style) { selectionStyle_ = style; }

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated);
    // Called when the cell is taken from the reuse pool.
    virtual void prepareForReuse() {}

  private:
    std::string reuseIdentifier_;
    TableViewCellStyle style_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<Label> detailTextLabel_;
    std::shared_ptr<ImageView> imageView_;
    std::shared_ptr<View> accessoryView_;
    TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryType::none;
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::defaultStyle;
    bool selected_ = false;
};

class TableViewDataSource {
  public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSectionsInTableView(TableView&) { return 1; }
    virtual int numberOfRowsInSection(TableView& tableView, int section) = 0;
    virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tableView,
                                                                 IndexPath indexPath) = 0;
};

class TableViewDelegate {
  public:
    virtual ~TableViewDelegate() = default;
    virtual void didSelectRowAtIndexPath(TableView&, IndexPath) {}
    virtual void didDeselectRowAtIndexPath(TableView&, IndexPath) {}
};

class TableView : public View {
  public:
    static constexpr double automaticDimension = -1;

    TableView() = default;
    explicit TableView(Rect frame) : View(frame) {}

    void setDataSource(std::weak_ptr<TableViewDataSource> dataSource) { dataSource_ = std::move(dataSource); }
    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDelegate(std::weak_ptr<TableViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<TableViewDelegate> delegate() const { return delegate_.lock(); }

    void reloadData();
    bool hasPendingReload() const { return reloadPending_; }
    // Runs a pending reload now.
    void layoutIfNeeded() override;
    // Reloads that have run.
    int reloadCount() const { return reloadCount_; }

    // As of the last reload.
    int numberOfSections() const { return static_cast<int>(rows_.size()); }
    int numberOfRowsInSection(int section) const;
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(IndexPath indexPath) const;
    std::vector<std::shared_ptr<TableViewCell>> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;

    // Cells for an identifier are made by `factory` when the reuse pool has none (a storyboard
    // prototype). Without a factory and with an empty pool, dequeueing gives nullptr.
    void registerCell(const std::string& identifier, std::function<std::shared_ptr<TableViewCell>()> factory);
    std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier);

    // A tap on a row: selects it, tells the delegate, then performs the row segue (if one is set) with
    // the cell as sender. Returns false for a row the table does not have.
    bool selectRow(IndexPath indexPath);
    void deselectRow(IndexPath indexPath, bool animated);
    std::optional<IndexPath> indexPathForSelectedRow() const { return selected_; }
    // The storyboard segue that leaves from every row cell of this table.
    void setRowSegue(std::string identifier, std::weak_ptr<ViewController> source);

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height) { rowHeight_ = height; }
    double estimatedRowHeight() const { return estimatedRowHeight_; }
    void setEstimatedRowHeight(double height) { estimatedRowHeight_ = height; }
    const std::shared_ptr<View>& tableHeaderView() const { return headerView_; }
    void setTableHeaderView(std::shared_ptr<View> view) { headerView_ = std::move(view); }
    const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> view) { backgroundView_ = std::move(view); }

  private:
    void performReload();

    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> delegate_;
    bool reloadPending_ = false;
    int reloadCount_ = 0;
    std::vector<std::vector<std::shared_ptr<TableViewCell>>> rows_;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> reusePool_;
    std::map<std::string, std::function<std::shared_ptr<TableViewCell>()>> factories_;
    std::optional<IndexPath> selected_;
    std::string rowSegue_;
    std::weak_ptr<ViewController> rowSegueSource_;
    double rowHeight_ = automaticDimension;
    double estimatedRowHeight_ = automaticDimension;
    std::shared_ptr<View> headerView_;
    std::shared_ptr<View> backgroundView_;
};

} // namespace ui
