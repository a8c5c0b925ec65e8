// The platform session against servers that try to lead it astray: plain HTTP away from this machine,
// redirects there (also from HTTPS), redirect loops, and answers that never end.
#include "platform/net/RequestPolicy.hpp"
#include "platform/net/URLError.hpp"
#include "platform/net/URLSession.hpp"
#include "tests/support/EnvironmentScope.hpp"
#include "tests/support/HostileServer.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/TestServers.hpp"

#include <gtest/gtest.h>

#include <fstream>

using namespace velotest;

namespace {

TEST(RequestPolicy, RedirectHopsKeepToHttpsOrToThisMachine) {
    struct Case {
        const char* from;
        const char* to;
        bool allowed;
    };
    const Case cases[] = {
        {"https://a.example/x", "https://b.example/y", true},
        {"http://127.0.0.1:8080/x", "http://127.0.0.1:9090/y", true},
        {"http://127.0.0.1/x", "http://[::1]/y", true},
        {"http://127.0.0.1/x", "https://b.example/y", true},
        {"https://a.example/x", "http://127.0.0.1/y", false}, // never down from TLS, not even to here
        {"https://a.example/x", "http://b.example/y", false},
        {"http://127.0.0.1/x", "http://localhost/y", false},
        {"http://127.0.0.1/x", "http://b.example/y", false},
        {"http://127.0.0.1/x", "ftp://127.0.0.1/y", false},
        {"http://127.0.0.1/x", "file:///etc/passwd", false},
        {"http://b.example/x", "https://a.example/y", false}, // a hop from a refused URL is refused too
    };
    for (const auto& c : cases)
        EXPECT_EQ(net::isRedirectAllowedByRequestPolicy(c.from, c.to), c.allowed) << c.from << " -> " << c.to;
    // The host judged is the host libcurl would connect to, whatever the URL's spelling.
    EXPECT_TRUE(net::isURLAllowedByRequestPolicy("HTTP://127.0.0.1:1/"));
    EXPECT_FALSE(net::isURLAllowedByRequestPolicy("http://127.0.0.1:80@b.example/"));
}

class HostileServers : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = makeRootAuthority("Velo Hostile Root");
        leaf_ = makeServerCertificate(*root_);
    }

    // A session that trusts whatever server it meets, so that only the request policy stands between
    // a redirect and its target.
    static net::URLSessionRef trustingSession() {
        return net::URLSession::sessionWithConfiguration(
            nullptr, std::make_shared<RecordingDelegate>(RecordingDelegate::TrustAnswer::useCredential));
    }

    TempHome home_;
    std::unique_ptr<TestIdentity> root_;
    std::unique_ptr<TestIdentity> leaf_;
};

TEST_F(HostileServers, EveryHopIsCheckedBeforeAnythingIsSentToIt) {
    HostileServer target(HostileServer::Behaviour::listen);
    TestHTTPSServer https(*leaf_);
    https.routes().Get(R"(/to/(.*))", [&](const httplib::Request& request, httplib::Response& response) {
        const std::string where = request.matches[1];
        response.set_redirect(where == "literal" ? target.url("/in") : target.nameURL("/in"), 302);
    });
    https.start();
    HostileServer loopbackToLiteral(HostileServer::Behaviour::redirect, target.url("/in"));
    HostileServer loopbackToName(HostileServer::Behaviour::redirect, target.nameURL("/in"));
    HostileServer loopbackToHttps(HostileServer::Behaviour::redirect, https.url("/to/name"));

    struct Case {
        const char* what;
        std::string url;
        bool arrives;
    };
    const Case cases[] = {
        {"plain HTTP to a name", target.nameURL("/in"), false},
        {"loopback redirect to a loopback literal", loopbackToLiteral.url(), true},
        {"loopback redirect to a name", loopbackToName.url(), false},
        {"HTTPS redirect down to a loopback literal", https.url("/to/literal"), false},
        {"HTTPS redirect down to a name", https.url("/to/name"), false},
        {"loopback to HTTPS, then down to a name", loopbackToHttps.url(), false},
    };
    auto session = trustingSession();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = target.connections();
        for (auto kind : {net::URLSessionTaskKind::data, net::URLSessionTaskKind::download}) {
            std::optional<ns::Error> error;
            if (kind == net::URLSessionTaskKind::data) {
                error = runDataTask(*session, net::URLRequest(c.url)).error;
            } else {
                Waiter<std::optional<ns::Error>> done;
                auto task = session->downloadTaskWithRequest(
                    net::URLRequest(c.url), [&](const auto&, const auto&, const auto& e) { done.set(e); });
                task->resume();
                error = done.wait().value_or(ns::Error("test-timeout", 1));
            }
            if (c.arrives) {
                EXPECT_FALSE(error) << error->description();
            } else {
                ASSERT_TRUE(error);
                EXPECT_EQ(error->code(), net::URLErrorAppTransportSecurityRequiresSecureConnection)
                    << error->description();
            }
        }
        EXPECT_EQ(target.connections() - before, c.arrives ? 2 : 0);
    }
}

