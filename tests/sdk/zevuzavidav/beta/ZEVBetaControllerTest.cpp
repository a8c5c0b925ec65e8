// Beta update checks against a local HTTPS server whose root the test build pins: who may check, the
// request a test build sends, the alert an update brings and its two buttons, the pause after an answer,
// one request at a time, and the end of all checks after a failed one.
#include "sdk/zevuzavidav/beta/ZEVBetaController.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/net/ServerTrust.hpp"
#include "platform/uikit/AlertController.hpp"
#include "platform/uikit/Application.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/settings/ZOVSettingsOnboardingManager.hpp"
#include "tests/sdk/zevuzavidav/support/FontFolder.hpp"
#include "tests/sdk/zevuzavidav/support/ReportServer.hpp"
#include "tests/support/HostileServer.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/SDKHome.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using reporttest::Answer;
using reporttest::ReportServer;
using reporttest::Request;

const char* const kUpdate =
    R"json({"url": "https://beta.example.com/install/7", "version_string": "1.1 (7)"})json";

ns::PropertyList::Dictionary betaBundle(bool signedForDistribution = true) {
    ns::PropertyList::Dictionary info{{"CFBundleIdentifier", "com.velomarinth.betatest"},
                                      {"CFBundleVersion", "7"},
                                      {"CFBundleShortVersionString", "1.0.3"},
                                      {"CFBundleDisplayName", "Beta Test"}};
    if (signedForDistribution) info.set("ZevuzavidavSignedForDistribution", ns::PropertyList(true));
    return info;
}

class Kit : public ZEVBetaControllerDelegate {
  public:
    std::optional<std::string> APIKeyForBetaController(ZEVBetaController&) override {
        return std::string("beta-api-key");
    }
    ZEVSettings settingsForBetaController(ZEVBetaController&) override {
        return ZEVSettings(std::make_shared<const nlohmann::json>(settings));
    }
    nlohmann::json settings = nlohmann::json::object();
};

// The SDK's clients answer certificate challenges with the system's roots while debugging; for those
// tests the system trusts the test root too.
class DebugMode {
  public:
    DebugMode() {
        net::ServerTrust::overrideSystemAnchorCertificates(
            std::vector<net::CertificateRef>{reporttest::pinnedTestRoot().netCertificate()});
        zovaze::setDebugFlag(true);
    }
    ~DebugMode() {
        zovaze::setDebugFlag(false);
        net::ServerTrust::overrideSystemAnchorCertificates(std::nullopt);
    }
    DebugMode(const DebugMode&) = delete;
    DebugMode& operator=(const DebugMode&) = delete;
};

class BetaChecks : public ::testing::Test {
  protected:
    BetaChecks() {
        reporttest::pinnedTestRoot(); // before the first client takes the pinned set
        dispatch::main().bindToCurrentThread();
        ui::Application::shared().setRootViewController(std::make_shared<ui::ViewController>());
        ui::AlertController::clearPresentedAlerts();
    }
    ~BetaChecks() override {
        dispatch::main().drain();
        // A controller the test has let go of may still be held by a block of its queue, which then
        // destroys it there, taking its observers off the test's notification centre: the centre must
        // outlive it.
        EXPECT_TRUE(velotest::eventually([&] {
            return std::all_of(made_.begin(), made_.end(), [](const auto& made) { return made.expired(); });
        })) << "a controller outlived its test";
        ui::AlertController::clearPresentedAlerts();
        ui::Application::shared().reset();
    }

    // A controller with its own notification centre; `token` stands for the font's.
    std::shared_ptr<ZEVBetaController> make(std::optional<std::string> token = std::string("2:TOKEN")) {
        ZEVBetaController::Environment environment;
        if (token) environment.readBetaToken = [token] { return token; };
        environment.instanceIdentifier = [] { return std::optional<std::string>("instance-1"); };
        environment.notificationCenter = &center;
        auto controller = ZEVBetaController::initWithDelegate(kit, environment);
        made_.push_back(controller);
        return controller;
    }

