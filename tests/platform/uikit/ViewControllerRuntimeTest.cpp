// Screens as the class runtime sees them: class names, and appearance calls through the replaceable
// "UIViewController" slots.
#include "platform/uikit/ViewControllerRuntime.hpp"
#include "platform/runtime/ClassRegistry.hpp"
#include "platform/uikit/NavigationController.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

class CallsTheBase : public ui::ViewController {
  public:
    void viewDidAppear(bool animated) override {
        ++ownCalls;
        ui::ViewController::viewDidAppear(animated);
    }
    int ownCalls = 0;
};

class SkipsTheBase : public ui::ViewController {
  public:
    void viewDidAppear(bool) override {}
};

TEST(ViewControllerRuntime, ClassesAreNamedAfterTheScreenTypes) {
    EXPECT_EQ(ui::viewControllerClassNameForType(typeid(ui::ViewController)), "UIViewController");
    EXPECT_EQ(ui::viewControllerClassNameForType(typeid(ui::NavigationController)), "UINavigationController");
    EXPECT_EQ(ui::viewControllerClassNameForType(typeid(CallsTheBase)), "CallsTheBase");
    auto screen = std::make_shared<CallsTheBase>();
    const rt::Class& cls = screen->runtimeObject().objectClass();
    EXPECT_EQ(cls.name(), "CallsTheBase");
    EXPECT_TRUE(cls.isSubclassOf(ui::viewControllerClass()));
    EXPECT_EQ(rt::ClassRegistry::shared().lookUpClass("CallsTheBase"), &cls);
    EXPECT_EQ(&std::make_shared<ui::ViewController>()->runtimeObject().objectClass(),
              &ui::viewControllerClass());
}

TEST(ViewControllerRuntime, AppearanceGoesThroughTheReplaceableSlotWhenTheBaseIsCalled) {
    auto& base = const_cast<rt::Class&>(ui::viewControllerClass());
    std::vector<std::string> seen;
    rt::InstanceMethod previous;
    previous = base.replaceInstanceMethod("viewDidAppear:", [&](rt::Object& self, rt::Arguments arguments) {
        seen.push_back(self.objectClass().name() + (std::any_cast<bool>(arguments[0]) ? " animated" : ""));
        return previous(self, arguments);
    });
    auto calling = std::make_shared<CallsTheBase>();
    auto skipping = std::make_shared<SkipsTheBase>();
    auto plain = std::make_shared<ui::ViewController>();
    calling->endAppearance(true, true);
    skipping->endAppearance(true, false);
    plain->endAppearance(true, false);
    plain->endAppearance(false, false); // disappearance has its own slot
    base.replaceInstanceMethod("viewDidAppear:", previous);
    calling->endAppearance(true, false);

    EXPECT_EQ(seen, (std::vector<std::string>{"CallsTheBase animated", "UIViewController"}));
    EXPECT_EQ(calling->ownCalls, 2);
}

} // namespace
