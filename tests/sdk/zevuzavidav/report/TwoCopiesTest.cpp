// Two copies of the app on one sandbox: each lists the same earlier reports at its start, and each
// report is still sent once. A copy claims a report folder before it packages it and a package before it
// uploads it (an advisory lock, dead with its process), and leaves what the other copy holds, its
// running launch's own folder included.
#include "sdk/zevuzavidav/store/ZEVItemClaim.hpp"
#include "sdk/zevuzavidav/upload/ZEVPackageReportOperation.hpp"
#include "tests/sdk/zevuzavidav/support/CrashLife.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/OnExit.hpp"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace reporttest;
namespace fs = std::filesystem;

// One earlier report of each kind a start finds: a crash in "active", a folder an earlier launch left
// in "processing", a package waiting in "prepared". Answers the package's path.
std::string writePendingReports(const TestApp& app) {
    EXPECT_TRUE(app.files->prepareForNewLaunch());
    app.writeEarlierCrash("crashed");
    for (const char* id : {"leftover", "packaged"}) {
        const fs::path folder = app.writeEarlierCrash(id);
        fs::rename(folder, fs::path(app.files->processingPath()) / id);
    }
    auto report = ZEVInternalReport::reportWithPath(app.files->processingPath() + "/packaged");
    ZEVPackageReportOperation package(report, app.files);
    package.start();
    EXPECT_TRUE(package.finalPath());
    fs::remove_all(report->path());
    return package.finalPath().value_or("");
}

std::size_t lines(const ns::ConsoleCapture& console, const std::string& prefix) {
    std::size_t count = 0;
    for (const auto& line : console.lines())
        if (line.starts_with(prefix)) ++count;
    return count;
}

// The second copy starts while the first has every pending report on its way: the server holds the
// first copy's uploads, so the second lists their packages in "prepared" (and the first copy's running
// launch in "active") and must leave them.
TEST(TwoCopies, StartedTogetherTheySendEachPendingReportOnce) {
    HeldReportServer holding;
    ReportServer& server = holding.server;
    TestApp app(server.base());
    writePendingReports(app);
    ns::ConsoleCapture console;

    auto first = app.launch(std::make_shared<TestKit>(), "first");
    ASSERT_TRUE(first->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(TestApp::eventually([&] { return server.requests().size() >= 3; }));
    ASSERT_EQ(app.names(app.files->preparedPath()).size(), 3u);

    auto second = app.launch(std::make_shared<TestKit>(), "second");
    ASSERT_TRUE(second->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    // Each of the three packages is either left by the second copy or sent again: wait for both kinds.
    ASSERT_TRUE(TestApp::eventually([&] {
        return lines(console, "[Zevuzavidav:Crash:Client] Another copy of the app is uploading ") +
                   (server.requests().size() - 3) >=
               3;
    }));
    TestApp::settle(second);
    EXPECT_TRUE(fs::is_directory(fs::path(app.files->activePath()) / "first")) << "a running launch's folder";

    holding.gate.open();
    ASSERT_TRUE(TestApp::settleUploads(first));
    ASSERT_TRUE(TestApp::settleUploads(second));
    EXPECT_EQ(reportIds(server.requests()), (std::vector<std::string>{"crashed", "leftover", "packaged"}));
    EXPECT_TRUE(app.names(app.files->preparedPath()).empty());
    EXPECT_TRUE(app.names(app.files->processingPath()).empty());
    EXPECT_EQ(app.names(app.files->activePath()), (std::vector<std::string>{"first", "second"}));
}

// Another copy (a process of its own here) holds a report folder and a package: a launch leaves both
// where they are. Its lock dies with it, so the next launch after it was killed sends them, once each.
TEST(TwoCopies, WhatAnotherCopyHoldsWaitsUntilThatCopyIsGone) {
    ReportServer server;
    TestApp app(server.base());
    const std::string package = writePendingReports(app);
    const std::string leftover = app.files->processingPath() + "/leftover";
    velotest::Turns turns;
    const pid_t other = velotest::startChild([&] {
        ::alarm(static_cast<unsigned>(velotest::kPatience)); // never outlives the test
        const ZEVItemClaim folder = ZEVItemClaim::take(leftover);
        const ZEVItemClaim file = ZEVItemClaim::take(package);
        EXPECT_TRUE(folder.taken() && file.taken());
        turns.passToParent();
        turns.waitForParent(); // killed before it is passed
    });
    ASSERT_GT(other, 0);
    bool killed = false;
    auto kill = [&] {
        if (killed) return;
        killed = true;
        ::kill(other, SIGKILL);
        velotest::waitForChild(other);
    };
    velotest::OnExit killOnEveryWayOut(kill);
    turns.waitForChild();

    ns::ConsoleCapture console;
    auto controller = app.launch(std::make_shared<TestKit>(), "launch1");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(TestApp::eventually([&] {
        return lines(console,
                     "[Zevuzavidav:Crash:Reports] Report " + leftover + " is being sent by another") +
                   lines(console,
                         "[Zevuzavidav:Crash:Client] Another copy of the app is uploading " + package) ==
               2;
    }));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    EXPECT_EQ(reportIds(server.requests()), std::vector<std::string>{"crashed"});
    EXPECT_TRUE(fs::exists(fs::path(leftover) / "metadata.zevrecord"));
    EXPECT_TRUE(fs::exists(package));

    kill(); // its locks die with it, as when a copy is killed mid-upload
    controller = app.launch(std::make_shared<TestKit>(), "launch2");
    ASSERT_TRUE(controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt));
    ASSERT_TRUE(TestApp::eventually([&] { return server.requests().size() >= 3; }));
    ASSERT_TRUE(TestApp::settleUploads(controller));
    EXPECT_EQ(reportIds(server.requests()), (std::vector<std::string>{"crashed", "leftover", "packaged"}));
    EXPECT_TRUE(app.names(app.files->processingPath()).empty());
    EXPECT_TRUE(app.names(app.files->preparedPath()).empty());
}

} // namespace
