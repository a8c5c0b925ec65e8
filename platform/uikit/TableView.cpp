#include "platform/uikit/TableView.hpp"

#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/uikit/ViewController.hpp"

#include <algorithm>

namespace ui {

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : reuseIdentifier_(std::move(reuseIdentifier)), style_(style), contentView_(std::make_shared<View>()),
      textLabel_(std::make_shared<Label>()), imageView_(std::make_shared<ImageView>()) {
    if (style != TableViewCellStyle::defaultStyle) detailTextLabel_ = std::make_shared<Label>();
}

void TableViewCell::setSelected(bool selected, bool /*animated*/) {
    selected_ = selected;
}

void TableView::reloadData() {
    if (reloadPending_) return;
    auto self = weak_from_this();
    if (self.expired()) {
        performReload();
        return;
    }
    reloadPending_ = true;
    dispatch::main().async([self] {
        if (auto view = self.lock()) {
            auto* table = static_cast<TableView*>(view.get());
            if (table->reloadPending_) table->performReload();
        }
    });
}

void TableView::layoutIfNeeded() {
    View::layoutIfNeeded();
    if (reloadPending_) performReload();
}

void TableView::performReload() {
    reloadPending_ = false;
    auto keep = weak_from_this().lock();
    // The old cells become reusable.
    for (auto& section : rows_) {
        for (auto& cell : section) {
            cell->removeFromSuperview();
            cell->setSelected(false, false);
            reusePool_[cell->reuseIdentifier()].push_back(cell);
        }
    }
    rows_.clear();
    selected_.reset();
    auto source = dataSource_.lock();
    if (source) {
        int sections = std::max(0, source->numberOfSectionsInTableView(*this));
        rows_.resize(static_cast<std::size_t>(sections));
        for (int s = 0; s < sections; ++s) {
            int count = std::max(0, source->numberOfRowsInSection(*this, s));
            rows_[s].reserve(static_cast<std::size_t>(count));
            for (int r = 0; r < count; ++r) {
                auto cell = source->cellForRowAtIndexPath(*this, IndexPath{s, r});
                if (!cell) {
                    ns::console("Table view data source returned no cell for section " + std::to_string(s) +
                                " row " + std::to_string(r));
                    cell = std::make_shared<TableViewCell>();
                }
                addSubview(cell);
                rows_[s].push_back(std::move(cell));
            }
        }
    }
    ++reloadCount_;
}

int TableView::numberOfRowsInSection(int section) const {
    if (section < 0 || section >= numberOfSections()) return 0;
    return static_cast<int>(rows_[static_cast<std::size_t>(section)].size());
}

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(IndexPath indexPath) const {
    if (indexPath.row < 0 || indexPath.row >= numberOfRowsInSection(indexPath.section)) return nullptr;
    return rows_[static_cast<std::size_t>(indexPath.section)][static_cast<std::size_t>(indexPath.row)];
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() const {
    std::vector<std::shared_ptr<TableViewCell>> out;
    for (const auto& section : rows_)
        out.insert(out.end(), section.begin(), section.end());
    return out;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const {
    std::vector<IndexPath> out;
    for (int s = 0; s < numberOfSections(); ++s) {
        for (int r = 0; r < numberOfRowsInSection(s); ++r)
            out.push_back(IndexPath{s, r});
    }
    return out;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const {
    for (std::size_t s = 0; s < rows_.size(); ++s) {
        for (std::size_t r = 0; r < rows_[s].size(); ++r) {
            if (rows_[s][r].get() == &cell) return IndexPath{static_cast<int>(s), static_cast<int>(r)};
        }
    }
    return std::nullopt;
}

void TableView::registerCell(const std::string& identifier,
                             std::function<std::shared_ptr<TableViewCell>()> factory) {
    factories_[identifier] = std::move(factory);
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier) {
    auto& pool = reusePool_[identifier];
    if (!pool.empty()) {
        auto cell = std::move(pool.back());
        pool.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    if (auto it = factories_.find(identifier); it != factories_.end() && it->second) return it->second();
    return nullptr;
}

bool TableView::selectRow(IndexPath indexPath) {
    auto cell = cellForRowAtIndexPath(indexPath);
    if (!cell) return false;
    auto keep = weak_from_this().lock();
    if (selected_ && *selected_ != indexPath) {
        if (auto old = cellForRowAtIndexPath(*selected_)) old->setSelected(false, false);
    }
    selected_ = indexPath;
    cell->setSelected(true, false);
    if (auto delegate = delegate_.lock()) delegate->didSelectRowAtIndexPath(*this, indexPath);
    if (!rowSegue_.empty()) {
        if (auto source = rowSegueSource_.lock()) source->performSegue(rowSegue_, cell.get());
    }
    return true;
}

void TableView::deselectRow(IndexPath indexPath, bool animated) {
    if (!selected_ || *selected_ != indexPath) return;
    selected_.reset();
    if (auto cell = cellForRowAtIndexPath(indexPath)) cell->setSelected(false, animated);
}

void TableView::setRowSegue(std::string identifier, std::weak_ptr<ViewController> source) {
    rowSegue_ = std::move(identifier);
    rowSegueSource_ = std::move(source);
}

} // namespace ui
