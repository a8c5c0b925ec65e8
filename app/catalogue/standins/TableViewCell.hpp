#pragma once
// A row of a table view: a content view with a text label and a detail label, an optional accessory
// view, and the look of its selection. Rows are addressed by index paths.
//
// Failure contract: none. Main thread only.
#include "platform/uikit/Label.hpp"
#include "platform/uikit/View.hpp"

#include <memory>
#include <string>

struct IndexPath {
    int section = 0;
    int row = 0;
    friend bool operator==(const IndexPath&, const IndexPath&) = default;
};

enum class CellSelectionStyle { none, blue, gray, defaultStyle };
enum class CellStyle { defaultStyle, value1, value2, subtitle };

class TableViewCell : public ui::View {
  public:
    TableViewCell(CellStyle style, std::string reuseIdentifier);

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    CellStyle style() const { return style_; }
    const std::shared_ptr<ui::View>& contentView() const { return contentView_; }
    const std::shared_ptr<ui::Label>& textLabel() const { return textLabel_; }
    const std::shared_ptr<ui::Label>& detailTextLabel() const { return detailTextLabel_; }
    const std::shared_ptr<ui::View>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<ui::View> view) { accessoryView_ = std::move(view); }
    CellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(CellSelectionStyle style) { selectionStyle_ = style; }

  private:
    std::string reuseIdentifier_;
    CellStyle style_;
    std::shared_ptr<ui::View> contentView_;
    std::shared_ptr<ui::Label> textLabel_;
    std::shared_ptr<ui::Label> detailTextLabel_;
    std::shared_ptr<ui::View> accessoryView_;
    CellSelectionStyle selectionStyle_ = CellSelectionStyle::defaultStyle;
};
