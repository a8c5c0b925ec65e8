// The platform session when things go wrong: resets, silence, cancellation, invalidation; and what it
// puts on the wire (header order) as seen by a raw socket.
#include "platform/net/URLError.hpp"
#include "platform/net/URLSession.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/TestServers.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <fstream>

using namespace velotest;

namespace {

class URLSessionFailure : public ::testing::Test {
  protected:
    TempHome home_;
};

TEST_F(URLSessionFailure, RequestHeadersGoOutInTheOrderTheRequestHolds) {
    RawTCPServer server(RawTCPServer::Behaviour::answer, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    net::URLRequest request(server.url("/order"));
    request.setValue("1", "X-Zulu");
    request.setValue("2", "X-Alpha");
    request.setValue("3", "X-Mike");
    request.addValue("4", "X-Alpha");
    auto outcome = runDataTask(*net::URLSession::sessionWithConfiguration(nullptr), request);
    ASSERT_FALSE(outcome.error) << outcome.error->description();
    ASSERT_EQ(server.requests().size(), 1u);
    const std::string text = server.requests().front();
    auto zulu = text.find("X-Zulu: 1\r\n");
    auto alpha = text.find("X-Alpha: 2,4\r\n");
    auto mike = text.find("X-Mike: 3\r\n");
    ASSERT_NE(zulu, std::string::npos) << text;
    ASSERT_NE(alpha, std::string::npos) << text;
    ASSERT_NE(mike, std::string::npos) << text;
    EXPECT_LT(zulu, alpha);
    EXPECT_LT(alpha, mike);
}

TEST_F(URLSessionFailure, AResetConnectionIsALostConnection) {
    RawTCPServer server(RawTCPServer::Behaviour::reset);
    auto outcome =
        runDataTask(*net::URLSession::sessionWithConfiguration(nullptr), net::URLRequest(server.url("/x")));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), net::URLErrorNetworkConnectionLost);
    EXPECT_EQ(outcome.error->userInfo().at(net::URLErrorFailingURLStringKey), server.url("/x"));
}

TEST_F(URLSessionFailure, ASilentServerTimesOutAfterTheRequestTimeout) {
    RawTCPServer server(RawTCPServer::Behaviour::silent);
    net::URLRequest request(server.url("/x"));
    request.setTimeoutInterval(0.3);
    auto started = std::chrono::steady_clock::now();
    auto outcome = runDataTask(*net::URLSession::sessionWithConfiguration(nullptr), request);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), net::URLErrorTimedOut);
    EXPECT_GE(seconds, 0.3);
}

TEST_F(URLSessionFailure, NobodyListeningCannotConnect) {
    int port;
    {
        RawTCPServer probe(RawTCPServer::Behaviour::reset);
        port = std::stoi(probe.url("").substr(std::string("http://127.0.0.1:").size()));
    }
    auto outcome = runDataTask(*net::URLSession::sessionWithConfiguration(nullptr),
                               net::URLRequest("http://127.0.0.1:" + std::to_string(port) + "/"));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), net::URLErrorCannotConnectToHost);
}

TEST_F(URLSessionFailure, CancelStopsARunningTaskWithCancelled) {
    RawTCPServer server(RawTCPServer::Behaviour::silent);
    auto session = net::URLSession::sessionWithConfiguration(nullptr);
    Waiter<DataOutcome> waiter;
    auto task = session->dataTaskWithRequest(net::URLRequest(server.url("/x")),
                                             [&](const auto& d, const auto& r, const auto& e) {
                                                 waiter.set({d, r, e});
                                             });
    task->resume();
    EXPECT_TRUE(server.awaitRequests(1)) << "the request never reached the server";
    task->cancel();
    auto outcome = waiter.wait();
    ASSERT_TRUE(outcome && outcome->error);
    EXPECT_EQ(outcome->error->code(), net::URLErrorCancelled);
    EXPECT_EQ(task->state(), net::URLSessionTaskState::completed);
}

