#include "platform/foundation/Console.hpp"
#include "platform/services/FakeMailSender.hpp"
#include "platform/services/MailComposeViewController.hpp"
#include "platform/services/MailSender.hpp"
#include "platform/services/ScopedOverride.hpp"
#include "platform/services/StoreReviewController.hpp"
#include "platform/services/WebView.hpp"

#include "PrivatePath.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// PATH points at a folder of our own, so the real xdg-email is never started.
class XdgMail : public ::testing::Test {
  protected:
    // A stand-in mail program that writes each argument on a line of its own, then a last "end" line.
    void installMailProgram() {
        const std::string args = (dir_ / "args").string();
        path_.installScript("xdg-email", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + args +
                                             "\"\nprintf 'end\\n' >> \"" + args + "\"\n");
    }
    std::string receivedArguments() {
        std::string text;
        const bool ended = velotest::eventually(
            [&] {
                std::ifstream in(dir_ / "args");
                text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
                return text.ends_with("end\n");
            },
            std::chrono::milliseconds(10));
        return ended ? text.substr(0, text.size() - 4) : text;
    }
    PrivatePath path_;
    const fs::path& dir_ = path_.dir();
};

TEST_F(XdgMail, NoMailProgramMeansNoSending) {
    svc::XdgMailSender sender;
    EXPECT_FALSE(sender.canSendMail());
    EXPECT_FALSE(sender.send(svc::Mail{{"a@b.c"}, "s", "b", false}));
}

TEST_F(XdgMail, TheMailReachesTheProgramAsArgumentsWithoutAShell) {
    installMailProgram();
    svc::XdgMailSender sender;
    ASSERT_TRUE(sender.canSendMail());
    svc::Mail mail{{"support@example.com", "--attach=/etc/passwd"}, "Help $(touch pwned)", "Hi `id`", false};
    ASSERT_TRUE(sender.send(mail));
    EXPECT_EQ(receivedArguments(),
              "--utf8\n--subject\nHelp $(touch pwned)\n--body\nHi `id`\nsupport@example.com\n");
    EXPECT_FALSE(fs::exists(dir_ / "pwned"));
}

class RecordingDelegate : public svc::MailComposeViewControllerDelegate {
  public:
    void mailComposeController(svc::MailComposeViewController&, svc::MailComposeResult result,
                               const std::optional<ns::Error>& error) override {
        results.push_back(result);
        errors.push_back(error.has_value());
    }
    std::vector<svc::MailComposeResult> results;
    std::vector<bool> errors;
};

TEST(MailComposer, ReportsSentFailedAndCancelledThroughTheSharedSender) {
    auto fake = std::make_shared<svc::FakeMailSender>();
    std::optional<svc::ScopedOverride<std::shared_ptr<svc::MailSender>>> installed;
    installed.emplace(svc::setSharedMailSender, fake);
    RecordingDelegate delegate;
    svc::MailComposeViewController composer;
    composer.setMailComposeDelegate(&delegate);
    composer.setToRecipients({"x@y.z"});
    composer.setSubject("Subject");
    composer.setMessageBody("Body", false);
    EXPECT_TRUE(svc::MailComposeViewController::canSendMail());
    fake->setCanSendMail(false);
    EXPECT_FALSE(svc::MailComposeViewController::canSendMail());

    composer.send();
    fake->setSendResult(false);
    composer.send();
    composer.cancel();
    using R = svc::MailComposeResult;
    EXPECT_EQ(delegate.results, (std::vector<R>{R::sent, R::failed, R::cancelled}));
    EXPECT_EQ(delegate.errors, (std::vector<bool>{false, true, false}));
    ASSERT_EQ(fake->sentMails().size(), 2u);
    EXPECT_EQ(fake->sentMails()[0].recipients, std::vector<std::string>{"x@y.z"});
    EXPECT_EQ(fake->sentMails()[0].body, "Body");
    installed.reset();
    EXPECT_TRUE(std::dynamic_pointer_cast<svc::XdgMailSender>(svc::sharedMailSender()));
}

TEST(StoreReview, RequestsAreCountedLoggedAndObserved) {
    svc::StoreReviewController::reset();
    int seen = 0;
    svc::StoreReviewController::setObserver([&] { ++seen; });
    ns::ConsoleCapture console;
    svc::StoreReviewController::requestReview();
    svc::StoreReviewController::requestReview();
    EXPECT_EQ(svc::StoreReviewController::requestCount(), 2);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(console.count("Store review requested"), 2u);
    svc::StoreReviewController::reset();
    svc::StoreReviewController::requestReview();
    EXPECT_EQ(seen, 2); // the observer went with the reset
    EXPECT_EQ(svc::StoreReviewController::requestCount(), 1);
    svc::StoreReviewController::reset();
}

TEST(WebView, KeepsTheLastRequestAndCountsLoads) {
    svc::WebView view(ui::Rect::zero(), svc::WebViewConfiguration{});
    EXPECT_FALSE(view.loadedRequest());
    view.load(svc::URLRequest{"https://example.com/a", 0, 60});
    view.load(svc::URLRequest{"https://example.com/b", 0, 30});
    ASSERT_TRUE(view.loadedRequest());
    EXPECT_EQ(view.loadedRequest()->url, "https://example.com/b");
    EXPECT_EQ(view.loadedRequest()->timeoutInterval, 30);
    EXPECT_EQ(view.loadCount(), 2);
}

class RecordingHandler : public svc::ScriptMessageHandler {
  public:
    void userContentControllerDidReceiveScriptMessage(svc::UserContentController& controller,
                                                      const svc::ScriptMessage& message) override {
        bodies.push_back(message.body);
        if (removeWhileAnswering) controller.removeScriptMessageHandlerForName(message.name);
    }
    std::vector<nlohmann::json> bodies;
    bool removeWhileAnswering = false;
};

TEST(WebView, MessagesReachTheHandlerOfTheirNameOnly) {
    svc::WebViewConfiguration configuration;
    svc::WebView view(ui::Rect::zero(), configuration);
    auto& controller = *view.configuration().userContentController;
    EXPECT_EQ(&controller, configuration.userContentController.get()) << "views share their configuration's";
    auto first = std::make_shared<RecordingHandler>();
    auto second = std::make_shared<RecordingHandler>();
    EXPECT_TRUE(controller.addScriptMessageHandler(first, "errors"));
    EXPECT_FALSE(controller.addScriptMessageHandler(second, "errors")) << "a taken name is refused";
    EXPECT_FALSE(controller.addScriptMessageHandler(nullptr, "other"));

    EXPECT_TRUE(controller.didReceiveScriptMessage({"errors", {{"msg", "boom"}}}));
    EXPECT_FALSE(controller.didReceiveScriptMessage({"unknown", "ignored"}));
    ASSERT_EQ(first->bodies.size(), 1u);
    EXPECT_EQ(first->bodies[0]["msg"], "boom");
    EXPECT_TRUE(second->bodies.empty());

    // A handler that removes itself while it answers finishes its answer; later messages find nobody.
    auto leaving = std::make_shared<RecordingHandler>();
    leaving->removeWhileAnswering = true;
    controller.addScriptMessageHandler(leaving, "once");
    std::weak_ptr<RecordingHandler> watch = leaving;
    leaving.reset();
    EXPECT_TRUE(controller.didReceiveScriptMessage({"once", 1}));
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(controller.didReceiveScriptMessage({"once", 2}));
}

} // namespace
