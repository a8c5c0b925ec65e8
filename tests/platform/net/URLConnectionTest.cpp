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

// Runs one more connection to `server` to its end; false when it has not ended after kPatience.
//
// That end is the point after which an earlier connection can have nothing more to tell: every
// connection goes through one shared session, whose transfers start in the order they are asked for
// and whose delegate queue tells one event at a time, in order. And `server` takes one connection at a
// time in the order they came, so a second request an earlier connection sent by mistake is in by then.
bool runOneMoreConnection(const RawTCPServer& server) {
    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    auto connection =
        net::URLConnection::connectionWithRequest(net::URLRequest(server.url("/after")), delegate);
    connection->start();
    return delegate->ended.wait().has_value();
}

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
        ASSERT_TRUE(runOneMoreConnection(*c.server));
        EXPECT_EQ(delegate->events(), c.events);
        EXPECT_EQ(delegate->body(), c.body);
        const auto requests = c.server->requests();
        ASSERT_EQ(requests.size(), 2u); // this connection's, then the one run after it
        EXPECT_EQ(requests.front().rfind("GET /x ", 0), 0u) << requests.front();
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
    EXPECT_TRUE(silent.awaitRequests(1)) << "the running connection's request never came";
    running->cancel();

    // The cancelled task's end goes through the shared session before this later connection's.
    RawTCPServer answering(RawTCPServer::Behaviour::answer, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    ASSERT_TRUE(runOneMoreConnection(answering));
    EXPECT_TRUE(early->events().empty());
    EXPECT_TRUE(late->events().empty());
    ASSERT_EQ(silent.requests().size(), 1u); // the connection cancelled before its start never connected
    EXPECT_NE(silent.requests().front().find("GET /late "), std::string::npos);
}

} // namespace