    // Runs the main queue until `done` holds (false after kPatience).
    static bool eventually(const std::function<bool()>& done) {
        return dispatch::main().runUntil(done, velotest::kPatience);
    }
    // The requests the controller's network client has under way.
    static std::size_t requestsUnderWay(ZEVBetaController& controller) {
        return velotest::tasksUnderWay(*controller.networkClient()->session());
    }
    // Runs, on the controller's queue, what the checks asked for so far: each passes the gate or is
    // turned away in one block, and starts its request in another, which the first queues.
    static void settleChecks(ZEVBetaController& controller) {
        controller.queue()->sync([] {});
        controller.queue()->sync([] {});
    }
    // Waits until the request under way has ended and its end has been handled: the network client
    // hands the answer over on its delegate queue, which passes it on to the controller's queue, and
    // what that shows goes through the main queue.
    static bool settleRequest(ZEVBetaController& controller) {
        if (!velotest::eventually([&] { return requestsUnderWay(controller) == 0; })) return false;
        controller.networkClient()->session()->delegateQueue()->waitUntilAllOperationsAreFinished();
        controller.queue()->sync([] {});
        dispatch::main().drain();
        return true;
    }

    std::shared_ptr<ui::AlertController> shownAlert() {
        auto alert = ui::AlertController::lastPresented();
        return alert && !alert->isAnswered() ? alert : nullptr;
    }

    ReportServer server{[this](const Request&, std::size_t) { return answer(); }};
    std::function<Answer()> answer = [] {
        return Answer{200, {{"Content-Type", "application/json"}}, kUpdate};
    };
    zovtest::SDKHome home{betaBundle()};
    zovtest::ScopedEnvironment endpoint{"ZevuzavidavBetaEndpoint", server.base()};
    std::shared_ptr<Kit> kit = std::make_shared<Kit>();
    ns::NotificationCenter center;
    std::vector<std::weak_ptr<ZEVBetaController>> made_;
};

TEST(BetaSupport, OnlyATestBuildOutsideExtensionsChecks) {
    struct Case {
        const char* name;
        bool signedForDistribution;
        bool extension;
        bool supported;
    };
    const Case cases[] = {
        {"signed for distribution", true, false, true},
        {"not signed", false, false, false},
        {"an extension of a signed build", true, true, false},
    };
    for (const auto& c : cases) {
        auto info = betaBundle(c.signedForDistribution);
        if (c.extension) {
            ns::PropertyList::Dictionary extension{
                {"NSExtensionPointIdentifier", "com.apple.widget-extension"}};
            info.set("NSExtension", ns::PropertyList(extension));
        }
        zovtest::SDKHome home(info);
        EXPECT_EQ(ZEVBetaController::isBetaSupported(), c.supported) << c.name;
    }
}

TEST_F(BetaChecks, TheFontsTokenGoesWithTheRequestAndTheUpdateIsOfferedAndInstalled) {
    reporttest::FontFolder fonts("beta-token.ttf");
    auto controller = make(std::nullopt);
    ASSERT_TRUE(controller->start());
    center.post(ZOVSettingsAvailableNotification);
    ASSERT_TRUE(server.waitForRequests(1));

    const Request request = server.requests()[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/spi/v2/platforms/ios/apps/com.velomarinth.betatest/beta_update_check"
                              "?build_version=7&display_version=1.0.3&instance=instance-1&source=3");
    std::vector<std::string> sdkHeaders;
    for (const auto& [name, value] : request.headers)
        if (name == "User-Agent" || (name.rfind("Accept", 0) == 0 && name != "Accept-Encoding") ||
            name.rfind("Content-Language", 0) == 0 || name.rfind("X-Zevuzavidav-", 0) == 0)
            sdkHeaders.push_back(name);
    EXPECT_EQ(sdkHeaders,
              (std::vector<std::string>{
                  "User-Agent", "Accept", "Accept-Charset", "Accept-Language", "Content-Language",
                  "X-Zevuzavidav-Developer-Token", "X-Zevuzavidav-API-Client-Id",
                  "X-Zevuzavidav-API-Client-Display-Version", "X-Zevuzavidav-API-Client-Build-Version",
                  "X-Zevuzavidav-API-Key", "X-Zevuzavidav-Beta-Token"}));
    EXPECT_EQ(request.header("X-Zevuzavidav-Beta-Token"), "2:ABCDE");
    EXPECT_EQ(request.header("X-Zevuzavidav-API-Key"), "beta-api-key");
    EXPECT_EQ(request.header("User-Agent"), "Zevuzavidav iOS SDK/3.4.0");
    EXPECT_EQ(request.header("Accept"), "application/json");

    // The alert's texts and buttons are read off the screen by the beta end-to-end test.
    ASSERT_TRUE(eventually([&] { return shownAlert() != nullptr; }));
    auto alert = shownAlert();
    EXPECT_EQ(alert->message(), "A new version of Beta Test is available for testing.\n1.1 (7)");
    ASSERT_TRUE(controller->activeUpdate());

    ASSERT_TRUE(alert->pickAction("Install"));
    EXPECT_EQ(ui::Application::shared().openedURLs(),
              std::vector<std::string>{"https://beta.example.com/install/7"});
    EXPECT_FALSE(controller->activeUpdate());
}

