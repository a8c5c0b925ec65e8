#include "platform/uikit/ViewController.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/uikit/NavigationController.hpp"
#include "platform/uikit/Screen.hpp"
#include "platform/uikit/ViewControllerRuntime.hpp"

namespace ui {

Storyboard& Storyboard::main() {
    static Storyboard storyboard;
    return storyboard;
}

void Storyboard::registerSegue(const std::string& identifier, SegueFactory factory, SegueKind kind) {
    segues_[identifier] = Entry{std::move(factory), kind};
}

void Storyboard::removeSegue(const std::string& identifier) {
    segues_.erase(identifier);
}

void Storyboard::removeAll() {
    segues_.clear();
}

bool Storyboard::hasSegue(const std::string& identifier) const {
    return segues_.count(identifier) > 0;
}

ViewController::ViewController() = default;

ViewController::~ViewController() {
    if (presented_ && presented_->presenting_ == this) presented_->presenting_ = nullptr;
}

const std::shared_ptr<View>& ViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) view_ = std::make_shared<View>(Screen::main().bounds());
        viewDidLoad();
    }
    return view_;
}

void ViewController::loadViewIfNeeded() {
    (void)view();
}

void ViewController::setView(std::shared_ptr<View> view) {
    view_ = std::move(view);
}

void ViewController::loadView() {
    view_ = std::make_shared<View>(Screen::main().bounds());
}

void ViewController::beginAppearance(bool appearing, bool animated) {
    if (appearing) {
        loadViewIfNeeded();
        viewWillAppear(animated);
        layoutPass();
    } else {
        viewWillDisappear(animated);
    }
}

void ViewController::layoutPass() {
    loadViewIfNeeded();
    viewDidLayoutSubviews();
}

rt::Object& ViewController::runtimeObject() {
    if (!runtimeObject_)
        runtimeObject_ =
            std::make_unique<ViewControllerObject>(viewControllerClassForType(typeid(*this)), *this);
    return *runtimeObject_;
}

void ViewController::viewDidAppear(bool animated) {
    const std::any arguments[] = {animated};
    viewControllerClass().performInstanceSelector(runtimeObject(), "viewDidAppear:", arguments);
}

void ViewController::viewDidDisappear(bool animated) {
    const std::any arguments[] = {animated};
    viewControllerClass().performInstanceSelector(runtimeObject(), "viewDidDisappear:", arguments);
}

void ViewController::endAppearance(bool appearing, bool animated) {
    appeared_ = appearing;
    if (appearing) {
        viewDidAppear(animated);
    } else {
        viewDidDisappear(animated);
    }
}

NavigationController* ViewController::navigationController() const {
    return navigationController_;
}

void ViewController::present(std::shared_ptr<ViewController> controller, bool animated,
                             std::function<void()> completion) {
    if (!controller || controller.get() == this) return;
    if (presented_) {
        ns::console("Warning: attempt to present a view controller while another one is already presented; "
                    "ignored");
        return;
    }
    if (controller->presenting_ || controller->navigationController_) {
        ns::console("Warning: attempt to present a view controller that is already shown; ignored");
        return;
    }
    auto keep = weak_from_this().lock();
    presented_ = controller;
    controller->presenting_ = this;
    lastPresentationAnimated_ = animated;
    controller->beginAppearance(true, animated);
    controller->endAppearance(true, animated);
    if (completion) completion();
}

void ViewController::dismiss(bool animated, std::function<void()> completion) {
    auto keep = weak_from_this().lock();
    if (!presented_) {
        if (presenting_) presenting_->dismiss(animated, std::move(completion));
        return;
    }
    auto target = presented_; // alive until the end, also if it is the caller
    // Whatever the dismissed screen presented goes with it.
    if (target->presented_) target->dismiss(false);
    lastPresentationAnimated_ = animated;
    target->beginAppearance(false, animated);
    target->endAppearance(false, animated);
    target->presenting_ = nullptr;
    presented_.reset();
    if (completion) completion();
}

void ViewController::registerSegue(const std::string& identifier, SegueFactory factory, SegueKind kind) {
    segues_[identifier] = Storyboard::Entry{std::move(factory), kind};
}

bool ViewController::performSegue(const std::string& identifier, View* sender) {
    const Storyboard::Entry* entry = nullptr;
    if (auto it = segues_.find(identifier); it != segues_.end()) {
        entry = &it->second;
    } else if (auto global = Storyboard::main().segues_.find(identifier);
               global != Storyboard::main().segues_.end()) {
        entry = &global->second;
    }
    if (!entry || !entry->factory) {
        ns::console("Receiver has no segue with identifier '" + identifier + "'");
        return false;
    }
    SegueKind kind = entry->kind;
    auto destination = entry->factory();
    if (!destination) {
        ns::console("Segue '" + identifier + "' made no destination");
        return false;
    }
    auto keep = weak_from_this().lock();
    StoryboardSegue segue(identifier, *this, destination);
    prepareForSegue(segue, sender);
    if (kind == SegueKind::show && navigationController_) {
        navigationController_->pushViewController(destination, true);
    } else {
        present(destination, true);
    }
    return true;
}

} // namespace ui
