#include "platform/uikit/NavigationController.hpp"

#include <algorithm>

namespace ui {

namespace {
// The appearance calls of a transition from `from` to `to` (either may be null).
void transition(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to,
                bool animated) {
    if (from == to) return;
    if (from) from->beginAppearance(false, animated);
    if (to) to->beginAppearance(true, animated);
    if (from) from->endAppearance(false, animated);
    if (to) to->endAppearance(true, animated);
}
} // namespace

NavigationController::NavigationController(std::shared_ptr<ViewController> root) {
    if (root && !root->navigationController_ && !root->presentingViewController()) {
        root->navigationController_ = this;
        stack_.push_back(std::move(root));
    }
}

NavigationController::~NavigationController() {
    for (auto& vc : stack_) {
        if (vc->navigationController_ == this) vc->navigationController_ = nullptr;
    }
}

bool NavigationController::pushViewController(std::shared_ptr<ViewController> controller, bool animated) {
    if (!controller || controller.get() == this || controller->navigationController_ ||
        controller->presentingViewController())
        return false;
    auto old = topViewController();
    controller->navigationController_ = this;
    stack_.push_back(controller);
    lastAnimated_ = animated;
    if (isAppeared()) transition(old, controller, animated);
    return true;
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated) {
    if (stack_.size() <= 1) return nullptr;
    auto popped = stack_.back();
    stack_.pop_back();
    lastAnimated_ = animated;
    if (isAppeared()) transition(popped, stack_.back(), animated);
    popped->navigationController_ = nullptr;
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewController(bool animated) {
    std::vector<std::shared_ptr<ViewController>> popped;
    if (stack_.size() <= 1) return popped;
    auto oldTop = stack_.back();
    popped.assign(stack_.begin() + 1, stack_.end());
    stack_.resize(1);
    lastAnimated_ = animated;
    if (isAppeared()) transition(oldTop, stack_.front(), animated);
    for (auto& vc : popped)
        vc->navigationController_ = nullptr;
    return popped;
}

void NavigationController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers,
                                              bool animated) {
    auto oldTop = topViewController();
    // Refuse entries that are null or shown elsewhere, keeping the stack consistent.
    std::vector<std::shared_ptr<ViewController>> accepted;
    for (auto& vc : controllers) {
        if (!vc || vc.get() == this || (vc->navigationController_ && vc->navigationController_ != this) ||
            vc->presentingViewController() ||
            std::find(accepted.begin(), accepted.end(), vc) != accepted.end())
            continue;
        accepted.push_back(vc);
    }
    for (auto& vc : stack_)
        vc->navigationController_ = nullptr;
    stack_ = std::move(accepted);
    for (auto& vc : stack_)
        vc->navigationController_ = this;
    lastAnimated_ = animated;
    if (isAppeared()) transition(oldTop, topViewController(), animated);
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
    std::shared_ptr<ViewController> vc =
        presentedViewController() ? presentedViewController() : topViewController();
    while (vc && vc->presentedViewController())
        vc = vc->presentedViewController();
    return vc;
}

void NavigationController::viewWillAppear(bool animated) {
    if (auto top = topViewController()) top->beginAppearance(true, animated);
}

void NavigationController::viewDidAppear(bool animated) {
    if (auto top = topViewController()) top->endAppearance(true, animated);
}

void NavigationController::viewWillDisappear(bool animated) {
    if (auto top = topViewController()) top->beginAppearance(false, animated);
}

void NavigationController::viewDidDisappear(bool animated) {
    if (auto top = topViewController()) top->endAppearance(false, animated);
}

} // namespace ui
