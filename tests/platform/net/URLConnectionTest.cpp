// The connection-style loader: events in order, exactly one ending, and silence after cancel().
#include "platform/net/URLConnection.hpp"
#include "platform/net/URLError.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/TestServers.hpp"

#include <gtest/gtest.h>

using namespace velotest;

namespace {

class RecordingConnectionDelegate : public net::URLConnectionDelegate, public EventLog {
  public:
    void connectionDidReceiveResponse(net::URLConnection&, const net::URLResponseRef& response) override {
        record("response " + std::to_string(response->statusCode().value_or(0)));
    }
    void connectionDidReceiveData(net::URLConnection&, const std::vector<std::uint8_t>& data) override {
        appendBody(data);
    }
    void connectionDidFinishLoading(net::URLConnection&) override {
        record("finished");
        ended.set(true);
    }
    void connectionDidFailWithError(net::URLConnection&, const ns::Error& error) override {
        record("failed " + std::to_string(error.code()));
        ended.set(true);
    }
    Waiter<bool> ended;
};

TEST(URLConnection, EventsArriveInOrderAndEndOnce) {
    RawTCPServer ok(RawTCPServer::Behaviour::answer, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
    RawTCPServer reset(RawTCPServer::Behaviour::reset);
    struct Case {
        const RawTCPServer* server;
        std::vector<std::string> events;
        std::string body;
    };
    const Case cases[] = {
        {&ok, {"response 200", "finished"}, "hello"},
        {&reset, {"failed " + std::to_string(net::URLErrorNetworkConnectionLost)}, ""},
    };
    for (const auto& c : cases) {
        auto delegate = std::make_shared<RecordingConnectionDelegate>();
        auto connection =
            net::URLConnection::connectionWithRequest(net::URLRequest(c.server->url("/x")), delegate);
        connection->start();
        connection->start(); // starts once
        ASSERT_TRUE(delegate->ended.wait());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(delegate->events(), c.events);
        EXPECT_EQ(delegate->body(), c.body);
        EXPECT_EQ(c.server->requests().size(), 1u);
    }
}

TEST(URLConnection, CancelledBeforeOrWhileRunningItTellsNothingMore) {
    RawTCPServer silent(RawTCPServer::Behaviour::silent);
    auto early = std::make_shared<RecordingConnectionDelegate>();
    auto notStarted = net::URLConnection::connectionWithRequest(net::URLRequest(silent.url("/early")), early);
    notStarted->cancel();
    notStarted->start();

    auto late = std::make_shared<RecordingConnectionDelegate>();
    auto running = net::URLConnection::connectionWithRequest(net::URLRequest(silent.url("/late")), late);
    running->start();
    while (silent.requests().empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    running->cancel();

    EXPECT_FALSE(early->ended.wait(0.3));
    EXPECT_FALSE(late->ended.wait(0.1));
    EXPECT_TRUE(early->events().empty());
    EXPECT_TRUE(late->events().empty());
    ASSERT_EQ(silent.requests().size(), 1u); // the connection cancelled before its start never connected
    EXPECT_NE(silent.requests().front().find("GET /late "), std::string::npos);
}

} // namespace
