#include "platform/uikit/NavigationItem.hpp"

#include "platform/uikit/ImageView.hpp"

namespace ui {

std::optional<std::string> NavigationItem::titleViewImageName() const {
    if (auto* image = dynamic_cast<ImageView*>(titleView_.get())) return image->imageName();
    return std::nullopt;
}

std::optional<std::string> NavigationItem::rightItemTitle() const {
    if (right_) return right_->title();
    return std::nullopt;
}

} // namespace ui
