// The crash-report uploader on its own: task descriptions relative to the report tree, what it tells
// its owner, and offers of a package that is already on its way.
#include "sdk/zevuzavidav/context/PlatformFacts.hpp"
#include "sdk/zevuzavidav/store/ZEVItemClaim.hpp"
#include "sdk/zevuzavidav/upload/ZEVNetworkClient.hpp"
#include "tests/sdk/zevuzavidav/support/CrashLife.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <set>
#include <sys/stat.h>

namespace {

using namespace reporttest;
namespace fs = std::filesystem;

class RecordingOwner : public ZEVNetworkClientDelegate {
  public:
    bool background = true;
    bool networkClientCanUseBackgroundSessions(ZEVNetworkClient&) override { return background; }
    void networkClientDidFinishUploadWithPath(ZEVNetworkClient&, const std::string& path,
                                              const std::optional<ns::Error>& error) override {
        std::lock_guard lock(mutex);
        finished.emplace_back(path, error);
        changed.notify_all();
    }
    void networkClientDidEndUploadTask(ZEVNetworkClient&) override {
        std::lock_guard lock(mutex);
        ++tasksEnded;
        changed.notify_all();
    }
    std::vector<std::pair<std::string, std::optional<ns::Error>>> ends() {
        std::lock_guard lock(mutex);
        return finished;
    }
    // Waits until `count` uploads have been reported (false after kPatience).
    bool waitForEnds(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::duration<double>(velotest::kPatience),
                                [&] { return finished.size() >= count; });
    }
    // Waits until `count` upload tasks have ended, reported or not (false after kPatience).
    bool waitForTaskEnds(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::duration<double>(velotest::kPatience),
                                [&] { return tasksEnded >= count; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<std::string, std::optional<ns::Error>>> finished;
    std::size_t tasksEnded = 0;
};

class ReportClient : public ::testing::Test {
  protected:
    ReportClient() {
        pinnedTestRoot();
        queue->setMaxConcurrentOperationCount(1);
        fs::create_directories(files->preparedPath());
    }
    std::shared_ptr<ZEVNetworkClient> makeClient() {
        return ZEVNetworkClient::initWithQueue(queue, files, owner);
    }
    std::string package(const std::string& name, const std::string& bytes = "body") {
        auto path = fs::path(files->preparedPath()) / name;
        writeText(path, bytes);
        return path.string();
    }
    static net::URLRequest requestTo(const ReportServer& server) {
        net::URLRequest request(server.base() + "/reports");
        request.setHTTPMethod("POST");
        request.setValue("application/json", "Accept");
        return request;
    }
    bool ended(std::size_t count) { return owner->waitForEnds(count); }
    // The tasks the client's session runs.
    static std::size_t runningTasks(ZEVNetworkClient& client) {
        return velotest::tasksUnderWay(*client.session());
    }

    velotest::TempFolder root;
    std::shared_ptr<ZEVFileManager> files = std::make_shared<ZEVFileManager>((root.path() / "tree").string());
    std::shared_ptr<dispatch::OperationQueue> queue =
        std::make_shared<dispatch::OperationQueue>("upload-test");
    std::shared_ptr<RecordingOwner> owner = std::make_shared<RecordingOwner>();
};

TEST_F(ReportClient, DescribesTasksByTheirPathInTheReportTree) {
    auto client = makeClient();
    EXPECT_EQ(client->relativeTaskPathForAbsolutePath(files->preparedPath() + "/B.multipartmime"),
              "v3/prepared/B.multipartmime");
    EXPECT_EQ(client->absolutePathForRelativeTaskPath("v3/prepared/B.multipartmime"),
              files->preparedPath() + "/B.multipartmime");
    EXPECT_FALSE(client->relativeTaskPathForAbsolutePath("/elsewhere/B.multipartmime").has_value());
    EXPECT_FALSE(client->relativeTaskPathForAbsolutePath(files->rootPath() + "sibling/B").has_value());
    EXPECT_FALSE(client->relativeTaskPathForAbsolutePath(files->rootPath()).has_value());
}

TEST_F(ReportClient, TellsItsOwnerHowEachUploadEnded) {
    ReportServer server([](const Request& request, std::size_t) {
        Answer answer;
        if (request.body == "refused") answer.status = 400;
        return answer;
    });
    auto client = makeClient();
    auto good = package("A.multipartmime");
    auto refused = package("B.multipartmime", "refused");
    client->startUploadRequest(requestTo(server), good, false);
    client->startUploadRequest(requestTo(server), refused, false);
    client->startUploadRequest(requestTo(server), files->preparedPath() + "/missing.multipartmime", false);
    ASSERT_TRUE(ended(3));
    auto ends = owner->ends();
    std::map<std::string, std::optional<ns::Error>> byPath(ends.begin(), ends.end());
    EXPECT_FALSE(byPath.at(good).has_value());
    ASSERT_TRUE(byPath.at(refused).has_value());
    EXPECT_EQ(byPath.at(refused)->code(), -5);
    const auto& missing = byPath.at(files->preparedPath() + "/missing.multipartmime");
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->domain(), "ZEVNetworkError");
    EXPECT_EQ(missing->code(), -2);
    EXPECT_EQ(missing->userInfo().at("path"), files->preparedPath() + "/missing.multipartmime");
    EXPECT_EQ(server.requests().size(), 2u);
}

// A FIFO, a link or a folder in a package's place is nobody's package: claiming it never follows the
// link or waits on the FIFO, and each ends like a package that cannot be read, nothing sent.
TEST_F(ReportClient, WhatStandsInAPackagesPlaceIsNeverClaimedFollowedOrWaitedOn) {
    ReportServer server;
    auto client = makeClient();
    writeText(root.path() / "theirs.multipartmime", "someone else's body");
    const std::string fifo = files->preparedPath() + "/F.multipartmime";
    const std::string link = files->preparedPath() + "/L.multipartmime";
    const std::string folder = files->preparedPath() + "/D.multipartmime";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(root.path() / "theirs.multipartmime", link);
    fs::create_directories(folder);
    for (const auto& path : {fifo, link, folder})
        client->startUploadRequest(requestTo(server), path, false);
    ASSERT_TRUE(ended(3));
    for (const auto& [path, error] : owner->ends()) {
        ASSERT_TRUE(error.has_value()) << path;
        EXPECT_EQ(error->code(), ZEVNetworkClient::errorCodeFileNotReadable) << path;
    }
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(readFile(root.path() / "theirs.multipartmime"), "someone else's body");
    EXPECT_FALSE(ZEVItemClaim::take(fifo).taken());
    EXPECT_EQ(ZEVItemClaim::take(link).errorNumber(), ELOOP);
}

TEST_F(ReportClient, APackageAlreadyOnItsWayIsNotSentTwice) {
    // The server holds its answer until the second start has been made: the first is on its way then.
    velotest::Gate startedTwice;
    ReportServer server([&](const Request&, std::size_t) {
        startedTwice.wait();
        return Answer{};
    });
    velotest::OnExit answerOnEveryWayOut([&] { startedTwice.open(); });
    auto client = makeClient();
    auto path = package("A.multipartmime");
    client->startUploadRequest(requestTo(server), path, false);
    client->startUploadRequest(requestTo(server), path, false);
    // Each offer is decided by operations of the work queue that follow one another without a gap:
    // once it has drained, the second has been skipped or has a task of its own, still running.
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(runningTasks(*client), 1u);
    startedTwice.open();
    ASSERT_TRUE(ended(1));
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(owner->ends().size(), 1u);
    // Once it has ended, the same package may go again.
    client->startUploadRequest(requestTo(server), path, false);
    ASSERT_TRUE(ended(2));
    EXPECT_EQ(server.requests().size(), 2u);
}

// A backlog of packages is not a backlog of connections: four go at once, the others wait in the order
// offered and start as uploads end; an offer of a package already waiting is skipped.
TEST_F(ReportClient, AtMostFourUploadsRunAndTheRestWaitInTheOrderOffered) {
    HeldReportServer holding;
    ReportServer& server = holding.server;
    auto client = makeClient();
    std::vector<std::string> paths;
    for (int i = 0; i < 9; ++i)
        paths.push_back(package("P" + std::to_string(i) + ".multipartmime", "package " + std::to_string(i)));
    for (const auto& path : paths)
        client->startUploadRequest(requestTo(server), path, false);
    client->startUploadRequest(requestTo(server), paths.back(), false); // waits already
    ASSERT_TRUE(server.waitForRequests(ZEVNetworkClient::maximumConcurrentUploads));
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(client->canTakeMoreUploads());
    EXPECT_EQ(runningTasks(*client), ZEVNetworkClient::maximumConcurrentUploads);
    std::set<std::string> held;
    for (const auto& request : server.requests())
        held.insert(request.body);
    EXPECT_EQ(held, (std::set<std::string>{"package 0", "package 1", "package 2", "package 3"}));

    holding.gate.open();
    ASSERT_TRUE(ended(paths.size()));
    queue->waitUntilAllOperationsAreFinished();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), paths.size()) << "each package once";
    // Package k starts only once k - 3 uploads have ended, so it never arrives before the (k - 3)th.
    for (std::size_t at = 0; at < requests.size(); ++at) {
        const int k = std::stoi(requests[at].body.substr(std::string("package ").size()));
        EXPECT_GE(at + ZEVNetworkClient::maximumConcurrentUploads - 1, static_cast<std::size_t>(k))
            << "package " << k << " arrived " << at;
    }
    EXPECT_TRUE(client->canTakeMoreUploads());
}

