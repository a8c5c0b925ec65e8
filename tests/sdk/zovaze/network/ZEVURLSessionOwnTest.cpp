// The SDK's own session and its tasks against servers on 127.0.0.1.
#include "platform/net/URLError.hpp"
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"
#include "sdk/zovaze/network/session/ZEVURLSession.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionConfiguration.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionDataTask.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionDownloadTask.hpp"
#include "tests/sdk/zovaze/support/NetworkTestSupport.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <fstream>

using namespace velotest;

namespace {

class URLSessionOwn : public ::testing::Test {
  protected:
    void SetUp() override {
        ZEVURLSession::overrideNSURLSessionAvailability(false);
        // Own sessions judge certificates by the system's roots.
        net::ServerTrust::overrideSystemAnchorCertificates(std::vector{server_.root->netCertificate()});
        server_.server.routes().Post("/echo",
                                     [](const httplib::Request& request, httplib::Response& response) {
                                         response.set_content(request.body, "application/octet-stream");
                                     });
        server_.server.routes().Get("/headers",
                                    [](const httplib::Request& request, httplib::Response& response) {
                                        response.set_content(request.get_header_value("X-A"), "text/plain");
                                    });
    }
    void TearDown() override {
        ZEVURLSession::overrideNSURLSessionAvailability(std::nullopt);
        net::ServerTrust::overrideSystemAnchorCertificates(std::nullopt);
    }
    std::shared_ptr<ZEVURLSession> session(std::shared_ptr<RecordingDelegate> delegate = nullptr,
                                           net::URLSessionConfigurationRef configuration = nullptr) {
        if (!configuration) configuration = closingConfiguration();
        return std::dynamic_pointer_cast<ZEVURLSession>(
            ZEVURLSession::sessionWithConfiguration(configuration, delegate, nullptr));
    }

    // Own sessions share one process-wide connection pool: asking the server to close each connection
    // keeps pooled connections from outliving the test's server.
    static net::URLSessionConfigurationRef closingConfiguration(net::HeaderFields extra = {}) {
        auto configuration = ZEVURLSessionConfiguration::defaultSessionConfiguration();
        extra.set("Connection", "close");
        configuration->setHTTPAdditionalHeaders(extra);
        return configuration;
    }

    // Returns once every block queued so far on the task's own queue, where each of its events is
    // handled and its handler called, has run.
    static void settle(const net::URLSessionTaskRef& task) {
        std::dynamic_pointer_cast<ZEVURLSessionTask>(task)->queue().sync([] {});
    }

    TempHome home_;
    ScriptedServer server_;
};

TEST_F(URLSessionOwn, DataTaskWithHandlerReportsOnlyThroughTheHandler) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto s = session(delegate);
    auto outcome = runDataTask(*s, net::URLRequest(server_.url("/status/200")));
    ASSERT_FALSE(outcome.error) << outcome.error->description();
    EXPECT_EQ(outcome.body(), "body-200");
    EXPECT_EQ(outcome.response->statusCode(), 200);
    s->delegateQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(delegate->events().empty());
}

TEST_F(URLSessionOwn, NoBodyMeansNoDataNotEmptyData) {
    auto outcome = runDataTask(*session(), net::URLRequest(server_.url("/status/204")));
    EXPECT_FALSE(outcome.error);
    EXPECT_FALSE(outcome.data);
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode(), 204);
}

TEST_F(URLSessionOwn, AdditionalHeadersAreAddedToTheRequestsOwnValue) {
    net::HeaderFields extra;
    extra.set("X-A", "1");
    auto configuration = closingConfiguration(extra);
    net::URLRequest request(server_.url("/headers"));
    request.setValue("0", "X-A");
    auto s = session(nullptr, configuration);
    auto outcome = runDataTask(*s, request);
    EXPECT_EQ(outcome.body(), "0,1");
}

TEST_F(URLSessionOwn, WithoutHandlerTheDelegateHearsEverythingInOrder) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto s = session(delegate);
    auto task = s->dataTaskWithRequest(net::URLRequest(server_.url("/status/201")));
    task->resume();
    task->resume(); // starts one connection only
    ASSERT_TRUE(delegate->completed.wait());
    EXPECT_EQ(delegate->events(), (std::vector<std::string>{"response 201", "complete 0"}));
    EXPECT_EQ(delegate->body(), "body-201");
    EXPECT_EQ(server_.attempts("/status/201"), 1);
    // The finished task leaves the session's set: queued on the session's own queue by the block of
    // the delegate queue that told of the completion, so ahead of the count asked for after it.
    s->delegateQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(s->taskCount(), 0u);
}

