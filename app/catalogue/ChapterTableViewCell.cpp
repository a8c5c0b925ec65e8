#include "app/catalogue/ChapterTableViewCell.hpp"

ChapterTableViewCell::ChapterTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier)),
      cellImageView(std::make_shared<ui::ImageView>("lessonCell")), titleLabel(std::make_shared<ui::Label>()),
      lessonNumberLabel(std::make_shared<ui::Label>()),
      checkmarkView(std::make_shared<ui::ImageView>("checkmark")) {
    contentView()->addSubview(cellImageView);
    for (const auto& label : {titleLabel, lessonNumberLabel}) {
        label->setTextColor(ui::Color::white());
        contentView()->addSubview(label);
    }
    checkmarkView->setHidden(true);
    contentView()->addSubview(checkmarkView);
}
