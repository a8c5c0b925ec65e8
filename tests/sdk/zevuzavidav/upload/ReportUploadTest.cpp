// Uploading reports of earlier launches to a local HTTPS server, and every way the road can fail on
// the way: the server down or refusing, a full disk, the switches off, many reports, the urgent road.
#include "platform/dispatch/Clock.hpp"
#include "tests/sdk/zevuzavidav/support/CrashLife.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

namespace {

using namespace reporttest;
namespace fs = std::filesystem;

// Answers the statuses in turn (the last one from then on), with the headers given.
ReportServer::Script answers(std::vector<int> statuses,
                             std::vector<std::pair<std::string, std::string>> extra = {}) {
    return [statuses, extra](const Request&, std::size_t index) {
        Answer answer;
        answer.status = statuses[std::min(index, statuses.size() - 1)];
        for (const auto& header : extra)
            answer.headers.push_back(header);
        return answer;
    };
}

// ---- the upload and its failures ------------------------------------------------------------------

TEST(ReportUpload, WithTheServerDownThePackageWaitsForTheNextLaunch) {
    auto down = std::make_unique<ReportServer>();
    TestApp app(down->base());
    down.reset(); // nothing listens there any more
    auto kit = std::make_shared<TestKit>();
    auto controller = app.startAfterCrashes(kit, {"old"});
    ASSERT_TRUE(app.started);
    TestApp::settle(controller);
    EXPECT_EQ(app.names(app.files->preparedPath()).size(), 1u);
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launch1"});
    controller.reset();

    ReportServer server;
    app.pointAt(server.base());
    controller = app.launch(kit, "launch2");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(TestApp::eventually([&] { return app.names(app.files->preparedPath()).empty(); }));
    TestApp::settle(controller);
    EXPECT_EQ(reportIds(server.requests()), std::vector<std::string>{"old"});
}

struct RetryCase {
    const char* name;
    int status; // the first attempt's answer; the second one is taken
    std::vector<std::pair<std::string, std::string>> headers;
    double wait; // seconds before the second attempt
};

class ReportRetry : public ::testing::TestWithParam<RetryCase> {};

// A 503 is the server asking for a later attempt: the same package goes again when it says, without
// the controller's own retry. Any other refusal is tried again ten minutes later. Either way the
// package is kept until the server takes it, and sent no more after that.
TEST_P(ReportRetry, IsTriedAgainAfterItsWaitAndSentOnce) {
    dispatch::VirtualClockScope time;
    ReportServer server(answers({GetParam().status, 200}, GetParam().headers));
    TestApp app(server.base());
    auto kit = std::make_shared<TestKit>();
    auto controller = app.startAfterCrashes(kit, {"old"});
    ASSERT_TRUE(app.started);
    ASSERT_TRUE(server.waitForRequests(1));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    time.clock().advance(dispatch::fromSeconds(GetParam().wait - 1));
    TestApp::settle(controller);
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(app.names(app.files->preparedPath()).size(), 1u);
    time.clock().advance(dispatch::fromSeconds(1));
    ASSERT_TRUE(server.waitForRequests(2));
    ASSERT_TRUE(TestApp::eventually([&] { return app.names(app.files->preparedPath()).empty(); }));
    time.clock().advance(dispatch::fromSeconds(3600));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    EXPECT_EQ(reportIds(server.requests()), (std::vector<std::string>{"old", "old"}));
}

INSTANTIATE_TEST_SUITE_P(
    Delays, ReportRetry,
    ::testing::Values(RetryCase{"Unavailable503RetryAfter120", 503, {{"Retry-After", "120"}}, 120},
                      RetryCase{"Unavailable503WithoutRetryAfter", 503, {}, 300},
                      RetryCase{"Refused400", 400, {}, 600}),
    [](const auto& info) { return std::string(info.param.name); });

// An app that answers about a report at once and then keeps the start's thread busy with work of its own
// until `linger` returns; the report's road goes on meanwhile on the work queue.
class AnswersThenLingers : public TestKit {
  public:
    std::function<void(ZEVCrashReportingController&)> linger;
    void reportingControllerDidDetectReportForLastExecution(ZEVCrashReportingController& controller,
                                                            const std::shared_ptr<ZEVInternalReport>& report,
                                                            std::function<void(bool)> completion) override {
        TestKit::reportingControllerDidDetectReportForLastExecution(controller, report,
                                                                    std::move(completion));
        if (linger) linger(controller);
    }
};

// What this launch does with an earlier report is not what earlier launches left: a report the app sent
// at once, whose upload was refused before the start looked at "prepared", waits for its retry and is
// not sent a second time as a left-over.
TEST(ReportUpload, AReportSentDuringTheStartIsNotTakenForALeftOver) {
    dispatch::VirtualClockScope time; // the ten-minute retry stays away
    ReportServer server(answers({400}));
    TestApp app(server.base());
    auto kit = std::make_shared<AnswersThenLingers>();
    bool lingered = false;
    kit->linger = [&](ZEVCrashReportingController& controller) {
        lingered = server.waitForRequests(1) && TestApp::settleUploads(controller, [&] {
                       controller.operationQueue()->waitUntilAllOperationsAreFinished();
                   });
    };
    auto controller = app.startAfterCrashes(kit, {"old"});
    ASSERT_TRUE(app.started);
    ASSERT_TRUE(lingered) << "the refused upload did not come back while the app held the start";
    ASSERT_TRUE(TestApp::settleUploads(controller));
    EXPECT_EQ(reportIds(server.requests()), std::vector<std::string>{"old"});
    EXPECT_EQ(app.names(app.files->preparedPath()).size(), 1u) << "the package waits for its retry";
}

// The file-size limit stands for a full disk: a write past it fails with EFBIG.
TEST(ReportUpload, OnAFullDiskTheReportStaysInProcessingAndNothingIsSent) {
    ReportServer server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    auto folder = app.writeEarlierCrash("old");
    std::string big(2 << 20, '\0');
    std::mt19937 random(3);
    for (auto& byte : big)
        byte = static_cast<char>(random());
    writeText(folder / "binary_images.zevrecord", big);

    auto kit = std::make_shared<TestKit>();
    auto controller = app.launch(kit, "launch1");
    ns::ConsoleCapture console;
    bool started = false;
    {
        FullDiskScope full(512 * 1024);
        started = controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt);
        TestApp::settle(controller);
    }