TEST_F(URLSessionOwn, AResumeAfterCompletionStartsNothing) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto s = session(delegate);
    auto task = s->dataTaskWithRequest(net::URLRequest(server_.url("/status/202")));
    task->resume();
    ASSERT_TRUE(delegate->completed.wait());
    task->resume();
    // A connection the second resume made would be set on the task by a block of its queue.
    settle(task);
    s->delegateQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(std::dynamic_pointer_cast<ZEVURLSessionDataTask>(task)->connection());
    EXPECT_EQ(server_.attempts("/status/202"), 1);
    EXPECT_EQ(delegate->events(), (std::vector<std::string>{"response 202", "complete 0"}));
}

TEST_F(URLSessionOwn, TheTaskListIsAlwaysEmpty) {
    RawTCPServer silent(RawTCPServer::Behaviour::silent);
    auto s = session(std::make_shared<RecordingDelegate>());
    auto task = s->dataTaskWithRequest(net::URLRequest(silent.url("/x")));
    task->resume();
    ASSERT_TRUE(velotest::eventually([&] { return !silent.requests().empty(); }));
    Waiter<std::size_t> count;
    s->getTasksWithCompletionHandler(
        [&](const auto& d, const auto& u, const auto& w) { count.set(d.size() + u.size() + w.size()); });
    EXPECT_EQ(count.wait(), 0u);
    EXPECT_EQ(s->taskCount(), 1u);
    s->invalidateAndCancel();
}

TEST_F(URLSessionOwn, CancelBeforeTheResponseSilencesTheTask) {
    RawTCPServer silent(RawTCPServer::Behaviour::silent);
    auto delegate = std::make_shared<RecordingDelegate>();
    auto s = session(delegate);
    std::atomic<int> handlerCalls{0};
    auto withHandler = s->dataTaskWithRequest(net::URLRequest(silent.url("/a")),
                                              [&](const auto&, const auto&, const auto&) { ++handlerCalls; });
    auto withoutHandler = s->dataTaskWithRequest(net::URLRequest(silent.url("/b")));
    withHandler->resume();
    withoutHandler->resume();
    ASSERT_TRUE(velotest::eventually([&] { return silent.requests().size() >= 2; }));
    withHandler->cancel();
    s->invalidateAndCancel(); // cancels the other one
    auto neverStarted = s->dataTaskWithRequest(net::URLRequest(silent.url("/c")));
    neverStarted->cancel();
    neverStarted->resume();
    // Every connection of these tasks goes through one shared session, whose transfers end and are
    // told in the order asked: once a request made after the cancels has been answered, what the
    // cancels ended has been told and has reached the tasks' queues; then the queues have run it.
    EXPECT_FALSE(runDataTask(*session(), net::URLRequest(server_.url("/status/200"))).error);
    for (const auto& task : {withHandler, withoutHandler, neverStarted})
        settle(task);
    s->delegateQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(std::dynamic_pointer_cast<ZEVURLSessionDataTask>(neverStarted)->connection());
    EXPECT_EQ(handlerCalls.load(), 0);
    EXPECT_TRUE(delegate->events().empty());
    EXPECT_EQ(silent.requests().size(), 2u); // the cancelled-before-start task never connected
    EXPECT_FALSE(s->delegate());
}

TEST_F(URLSessionOwn, FinishTasksAndInvalidateLetsTasksFinishUnheard) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto s = session(delegate);
    auto task = s->dataTaskWithRequest(net::URLRequest(server_.url("/status/200")));
    s->finishTasksAndInvalidate();
    task->resume();
    // Without a handler nothing but its state tells of the task's end; what it told, it told from the
    // block of its queue that completed it, through the delegate queue.
    ASSERT_TRUE(velotest::eventually([&] { return task->state() == net::URLSessionTaskState::completed; }));
    settle(task);
    s->delegateQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(server_.attempts("/status/200"), 1);
    EXPECT_TRUE(delegate->events().empty());
}

TEST_F(URLSessionOwn, UploadStreamsTheFile) {
    auto file = home_.path() / "report.multipartmime";
    std::ofstream(file, std::ios::binary) << std::string(70000, 'r');
    net::URLRequest request(server_.url("/echo"));
    request.setHTTPMethod("POST");
    request.setValue("application/octet-stream", "Content-Type");
    request.setHTTPBody(std::vector<std::uint8_t>{'x'}); // replaced by the file
    auto s = session();
    Waiter<DataOutcome> waiter;
    auto task =
        s->uploadTaskWithRequest(request, file.string(), [&](const auto& d, const auto& r, const auto& e) {
            waiter.set({d, r, e});
        });
    EXPECT_EQ(task->kind(), net::URLSessionTaskKind::upload);
    EXPECT_FALSE(task->originalRequest()->HTTPBody());
    task->resume();
    auto outcome = waiter.wait();
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->body() == std::string(70000, 'r')) << outcome->body().size() << " bytes echoed";
}

