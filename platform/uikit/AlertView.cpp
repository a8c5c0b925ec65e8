#include "platform/uikit/AlertView.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/uikit/Application.hpp"

namespace ui {

AlertView::AlertView(std::optional<std::string> title, std::optional<std::string> message,
                     std::weak_ptr<AlertViewDelegate> delegate, std::optional<std::string> cancelButtonTitle,
                     std::optional<std::string> otherButtonTitle)
    : title_(std::move(title)), message_(std::move(message)), delegate_(std::move(delegate)) {
    if (cancelButtonTitle) cancelButtonIndex_ = addButtonWithTitle(std::move(*cancelButtonTitle));
    if (otherButtonTitle) addButtonWithTitle(std::move(*otherButtonTitle));
}

std::int64_t AlertView::addButtonWithTitle(std::string title) {
    buttons_.push_back(std::move(title));
    return numberOfButtons() - 1;
}

std::optional<std::string> AlertView::buttonTitleAtIndex(std::int64_t index) const {
    if (index < 0 || index >= numberOfButtons()) return std::nullopt;
    return buttons_[static_cast<std::size_t>(index)];
}

bool AlertView::isVisible() const {
    auto shown = controller_.lock();
    return shown && !shown->isAnswered() && shown->presentingViewController() != nullptr;
}

void AlertView::show() {
    auto screen = Application::shared().topViewController();
    if (!screen) {
        ns::console("Warning: no screen to show the alert '" + title_.value_or("") + "' on");
        return;
    }
    auto alert = std::make_shared<AlertController>(title_, message_);
    // The actions hold the alert view, so it lives as long as its alert can still be answered.
    auto self = shared_from_this();
    for (std::int64_t index = 0; index < numberOfButtons(); ++index) {
        AlertActionStyle style =
            index == cancelButtonIndex_ ? AlertActionStyle::cancel : AlertActionStyle::defaultStyle;
        alert->addAction(
            {buttons_[static_cast<std::size_t>(index)], style, [self, index](const AlertAction&) {
                 if (auto delegate = self->delegate_.lock())
                     delegate->alertViewClickedButtonAtIndex(*self, index);
             }});
    }
    controller_ = alert;
    screen->present(alert, true);
}

} // namespace ui
