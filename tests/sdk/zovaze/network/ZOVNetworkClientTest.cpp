// The SDK's network client against a scripted HTTPS server on 127.0.0.1.
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/net/URLError.hpp"
#include "tests/sdk/zovaze/support/NetworkTestSupport.hpp"
#include "tests/support/DueGlobalWork.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <fstream>

using namespace velotest;

namespace {

class NetworkClient : public ::testing::Test {
  protected:
    std::shared_ptr<ZOVNetworkClient> pinnedClient() {
        return ZOVNetworkClient::initWithQueue(nullptr, server_.pins());
    }

    TempHome home_;
    ScriptedServer server_;
};

// Which status falls into which class is the response handler's own test; here each class is followed
// through the client: passed on with its error, or retried up to the limit.
TEST_F(NetworkClient, EveryStatusClassEndsAsTheClassificationSays) {
    struct Case {
        std::string query;
        std::uint64_t limit;
        std::optional<long> code;
        int attempts;
        bool bodyPassedOn;
    };
    const std::pair<int, Case> table[] = {
        {200, {"", 10, std::nullopt, 1, true}},
        {204, {"", 10, std::nullopt, 1, true}},
        {302, {"", 10, -4, 1, true}},
        {404, {"", 10, -5, 1, true}},
        {500, {"", 0, -6, 1, false}},            // limit 0: the first retry request ends it
        {503, {"?retry=0.01", 2, -6, 3, false}}, // fast Retry-After: 1 + limit attempts
        {408, {"?retry=0.01", 1, -6, 2, false}},
        {429, {"?retry=0", 3, -6, 4, false}},
        {420, {"?retry=abc", 1, -6, 2, false}},                   // unreadable value: retried at once
        {599, {"?retry=0.01&until=2", 5, std::nullopt, 2, true}}, // recovers on the second attempt
    };
    auto client = pinnedClient();
    for (const auto& [status, c] : table) {
        std::string path = "/status/" + std::to_string(status);
        net::URLRequest request(server_.url(path + c.query));
        auto outcome = runClientData(*client, request, c.limit);
        SCOPED_TRACE(status);
        EXPECT_EQ(outcome.error.has_value(), c.code.has_value())
            << (outcome.error ? outcome.error->description() : "");
        if (c.code && outcome.error) {
            EXPECT_EQ(outcome.error->domain(), "ZOVNetworkError");
            EXPECT_EQ(outcome.error->code(), *c.code);
        }
        EXPECT_EQ(server_.attempts(path), c.attempts);
        EXPECT_EQ(outcome.response != nullptr, c.bodyPassedOn);
        if (c.code == -6 && outcome.error) {
            EXPECT_TRUE(outcome.error->userInfo().empty());
        }
    }
}

TEST_F(NetworkClient, ErrorsCarryTheResponsesFactsAndItsBody) {
    auto client = pinnedClient();
    auto notFound = runClientData(*client, net::URLRequest(server_.url("/status/404?type=text/plain")), 10);
    ASSERT_TRUE(notFound.error);
    EXPECT_EQ(
        notFound.error->userInfo(),
        (std::map<std::string, std::string>{
            {"type", "2"}, {"status_code", "404"}, {"request_id", "req-1"}, {"content_type", "text/plain"}}));
    EXPECT_EQ(notFound.text(), "body-404");
    EXPECT_EQ(notFound.response->statusCode(), 404);

    net::URLRequest json(server_.url("/status/200?type=json-utf8"));
    json.setValue("application/json", "Accept");
    json.setValue("utf-8", "Accept-Charset");
    auto matching = runClientData(*client, json, 10);
    EXPECT_FALSE(matching.error) << matching.error->description();

    net::URLRequest html(server_.url("/status/200?type=text/html"));
    html.setValue("application/json", "Accept");
    auto outcome = runClientData(*client, html, 10);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), -4);
    EXPECT_EQ(outcome.text(), "body-200");
}

TEST_F(NetworkClient, WithoutRetryAfterTheRetryWaitsAboutThreeHundredSeconds) {
    dispatch::VirtualClockScope clock;
    auto client = pinnedClient();
    Waiter<ClientOutcome> waiter;
    client->startDataTaskWithRequest(net::URLRequest(server_.url("/status/503")), 1,
                                     [&](const auto& b, const auto& r, const auto& e) {
                                         waiter.set({b, r, e});
                                     });
    auto waitForAttempts = [&](int count) {
        velotest::eventually([&] { return !(server_.attempts("/status/503") < count); },
                             std::chrono::milliseconds(10));
        return server_.attempts("/status/503");
    };
    auto runningTasks = [&] { return velotest::tasksUnderWay(*client->session()); };
    ASSERT_EQ(waitForAttempts(1), 1);
    // The retry is timed from when the client handles the answer: wait until it has (no task left).
    ASSERT_TRUE(velotest::eventually([&] { return runningTasks() == 0u; }, std::chrono::milliseconds(10)));
    clock.clock().advance(std::chrono::seconds(269)); // below 300 x 0.9
    // A retry due by now has run on the global queue and made its task, which is still running or
    // has reached the server.
    ASSERT_TRUE(dueGlobalWorkHasRun());
    EXPECT_EQ(runningTasks(), 0u);
    EXPECT_EQ(server_.attempts("/status/503"), 1);
    EXPECT_FALSE(waiter.wait(0));
    clock.clock().advance(std::chrono::seconds(62)); // past 300 x 1.1
    EXPECT_EQ(waitForAttempts(2), 2);
    auto outcome = waiter.wait();
    ASSERT_TRUE(outcome && outcome->error);
    EXPECT_EQ(outcome->error->code(), -6);
    EXPECT_FALSE(outcome->response);
    EXPECT_FALSE(outcome->body);
}

