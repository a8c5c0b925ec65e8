#pragma once
// What a screen shows in the navigation bar while it is on top: a title or a title view, and bar items.
// Main thread only.
#include "platform/uikit/BarButtonItem.hpp"
#include "platform/uikit/View.hpp"

#include <memory>
#include <optional>
#include <string>

namespace ui {

class NavigationItem {
  public:
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }

    // Shown instead of the title when set.
    const std::shared_ptr<View>& titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<View> view) { titleView_ = std::move(view); }
    // The image name when the title view is an image view showing one.
    std::optional<std::string> titleViewImageName() const;

    const std::shared_ptr<BarButtonItem>& rightBarButtonItem() const { return right_; }
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item) { right_ = std::move(item); }
    const std::shared_ptr<BarButtonItem>& leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item) { left_ = std::move(item); }
    // The right item's title, when there is one.
    std::optional<std::string> rightItemTitle() const;

  private:
    std::optional<std::string> title_;
    std::shared_ptr<View> titleView_;
    std::shared_ptr<BarButtonItem> right_;
    std::shared_ptr<BarButtonItem> left_;
};

} // namespace ui
