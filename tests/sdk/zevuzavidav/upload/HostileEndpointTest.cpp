// Report uploads against endpoints that would take the report and the API key where they must not go,
// or answer without end: nothing reaches a plain-HTTP host, memory stays bounded, and the package
// waits in "prepared" for a later launch.
#include "tests/sdk/zevuzavidav/support/CrashLife.hpp"
#include "tests/support/HostileServer.hpp"

#include <gtest/gtest.h>

namespace {

using namespace reporttest;
using velotest::HostileServer;

TEST(ReportUploadPolicy, NoRouteLeadsAReportToAPlainHttpHostAndThePackageWaits) {
    HostileServer target(HostileServer::Behaviour::listen);
    HostileServer bounce(HostileServer::Behaviour::redirect, target.nameURL("/reports"), 307);
    HostileServer endless(HostileServer::Behaviour::endless);
    ReportServer pinned([&](const Request&, std::size_t) {
        Answer answer;
        answer.status = 307;
        answer.headers = {{"Location", target.nameURL("/reports")}};
        answer.body.clear();
        return answer;
    });
    struct Row {
        const char* what;
        std::string endpoint;
        std::function<bool()> reached; // the endpoint has seen the upload
    };
    const Row rows[] = {
        {"the endpoint is a host name", target.nameURL(), [] { return true; }},
        {"a loopback endpoint redirects there", bounce.url(), [&] { return bounce.connections() > 0; }},
        {"the pinned server redirects there", pinned.base(), [&] { return !pinned.requests().empty(); }},
        {"the answer never ends", endless.url(), [&] { return endless.connections() > 0; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TestApp app(row.endpoint);
        auto kit = std::make_shared<TestKit>();
        const velotest::MemoryRise rise;
        auto controller = app.startAfterCrashes(kit, {"old"});
        ASSERT_TRUE(app.started);
        EXPECT_TRUE(TestApp::eventually(row.reached));
        EXPECT_TRUE(TestApp::settleUploads(controller));
        EXPECT_EQ(app.names(app.files->preparedPath()).size(), 1u) << "the package waits for a later launch";
        EXPECT_EQ(target.connections(), 0);
        EXPECT_LT(rise.bytes(), 64u * 1024 * 1024);
        controller.reset();
    }
    EXPECT_LT(endless.bodyBytesSent(), ZEVReportsController::maximumAnswerLength + 32u * 1024 * 1024);
}

} // namespace
