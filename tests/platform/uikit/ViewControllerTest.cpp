#include "platform/uikit/ViewController.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/uikit/AlertController.hpp"
#include "platform/uikit/Application.hpp"
#include "platform/uikit/ImageView.hpp"
#include "platform/uikit/NavigationController.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Writes every life-cycle call into a shared journal.
class JournalController : public ui::ViewController {
  public:
    JournalController(std::string name, std::vector<std::string>& journal)
        : name_(std::move(name)), journal_(journal) {}
    void viewDidLoad() override { journal_.push_back(name_ + ".didLoad(input=" + input + ")"); }
    void viewWillAppear(bool) override { journal_.push_back(name_ + ".willAppear"); }
    void viewDidAppear(bool) override { journal_.push_back(name_ + ".didAppear"); }
    void viewDidLayoutSubviews() override { ++layoutPasses; }
    void viewWillDisappear(bool) override { journal_.push_back(name_ + ".willDisappear"); }
    void viewDidDisappear(bool) override { journal_.push_back(name_ + ".didDisappear"); }
    void prepareForSegue(ui::StoryboardSegue& segue, ui::View* sender) override {
        journal_.push_back(name_ + ".prepare(" + segue.identifier() + ")");
        if (auto* next = dynamic_cast<JournalController*>(segue.destination().get())) {
            next->input = sender ? "tag" + std::to_string(sender->tag()) : "none";
        }
    }
    std::string input = "unset";
    int layoutPasses = 0;

  private:
    std::string name_;
    std::vector<std::string>& journal_;
};

class ViewControllerLifecycle : public ::testing::Test {
  protected:
    void TearDown() override {
        ui::Application::shared().reset();
        ui::Storyboard::main().removeAll();
        ui::AlertController::clearPresentedAlerts();
    }
    std::vector<std::string> journal;
    std::shared_ptr<JournalController> make(const std::string& name) {
        return std::make_shared<JournalController>(name, journal);
    }
};

TEST_F(ViewControllerLifecycle, ViewDidLoadRunsOnceOnFirstAccess) {
    auto vc = make("a");
    EXPECT_FALSE(vc->isViewLoaded());
    vc->view();
    vc->loadViewIfNeeded();
    vc->view();
    EXPECT_EQ(journal, (std::vector<std::string>{"a.didLoad(input=unset)"}));
}

TEST_F(ViewControllerLifecycle, PushAndPopMakeTheAppearanceCallsInOrder) {
    auto root = make("root");
    auto nav = std::make_shared<ui::NavigationController>(root);
    ui::Application::shared().setRootViewController(nav);
    journal.clear();

    auto detail = make("detail");
    ASSERT_TRUE(nav->pushViewController(detail, true));
    EXPECT_EQ(nav->topViewController(), detail);
    EXPECT_EQ(detail->navigationController(), nav.get());
    EXPECT_TRUE(nav->lastTransitionAnimated());
    EXPECT_FALSE(nav->pushViewController(detail, false)) << "already on the stack";

    EXPECT_EQ(nav->popViewController(true), detail);
    EXPECT_EQ(detail->navigationController(), nullptr);
    EXPECT_EQ(nav->popViewController(true), nullptr) << "the root stays";
    EXPECT_EQ(nav->viewControllers().size(), 1u);

    std::vector<std::string> expected{
        "root.willDisappear", "detail.didLoad(input=unset)", "detail.willAppear", "root.didDisappear",
        "detail.didAppear",   "detail.willDisappear",        "root.willAppear",   "detail.didDisappear",
        "root.didAppear"};
    EXPECT_EQ(journal, expected);
}

TEST_F(ViewControllerLifecycle, SegueInputsAreSetBeforeTheDestinationLoads) {
    auto root = make("list");
    auto nav = std::make_shared<ui::NavigationController>(root);
    ui::Application::shared().setRootViewController(nav);
    ui::Storyboard::main().registerSegue("lessonSegue", [this] { return make("lesson"); });
    journal.clear();

    auto cell = std::make_shared<ui::View>();
    cell->setTag(3);
    ASSERT_TRUE(root->performSegue("lessonSegue", cell.get()));
    ASSERT_EQ(nav->viewControllers().size(), 2u);
    std::vector<std::string> expected{"list.prepare(lessonSegue)",  "list.willDisappear",
                                      "lesson.didLoad(input=tag3)", "lesson.willAppear",
                                      "list.didDisappear",          "lesson.didAppear"};
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(ui::Application::shared().topViewController(), nav->topViewController());
    EXPECT_EQ(root->layoutPasses, 1) << "one layout pass when it first appeared";
}