    EXPECT_TRUE(started);
    EXPECT_TRUE(console.contains("[Zevuzavidav:Crash:Reports] Unable to package report"));
    EXPECT_EQ(app.names(app.files->processingPath()), std::vector<std::string>{"old"});
    EXPECT_TRUE(app.names(app.files->preparedPath()).empty());
    for (const auto& entry : fs::directory_iterator(fs::path(app.files->processingPath()) / "old"))
        EXPECT_NE(entry.path().extension(), ".gz") << entry.path();
    EXPECT_TRUE(server.requests().empty());
}

// The launch after a crash finds the disk full (a file-size limit stands for it): the symbolicated file
// and the package are cut short, and the report stays in "processing". The next launch, with room again,
// must send a symbolicated member that is whole, not what the full disk left of it.
TEST(ReportUpload, ASymbolicatedFileCutShortByAFullDiskIsWrittenAgainByTheNextLaunch) {
    ReportServer server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    auto folder = app.writeEarlierCrash("old");
    // 40 threads of 30 frames make a symbolicated line of tens of kilobytes; the random log cannot be
    // compressed below the limit, so the package fails too.
    const auto pc = reinterpret_cast<std::uint64_t>(reinterpret_cast<const void*>(&std::abort)) + 4;
    json threads = json::array();
    for (int t = 0; t < 40; ++t)
        threads.push_back(json{{"crashed", t == 0}, {"stacktrace", std::vector<std::uint64_t>(30, pc)}});
    writeLines(folder / "signal.zevrecord", {json{{"signal", {{"number", 6}}}}, json{{"threads", threads}}});
    std::string noise(64 * 1024, '\0');
    std::mt19937 random(5);
    for (auto& byte : noise)
        byte = static_cast<char>(random());
    writeText(folder / "log_a.zevrecord", noise);

    auto kit = std::make_shared<TestKit>();
    auto controller = app.launch(kit, "launch1");
    {
        FullDiskScope full(16 * 1024);
        ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
        TestApp::settle(controller);
    }
    ASSERT_EQ(app.names(app.files->processingPath()), std::vector<std::string>{"old"});
    EXPECT_TRUE(server.requests().empty());
    controller.reset();

    controller = app.launch(kit, "launch2");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(server.waitForRequests(1));
    ASSERT_TRUE(TestApp::eventually([&] { return app.names(app.files->preparedPath()).empty(); }));
    const auto request = server.requests()[0];
    const std::string type = request.header("Content-Type");
    std::optional<std::string> symbolicated;
    for (const auto& part : parseMultipart(request.body, type.substr(type.find("boundary=") + 9)).parts)
        if (part.name == "signal.zevrecord") symbolicated = gunzip(part.data);
    ASSERT_TRUE(symbolicated) << "no symbolicated member";
    const json line = json::parse(*symbolicated, nullptr, false);
    ASSERT_TRUE(line.is_object()) << *symbolicated;
    ASSERT_EQ(line["threads"].size(), 40u);
    EXPECT_EQ(line["threads"][39].size(), 30u);
    EXPECT_TRUE(app.names(app.files->processingPath()).empty());
}

