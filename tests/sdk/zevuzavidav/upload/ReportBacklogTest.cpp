// A launch that finds a backlog of earlier reports: the oldest leave first, while the rest still wait in
// "active" to be packaged (packaging keeps pace with the uploads), and with the launch marker only the
// newest is sent before the start returns.
#include "sdk/zevuzavidav/upload/ZEVPackageReportOperation.hpp"
#include "tests/sdk/zevuzavidav/support/CrashLife.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace {

using namespace reporttest;
namespace fs = std::filesystem;

constexpr std::size_t kWindow = ZEVNetworkClient::maximumConcurrentUploads;

// `count` earlier crashes whose names do not follow their age; answers the ids oldest first.
std::vector<std::string> writeBacklog(const TestApp& app, std::size_t count) {
    std::vector<std::string> byAge;
    for (std::size_t i = 0; i < count; ++i)
        byAge.push_back("r" + std::to_string(1000 + i));
    std::vector<std::string> names = byAge;
    std::shuffle(names.begin(), names.end(), std::mt19937(7));
    for (std::size_t i = 0; i < count; ++i) // names[i] is the i-th name to be written, of age rank i
        app.writeEarlierCrash(names[i], "signal.zevrecord", 1700000000 + i);
    return names;
}

std::vector<std::string> idsInArrivalOrder(const std::vector<Request>& requests) {
    std::vector<std::string> ids;
    for (const auto& request : requests) {
        auto sent = reportIds({request});
        ids.push_back(sent.empty() ? std::string() : sent.front());
    }
    return ids;
}

