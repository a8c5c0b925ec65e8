#pragma once
// A stack of screens, the top one shown. Pushing and popping make the appearance calls of the screens
// involved (see ViewController.hpp); the animated flag is recorded.
//
// Failure contract: pushing nullptr or a screen already on a stack is refused (returns false); popping
// the root screen is refused (returns nullptr), as on the phone. Main thread only.
#include "platform/uikit/Color.hpp"
#include "platform/uikit/ViewController.hpp"

#include <memory>
#include <vector>

namespace ui {

enum class BarStyle { defaultStyle, black };

struct NavigationBar {
    BarStyle barStyle = BarStyle::defaultStyle;
    Color tintColor = Color::rgb255(0, 122, 255);
    bool hidden = false;
};

class NavigationController : public ViewController {
  public:
    NavigationController() = default;
    explicit NavigationController(std::shared_ptr<ViewController> root);
    ~NavigationController() override;

    bool pushViewController(std::shared_ptr<ViewController> controller, bool animated);
    std::shared_ptr<ViewController> popViewController(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToRootViewController(bool animated);
    // Replaces the stack without appearance calls beyond those of the new top.
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool animated);

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
    std::shared_ptr<ViewController> topViewController() const;
    // The top screen, or what it presents (followed to the end of the presenting chain).
    std::shared_ptr<ViewController> visibleViewController() const;
    bool lastTransitionAnimated() const { return lastAnimated_; }

    NavigationBar& navigationBar() { return bar_; }

    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;

  private:
    std::vector<std::shared_ptr<ViewController>> stack_;
    NavigationBar bar_;
    bool lastAnimated_ = false;
};

} // namespace ui