TEST_F(ReportClient, APackageOutsideTheTreeGoesButIsNeverReported) {
    ReportServer server;
    auto client = makeClient();
    auto outside = root.path() / "outside.multipartmime";
    writeText(outside, "body");
    client->startUploadRequest(requestTo(server), outside.string(), false);
    ASSERT_TRUE(server.waitForRequests(1));
    // The task's end is handled by one operation of the work queue, which reports the upload after it
    // has told of the task's end.
    ASSERT_TRUE(owner->waitForTaskEnds(1));
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(owner->ends().empty());
}

TEST_F(ReportClient, BackgroundSessionsOnlyWhereTheOwnerAllowsThemAndNotInExtensions) {
    EXPECT_TRUE(makeClient()->supportsBackgroundRequests());
    owner->background = false;
    EXPECT_FALSE(makeClient()->supportsBackgroundRequests());
    owner->background = true;
    zevuzavidav::setPlatformFactsProvider([] {
        zevuzavidav::PlatformFacts facts;
        facts.extensionPointIdentifier = "com.apple.widget-extension";
        return facts;
    });
    EXPECT_FALSE(makeClient()->supportsBackgroundRequests());
    zevuzavidav::setPlatformFactsProvider(nullptr);
}

TEST_F(ReportClient, AnUrgentUploadWithoutBackgroundSessionsIsSynchronousAndReportsOnlySuccess) {
    owner->background = false;
    ReportServer server([](const Request& request, std::size_t) {
        Answer answer;
        if (request.body == "refused") answer.status = 500;
        return answer;
    });
    auto client = makeClient();
    auto good = package("A.multipartmime");
    client->startUploadRequest(requestTo(server), good, true);
    // Synchronous: the server has it and the owner knows when the call returns.
    EXPECT_EQ(server.requests().size(), 1u);
    ASSERT_EQ(owner->ends().size(), 1u);
    EXPECT_EQ(owner->ends()[0].first, good);
    client->startUploadRequest(requestTo(server), package("B.multipartmime", "refused"), true);
    client->startUploadRequest(requestTo(server), files->preparedPath() + "/missing.multipartmime", true);
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(owner->ends().size(), 1u);
}

} // namespace
