// The whole road of a learner's crash in the program a person runs, with the real crash kit started by
// the app's own start. tmux runs the test-only build (tests/support/CrashKitHooks.cpp gives it a user id
// and custom keys through the kit's API, as an app would); the first launch ends by SIGSEGV sent from
// outside, by the kit's throwException, or by the kit's crash. The second launch is pointed at a local
// HTTPS server for crash reports (its root pinned by the test build) and for analytics (whose client
// trusts the system's roots: SSL_CERT_FILE names the test root): the server must get exactly one crash
// report, of the first launch, with the user id and the keys in its members, and an analytics upload
// that holds "app_crashed" in the first launch's session. Crash loops, of launches that end right at
// their start (before their analytics recorded a session, too), must still give one "app_crashed" per
// crashed launch, in its session. Skipped when the program has not
// been built or tmux is not installed.
#include "tests/sdk/zevuzavidav/support/AnalyticsUploads.hpp"
#include "tests/sdk/zevuzavidav/support/Multipart.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/sdk/zevuzavidav/support/ReportServer.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace {

using json = nlohmann::json;
using velotest::quote;
namespace fs = std::filesystem;
using reporttest::entries;

const char* const kUserId = "learner-42";
const char* const kKeys = "s:lesson=CH1L2;i:attempts=3;b:sound=1;f:ratio=0.5";
const char* const kReportsPath = "/sdk-api/v1/platforms/ios/apps/com.velomarinth.swift/reports";
const char* const kAnalyticsPath = "/spi/v1/analytics";

// Server settings as an earlier run of the Swift edition in `sandbox` cached them.
void cacheServerSettings(const fs::path& sandbox, const json& settings) {
    const fs::path cache = sandbox / "Library/Caches/io.zovaze.sdk.ios.data/com.velomarinth.swift";
    fs::create_directories(cache);
    std::ofstream(cache / "settings.json") << settings.dump();
}

struct RoadCase {
    const char* name;
    const char* hook; // the kit's test crash the first launch runs; nullptr: killed by SIGSEGV from outside
    const char* endedBy;
    const char* crashMember; // the member of the report that holds the crash
    std::string crashText;   // as the member has it
};

class CrashKitEndToEnd : public ::testing::TestWithParam<RoadCase> {};

using reporttest::partsOf;

// The key-value pairs of a gzip member of a report, decoded; later lines win.
std::map<std::string, std::string> keyValues(const std::string& member) {
    std::map<std::string, std::string> pairs;
    auto text = reporttest::gunzip(member);
    if (!text) return pairs;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        auto kv = json::parse(line, nullptr, false);
        if (kv.is_discarded() || !kv.contains("kv") || !kv["kv"]["value"].is_string()) continue;
        auto unhex = [](const std::string& hex) {
            std::string out;
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
                out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
            return out;
        };
        pairs[unhex(kv["kv"]["key"])] = unhex(kv["kv"]["value"]);
    }
    return pairs;
}

// The session of each "app_crashed" the analytics uploads hold.
std::vector<std::string> sessionsWithACrash(const std::vector<reporttest::Request>& requests) {
    return reporttest::sessionsWithACrash(requests, kAnalyticsPath);
}

std::size_t countTo(const std::vector<reporttest::Request>& requests, const std::string& target) {
    return static_cast<std::size_t>(
        std::count_if(requests.begin(), requests.end(), [&](const auto& r) { return r.target == target; }));
}

