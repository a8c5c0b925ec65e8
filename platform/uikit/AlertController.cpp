#include "platform/uikit/AlertController.hpp"

namespace ui {

namespace {
std::vector<std::shared_ptr<AlertController>>& presented() {
    static std::vector<std::shared_ptr<AlertController>> list;
    return list;
}
} // namespace

AlertController::AlertController(std::optional<std::string> title, std::optional<std::string> message,
                                 AlertStyle style)
    : message_(std::move(message)), style_(style) {
    setTitle(std::move(title));
}

void AlertController::addAction(AlertAction action) {
    actions_.push_back(std::move(action));
}

bool AlertController::pickAction(const std::string& title) {
    for (std::size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i].title == title) return pick(i);
    }
    return false;
}

bool AlertController::pickAction(std::size_t index) {
    return pick(index);
}

bool AlertController::pick(std::size_t index) {
    if (answered_ || index >= actions_.size() || !actions_[index].enabled) return false;
    answered_ = true;
    auto keep = weak_from_this().lock();
    AlertAction action = actions_[index];
    // As on the phone: the alert goes away first, then the handler runs.
    dismiss(true);
    if (action.handler) action.handler(action);
    return true;
}

bool AlertController::dismissWithoutAction() {
    if (answered_) return false;
    answered_ = true;
    auto keep = weak_from_this().lock();
    dismiss(true);
    return true;
}

const std::vector<std::shared_ptr<AlertController>>& AlertController::presentedAlerts() {
    return presented();
}

std::shared_ptr<AlertController> AlertController::lastPresented() {
    return presented().empty() ? nullptr : presented().back();
}

void AlertController::clearPresentedAlerts() {
    presented().clear();
}

void AlertController::viewDidAppear(bool animated) {
    ViewController::viewDidAppear(animated);
    if (recorded_) return;
    recorded_ = true;
    if (auto self = std::dynamic_pointer_cast<AlertController>(weak_from_this().lock())) {
        // Only the recent past is of interest (tests, the front end); a long session must not keep
        // every alert, and whatever its handlers hold, alive.
        constexpr std::size_t kKept = 64;
        auto& list = presented();
        if (list.size() >= kKept)
            list.erase(list.begin(), list.begin() + static_cast<long>(list.size() - kKept + 1));
        list.push_back(self);
    }
}

} // namespace ui