struct DownloadSeen {
    std::string location;
    bool existed = false;
    std::string content;
    std::optional<ns::Error> error;
};

// Runs a download with a completion handler and returns what the handler saw, once the task is done
// with it: the handler is called by a block of the task's own queue, which removes the file when the
// handler has returned (the session's delegate queue plays no part, and a session made without a
// delegate has none).
DownloadSeen runDownload(net::URLSession& session, const std::string& url) {
    Waiter<DownloadSeen> waiter;
    auto task = session.downloadTaskWithRequest(
        net::URLRequest(url), [&](const auto& location, const auto&, const auto& error) {
            DownloadSeen seen;
            seen.error = error;
            if (location) {
                seen.location = *location;
                seen.existed = std::filesystem::exists(*location);
                std::ifstream in(*location, std::ios::binary);
                seen.content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
            waiter.set(seen);
        });
    task->resume();
    auto seen = waiter.wait();
    if (!seen) return DownloadSeen{};
    std::dynamic_pointer_cast<ZEVURLSessionTask>(task)->queue().sync([] {});
    return *seen;
}

TEST_F(URLSessionOwn, DownloadHandsOverTheFileThenTheFileIsGone) {
    auto s = session();
    for (const auto& [path, content] : {std::pair{"/status/200", "body-200"}, {"/status/204", ""}}) {
        auto seen = runDownload(*s, server_.url(path));
        EXPECT_FALSE(seen.error) << path;
        EXPECT_TRUE(seen.existed) << path; // an empty body still gives a file
        EXPECT_EQ(seen.content, content);
        EXPECT_TRUE(seen.location.starts_with(ns::Sandbox::tmp().string()));
        EXPECT_FALSE(std::filesystem::exists(seen.location)) << path;
    }
}

TEST_F(URLSessionOwn, DownloadWithoutHandlerTellsTheDelegateWhileTheFileExists) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto s = session(delegate);
    auto task = std::dynamic_pointer_cast<ZEVURLSessionDownloadTask>(
        s->downloadTaskWithRequest(net::URLRequest(server_.url("/status/200"))));
    ASSERT_TRUE(task);
    task->resume();
    ASSERT_TRUE(delegate->completed.wait());
    // A download task reports its response like a data task, then the file, then completion.
    EXPECT_EQ(delegate->events(), (std::vector<std::string>{"response 200", "downloaded 8", "complete 0"}));
    s->delegateQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(std::filesystem::exists(task->targetURL()));
}

TEST_F(URLSessionOwn, AFileStreamFailureEndsTheDownloadWithItsOwnError) {
    // The temporary folder cannot be written: a file stands where it should be.
    std::filesystem::remove_all(ns::Sandbox::tmp());
    std::ofstream(ns::Sandbox::tmp()) << "not a folder";
    auto delegate = std::make_shared<RecordingDelegate>();
    auto s = session(delegate);
    auto task = s->downloadTaskWithRequest(net::URLRequest(server_.url("/status/200")));
    task->resume();
    ASSERT_TRUE(delegate->completed.wait());
    EXPECT_EQ(delegate->events(), (std::vector<std::string>{"response 200", "complete -1"})); // no file event
    ASSERT_TRUE(task->error());
    EXPECT_EQ(task->error()->domain(), "ZEVURLSessionDownloadTaskError");
    EXPECT_EQ(task->error()->code(), -1);
    EXPECT_TRUE(task->error()->userInfo().empty());
}

TEST_F(URLSessionOwn, AFailedDownloadLeavesNoPartialFile) {
    RawTCPServer reset(RawTCPServer::Behaviour::reset);
    auto seen = runDownload(*session(), reset.url("/x"));
    ASSERT_TRUE(seen.error);
    EXPECT_EQ(seen.error->code(), net::URLErrorNetworkConnectionLost);
    EXPECT_TRUE(std::filesystem::is_empty(ns::Sandbox::tmp()));
}

TEST_F(URLSessionOwn, TheNetworkClientRetriesOverTheOwnSessionToo) {
    auto client =
        ZOVNetworkClient::initWithSessionConfiguration(closingConfiguration(), nullptr, server_.pins());
    ASSERT_TRUE(std::dynamic_pointer_cast<ZEVURLSession>(client->session()));
    auto outcome = runClientData(*client, net::URLRequest(server_.url("/status/503?retry=0&until=3")), 5);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(server_.attempts("/status/503"), 3);
}

} // namespace
