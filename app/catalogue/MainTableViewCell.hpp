#pragma once
// The chapter row: position, title, "c / n" and a progress bar whose width is a constraint's constant.
//
// Failure contract: none. Main thread only.
#include "platform/uikit/Label.hpp"
#include "platform/uikit/LayoutConstraint.hpp"
#include "platform/uikit/TableView.hpp"

#include <memory>

class MainTableViewCell : public ui::TableViewCell {
  public:
    MainTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier);

    std::shared_ptr<ui::Label> chapterNumberLabel;
    std::shared_ptr<ui::Label> chapterTitleLabel;
    std::shared_ptr<ui::View> progressView;
    std::shared_ptr<ui::Label> progressLabel;
    std::shared_ptr<ui::LayoutConstraint> progressViewWidthConstraint;
};