// A request to this machine carries its keys straight there: whatever proxy the environment names, it
// never goes through it, nor does a redirect hop to this machine. Elsewhere the environment's proxy is
// still taken.
TEST_F(HostileServers, ARequestToThisMachineNeverTakesTheEnvironmentsProxy) {
    RawTCPServer proxy(RawTCPServer::Behaviour::reset);
    RawTCPServer target(RawTCPServer::Behaviour::answer, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    HostileServer hop(HostileServer::Behaviour::redirect, target.url("/after-hop"), 307);
    EnvironmentScope proxies(everyRequestThrough(proxy.url("")));
    auto session = trustingSession();
    for (const std::string& url : {target.url("/direct"), hop.url("/start")}) {
        net::URLRequest request(url);
        request.setValue("secret-key", "X-API-Key");
        auto outcome = runDataTask(*session, request);
        EXPECT_FALSE(outcome.error) << url << ": " << outcome.error->description();
        EXPECT_EQ(outcome.body(), "ok") << url;
    }
    EXPECT_TRUE(proxy.requests().empty());
    EXPECT_EQ(target.requests().size(), 2u);
    EXPECT_EQ(hop.connections(), 1);

    net::URLRequest elsewhere("https://proxied.invalid/");
    elsewhere.setTimeoutInterval(10);
    EXPECT_TRUE(runDataTask(*session, elsewhere).error);
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_TRUE(proxy.requests()[0].starts_with("CONNECT proxied.invalid:443 ")) << proxy.requests()[0];
}

// An answer too large for one of its bounds fails with an error that names that bound.
TEST_F(HostileServers, AnOverlongAnswerSaysWhichBoundItMet) {
    std::string block = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 300; ++i)
        block += "X-Pad-" + std::to_string(i) + ": " + std::string(1000, 'b') + "\r\n";
    block += "Content-Length: 0\r\n\r\n";
    const std::string line = "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1/" + std::string(300000, 'a') +
                             "\r\nContent-Length: 0\r\n\r\n";
    const std::string body = "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'c');
    struct Case {
        const char* what;
        const std::string& answer;
        long code;
        const char* says;
    };
    const Case cases[] = {
        {"header block", block, net::URLErrorBadServerResponse,
         "its header block is longer than 262144 bytes"},
        {"header line", line, net::URLErrorBadServerResponse, "a header line is longer than 102400 bytes"},
        {"body", body, net::URLErrorDataLengthExceedsMaximum, "its body is longer than 1000 bytes"},
    };
    for (const auto& c : cases) {
        RawTCPServer server(RawTCPServer::Behaviour::answer, c.answer);
        net::URLRequest request(server.url("/big"));
        request.setMaximumResponseLength(1000);
        auto outcome = runDataTask(*trustingSession(), request);
        ASSERT_TRUE(outcome.error) << c.what;
        EXPECT_EQ(outcome.error->code(), c.code) << c.what << ": " << outcome.error->description();
        EXPECT_NE(outcome.error->description().find(c.says), std::string::npos)
            << c.what << ": " << outcome.error->description();
    }
}

