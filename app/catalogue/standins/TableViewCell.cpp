#include "app/catalogue/standins/TableViewCell.hpp"

TableViewCell::TableViewCell(CellStyle style, std::string reuseIdentifier)
    : reuseIdentifier_(std::move(reuseIdentifier)), style_(style), contentView_(std::make_shared<ui::View>()),
      textLabel_(std::make_shared<ui::Label>()), detailTextLabel_(std::make_shared<ui::Label>()) {
    addSubview(contentView_);
    contentView_->addSubview(textLabel_);
    contentView_->addSubview(detailTextLabel_);
}