TEST_P(CrashKitEndToEnd, TheNextLaunchSendsTheReportWithTheUserAndAnalyticsLogsTheCrash) {
    const RoadCase& road = GetParam();
    const fs::path program = std::string(VELO_BINARY_DIR) + "/test-bundles/crashkit/Swift.app/velomarinth";
    if (!fs::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";

    reporttest::ReportServer server;
    velotest::TempFolder home;
    const std::string roots = std::getenv("VELOMARINTH_TEST_PINNED_ROOTS");
    const std::string environment = "VELOMARINTH_HOME=" + quote(home.path().string()) + " " +
                                    velotools::loopbackServerWords() +
                                    " SettingsEndpoint=https://127.0.0.1:9"
                                    " ZevuzavidavReportsEndpoint=" +
                                    quote(server.base()) + " VELOMARINTH_TEST_PINNED_ROOTS=" + quote(roots) +
                                    " SSL_CERT_FILE=" + quote(roots);
    const fs::path sandbox = home.path() / "com.velomarinth.swift";
    const fs::path tree = sandbox / "Library/Caches/com.zevuzavidav.data/com.velomarinth.swift/v3";

    // The first launch: a user, keys, and the crash.
    std::string crashed;
    {
        const fs::path pidFile = home.path() / "pid";
        std::string launch =
            "echo $$ > " + quote(pidFile.string()) + "; exec env " + environment +
            " VELOMARINTH_TEST_USER_ID=" + kUserId + " VELOMARINTH_TEST_KEYS=" + quote(kKeys) +
            (road.hook ? std::string(" VELOMARINTH_TEST_CRASH=") + road.hook : std::string()) + " " +
            quote(program.string());
        velotest::Tmux first(std::string("velo-kit-e2e-first-") + road.name);
        first.start("sh -c " + quote(launch) + "; echo ENDED-BY-$(kill -l $?)");
        if (!road.hook) {
            first.waitFor("SWIFT BASICS");
            std::ifstream in(pidFile);
            pid_t pid = 0;
            in >> pid;
            ASSERT_GT(pid, 0);
            ASSERT_EQ(::kill(pid, SIGSEGV), 0);
        }
        const std::string shown = first.waitFor("PROGRAM-ENDED");
        EXPECT_NE(shown.find(std::string("ENDED-BY-") + road.endedBy), std::string::npos) << shown;
        auto active = entries(tree / "active");
        ASSERT_EQ(active.size(), 1u);
        crashed = active[0];
    }
    EXPECT_TRUE(server.requests().empty());

    // Server settings an earlier run cached: analytics on, uploading to the server every second.
    cacheServerSettings(sandbox, json{{"features", {{"collect_analytics", true}}},
                                      {"analytics",
                                       {{"url", server.base() + kAnalyticsPath},
                                        {"flush_interval_secs", 1},
                                        {"max_pending_send_file_count", 100},
                                        {"track_custom_events", true},
                                        {"track_predefined_events", true}}}});

    velotest::Tmux second(std::string("velo-kit-e2e-second-") + road.name);
    second.start("env " + environment + " " + quote(program.string()));
    second.waitFor("SWIFT BASICS");
    ASSERT_TRUE(velotest::waitUntil([&] {
        auto requests = server.requests();
        return countTo(requests, kReportsPath) >= 1 && !sessionsWithACrash(requests).empty();
    })) << "requests: "
        << server.requests().size() << "\n"
        << second.screen();
    // Anything that would still come has had its chance.
    ASSERT_TRUE(velotest::waitUntil([&] { return entries(tree / "prepared").empty(); }));
    second.keys("q");
    second.waitFor("PROGRAM-ENDED");

    const auto requests = server.requests();
    ASSERT_EQ(countTo(requests, kReportsPath), 1u) << "exactly one crash report";
    const auto report = std::find_if(requests.begin(), requests.end(),
                                     [](const auto& request) { return request.target == kReportsPath; });
    auto parts = partsOf(*report);
    EXPECT_EQ(parts["report_id"], crashed);
    const auto crash = reporttest::gunzip(parts[road.crashMember]);
    ASSERT_TRUE(crash) << road.crashMember;
    EXPECT_NE(crash->find(road.crashText), std::string::npos) << *crash;
    EXPECT_EQ(keyValues(parts["internal_incremental_kv"])["com.zevuzavidav.user-id"], kUserId);
    EXPECT_EQ(keyValues(parts["user_incremental_kv"]),
              (std::map<std::string, std::string>{
                  {"lesson", "CH1L2"}, {"attempts", "3"}, {"sound", "1"}, {"ratio", "0.5"}}));

    EXPECT_EQ(sessionsWithACrash(requests), std::vector<std::string>{crashed})
        << "app_crashed, once, in the first launch's session";
}

// Launches of the test build that crash at once, and a last one that sends what they left.
class CrashKitLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
        if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";
    }

    std::string environment() const {
        const std::string roots = std::getenv("VELOMARINTH_TEST_PINNED_ROOTS");
        return "VELOMARINTH_HOME=" + quote(home.path().string()) + " " + velotools::loopbackServerWords() +
               " SettingsEndpoint=https://127.0.0.1:9 ZevuzavidavReportsEndpoint=" + quote(server.base()) +
               " VELOMARINTH_TEST_PINNED_ROOTS=" + quote(roots) + " SSL_CERT_FILE=" + quote(roots);
    }
    fs::path sandbox() const { return home.path() / "com.velomarinth.swift"; }
    fs::path tree() const {
        return sandbox() / "Library/Caches/com.zevuzavidav.data/com.velomarinth.swift/v3";
    }

    // A launch with `more` in its environment that must end by SIGSEGV; the report folders in "active"
    // after it.
    std::vector<std::string> crashingLaunch(const std::string& more) {
        velotest::Tmux tmux("velo-kit-loop");
        tmux.start("env " + more + " " + environment() + " " + quote(program.string()) +
                   "; printf '\\r\\nENDED-BY-%s\\r\\n' $(kill -l $?)");
        const std::string shown = tmux.waitFor("PROGRAM-ENDED");
        EXPECT_NE(shown.find("ENDED-BY-SEGV"), std::string::npos) << shown;
        return entries(tree() / "active");
    }

    // Whether analytics still holds anything of the sessions of `launches`, packaged or not.
    bool analyticsHoldsSessionsOf(const std::set<std::string>& launches) const {
        const fs::path v1 = tree().parent_path() / "analytics/v1";
        for (const char* state : {"ACTIVE", "PACKAGED"})
            for (const auto& session : entries(v1 / state))
                if (launches.count(session.substr(session.find('_') + 1)) != 0) return true;
        return false;
    }

    // A launch that runs, with analytics on and uploading to the server every second (server settings
    // an earlier run cached), until the server has the reports of `launches` and analytics has sent
    // everything of their sessions; the requests by then.
    std::vector<reporttest::Request> sendingLaunch(const std::set<std::string>& launches) {
        cacheServerSettings(sandbox(), json{{"features", {{"collect_analytics", true}}},
                                            {"analytics",
                                             {{"url", server.base() + kAnalyticsPath},
                                              {"flush_interval_secs", 1},
                                              {"max_pending_send_file_count", 100}}}});
        velotest::Tmux last("velo-kit-loop-last");
        last.start("env " + environment() + " " + quote(program.string()));
        last.waitFor("SWIFT BASICS");
        EXPECT_TRUE(velotest::waitUntil([&] {
            return reportsSent() == launches && entries(tree() / "prepared").empty() &&
                   entries(tree() / "processing").empty() && !analyticsHoldsSessionsOf(launches);
        })) << "reports: "
            << reportsSent().size() << ", crashes: " << sessionsWithACrash(server.requests()).size();
        last.keys("q");
        last.waitFor("PROGRAM-ENDED");
        return server.requests();
    }

    std::set<std::string> reportsSent() const {
        std::set<std::string> sent;
        for (const auto& request : server.requests())
            if (request.target == kReportsPath) sent.insert(partsOf(request)["report_id"]);
        return sent;
    }

    const fs::path program = std::string(VELO_BINARY_DIR) + "/test-bundles/crashkit/Swift.app/velomarinth";
    reporttest::ReportServer server;
    velotest::TempFolder home;
};