TEST_F(HostileServers, RedirectsChangeTheMethodAsBrowsersDo) {
    const std::pair<int, const char*> cases[] = {
        {301, "GET"}, {302, "GET"}, {303, "GET"}, {307, "POST"}, {308, "POST"}};
    auto session = trustingSession();
    for (const auto& [status, method] : cases) {
        SCOPED_TRACE(status);
        HostileServer target(HostileServer::Behaviour::listen);
        HostileServer redirect(HostileServer::Behaviour::redirect, target.url("/in"), status);
        net::URLRequest request(redirect.url());
        request.setHTTPMethod("POST");
        request.setValue("application/x-test", "Content-Type");
        request.setHTTPBody(std::vector<std::uint8_t>{'b', 'o', 'd', 'y'});
        auto outcome = runDataTask(*session, request);
        ASSERT_FALSE(outcome.error) << outcome.error->description();
        ASSERT_EQ(target.heads().size(), 1u);
        const std::string head = target.heads()[0];
        EXPECT_EQ(head.rfind(std::string(method) + " /in ", 0), 0u) << head;
        // A GET carries nothing of the body, not even its fields, so no server waits for bytes.
        const bool keepsBody = std::string(method) == "POST";
        EXPECT_EQ(head.find("Content-Type: application/x-test") != std::string::npos, keepsBody) << head;
        EXPECT_EQ(target.bytesReceived() - head.size() - 4, keepsBody ? 4u : 0u);
    }
}

TEST_F(HostileServers, ARedirectLoopEndsAfterSixteenHops) {
    // A server that sends every request back to itself.
    HostileServer loop(HostileServer::Behaviour::redirect, "/again");
    auto outcome = runDataTask(*trustingSession(), net::URLRequest(loop.url("/start")));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), net::URLErrorHTTPTooManyRedirects);
    EXPECT_EQ(loop.connections(), 17);
}

// An answer that never ends is cut off at the request's bound, whichever way the body travels: nothing
// of it reaches the caller, no file is left behind, and memory stays near the bound.
TEST_F(HostileServers, AnEndlessAnswerIsCutOffAtTheBound) {
    constexpr std::size_t bound = 256 * 1024;
    enum class Way { collected, streamedToDelegate, downloaded };
    for (Way way : {Way::collected, Way::streamedToDelegate, Way::downloaded}) {
        SCOPED_TRACE(static_cast<int>(way));
        HostileServer endless(HostileServer::Behaviour::endless);
        net::URLRequest request(endless.url("/forever"));
        request.setMaximumResponseLength(bound);
        auto delegate = std::make_shared<RecordingDelegate>();
        auto session = net::URLSession::sessionWithConfiguration(nullptr, delegate);
        const MemoryRise rise;
        std::optional<ns::Error> error;
        std::optional<std::string> location;
        if (way == Way::collected) {
            auto outcome = runDataTask(*session, request);
            error = outcome.error;
            EXPECT_FALSE(outcome.data);
        } else if (way == Way::streamedToDelegate) {
            session->dataTaskWithRequest(request)->resume();
            ASSERT_TRUE(delegate->completed.wait());
            auto events = delegate->events();
            ASSERT_FALSE(events.empty());
            EXPECT_EQ(events.back(), "complete " + std::to_string(net::URLErrorDataLengthExceedsMaximum));
            EXPECT_LE(delegate->body().size(), bound);
            error = ns::Error(net::URLErrorDomain, net::URLErrorDataLengthExceedsMaximum);
        } else {
            Waiter<std::optional<ns::Error>> done;
            auto task =
                session->downloadTaskWithRequest(request, [&](const auto& file, const auto&, const auto& e) {
                    location = file;
                    done.set(e);
                });
            task->resume();
            error = done.wait().value_or(ns::Error("test-timeout", 1));
            EXPECT_FALSE(location);
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), net::URLErrorDataLengthExceedsMaximum) << error->description();
        // What the server got out before the connection closed: the bound plus what the sockets'
        // buffers held, far from the 512 MiB it would send to a reader that never stops.
        EXPECT_LT(endless.bodyBytesSent(), bound + 32u * 1024 * 1024);
        EXPECT_LT(rise.bytes(), 32u * 1024 * 1024);
        // Nothing is left in the sandbox's tmp/ once the call that told of the failure has returned: a
        // download's file goes when its handler returns, and the delegate queue holds that call.
        ASSERT_TRUE(delegateQueueDrained(*session)) << "the delegate queue never came to its end";
        std::error_code ignored;
        EXPECT_TRUE(std::filesystem::is_empty(ns::Sandbox::tmp(), ignored));
        session->invalidateAndCancel();
    }
}

} // namespace