TEST(ReportUpload, WithPackagingOffTheReportWaitsInProcessingAndIsNotSymbolicatedTwice) {
    ReportServer server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    app.writeEarlierCrash("old");
    auto kit = std::make_shared<TestKit>();
    auto processing = fs::path(app.files->processingPath()) / "old";
    {
        zovtest::ScopedEnvironment off("ZevuzavidavPackageReports", "NO");
        ns::ConsoleCapture console;
        auto controller = app.launch(kit, "launch1");
        ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
        TestApp::settle(controller);
        EXPECT_TRUE(console.contains("[Zevuzavidav:Crash:Reports] Report packaging disabled"));
        ASSERT_TRUE(fs::exists(processing / "signal.zevrecord.symbolicated"));
        EXPECT_TRUE(server.requests().empty());
    }
    // Whatever the next launch sends of the companion file is what the first one wrote.
    writeText(processing / "signal.zevrecord.symbolicated", "{\"threads\":[[\"first\"]]}\n");
    auto controller = app.launch(kit, "launch2");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(server.waitForRequests(1));
    ASSERT_TRUE(TestApp::eventually([&] { return app.names(app.files->preparedPath()).empty(); }));
    auto request = server.requests()[0];
    std::string type = request.header("Content-Type");
    auto body = parseMultipart(request.body, type.substr(type.find("boundary=") + 9));
    bool found = false;
    for (const auto& part : body.parts) {
        if (part.name != "signal.zevrecord") continue;
        found = true;
        EXPECT_EQ(gunzip(part.data), "{\"threads\":[[\"first\"]]}\n");
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(app.names(app.files->processingPath()).empty());
}

TEST(ReportUpload, WithSubmissionOffPackagesWaitInPreparedForALaunchThatMaySend) {
    ReportServer server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    app.writeEarlierCrash("first");
    auto kit = std::make_shared<TestKit>();
    {
        zovtest::ScopedEnvironment off("ZevuzavidavSubmitReports", "NO");
        ns::ConsoleCapture console;
        auto controller = app.launch(kit, "launch1");
        ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
        TestApp::settle(controller);
        app.writeEarlierCrash("second");
        controller = app.launch(kit, "launch2");
        ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
        TestApp::settle(controller);
        EXPECT_EQ(app.names(app.files->preparedPath()).size(), 2u);
        // Each launch says it of each package it holds back.
        EXPECT_EQ(console.count("[Zevuzavidav:Crash:Reports] Submission disabled"), 3u);
    }
    EXPECT_TRUE(server.requests().empty());
    auto controller = app.launch(kit, "launch3");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(TestApp::eventually([&] { return app.names(app.files->preparedPath()).empty(); }));
    TestApp::settle(controller);
    EXPECT_EQ(reportIds(server.requests()), (std::vector<std::string>{"first", "second"}));
}

// Each earlier report is sent once, and nothing of it stays behind.
TEST(ReportUpload, TwentyEarlierReportsAndAStrayFileGoOnceEach) {
    ReportServer server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    std::vector<std::string> ids;
    for (int i = 0; i < 20; ++i) {
        ids.push_back("earlier" + std::to_string(100 + i));
        app.writeEarlierCrash(ids.back(), i % 3 == 0 ? "exception.zevrecord" : "signal.zevrecord");
    }
    writeText(fs::path(app.files->activePath()) / "stray-file", "not a report");
    auto kit = std::make_shared<TestKit>();
    auto controller = app.launch(kit, "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(server.waitForRequests(20));
    ASSERT_TRUE(TestApp::eventually([&] { return app.names(app.files->preparedPath()).empty(); }));
    TestApp::settle(controller);
    EXPECT_EQ(reportIds(server.requests()), ids);
    EXPECT_EQ(server.requests()[0].target, kReportsPath);
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launch1"});
    EXPECT_TRUE(app.names(app.files->processingPath()).empty());
}

// ---- the urgent road: the last launch ended before its main thread got going ---------------------------

class UrgentReport : public ::testing::Test {
  protected:
    void launchAfterAFailedOne(TestApp& app, const std::shared_ptr<TestKit>& kit) {
        ASSERT_TRUE(app.files->prepareForNewLaunch());
        app.writeEarlierCrash("old");
        writeText(fs::path(app.files->structurePath()) / "launchmarker", "");
        controller = app.launch(kit, "launch1");
        auto begin = std::chrono::steady_clock::now();
        ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
    std::shared_ptr<ZEVCrashReportingController> controller;
    double seconds = 0;
};

TEST_F(UrgentReport, IsSentBeforeTheStartReturnsWithoutAskingTheApp) {
    ReportServer server;
    TestApp app(server.base());
    auto kit = std::make_shared<TestKit>();
    kit->canUseBackgroundSessions = false;
    launchAfterAFailedOne(app, kit);
    // Synchronous: the server has it and the package is gone when the start returns.
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(app.names(app.files->preparedPath()).empty());
    EXPECT_EQ(kit->detected(), std::vector<std::string>{"old"});
    EXPECT_EQ(kit->unanswered(), 0u);
    EXPECT_EQ(server.requests()[0].target, kReportsPath);
}

TEST_F(UrgentReport, AgainstAServerThatNeverAnswersTheLaunchWaitsAboutTwoSeconds) {
    ReportServer silent({}, true);
    TestApp app(silent.base());
    auto kit = std::make_shared<TestKit>();
    kit->canUseBackgroundSessions = false;
    launchAfterAFailedOne(app, kit);
    EXPECT_GE(seconds, 1.9); // and it returned at all, though the server never answers
    // Nothing is reported: the package waits in "prepared" for the next launch.
    EXPECT_EQ(app.names(app.files->preparedPath()).size(), 1u);
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launch1"});
}

TEST_F(UrgentReport, WithBackgroundSessionsItBecomesATaskAtOnce) {
    // The server holds its answer until the start has returned: a start that waited for the upload
    // would give up on it after its two seconds and leave the package where it was.
    velotest::Gate started;
    ReportServer server([&](const Request&, std::size_t) {
        started.wait();
        return Answer{};
    });
    velotest::OnExit releaseOnEveryWayOut([&] { started.open(); });
    TestApp app(server.base());
    auto kit = std::make_shared<TestKit>();
    launchAfterAFailedOne(app, kit);
    started.open();
    ASSERT_TRUE(TestApp::eventually([&] { return app.names(app.files->preparedPath()).empty(); }));
    EXPECT_EQ(reportIds(server.requests()), std::vector<std::string>{"old"});
}

TEST_F(UrgentReport, WaitsForTheAppWhenItDecidesItself) {
    ReportServer server;
    TestApp app(server.base());
    auto kit = std::make_shared<TestKit>();
    kit->mustInform = true;
    kit->decision = TestKit::Decision::never;
    launchAfterAFailedOne(app, kit);
    TestApp::settle(controller);
    EXPECT_EQ(kit->unanswered(), 1u);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(app.names(app.files->activePath()), (std::vector<std::string>{"launch1", "old"}));
}

} // namespace
