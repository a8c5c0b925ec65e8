#pragma once
// An item of the navigation bar: a title and actions run when it is tapped. Not a view (it is drawn by
// the bar). Main thread only.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class BarButtonItem {
  public:
    BarButtonItem() = default;
    explicit BarButtonItem(std::string title) : title_(std::move(title)) {}

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    void addAction(std::function<void(BarButtonItem& sender)> action) {
        actions_.push_back(std::move(action));
    }
    // A tap: runs the actions in order when enabled; returns whether they ran.
    bool tap();

  private:
    std::optional<std::string> title_;
    int tag_ = 0;
    bool enabled_ = true;
    std::vector<std::function<void(BarButtonItem&)>> actions_;
};

} // namespace ui