TEST(ReportBacklog, TheOldestReportsLeaveWhileTheRestWaitToBePackaged) {
    HeldReportServer holding;
    ReportServer& server = holding.server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    constexpr std::size_t kReports = 120;
    const std::vector<std::string> oldestFirst = writeBacklog(app, kReports);

    auto controller = app.launch(std::make_shared<TestKit>(), "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    // The server holds its answers: the uploads it has are the only ones running, and packaging waits
    // for one of them to end.
    ASSERT_TRUE(server.waitForRequests(kWindow));
    TestApp::settle(controller);
    auto held = idsInArrivalOrder(server.requests());
    ASSERT_EQ(held.size(), kWindow);
    EXPECT_EQ(std::set<std::string>(held.begin(), held.end()),
              std::set<std::string>(oldestFirst.begin(), oldestFirst.begin() + kWindow));
    const std::size_t packaged = app.names(app.files->preparedPath()).size();
    EXPECT_LE(packaged, kWindow + 2) << "packaging ran ahead of the uploads";
    EXPECT_EQ(app.names(app.files->activePath()).size(), kReports - packaged + 1) << "+1: launch1";

    holding.gate.open();
    ASSERT_TRUE(server.waitForRequests(kReports));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    const auto sent = idsInArrivalOrder(server.requests());
    ASSERT_EQ(sent.size(), kReports);
    std::map<std::string, std::size_t> rank;
    for (std::size_t i = 0; i < kReports; ++i)
        rank[oldestFirst[i]] = i;
    EXPECT_EQ(std::set<std::string>(sent.begin(), sent.end()).size(), kReports) << "each report once";
    // Report k starts once k - 3 uploads have ended: it never arrives before the (k - 3)th.
    for (std::size_t at = 0; at < sent.size(); ++at)
        EXPECT_GE(at + kWindow - 1, rank.at(sent[at])) << sent[at] << " arrived " << at;
    EXPECT_EQ(app.names(app.files->activePath()), std::vector<std::string>{"launch1"});
    EXPECT_TRUE(app.names(app.files->processingPath()).empty());
    EXPECT_TRUE(app.names(app.files->preparedPath()).empty());
}

// Folders an earlier launch left in "processing" were decided on then: they go before this launch's
// reports, oldest first.
TEST(ReportBacklog, LeftoversOfProcessingGoFirst) {
    HeldReportServer holding;
    ReportServer& server = holding.server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    for (int i = 0; i < 5; ++i)
        app.writeEarlierCrash("active" + std::to_string(i), "signal.zevrecord", 1700000100 + i);
    for (auto [id, started] : {std::pair{"late-left", 1700000050}, std::pair{"early-left", 1700000010}}) {
        auto folder = app.writeEarlierCrash(id, "signal.zevrecord", started);
        ASSERT_TRUE(app.files->moveItemAtPath(folder.string(), app.files->processingPath()));
    }
    auto controller = app.launch(std::make_shared<TestKit>(), "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(server.waitForRequests(kWindow));
    TestApp::settle(controller);
    auto held = idsInArrivalOrder(server.requests());
    EXPECT_EQ(std::set<std::string>(held.begin(), held.end()),
              (std::set<std::string>{"early-left", "late-left", "active0", "active1"}));
    holding.gate.open();
    ASSERT_TRUE(server.waitForRequests(7));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    EXPECT_EQ(reportIds(server.requests()).size(), 7u);
}

// Many leftovers, one of which an earlier launch packaged before it ended: "prepared" is looked at once
// for all of them, and that one goes once, as its package.
TEST(ReportBacklog, ALeftoverAlreadyPackagedGoesOnceAsItsPackage) {
    ReportServer server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    std::vector<std::string> ids;
    for (int i = 0; i < 30; ++i) {
        ids.push_back("left" + std::to_string(10 + i));
        auto folder = app.writeEarlierCrash(ids.back(), "signal.zevrecord", 1700000000 + i);
        ASSERT_TRUE(app.files->moveItemAtPath(folder.string(), app.files->processingPath()));
    }
    // The package of "left20", as the launch that was stopped made it from a copy of its folder.
    {
        auto copy = app.home().home() / "copy" / "left20";
        fs::create_directories(copy.parent_path());
        fs::copy(fs::path(app.files->processingPath()) / "left20", copy);
        ZEVPackageReportOperation package(ZEVInternalReport::reportWithPath(copy.string()), app.files);
        package.start();
        ASSERT_TRUE(package.finalPath().has_value());
    }
    ns::ConsoleCapture console;
    auto controller = app.launch(std::make_shared<TestKit>(), "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    // The package in "prepared" is offered once the main queue has come round.
    ASSERT_TRUE(TestApp::eventually([&] { return server.requests().size() >= ids.size(); }));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    EXPECT_EQ(reportIds(server.requests()), ids);
    const auto lines = console.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.starts_with("[Zevuzavidav:Crash:Reports] Report left20 already "
                                                        "packaged as");
                            }),
              1);
    EXPECT_TRUE(app.names(app.files->processingPath()).empty());
    EXPECT_TRUE(app.names(app.files->preparedPath()).empty());
}

// With the launch marker found, the newest report is the failed launch's: it alone goes before the
// start returns; the older ones go the usual way afterwards.
TEST(ReportBacklog, AfterAFailedLaunchOnlyTheNewestIsUrgent) {
    ReportServer server;
    TestApp app(server.base());
    ASSERT_TRUE(app.files->prepareForNewLaunch());
    app.writeEarlierCrash("older", "signal.zevrecord", 1700000100);
    app.writeEarlierCrash("failed", "signal.zevrecord", 1700000300);
    app.writeEarlierCrash("oldest", "signal.zevrecord", 1700000000);
    writeText(fs::path(app.files->structurePath()) / "launchmarker", "");
    auto kit = std::make_shared<TestKit>();
    kit->canUseBackgroundSessions = false; // the urgent upload is then synchronous
    auto controller = app.launch(kit, "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    EXPECT_EQ(idsInArrivalOrder(server.requests()), std::vector<std::string>{"failed"});
    EXPECT_EQ(kit->detected(), (std::vector<std::string>{"failed", "older", "oldest"}));
    EXPECT_EQ(kit->handed(), (std::vector<std::string>{"oldest", "older"}));
    ASSERT_TRUE(server.waitForRequests(3));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    EXPECT_EQ(reportIds(server.requests()), (std::vector<std::string>{"failed", "older", "oldest"}));
}

} // namespace
