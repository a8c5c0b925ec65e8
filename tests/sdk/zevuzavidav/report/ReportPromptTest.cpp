// The "Send Crash Report?" prompt as a person meets it: drawn by the terminal front end's alert
// presenter over the app's screen and answered with its keys. "Send" and "Don't Send" are answered in
// the real program by the crash road's end-to-end test.
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/MemoryCanvas.hpp"
#include "tests/sdk/zevuzavidav/support/CrashLife.hpp"

#include <gtest/gtest.h>

namespace {

using namespace reporttest;
using term::Key;

class ReportPrompt : public ::testing::Test {
  protected:
    ReportPrompt() : app(server.base()) {
        screen->setTitle(std::string("Chapters"));
        ui::Application::shared().setRootViewController(screen);
        ui::AlertController::clearPresentedAlerts();
        kit->serverSettings = json::parse(R"({"features":{"prompt_enabled":true}})");
    }
    ~ReportPrompt() override { ui::AlertController::clearPresentedAlerts(); }

    void startWithEarlierCrashes(const std::vector<std::string>& ids) {
        controller = app.startAfterCrashes(kit, ids);
        ASSERT_TRUE(app.started);
        ASSERT_TRUE(
            TestApp::eventually([&] { return ui::AlertController::presentedAlerts().size() == ids.size(); }));
    }

    std::string drawn() {
        term::MemoryCanvas canvas(90, 24);
        frontEnd.layout(90, 24);
        frontEnd.draw(canvas);
        return canvas.screen();
    }

    void press(Key::Kind kind) { frontEnd.handleKey(Key::named(kind)); }

    ReportServer server;
    TestApp app;
    std::shared_ptr<TestKit> kit = std::make_shared<TestKit>();
    std::shared_ptr<ui::ViewController> screen = std::make_shared<ui::ViewController>();
    term::FrontEnd frontEnd{nullptr};
    std::shared_ptr<ZEVCrashReportingController> controller;
};

TEST_F(ReportPrompt, IsDrawnOverTheAppWithItsThreeButtons) {
    startWithEarlierCrashes({"old"});
    std::string text = drawn();
    EXPECT_NE(text.find("Send Crash Report?"), std::string::npos) << text;
    EXPECT_NE(text.find("Looks like we crashed!"), std::string::npos) << text;
    auto buttons = text.find("[ Don't Send ] [ Send ] [ Always Send ]");
    EXPECT_NE(buttons, std::string::npos) << text;
    EXPECT_NE(text.find("Chapters"), std::string::npos) << text;
    // Nothing goes before the person answers.
    TestApp::settle(controller);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(app.names(app.files->activePath()), (std::vector<std::string>{"launch1", "old"}));
}

TEST_F(ReportPrompt, AlwaysSendAnswersOnlyThisReport) {
    startWithEarlierCrashes({"old"});
    drawn();
    press(Key::Kind::right);
    press(Key::Kind::right);
    press(Key::Kind::enter);
    ASSERT_TRUE(TestApp::eventually(
        [&] { return app.names(app.files->preparedPath()).empty() && server.requests().size() == 1; }));
    EXPECT_FALSE(controller->crashReportSubmissionAlert());
    EXPECT_EQ(drawn().find("Send Crash Report?"), std::string::npos);
    // Nothing is remembered: the next launch's report is asked about again.
    app.writeEarlierCrash("next");
    controller = app.launch(kit, "launch2");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(TestApp::eventually([&] { return ui::AlertController::presentedAlerts().size() == 2; }));
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(ReportPrompt, OnlyTheAlertShownLastIsAnswered) {
    startWithEarlierCrashes({"first", "second"});
    drawn();
    press(Key::Kind::right);
    press(Key::Kind::enter); // the alert on top: the one shown last
    ASSERT_TRUE(TestApp::eventually([&] { return server.requests().size() == 1; }));
    std::string drawnAfter = drawn();
    ASSERT_NE(drawnAfter.find("Send Crash Report?"), std::string::npos) << drawnAfter;
    press(Key::Kind::right);
    press(Key::Kind::enter); // the replaced alert: its answer counts for nothing
    TestApp::settle(controller);
    auto sent = reportIds(server.requests());
    ASSERT_EQ(sent.size(), 1u);
    // The report whose alert was replaced waits in "active" for the next launch.
    std::vector<std::string> expected = {sent[0] == "first" ? "second" : "first", "launch1"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(app.names(app.files->activePath()), expected);
}

TEST_F(ReportPrompt, TheAppsOwnTextsComeFromTheServer) {
    kit->serverSettings = json::parse(R"({"features":{"prompt_enabled":true},
        "prompt":{"title":"Report the crash?","always_send_button_title":"Every time"}})");
    startWithEarlierCrashes({"old"});
    std::string text = drawn();
    EXPECT_NE(text.find("Report the crash?"), std::string::npos) << text;
    EXPECT_NE(text.find("[ Don't Send ] [ Send ] [ Every time ]"), std::string::npos) << text;
}

} // namespace