TEST_F(ViewControllerLifecycle, OwnSeguesComeFirstAndUnknownOnesAreReported) {
    auto vc = make("home");
    ui::Application::shared().setRootViewController(vc);
    ui::Storyboard::main().registerSegue("Settings", [this] { return make("global"); });
    vc->registerSegue(
        "Settings", [this] { return make("own"); }, ui::SegueKind::present);
    ASSERT_TRUE(vc->performSegue("Settings", nullptr));
    auto* shown = dynamic_cast<JournalController*>(vc->presentedViewController().get());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->input, "none");
    EXPECT_NE(std::find(journal.begin(), journal.end(), "own.didAppear"), journal.end());

    ns::ConsoleCapture console;
    EXPECT_FALSE(vc->performSegue("Nope", nullptr));
    EXPECT_TRUE(console.contains("Receiver has no segue with identifier 'Nope'"));
}

TEST_F(ViewControllerLifecycle, AlertActionIsPickedAfterTheAlertIsDismissed) {
    auto screen = make("lesson");
    ui::Application::shared().setRootViewController(screen);
    auto alert = std::make_shared<ui::AlertController>("Please Rate Us", "message");
    bool dismissedWhenHandled = false;
    std::string handled;
    alert->addAction({"Go rate app >", ui::AlertActionStyle::defaultStyle, [&](const ui::AlertAction& a) {
                          handled = a.title;
                          dismissedWhenHandled = screen->presentedViewController() == nullptr;
                      }});
    alert->addAction(
        {"Later", ui::AlertActionStyle::defaultStyle, [&](const ui::AlertAction& a) { handled = a.title; }});
    screen->present(alert, true);

    ASSERT_EQ(ui::AlertController::lastPresented(), alert);
    EXPECT_EQ(ui::Application::shared().topViewController(), alert);
    EXPECT_FALSE(alert->pickAction("Never"));
    EXPECT_FALSE(alert->pickAction(std::size_t{2}));
    EXPECT_TRUE(handled.empty());
    EXPECT_TRUE(alert->pickAction(std::size_t{1}));
    EXPECT_EQ(handled, "Later");
    EXPECT_FALSE(alert->pickAction("Go rate app >")) << "an answered alert takes no second answer";
    EXPECT_EQ(screen->presentedViewController(), nullptr);

    auto second = std::make_shared<ui::AlertController>("Please Rate Us", "message");
    second->addAction(alert->actions()[0]);
    screen->present(second, false);
    EXPECT_TRUE(second->pickAction("Go rate app >"));
    EXPECT_EQ(handled, "Go rate app >");
    EXPECT_TRUE(dismissedWhenHandled);
    EXPECT_EQ(ui::AlertController::presentedAlerts().size(), 2u);
}

TEST_F(ViewControllerLifecycle, OnlyTheRecentAlertsAreKept) {
    auto screen = make("base");
    ui::Application::shared().setRootViewController(screen);
    std::shared_ptr<ui::AlertController> last;
    for (int i = 0; i < 100; ++i) {
        last = std::make_shared<ui::AlertController>("Alert " + std::to_string(i), "");
        last->addAction({"Ok", ui::AlertActionStyle::defaultStyle, {}});
        screen->present(last, false);
        ASSERT_TRUE(last->pickAction("Ok"));
    }
    EXPECT_EQ(ui::AlertController::presentedAlerts().size(), 64u);
    EXPECT_EQ(ui::AlertController::lastPresented(), last);
    EXPECT_EQ(ui::AlertController::presentedAlerts().front()->title(), "Alert 36");
}

TEST_F(ViewControllerLifecycle, PresentingTwiceIsRefusedAndDismissFromThePresentedWorks) {
    auto screen = make("base");
    ui::Application::shared().setRootViewController(screen);
    auto first = make("first");
    auto second = make("second");
    bool firstDone = false, secondDone = false;
    screen->present(first, true, [&] { firstDone = true; });
    ns::ConsoleCapture console;
    screen->present(second, true, [&] { secondDone = true; });
    EXPECT_TRUE(firstDone);
    EXPECT_FALSE(secondDone);
    EXPECT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(screen->presentedViewController(), first);
    first->dismiss(false); // asks its presenter
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    EXPECT_EQ(first->presentingViewController(), nullptr);
}

TEST_F(ViewControllerLifecycle, NavigationItemTitleViewImageName) {
    auto vc = make("home");
    vc->navigationItem().setTitleView(std::make_shared<ui::ImageView>("logo"));
    EXPECT_EQ(vc->navigationItem().titleViewImageName(), "logo");
    vc->navigationItem().setRightBarButtonItem(std::make_shared<ui::BarButtonItem>("3/20"));
    EXPECT_EQ(vc->navigationItem().rightItemTitle(), "3/20");
}

} // namespace
