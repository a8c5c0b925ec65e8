#include "app/catalogue/MoreAppsViewController.hpp"
#include "app/catalogue/SettingsTableViewController.hpp"
#include "model/TargetHelper.hpp"
#include "platform/uikit/Switch.hpp"
#include "tests/support/CatalogueWorld.hpp"

#include <gtest/gtest.h>

namespace {

class Settings : public ::testing::Test {
  protected:
    std::unique_ptr<CatalogueWorld> world;
    std::shared_ptr<SettingsTableViewController> screen;

    void open(const std::string& bundleId = "com.velomarinth.swift") {
        world = std::make_unique<CatalogueWorld>(bundleId);
        auto& home = world->launch();
        home.progressReport->lessons = std::vector<std::string>{"lessonZero", "CH1L1", "CH1L2"};
        home.progressReport->appRated = std::vector<std::string>{"ignore", "1.0"};
        home.tableView->reloadData();
        world->settle();
        home.openSettings();
        world->settle();
        screen = world->top<SettingsTableViewController>();
        ASSERT_TRUE(screen);
    }
    ui::TableViewCell& row(int r) { return *screen->tableView->cellForRowAtIndexPath({0, r}); }
    ui::Switch& toggle(int r) { return dynamic_cast<ui::Switch&>(*row(r).accessoryView()); }
    MainViewController& home() { return world->main(); }
};

TEST_F(Settings, RowsAndSwitchesReflectTheRecord) {
    open();
    ASSERT_EQ(screen->tableView->numberOfRowsInSection(0), 7);
    EXPECT_EQ(row(0).textLabel()->text(), "Reset progress");
    EXPECT_EQ(row(3).textLabel()->text(), "Email support@velomarinth.com");
    EXPECT_EQ(row(6).textLabel()->text(), "Sound");
    EXPECT_FALSE(row(0).accessoryView());
    EXPECT_FALSE(toggle(4).isOn()); // autoRun false on a first launch
    EXPECT_TRUE(toggle(5).isOn());
    EXPECT_TRUE(toggle(6).isOn());
    EXPECT_EQ(toggle(5).tag(), 5);
    EXPECT_EQ(screen->progressReport, home().progressReport);
}

TEST_F(Settings, ZovudEroEditionHasNoSoundRow) {
    open("com.velomarinth.zovudero");
    ASSERT_EQ(screen->tableView->numberOfRowsInSection(0), 6);
    EXPECT_EQ(row(5).textLabel()->text(), "Display wrong answer \u2757\uFE0Findicator");
}

TEST_F(Settings, FlippingASwitchLogsItAndSavesTheRecord) {
    open();
    ns::ConsoleCapture console;
    ASSERT_TRUE(toggle(4).toggle());
    EXPECT_EQ(console.lines()[0], "table row switch Changed 4");
    EXPECT_EQ(console.lines()[1], "The switch is ON");
    EXPECT_EQ(ProgressReport::load()->autoRun, true);
    ASSERT_TRUE(toggle(4).toggle());
    EXPECT_TRUE(console.contains("The switch is OFF"));
    EXPECT_EQ(ProgressReport::load()->autoRun, false);
    ASSERT_TRUE(toggle(6).toggle());
    EXPECT_EQ(home().progressReport->sound, false);
}

TEST_F(Settings, DeleteClearsProgressAndCheckmarksButKeepsTheRest) {
    open();
    auto& chapters = home().chapters;
    ASSERT_FALSE(chapters[0]->lessons.empty());
    EXPECT_TRUE(chapters[0]->lessons[0]->completed);
    ASSERT_TRUE(screen->tableView->selectRow({0, 0}));
    auto alert = ui::AlertController::lastPresented();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), std::optional<std::string>("Please confirm"));
    EXPECT_EQ(alert->message(),
              std::optional<std::string>("Are you sure you want to delete all user progress?"));
    ASSERT_TRUE(alert->pickAction("Delete"));

    auto stored = ProgressReport::load();
    EXPECT_EQ(stored->lessons, std::vector<std::string>{});
    EXPECT_EQ(stored->appRated, (std::vector<std::string>{"ignore", "1.0"}));
    EXPECT_EQ(stored->sound, true);
    for (const auto& chapter : chapters) {
        for (const auto& lesson : chapter->lessons)
            EXPECT_FALSE(lesson->completed) << lesson->lessonID;
    }
}

TEST_F(Settings, DeleteAlsoRemovesWhatAnotherRunningCopyHasJustSaved) {
    open();
    ASSERT_TRUE(home().progressReport->save().ok());
    // A second copy of the app on the same sandbox, with its own store on the same file.
    const auto& standard = ns::UserDefaults::standard();
    ns::UserDefaults otherStore(standard.domain(), standard.filePath().parent_path());
    auto other = ProgressReport::load(otherStore);
    ASSERT_TRUE(other);
    other->lessons->push_back("CH1L3"); // finished there a moment before the reset here
    ASSERT_TRUE(other->save(otherStore).ok());

    ASSERT_TRUE(screen->tableView->selectRow({0, 0}));
    ASSERT_TRUE(ui::AlertController::lastPresented()->pickAction("Delete"));
    EXPECT_EQ(home().progressReport->lessons, std::vector<std::string>{});

    // The other copy goes on: its next save keeps only what it did after the reset.
    other->lessons->push_back("CH1L4");
    ASSERT_TRUE(other->save(otherStore).ok());
    EXPECT_EQ(other->lessons, std::vector<std::string>{"CH1L4"});
    ns::UserDefaults reopened(standard.domain(), standard.filePath().parent_path());
    EXPECT_EQ(ProgressReport::load(reopened)->lessons, std::vector<std::string>{"CH1L4"});
}