// A crash loop: five launches each crash as the app becomes active, right after the SDK's start, before
// the main loop has run anything (the test build's VELOMARINTH_TEST_CRASH_AT_START). Each launch finds
// the report of the one before, and that launch's crash must be in analytics by then, since the launch
// ends at once. A last launch that runs sends it all: five reports, and "app_crashed" once in each
// crashed launch's session.
TEST_F(CrashKitLoop, EveryLaunchOfACrashLoopIsLoggedAsACrashOfItsOwnSession) {
    constexpr std::size_t kLaunches = 5;
    std::set<std::string> crashed;
    for (std::size_t launch = 1; launch <= kLaunches; ++launch) {
        // This launch's report is the one in "active" that no earlier launch left.
        for (const auto& folder : crashingLaunch("VELOMARINTH_TEST_CRASH_AT_START=1"))
            crashed.insert(folder);
        ASSERT_EQ(crashed.size(), launch) << "launch " << launch;
    }
    const auto requests = sendingLaunch(crashed);
    auto sessions = sessionsWithACrash(requests);
    std::sort(sessions.begin(), sessions.end());
    EXPECT_EQ(sessions, std::vector<std::string>(crashed.begin(), crashed.end()))
        << "app_crashed once in each crashed launch's session";
}

// The second launch faults the moment it moves the first one's report out of "active" (a preloaded
// rename), before its analytics has recorded a session of its own: the first launch's crash is on disk
// by then. The third launch still knows the first launch's session as the last one and is told of the
// second one's report: that crash is logged too, in a session of the second launch's own, and the first
// launch's session keeps its one crash.
TEST_F(CrashKitLoop, ALaunchThatEndsAsItHandsAReportOnLeavesItsCrashLoggedOnce) {
    const auto first = crashingLaunch("VELOMARINTH_TEST_CRASH_AT_START=1");
    ASSERT_EQ(first.size(), 1u);
    const auto second = crashingLaunch("LD_PRELOAD=" + quote(VELO_FAULT_ON_PROCESSING));
    ASSERT_EQ(second.size(), 1u);
    ASSERT_NE(second, first);
    ASSERT_EQ(entries(tree() / "processing"), first) << "the second launch ended as it handed the report on";

    const auto requests = sendingLaunch({first[0], second[0]});
    auto sessions = sessionsWithACrash(requests);
    std::sort(sessions.begin(), sessions.end());
    auto launches = std::vector<std::string>{first[0], second[0]};
    std::sort(launches.begin(), launches.end());
    EXPECT_EQ(sessions, launches) << "app_crashed once in each crashed launch's session";
}

INSTANTIATE_TEST_SUITE_P(CrashKitRoads, CrashKitEndToEnd,
                         ::testing::Values(RoadCase{"KilledBySigsegv", nullptr, "SEGV", "signal"},
                                           RoadCase{"ThrowException", "throwException", "ABRT", "exception"},
                                           RoadCase{"Crash", "crash", "TRAP", "mach_exception"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
