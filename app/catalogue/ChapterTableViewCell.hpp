#pragma once
// The lesson row: the lesson's number, its title and a checkmark once completed.
//
// Failure contract: none. Main thread only.
#include "platform/uikit/ImageView.hpp"
#include "platform/uikit/Label.hpp"
#include "platform/uikit/TableView.hpp"

#include <memory>

class ChapterTableViewCell : public ui::TableViewCell {
  public:
    ChapterTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier);

    std::shared_ptr<ui::ImageView> cellImageView;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> lessonNumberLabel;
    std::shared_ptr<ui::ImageView> checkmarkView;
};
