#include "app/catalogue/MainTableViewCell.hpp"

MainTableViewCell::MainTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier)), chapterNumberLabel(std::make_shared<ui::Label>()),
      chapterTitleLabel(std::make_shared<ui::Label>()), progressView(std::make_shared<ui::View>()),
      progressLabel(std::make_shared<ui::Label>()),
      progressViewWidthConstraint(std::make_shared<ui::LayoutConstraint>(0, "progressWidth")) {
    // The layout the storyboard gives the row: white texts on black, a green bar under the title.
    for (const auto& label : {chapterNumberLabel, chapterTitleLabel, progressLabel}) {
        label->setTextColor(ui::Color::white());
        contentView()->addSubview(label);
    }
    progressView->setBackgroundColor(ui::Color::rgb255(82, 208, 92));
    contentView()->addSubview(progressView);
}
