#include "platform/uikit/Application.hpp"

#include "platform/foundation/NotificationCenter.hpp"
#include "platform/uikit/NavigationController.hpp"

namespace ui {

Application& Application::shared() {
    static Application application;
    return application;
}

void Application::setRootViewController(std::shared_ptr<ViewController> controller) {
    if (controller == root_) return;
    auto old = std::move(root_);
    root_ = controller;
    bool oldShown = old && old->isAppeared();
    if (oldShown) old->beginAppearance(false, false);
    if (controller) controller->beginAppearance(true, false);
    if (oldShown) old->endAppearance(false, false);
    if (controller) controller->endAppearance(true, false);
}

std::shared_ptr<ViewController> Application::topViewController() const {
    auto vc = root_;
    while (vc) {
        if (vc->presentedViewController()) {
            vc = vc->presentedViewController();
        } else if (auto* nav = dynamic_cast<NavigationController*>(vc.get());
                   nav && nav->topViewController()) {
            vc = nav->topViewController();
        } else {
            break;
        }
    }
    return vc;
}

bool Application::openURL(const std::string& url) {
    openedURLs_.push_back(url);
    return openHandler_ ? openHandler_(url) : true;
}

void Application::postLifecycleNotification(const char* name) {
    ns::NotificationCenter::defaultCenter().post(name, this);
}

void Application::postTerminationNotifications() {
    postLifecycleNotification(applicationWillResignActiveNotification);
    postLifecycleNotification(applicationDidEnterBackgroundNotification);
    postLifecycleNotification(applicationWillTerminateNotification);
}

void Application::setStatusBarOrientation(InterfaceOrientation orientation) {
    if (orientation == statusBarOrientation_) return;
    statusBarOrientation_ = orientation;
    ns::NotificationCenter::defaultCenter().post(applicationDidChangeStatusBarOrientationNotification, this);
}

void Application::reset() {
    root_.reset();
    openedURLs_.clear();
    openHandler_ = nullptr;
    statusBarOrientation_ = InterfaceOrientation::portrait;
}

} // namespace ui