TEST_F(BetaChecks, CancelOpensNothing) {
    auto controller = make();
    controller->checkForUpdate();
    ASSERT_TRUE(eventually([&] { return shownAlert() != nullptr; }));
    ASSERT_TRUE(shownAlert()->pickAction("Cancel"));
    EXPECT_TRUE(ui::Application::shared().openedURLs().empty());
    EXPECT_FALSE(controller->activeUpdate());
}

TEST_F(BetaChecks, WithoutATokenNothingStartsAndNotificationsAskNothing) {
    auto controller = make(std::nullopt); // no font the token could come from
    reporttest::FontFolder fonts("");
    EXPECT_FALSE(controller->start());
    center.post(ZOVSettingsAvailableNotification);
    center.post(ui::applicationWillEnterForegroundNotification);
    settleChecks(*controller);
    EXPECT_FALSE(controller->retrying()) << "a request was started";
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(BetaChecks, AnswersWithoutAUsableURLShowNothingAndStillPause) {
    struct Case {
        const char* body;
        const char* debugLine; // a line that must be logged, or nullptr
    };
    const Case cases[] = {
        {"not json",
         "[Zevuzavidav:Beta] Unable to deserialize beta update data: Error Domain=NSCocoaErrorDomain "
         "Code=3840 \"The data couldn't be read because it isn't in the correct format.\" UserInfo={"
         "NSLocalizedDescription=The data couldn't be read because it isn't in the correct format.}"},
        {"{}", "[Zevuzavidav:Beta] Beta update url is invalid"},
        {R"({"url": "https://has blanks/in it", "version_string": "2"})",
         "[Zevuzavidav:Beta] Beta update url is invalid"},
        {R"({"url": 5})", "[Zevuzavidav:Beta] Beta update url is invalid"},
        {R"({"url": ""})", "[Zevuzavidav:Beta] Beta update url is invalid"},
        {R"(["https://beta.example.com"])", "[Zevuzavidav:Beta] Beta update url is invalid"},
    };
    DebugMode debug;
    for (const auto& c : cases) {
        ns::ConsoleCapture console;
        answer = [body = std::string(c.body)] {
            return Answer{200, {{"Content-Type", "application/json"}}, body};
        };
        auto controller = make();
        controller->checkForUpdate();
        ASSERT_TRUE(eventually([&] { return controller->checksSuspended(); })) << c.body;
        // The pause is set from the block that handles the answer, which then reads it: once that
        // block has finished, an alert it asked for is waiting on the main queue.
        controller->queue()->sync([] {});
        dispatch::main().drain();
        EXPECT_EQ(shownAlert(), nullptr) << c.body;
        EXPECT_FALSE(controller->retrying()) << c.body;
        EXPECT_TRUE(console.contains(c.debugLine)) << c.body;
    }
}

TEST_F(BetaChecks, WithoutAVersionTheAlertSaysTheMessageAlone) {
    answer = [] {
        return Answer{200, {{"Content-Type", "application/json"}}, R"({"url": "https://b.example/i"})"};
    };
    auto controller = make();
    controller->checkForUpdate();
    ASSERT_TRUE(eventually([&] { return shownAlert() != nullptr; }));
    EXPECT_EQ(shownAlert()->message(), "A new version of Beta Test is available for testing.");
}

TEST_F(BetaChecks, ChecksWhileARequestIsUnderWayAskNothingMore) {
    // The server holds its answer until the other checks have been asked for.
    velotest::Gate asked;
    answer = [&asked] {
        asked.wait();
        return Answer{200, {{"Content-Type", "application/json"}}, kUpdate};
    };
    velotest::OnExit answerOnEveryWayOut([&] { asked.open(); });
    auto controller = make();
    ASSERT_TRUE(controller->start());
    center.post(ui::applicationWillEnterForegroundNotification);
    center.post(ui::applicationWillEnterForegroundNotification);
    controller->checkForUpdate();
    // Every check has passed the gate or been turned away, and has started its request or not, while
    // the first request still waits for its answer.
    settleChecks(*controller);
    EXPECT_EQ(requestsUnderWay(*controller), 1u);
    asked.open();
    ASSERT_TRUE(eventually([&] { return shownAlert() != nullptr; }));
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(BetaChecks, AfterAnAnswerChecksWaitForThePauseToEnd) {
    kit->settings = {{"beta", {{"update_suspend_duration", 1}}}};
    auto controller = make();
    controller->checkForUpdate();
    ASSERT_TRUE(eventually([&] { return shownAlert() != nullptr && controller->checksSuspended(); }));
    ASSERT_TRUE(controller->checkSuspensionTimer());
    // The pause ends on the main queue, which only the test runs: the check meets it at the gate.
    controller->checkForUpdate();
    settleChecks(*controller);
    EXPECT_FALSE(controller->retrying()) << "paused";
    EXPECT_EQ(requestsUnderWay(*controller), 0u) << "paused";
    EXPECT_EQ(server.requests().size(), 1u) << "paused";

    ASSERT_TRUE(eventually([&] { return !controller->checksSuspended(); }));
    EXPECT_FALSE(controller->checkSuspensionTimer());
    controller->checkForUpdate();
    EXPECT_TRUE(server.waitForRequests(2));
}

// The API key and the beta token reach no plain-HTTP host on any route, and an answer that never ends
// is cut off: no alert, and the checks of the process end as after any failure.
TEST_F(BetaChecks, NoRouteLeadsACheckToAPlainHttpHost) {
    velotest::HostileServer target(velotest::HostileServer::Behaviour::listen);
    velotest::HostileServer bounce(velotest::HostileServer::Behaviour::redirect, target.nameURL("/beta"));
    velotest::HostileServer endless(velotest::HostileServer::Behaviour::endless);
    answer = [&] { return Answer{302, {{"Location", target.nameURL("/beta")}}, ""}; };
    ns::ConsoleCapture console;
    struct Row {
        const char* what;
        std::string endpoint;
        std::function<bool()> reached;
    };
    const Row rows[] = {
        {"the endpoint is a host name", target.nameURL(),
         [&] {
             for (const auto& line : console.lines())
                 if (line.rfind("[Zovaze] Refusing to send a request to " + target.nameURL(), 0) == 0)
                     return true;
             return false;
         }},
        {"a loopback endpoint redirects there", bounce.url(), [&] { return bounce.connections() > 0; }},
        {"the pinned server redirects there", server.base(), [&] { return !server.requests().empty(); }},
        {"the answer never ends", endless.url(), [&] { return endless.connections() > 0; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        zovtest::ScopedEnvironment endpointHere("ZevuzavidavBetaEndpoint", row.endpoint);
        auto controller = make();
        controller->checkForUpdate();
        EXPECT_TRUE(eventually(row.reached));
        // A connection to the target would come before the request's end.
        EXPECT_TRUE(settleRequest(*controller));
        EXPECT_EQ(target.connections(), 0);
        EXPECT_FALSE(shownAlert());
        EXPECT_TRUE(controller->retrying());
    }
    EXPECT_LT(endless.bodyBytesSent(), ZEVBetaController::maximumAnswerLength + 32u * 1024 * 1024);
}

TEST_F(BetaChecks, AFailedRequestEndsTheChecksOfTheProcess) {
    auto debug = std::make_unique<DebugMode>();
    ns::ConsoleCapture console;
    zovtest::ScopedEnvironment nowhere("ZevuzavidavBetaEndpoint", "https://127.0.0.1:9");
    auto controller = make();
    controller->checkForUpdate();
    ASSERT_TRUE(eventually([&] {
        for (const auto& line : console.lines())
            if (line.rfind("[Zevuzavidav:Beta] Failed to load update 'Error Domain=NSURLErrorDomain", 0) == 0)
                return true;
        return false;
    }));
    debug.reset();
    EXPECT_TRUE(controller->retrying());

    // The server is reachable again; the controller asks no more.
    ::setenv("ZevuzavidavBetaEndpoint", server.base().c_str(), 1);
    controller->checkForUpdate();
    // A request the check started would be under way still, or would have reached the server.
    settleChecks(*controller);
    EXPECT_EQ(requestsUnderWay(*controller), 0u);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_FALSE(controller->checksSuspended());
}

} // namespace