TEST_F(Settings, CancelChangesNothing) {
    open();
    ASSERT_TRUE(screen->tableView->selectRow({0, 0}));
    ASSERT_TRUE(ui::AlertController::lastPresented()->pickAction("Cancel"));
    EXPECT_EQ(home().progressReport->lessons->size(), 3u);
    EXPECT_TRUE(home().chapters[0]->lessons[0]->completed);
}

TEST_F(Settings, RateAlertOpensTheEditionsReviewAddressWithoutMarkingTheVersion) {
    open("com.velomarinth.swiftui");
    ASSERT_TRUE(screen->tableView->selectRow({0, 2}));
    auto alert = ui::AlertController::lastPresented();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), std::optional<std::string>("Thank you"));
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_EQ(alert->actions()[1].title, "Later");
    ASSERT_TRUE(alert->pickAction("Go rate app >"));
    ASSERT_EQ(ui::Application::shared().openedURLs().size(), 1u);
    EXPECT_EQ(ui::Application::shared().openedURLs()[0],
              TargetHelper::shared().reviewURL(TargetHelper::swiftUI));
    EXPECT_EQ(home().progressReport->appRated, (std::vector<std::string>{"ignore", "1.0"}));
}

TEST_F(Settings, MailWithoutAMailProgramShowsTheAlertInstead) {
    open();
    world->mail->setCanSendMail(false);
    ASSERT_TRUE(screen->tableView->selectRow({0, 3}));
    auto alert = ui::AlertController::lastPresented();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), std::optional<std::string>("Could Not Send Email"));
    EXPECT_EQ(alert->message(),
              std::optional<std::string>(
                  "Your device could not send e-mail.  Please check e-mail configuration and try again."));
    EXPECT_FALSE(
        std::dynamic_pointer_cast<svc::MailComposeViewController>(screen->presentedViewController()));
}

TEST_F(Settings, MailComposerIsPresentedWithTheEditionsSubject) {
    open("com.velomarinth.cpp");
    ASSERT_TRUE(screen->tableView->selectRow({0, 3}));
    auto composer =
        std::dynamic_pointer_cast<svc::MailComposeViewController>(screen->presentedViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->subject(), "Velomarinth C++ Support Email");
    EXPECT_EQ(composer->toRecipients(), std::vector<std::string>{SettingsTableViewController::supportEmail});
    EXPECT_FALSE(composer->isHTML());
    EXPECT_TRUE(composer->messageBody().starts_with("\n \n \n \n \n \n Please email us"));
    composer->cancel();
    EXPECT_FALSE(screen->presentedViewController());
    EXPECT_TRUE(world->mail->sentMails().empty());
}

TEST_F(Settings, SendingHandsTheMailOverAndClosesTheComposerEvenWhenItFails) {
    for (bool works : {true, false}) {
        world.reset(); // the old app goes before the new one starts
        open();
        world->mail->setSendResult(works);
        ASSERT_TRUE(screen->tableView->selectRow({0, 3}));
        auto composer =
            std::dynamic_pointer_cast<svc::MailComposeViewController>(screen->presentedViewController());
        ASSERT_TRUE(composer);
        composer->send();
        EXPECT_FALSE(screen->presentedViewController()) << works;
        ASSERT_FALSE(world->mail->sentMails().empty());
        EXPECT_EQ(world->mail->sentMails().back().subject, composer->subject());
        EXPECT_EQ(world->mail->sentMails().back().recipients, composer->toRecipients());
    }
}

TEST(SettingsEditions, EveryEditionHasItsOwnMailSubject) {
    std::set<std::string> names;
    for (int edition = 0; edition < 4; ++edition)
        names.insert(SettingsTableViewController::editionName(edition));
    EXPECT_EQ(names.size(), 4u);
}

TEST_F(Settings, MoreAppsLoadsTheMakersSiteEachTimeUnderAWhiteOnBlackBar) {
    open();
    ASSERT_TRUE(screen->tableView->selectRow({0, 1}));
    auto page = world->top<MoreAppsViewController>();
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->webView->loadedRequest());
    EXPECT_EQ(page->webView->loadedRequest()->url, MoreAppsViewController::makerSite);
    EXPECT_EQ(page->webView->loadedRequest()->timeoutInterval, 60);
    EXPECT_EQ(page->webView->loadCount(), 1);
    EXPECT_EQ(page->view(), page->webView);
    EXPECT_EQ(world->navigation->navigationBar().barStyle, ui::BarStyle::black);
    EXPECT_EQ(world->navigation->navigationBar().tintColor, ui::Color::white());
}

} // namespace