TEST_F(URLSessionFailure, ASecondResumeStartsNothingMore) {
    RawTCPServer server(RawTCPServer::Behaviour::answer, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    auto session = net::URLSession::sessionWithConfiguration(nullptr);
    Waiter<bool> waiter;
    std::atomic<int> calls{0};
    auto task = session->dataTaskWithRequest(net::URLRequest(server.url("/x")),
                                             [&](const auto&, const auto&, const auto&) {
                                                 ++calls;
                                                 waiter.set(true);
                                             });
    task->resume();
    task->resume();
    ASSERT_TRUE(waiter.wait());
    session->delegateQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(URLSessionFailure, TaskListIsTruthfulAndInvalidateCancelsAndReleasesTheDelegate) {
    RawTCPServer server(RawTCPServer::Behaviour::silent);
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = net::URLSession::sessionWithConfiguration(nullptr, delegate);
    auto data = session->dataTaskWithRequest(net::URLRequest(server.url("/a")));
    auto download = session->downloadTaskWithRequest(net::URLRequest(server.url("/b")));
    data->setTaskDescription("first");
    data->resume();
    download->resume();

    Waiter<std::vector<std::size_t>> listed;
    session->getTasksWithCompletionHandler([&](const auto& d, const auto& u, const auto& w) {
        listed.set({d.size(), u.size(), w.size()});
        if (!d.empty()) {
            EXPECT_EQ(d.front()->taskDescription(), "first");
        }
    });
    EXPECT_EQ(listed.wait(), (std::vector<std::size_t>{1, 0, 1}));

    session->invalidateAndCancel();
    ASSERT_TRUE(delegate->invalidated.wait());
    auto events = delegate->events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "complete -999"), 2);
    EXPECT_EQ(events.back(), "invalid");
    EXPECT_EQ(session->delegate(), nullptr);
    EXPECT_EQ(session->dataTaskWithRequest(net::URLRequest(server.url("/c"))), nullptr);

    Waiter<std::size_t> after;
    session->getTasksWithCompletionHandler(
        [&](const auto& d, const auto& u, const auto& w) { after.set(d.size() + u.size() + w.size()); });
    EXPECT_EQ(after.wait(), 0u);
}

TEST_F(URLSessionFailure, FailedDownloadLeavesNoTemporaryFile) {
    RawTCPServer server(RawTCPServer::Behaviour::reset);
    auto session = net::URLSession::sessionWithConfiguration(nullptr);
    Waiter<std::optional<ns::Error>> waiter;
    auto task = session->downloadTaskWithRequest(net::URLRequest(server.url("/x")),
                                                 [&](const auto& location, const auto&, const auto& error) {
                                                     EXPECT_FALSE(location);
                                                     waiter.set(error);
                                                 });
    task->resume();
    auto error = waiter.wait();
    ASSERT_TRUE(error && *error);
    session->delegateQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(std::filesystem::is_empty(ns::Sandbox::tmp()));
}

// A finished download stays locked until its handler has had it: a second copy of the app starting in
// between (its sweep of tmp/ removes what no process holds) leaves it alone.
TEST_F(URLSessionFailure, AFinishedDownloadKeepsItsLockUntilItIsHandedOver) {
    RawTCPServer server(RawTCPServer::Behaviour::answer, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nbytes");
    auto session = net::URLSession::sessionWithConfiguration(nullptr);
    auto queue = session->delegateQueue();
    queue->setSuspended(true); // the handover waits here once the engine is done with the file
    struct Seen {
        bool existed = false;
        std::string content;
    };
    Waiter<Seen> seen;
    auto task = session->downloadTaskWithRequest(
        net::URLRequest(server.url("/file")), [&](const auto& location, const auto&, const auto&) {
            Seen now;
            if (location) {
                now.existed = std::filesystem::exists(*location);
                std::ifstream in(*location, std::ios::binary);
                now.content.assign(std::istreambuf_iterator<char>(in), {});
            }
            seen.set(now);
        });
    task->resume();
    ASSERT_TRUE(velotest::eventually([&] { return queue->operationCount() != 0; }))
        << "the download did not finish";
    ASSERT_EQ(queue->operationCount(), 1u);
    ns::Sandbox::setHome(ns::Sandbox::home()); // a second copy starting: its sweep of tmp/
    queue->setSuspended(false);
    auto result = seen.wait();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->existed);
    EXPECT_EQ(result->content, "bytes");
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(std::filesystem::is_empty(ns::Sandbox::tmp()));
}

} // namespace
