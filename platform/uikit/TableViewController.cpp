#include "platform/uikit/TableViewController.hpp"

#include "platform/uikit/Screen.hpp"

namespace ui {

std::shared_ptr<TableView> TableViewController::tableView() {
    return std::dynamic_pointer_cast<TableView>(view());
}

void TableViewController::loadView() {
    auto table = std::make_shared<TableView>(Screen::main().bounds());
    if (auto self = weak_from_this().lock()) {
        table->setDataSource(std::dynamic_pointer_cast<TableViewDataSource>(self));
        table->setDelegate(std::dynamic_pointer_cast<TableViewDelegate>(self));
    }
    setView(table);
}

std::shared_ptr<TableViewCell> TableViewController::cellForRowAtIndexPath(TableView&, IndexPath) {
    return std::make_shared<TableViewCell>();
}

} // namespace ui