TEST_F(NetworkClient, DelayIsRetryAfterTimesAttemptsTimesJitter) {
    auto client = pinnedClient();
    const double low = static_cast<double>(0.9f), high = static_cast<double>(1.1f);
    auto response = [](const char* retryAfter) {
        net::HeaderFields fields;
        if (retryAfter) fields.append("Retry-After", retryAfter);
        return std::make_shared<net::URLResponse>("https://127.0.0.1/", 429, fields);
    };
    struct Case {
        const char* header;
        std::uint64_t tries;
        double base;
    };
    for (const auto& c :
         {Case{"2", 3, 6}, Case{"2", 0, 2}, Case{nullptr, 1, 300}, Case{"-5", 2, 600}, Case{"abc", 4, 0}}) {
        for (int i = 0; i < 200; ++i) {
            double delay = client->computeDelayForResponse(response(c.header), c.tries);
            EXPECT_GE(delay, c.base * low);
            if (c.base > 0) {
                EXPECT_LT(delay, c.base * high);
            }
        }
    }
    double smallest = 2, largest = 0;
    for (int i = 0; i < 20000; ++i) {
        double jitter = ZOVNetworkClient::generateRandomJitter();
        smallest = std::min(smallest, jitter);
        largest = std::max(largest, jitter);
    }
    EXPECT_GE(smallest, 0.8999999761581421);
    EXPECT_LT(largest, 1.100000023841858);
    EXPECT_LT(smallest, 0.91); // the whole range is used
    EXPECT_GT(largest, 1.09);
}

TEST_F(NetworkClient, DownloadHandsOverTheFile) {
    auto client = pinnedClient();
    Waiter<std::pair<std::string, std::optional<ns::Error>>> waiter;
    client->startDownloadTaskWithRequest(net::URLRequest(server_.url("/status/200")), 1,
                                         [&](const auto& file, const auto&, const auto& error) {
                                             std::string content;
                                             if (file) std::getline(std::ifstream(*file), content);
                                             waiter.set({content, error});
                                         });
    auto outcome = waiter.wait();
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->second);
    EXPECT_EQ(outcome->first, "body-200");
}

TEST_F(NetworkClient, DownloadRetryLimitGivesNoFile) {
    auto client = pinnedClient();
    Waiter<std::pair<bool, std::optional<ns::Error>>> waiter;
    client->startDownloadTaskWithRequest(net::URLRequest(server_.url("/status/502?retry=0")), 1,
                                         [&](const auto& file, const auto&, const auto& error) {
                                             waiter.set({file.has_value(), error});
                                         });
    auto outcome = waiter.wait();
    ASSERT_TRUE(outcome && outcome->second);
    EXPECT_FALSE(outcome->first);
    EXPECT_EQ(outcome->second->code(), -6);
    EXPECT_EQ(server_.attempts("/status/502"), 2);
}

TEST_F(NetworkClient, TransportFailuresAreNeverRetried) {
    RawTCPServer reset(RawTCPServer::Behaviour::reset);
    RawTCPServer silent(RawTCPServer::Behaviour::silent);
    auto client = ZOVNetworkClient::init();
    auto lost = runClientData(*client, net::URLRequest(reset.url("/x")), 10);
    ASSERT_TRUE(lost.error);
    EXPECT_EQ(lost.error->code(), net::URLErrorNetworkConnectionLost);
    EXPECT_EQ(reset.requests().size(), 1u);

    net::URLRequest slow(silent.url("/x"));
    slow.setTimeoutInterval(0.3);
    auto timedOut = runClientData(*client, slow, 10);
    ASSERT_TRUE(timedOut.error);
    EXPECT_EQ(timedOut.error->domain(), net::URLErrorDomain);
    EXPECT_EQ(timedOut.error->code(), net::URLErrorTimedOut);
    EXPECT_EQ(silent.requests().size(), 1u);
}

TEST_F(NetworkClient, InvalidateAndCancelStopsRequestsAndLaterOnesGetNoTask) {
    RawTCPServer silent(RawTCPServer::Behaviour::silent);
    auto client = ZOVNetworkClient::init();
    Waiter<ClientOutcome> waiter;
    client->startDataTaskWithRequest(net::URLRequest(silent.url("/x")), 10,
                                     [&](const auto& b, const auto& r, const auto& e) {
                                         waiter.set({b, r, e});
                                     });
    ASSERT_TRUE(velotest::eventually([&] { return !silent.requests().empty(); }));
    client->invalidateAndCancel();
    auto cancelled = waiter.wait();
    ASSERT_TRUE(cancelled && cancelled->error);
    EXPECT_EQ(cancelled->error->code(), net::URLErrorCancelled);

    bool called = false;
    client->startDataTaskWithRequest(net::URLRequest(silent.url("/y")), 10,
                                     [&](const auto& body, const auto& response, const auto& error) {
                                         called = true;
                                         EXPECT_FALSE(body);
                                         EXPECT_FALSE(response);
                                         ASSERT_TRUE(error);
                                         EXPECT_EQ(error->domain(), "ZOVNetworkError");
                                         EXPECT_EQ(error->code(), -3);
                                         EXPECT_TRUE(error->userInfo().empty());
                                     });
    EXPECT_TRUE(called); // synchronously, on this thread
}

} // namespace
