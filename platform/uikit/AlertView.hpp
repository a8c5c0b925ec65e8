#pragma once
// The older style of alert that shows itself: title, message, a cancel button and further buttons,
// answered through a delegate by button index (the cancel button first, then the others in the order
// added). show() puts it over whatever the application shows (an AlertController presented by the top
// screen), so the terminal draws and answers it like any other alert.
//
// Failure contract: without a screen to show it on, show() logs "Warning: no screen to show the alert
// '<title>' on" and the alert is not shown; nothing else fails. The alert keeps itself alive while it is
// shown; its delegate is held weakly and skipped when gone. Main thread only.
#include "platform/uikit/AlertController.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class AlertView;

class AlertViewDelegate {
  public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(AlertView& /*alertView*/, std::int64_t /*buttonIndex*/) {}
    // The system took the alert away without an answer.
    virtual void alertViewCancel(AlertView& /*alertView*/) {}
};

class AlertView : public std::enable_shared_from_this<AlertView> {
  public:
    AlertView(std::optional<std::string> title, std::optional<std::string> message,
              std::weak_ptr<AlertViewDelegate> delegate, std::optional<std::string> cancelButtonTitle,
              std::optional<std::string> otherButtonTitle);

    const std::optional<std::string>& title() const { return title_; }
    const std::optional<std::string>& message() const { return message_; }
    // Adds a button after the others; answers its index.
    std::int64_t addButtonWithTitle(std::string title);
    std::int64_t numberOfButtons() const { return static_cast<std::int64_t>(buttons_.size()); }
    std::optional<std::string> buttonTitleAtIndex(std::int64_t index) const;
    // -1 without a cancel button.
    std::int64_t cancelButtonIndex() const { return cancelButtonIndex_; }

    void show();
    bool isVisible() const;
    // The alert as it is on screen (null before show()).
    std::shared_ptr<AlertController> controller() const { return controller_.lock(); }

  private:
    std::optional<std::string> title_;
    std::optional<std::string> message_;
    std::weak_ptr<AlertViewDelegate> delegate_;
    std::vector<std::string> buttons_;
    std::int64_t cancelButtonIndex_ = -1;
    std::weak_ptr<AlertController> controller_;
};

} // namespace ui
