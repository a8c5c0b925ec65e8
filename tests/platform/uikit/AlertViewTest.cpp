#include "platform/uikit/AlertView.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/uikit/Application.hpp"

#include <gtest/gtest.h>

namespace {

class RecordingDelegate : public ui::AlertViewDelegate {
  public:
    void alertViewClickedButtonAtIndex(ui::AlertView& alertView, std::int64_t index) override {
        clicks.emplace_back(alertView.title().value_or(""), index);
    }
    std::vector<std::pair<std::string, std::int64_t>> clicks;
};

class AlertViewScreen : public ::testing::Test {
  protected:
    void SetUp() override { ui::Application::shared().setRootViewController(root); }
    void TearDown() override {
        ui::Application::shared().reset();
        ui::AlertController::clearPresentedAlerts();
    }
    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(AlertViewScreen, ButtonsAreIndexedCancelFirstThenInTheOrderAdded) {
    auto alert = std::make_shared<ui::AlertView>("Title", "Message", delegate, "Cancel", std::nullopt);
    EXPECT_EQ(alert->addButtonWithTitle("Send"), 1);
    EXPECT_EQ(alert->addButtonWithTitle("Always"), 2);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->buttonTitleAtIndex(2), "Always");
    EXPECT_FALSE(alert->buttonTitleAtIndex(3).has_value());

    auto noCancel = std::make_shared<ui::AlertView>("T", std::nullopt, delegate, std::nullopt, "Ok");
    EXPECT_EQ(noCancel->cancelButtonIndex(), -1);
    EXPECT_EQ(noCancel->numberOfButtons(), 1);
}

TEST_F(AlertViewScreen, ShowsOverTheTopScreenAndReportsTheButtonPicked) {
    auto alert = std::make_shared<ui::AlertView>("Title", "Message", delegate, "Cancel", std::nullopt);
    alert->addButtonWithTitle("Send");
    alert->show();
    std::weak_ptr<ui::AlertView> weak = alert;
    alert.reset(); // shown alerts keep themselves
    auto shown = ui::AlertController::lastPresented();
    ASSERT_TRUE(shown);
    EXPECT_EQ(root->presentedViewController(), shown);
    EXPECT_EQ(shown->title(), "Title");
    EXPECT_EQ(shown->message(), "Message");
    ASSERT_EQ(shown->actions().size(), 2u);
    EXPECT_EQ(shown->actions()[0].style, ui::AlertActionStyle::cancel);
    ASSERT_TRUE(weak.lock());
    EXPECT_TRUE(weak.lock()->isVisible());

    EXPECT_TRUE(shown->pickAction("Send"));
    EXPECT_EQ(delegate->clicks, (std::vector<std::pair<std::string, std::int64_t>>{{"Title", 1}}));
    EXPECT_FALSE(root->presentedViewController());
}

TEST_F(AlertViewScreen, WithoutAScreenOrADelegateNothingBreaks) {
    ui::Application::shared().reset();
    ns::ConsoleCapture console;
    auto alert = std::make_shared<ui::AlertView>("Lost", std::nullopt, delegate, "Ok", std::nullopt);
    alert->show();
    EXPECT_TRUE(console.contains("Warning: no screen to show the alert 'Lost' on"));
    EXPECT_FALSE(alert->isVisible());

    ui::Application::shared().setRootViewController(root);
    auto orphan = std::make_shared<ui::AlertView>("Orphan", std::nullopt,
                                                  std::weak_ptr<ui::AlertViewDelegate>(), "Ok", std::nullopt);
    orphan->show();
    EXPECT_TRUE(ui::AlertController::lastPresented()->pickAction(std::size_t{0}));
    EXPECT_TRUE(delegate->clicks.empty());
}

} // namespace
