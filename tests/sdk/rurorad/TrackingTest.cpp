// View-controller tracking: the appearance hooks on the runtime's UIViewController slots.
#include "platform/uikit/ViewController.hpp"
#include "platform/uikit/ViewControllerRuntime.hpp"
#include "sdk/rurorad/tracking/ZEVAnalyticsViewControllerTrackingController.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Tracker = ZEVAnalyticsViewControllerTrackingController;

class TrackedScreen : public ui::ViewController {};
class TrackedSubscreen : public TrackedScreen {
  public:
    void viewDidAppear(bool animated) override { TrackedScreen::viewDidAppear(animated); }
};
class SilentScreen : public ui::ViewController {
  public:
    void viewDidAppear(bool) override {}
};

struct Recorder : ZEVAnalyticsViewControllerTrackingDelegate {
    std::vector<std::string> calls;
    void viewControllerTrackingControllerDidDetectAppearanceOfViewController(Tracker&,
                                                                             rt::Object& vc) override {
        calls.push_back("appeared " + vc.objectClass().name());
    }
    void viewControllerTrackingControllerDidDetectDisappearanceOfViewController(Tracker&,
                                                                                rt::Object& vc) override {
        calls.push_back("disappeared " + vc.objectClass().name());
    }
};

class Tracking : public ::testing::Test {
  protected:
    void SetUp() override {
        // Counts every run of the implementation the hooks replace.
        base = const_cast<rt::Class*>(&ui::viewControllerClass());
        original = base->replaceInstanceMethod("viewDidAppear:", [this](rt::Object&, rt::Arguments) {
            ++earlierRuns;
            return std::any();
        });
    }
    void TearDown() override {
        Tracker::disposeSharedInstance();
        base->replaceInstanceMethod("viewDidAppear:", original);
    }
    void appear(ui::ViewController& screen) { screen.endAppearance(true, false); }

    rt::Class* base = nullptr;
    rt::InstanceMethod original;
    int earlierRuns = 0;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(Tracking, HooksInstallOnceAndRunTheEarlierImplementationOncePerCall) {
    auto tracker = Tracker::sharedInstance();
    tracker->setDelegate(recorder);
    tracker->startTracking();
    tracker->startTracking();
    EXPECT_TRUE(tracker->isTracking());
    auto screen = std::make_shared<TrackedScreen>();
    appear(*screen);
    screen->endAppearance(false, false);
    EXPECT_EQ(earlierRuns, 1);
    EXPECT_EQ(recorder->calls,
              (std::vector<std::string>{"appeared TrackedScreen", "disappeared TrackedScreen"}));
}

TEST_F(Tracking, OnlyScreensThatCallTheBaseAreSeen) {
    auto tracker = Tracker::sharedInstance();
    tracker->setDelegate(recorder);
    tracker->startTracking();
    auto sub = std::make_shared<TrackedSubscreen>();
    auto silent = std::make_shared<SilentScreen>();
    appear(*sub);
    appear(*silent);
    EXPECT_EQ(recorder->calls, std::vector<std::string>{"appeared TrackedSubscreen"});
}

TEST_F(Tracking, WithoutADelegateOnlyTheEarlierImplementationRuns) {
    auto tracker = Tracker::sharedInstance();
    tracker->startTracking();
    auto screen = std::make_shared<TrackedScreen>();
    appear(*screen);
    EXPECT_EQ(earlierRuns, 1);
    // A delegate that went away is not called either.
    auto gone = std::make_shared<Recorder>();
    tracker->setDelegate(gone);
    gone.reset();
    appear(*screen);
    EXPECT_EQ(earlierRuns, 2);
}

TEST_F(Tracking, TheBlackListStopsExactlyItsClass) {
    auto tracker = Tracker::sharedInstance();
    tracker->setDelegate(recorder);
    tracker->startTracking();
    auto screen = std::make_shared<TrackedScreen>();
    auto sub = std::make_shared<TrackedSubscreen>();
    tracker->addBlackListViewControllerClass(&screen->runtimeObject().objectClass());
    appear(*screen);
    appear(*sub);
    tracker->removeBlackListViewControllerClass(&screen->runtimeObject().objectClass());
    appear(*screen);
    EXPECT_EQ(recorder->calls,
              (std::vector<std::string>{"appeared TrackedSubscreen", "appeared TrackedScreen"}));
}

TEST_F(Tracking, GoingAwayPutsTheEarlierImplementationsBack) {
    auto tracker = Tracker::sharedInstance();
    tracker->setDelegate(recorder);
    tracker->startTracking();
    tracker.reset();
    Tracker::disposeSharedInstance();
    auto screen = std::make_shared<TrackedScreen>();
    appear(*screen);
    EXPECT_EQ(earlierRuns, 1);
    EXPECT_TRUE(recorder->calls.empty());
}

TEST(TrackingReplacement, NeedsAnAnsweredSelectorAndReportsWhatItReplaced) {
    rt::ClassRegistry registry;
    rt::ClassDefinition root;
    root.name = "Root";
    root.instanceMethods["ping"] = [](rt::Object&, rt::Arguments) { return std::any(std::string("root")); };
    rt::Class* rootClass = registry.registerClass(std::move(root));
    rt::Class* leaf = registry.registerClass({"Leaf", "Root", {}, {}, {}});
    rt::InstanceMethod slot;
    EXPECT_FALSE(Tracker::replaceMethodImplementationForClass(*leaf, "pong", {}, &slot));
    // An inherited method: the replacement goes on the subclass, the slot keeps the inherited one.
    EXPECT_TRUE(Tracker::replaceMethodImplementationForClass(
        *leaf, "ping", [](rt::Object&, rt::Arguments) { return std::any(std::string("leaf")); }, &slot));
    rt::Object object(*leaf);
    EXPECT_EQ(std::any_cast<std::string>(object.perform("ping")), "leaf");
    ASSERT_TRUE(slot);
    EXPECT_EQ(std::any_cast<std::string>(slot(object, {})), "root");
    rt::Object rootObject(*rootClass);
    EXPECT_EQ(std::any_cast<std::string>(rootObject.perform("ping")), "root");
}

} // namespace
