#include "app/catalogue/standins/TableView.hpp"

#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"

void TableView::reloadData() {
    ++reloadRequests_;
    if (needsReload_) return;
    needsReload_ = true;
    std::weak_ptr<View> weak = weak_from_this();
    dispatch::main().async([weak] {
        if (auto self = weak.lock()) self->layoutIfNeeded();
    });
}

void TableView::layoutIfNeeded() {
    View::layoutIfNeeded();
    if (!needsReload_) return;
    needsReload_ = false;
    ++layoutPasses_;
    reusable_ = std::move(cells_);
    cells_.clear();
    if (!dataSource_) return;
    int rows = dataSource_->numberOfRows(*this, 0);
    for (int row = 0; row < rows; ++row) {
        auto cell = dataSource_->cellForRow(*this, IndexPath{0, row});
        if (!cell) {
            ns::console("table view: the data source made no cell for row " + std::to_string(row));
            cell = std::make_shared<TableViewCell>(CellStyle::defaultStyle, "Cell");
        }
        cells_.push_back(std::move(cell));
    }
    reusable_.clear();
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier) {
    for (auto it = reusable_.begin(); it != reusable_.end(); ++it) {
        if ((*it)->reuseIdentifier() == identifier) {
            auto cell = *it;
            reusable_.erase(it);
            return cell;
        }
    }
    return nullptr;
}

std::optional<IndexPath> TableView::indexPathForCell(const ui::View* cell) const {
    for (std::size_t row = 0; row < cells_.size(); ++row) {
        if (cells_[row].get() == cell) return IndexPath{0, static_cast<int>(row)};
    }
    return std::nullopt;
}

bool TableView::selectRow(IndexPath indexPath) {
    layoutIfNeeded();
    if (indexPath.section != 0 || indexPath.row < 0 || indexPath.row >= numberOfRows()) return false;
    selected_ = indexPath;
    auto cell = cells_[static_cast<std::size_t>(indexPath.row)];
    if (onSelect_) onSelect_(*this, indexPath, *cell);
    return true;
}
