// Maintenance: the timer, packaging, one upload per fragment against a local HTTPS server, pruning.
#include "platform/dispatch/Clock.hpp"
#include "platform/foundation/Console.hpp"
#include "sdk/rurorad/upload/ZEVAnalyticsNetworkingClient.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "tests/sdk/rurorad/support/EngineFixture.hpp"
#include "tests/support/HostileServer.hpp"

#include <random>

namespace fs = std::filesystem;
using namespace ruroradtest;

namespace {

const std::string kSession = std::string("1700000000001_") + AnalyticsWorld::executionIdentifier;

void touch(const fs::path& path, const std::string& content = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

class Maintenance : public EngineFixture {
  protected:
    nlohmann::json settingsFor(const std::optional<std::string>& url, std::uint32_t pendingLimit = 1000) {
        nlohmann::json analytics = {{"max_pending_send_file_count", pendingLimit},
                                    {"track_custom_events", true},
                                    {"track_predefined_events", true}};
        if (url) analytics["url"] = *url;
        return {{"features", {{"collect_analytics", true}}}, {"analytics", analytics}};
    }
    void logSome() {
        controller->logCustomEvent(*ZEVRuroradCustomEvent::initWithName("tapped"));
        controller->logAppLaunched();
        settle();
    }
};

TEST(MaintenanceTimer, FirstFireWaitsForTheRestOfTheInterval) {
    const auto at = [](double seconds) { return ns::Date::fromTimeIntervalSince1970(seconds); };
    struct Case {
        double interval;
        double last;
        double now;
        double firstFire;
    };
    const Case cases[] = {
        {3600, 10000, 11000, 2600}, // 1000 s ago
        {3600, 10000, 15000, 0},    // 5000 s ago: at once
        {3600, 10000, 13600, 0},
        {3600, 20000, 10000, 3600}, // a last maintenance "in the future" counts as now
        {60, 10000, 10000.5, 59.5},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ZEVAnalyticsController::initialMaintenanceTimeWithFlushInterval(
                             c.interval, at(c.last), at(c.now)),
                         c.firstFire)
            << c.interval << " " << c.last << " " << c.now;
}

TEST_F(Maintenance, TheTimerFiresFirstAfterTheRestOfTheIntervalThenEveryInterval) {
    dispatch::VirtualClock& clock = useVirtualClock();
    const ns::Date longAgo =
        ns::Date::fromTimeIntervalSince1970(ns::Date::now().timeIntervalSince1970() - 1000);
    world.defaults->setObject(ns::PropertyList(longAgo), ZEVAnalyticsController::lastMaintenanceDateKey);
    start();
    nlohmann::json settings = settingsFor(std::nullopt);
    settings["analytics"]["flush_interval_secs"] = 3600;
    applySettings(settings);
    ASSERT_TRUE(controller->hasSessionMaintenanceTimer());
    const auto fragments = [&] { return identifiers->fragments.load(); };
    const int before = fragments();
    clock.advance(dispatch::fromSeconds(2590));
    settle();
    EXPECT_EQ(fragments(), before);
    clock.advance(dispatch::fromSeconds(20));
    EXPECT_TRUE(eventually([&] { return fragments() == before + 1; }));
    clock.advance(dispatch::fromSeconds(3600));
    EXPECT_TRUE(eventually([&] { return fragments() == before + 2; }));
    settle();
    // The run records its end; the timer goes with analytics.
    EXPECT_GT(controller->lastMaintenanceDate()->timeIntervalSince1970(),
              longAgo.timeIntervalSince1970() + 900);
    applySettings({{"features", {{"collect_analytics", false}}}});
    EXPECT_FALSE(controller->hasSessionMaintenanceTimer());
}

TEST_F(Maintenance, AFirstLaunchWaitsAWholeInterval) {
    dispatch::VirtualClock& clock = useVirtualClock();
    start();
    nlohmann::json settings = settingsFor(std::nullopt);
    settings["analytics"]["flush_interval_secs"] = 600;
    applySettings(settings);
    const int before = identifiers->fragments;
    clock.advance(dispatch::fromSeconds(590));
    settle();
    EXPECT_EQ(identifiers->fragments, before);
    ASSERT_TRUE(controller->lastMaintenanceDate()); // stored when the timer was made
    clock.advance(dispatch::fromSeconds(20));
    EXPECT_TRUE(eventually([&] { return identifiers->fragments == before + 1; }));
}

// The lines of every part of an upload, inflated; the test fails on a part that is not whole gzip.
std::map<std::string, std::vector<LogLine>> inflatedParts(const Upload& upload) {
    std::map<std::string, std::vector<LogLine>> parts;
    for (const auto& part : upload.parts) {
        auto text = gunzip(part.content);
        EXPECT_TRUE(text) << part.name;
        parts[part.name] = text ? parseLog(*text) : std::vector<LogLine>{};
    }
    return parts;
}

TEST_F(Maintenance, FragmentLifeCycleAgainstALocalServer) {
    AnalyticsServer server;
    start();
    applySettings(settingsFor(server.url()));
    logSome();
    maintain();

    // One request for the closed fragment, one part per log, each opening with the session's metadata.
    ASSERT_EQ(server.uploadCount(), 1u);
    const auto parts = inflatedParts(server.uploads()[0]);
    ASSERT_EQ(parts.size(), 2u);
    for (const auto& [name, lines] : parts) {
        ASSERT_GE(lines.size(), 2u) << name;
        EXPECT_EQ(lines[0].key, "metadata");
        EXPECT_EQ(nlohmann::json::parse(*lines[0].payload)["session_id"],
                  AnalyticsWorld::executionIdentifier);
    }
    EXPECT_EQ(parts.at("1.log.zip")[1].key, "app_launched");
    EXPECT_EQ(parts.at("2.log.zip")[1].key, "custom");
    EXPECT_EQ(server.uploads()[0].parts[0].contentType, "application/vnd.zevuzavidav.ios.events");
    EXPECT_TRUE(filesIn("PACKAGED").empty());

    // The server fails: the packaged fragment stays for a later run.
    server.setStatus(503);
    logSome();
    maintain();
    EXPECT_EQ(server.uploadCount(), 1u + 11u); // the client's own retries
    EXPECT_EQ(filesIn("PACKAGED").size(), 2u);

    // It recovers: both waiting fragments go, one request each.
    server.setStatus(200);
    logSome();
    maintain();
    EXPECT_EQ(server.uploadCount(), 12u + 2u);
    EXPECT_TRUE(filesIn("PACKAGED").empty());

    // A fragment in which nothing was written goes as a request without parts.
    maintain();
    ASSERT_EQ(server.uploadCount(), 15u);
    EXPECT_TRUE(server.uploads().back().parts.empty());
    EXPECT_TRUE(filesIn("PACKAGED").empty());
    EXPECT_TRUE(filesIn("ACTIVE").empty());
}

// The event logs and the API key reach no plain-HTTP host on any route, an answer that never ends is
// cut off, and each refused fragment stays packaged for a later run.
TEST_F(Maintenance, NoRouteLeadsAnUploadToAPlainHttpHostAndTheFragmentsWait) {
    velotest::HostileServer target(velotest::HostileServer::Behaviour::listen);
    velotest::HostileServer bounce(velotest::HostileServer::Behaviour::redirect, target.nameURL("/a"), 307);
    velotest::HostileServer endless(velotest::HostileServer::Behaviour::endless);
    AnalyticsServer https;
    https.redirectTo(target.nameURL("/a"));
    const std::pair<const char*, std::string> rows[] = {
        {"the URL is a host name", target.nameURL("/spi/v1/analytics")},
        {"a loopback URL redirects there", bounce.url()},
        {"an HTTPS server redirects there", https.url()},
        {"the answer never ends", endless.url()},
    };
    start();
    std::size_t waiting = 0;
    for (const auto& [what, url] : rows) {
        SCOPED_TRACE(what);
        applySettings(settingsFor(url));
        logSome();
        const velotest::MemoryRise rise;
        maintain();
        EXPECT_LT(rise.bytes(), 64u * 1024 * 1024);
        waiting += 2;
        EXPECT_EQ(filesIn("PACKAGED").size(), waiting);
        EXPECT_EQ(target.connections(), 0);
    }
    // Every run offers every waiting fragment once, and none is retried: 2, then 3, then 4.
    EXPECT_EQ(bounce.connections(), 2);
    EXPECT_EQ(https.uploadCount(), 3u);
    EXPECT_EQ(endless.connections(), 4);
    EXPECT_LT(endless.bodyBytesSent(),
              4 * (ZEVAnalyticsNetworkingClient::maximumAnswerLength + 32u * 1024 * 1024));
}

TEST_F(Maintenance, WithoutAnURLEveryRunKeepsThePackagedFragments) {
    zovaze::setDebugFlag(true);
    ns::ConsoleCapture console;
    start();
    applySettings(settingsFor(std::nullopt));
    logSome();
    maintain();
    zovaze::setDebugFlag(false);
    EXPECT_TRUE(
        console.contains("[Zevuzavidav:Rurorad] Unable to transmit packaged session fragments {The "
                         "operation couldn't be completed. (ZEVAnalyticsControllerErrorDomain error -2.)}"));
    EXPECT_EQ(filesIn("PACKAGED").size(), 2u);
}

TEST_F(Maintenance, PoorlyCompressingLogsStillPackage) {
    AnalyticsServer server;
    start();
    applySettings(settingsFor(server.url()));
    std::string noise(1 << 20, '\0');
    std::mt19937 random(3);
    for (auto& byte : noise)
        byte = static_cast<char>(random());
    touch(v1() / "ACTIVE" / kSession / "5_CLOSED" / "2.log", noise);
    maintain();
    ASSERT_EQ(server.uploadCount(), 2u);
    bool found = false;
    for (const auto& upload : server.uploads())
        for (const auto& part : upload.parts)
            if (gunzip(part.content) == noise) found = true;
    EXPECT_TRUE(found);
    EXPECT_TRUE(filesIn("PACKAGED").empty());
}

TEST_F(Maintenance, APackagingCutShortLeavesTheFragmentActiveAndSendsWhatWasPrepared) {
    AnalyticsServer server;
    start();
    applySettings(settingsFor(server.url()));
    const fs::path broken = v1() / "ACTIVE" / kSession / "5_BROKEN";
    touch(broken / "0.log", "5\tk\n");
    fs::create_directories(broken / "1.log"); // cannot be read as a log: packaging stops there
    // A left-over of an interrupted packaging is purged before packaging starts.
    touch(v1() / "PACKAGED" / kSession / "4_OLD.prep" / "0.log.zip", "stale");
    maintain();
    EXPECT_TRUE(fs::exists(broken / "0.log"));
    EXPECT_FALSE(fs::exists(v1() / "PACKAGED" / kSession / "4_OLD.prep"));
    // The half-made prep directory went out like any packaged fragment (beside the launch's first, empty
    // fragment, when that was packaged before), and was deleted once taken.
    ASSERT_GE(server.uploadCount(), 1u);
    for (const auto& upload : server.uploads())
        for (const auto& part : upload.parts)
            EXPECT_TRUE(part.name == "0.log.zip" || part.name == "1.log.zip") << part.name;
    EXPECT_TRUE(filesIn("PACKAGED").empty());
    // Clean-up took the stray directory out of the fragment, so the next run packages it whole.
    EXPECT_FALSE(fs::exists(broken / "1.log"));
    const std::size_t before = server.uploadCount();
    maintain();
    EXPECT_FALSE(fs::exists(broken));
    bool sent = false;
    const auto uploads = server.uploads();
    for (std::size_t i = before; i < uploads.size(); ++i)
        for (const auto& part : uploads[i].parts)
            sent |= part.name == "0.log.zip" && gunzip(part.content) == "5\tk\n";
    EXPECT_TRUE(sent);
}

// A backlog goes out from its oldest end, the one pruning takes next, whatever order the file system
// lists it in: sessions and fragments are named by their time of creation.
TEST_F(Maintenance, PackagedFragmentsGoOutOldestFirst) {
    AnalyticsServer server;
    const std::vector<std::string> oldestFirst = {
        "1600000000001_S1/1600000000002_F", "1600000000001_S1/1600000000009_F",
        "1650000000000_S2/1650000000001_F", "1650000000000_S2/1650000000300_F",
        "1690000000000_S3/1690000000001_F"};
    // Made newest first, and with names the file system's hash order does not follow.
    for (auto at = oldestFirst.rbegin(); at != oldestFirst.rend(); ++at)
        touch(v1() / "PACKAGED" / *at / "1.log.zip", *at);
    start();
    applySettings(settingsFor(server.url()));
    maintain();
    std::vector<std::string> sent;
    for (const auto& upload : server.uploads())
        for (const auto& part : upload.parts)
            if (std::find(oldestFirst.begin(), oldestFirst.end(), part.content) != oldestFirst.end())
                sent.push_back(part.content);
    EXPECT_EQ(sent, oldestFirst);
}

TEST_F(Maintenance, PruningTakesLowPrioritiesFirstOldestFirstAndSparesTheOpenFragment) {
    start();
    controller->logAppLaunched(); // the open fragment holds 1.log
    settle();
    for (const char* fragment : {"10_A", "20_B", "30_C", "40_D", "50_E"})
        touch(v1() / "PACKAGED" / kSession / fragment / "2.log.zip");
    touch(v1() / "PACKAGED" / kSession / "15_X" / "0.log.zip");
    touch(v1() / "PACKAGED" / kSession / "25_Y" / "1.log.zip");
    touch(v1() / "PACKAGED" / "1_OLDER" / "60_Z" / "1.log.zip");
    applySettings(settingsFor(std::nullopt, 2));
    maintain();
    // Nine files with the just-closed fragment's 1.log: the five of priority 2 go, then the two of
    // priority 1 whose paths sort first ("1700..." before "1_OLDER", plain byte order).
    EXPECT_EQ(filesIn("PACKAGED"),
              (std::vector<std::string>{kSession + "/15_X/0.log.zip", "1_OLDER/60_Z/1.log.zip"}));
    controller->logAppLaunched();
    settle();
    const fs::path open = openFragment();
    applySettings(settingsFor(std::nullopt, 0));
    maintain();
    EXPECT_TRUE(filesIn("PACKAGED").empty());
    EXPECT_EQ(filesIn("ACTIVE").size(), 0u) << "the run's own new fragment holds nothing yet";
    // The open fragment's files are never pruned.
    controller->logAppLaunched();
    settle();
    controller->sessionMaintenanceQueue().sync([] {});
    EXPECT_TRUE(fs::exists(openFragment() / "1.log"));
    (void)open;
}

TEST(PruningGroups, GroupByPriorityAndSortByPath) {
    const auto groups = ZEVAnalyticsController::mutableSortedFileURLsGroupedByPrioritiesFromLogFileURLs(
        {"/r/v1/PACKAGED/2_S/9_F/2.log.zip", "/r/v1/ACTIVE/3_S/1_F/2.log", "/r/v1/ACTIVE/1_S/1_F/0.log",
         "/r/v1/ACTIVE/1_S/1_F/7.log"});
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0], std::vector<std::string>{"/r/v1/ACTIVE/1_S/1_F/0.log"});
    EXPECT_TRUE(groups[1].empty());
    EXPECT_EQ(groups[2],
              (std::vector<std::string>{"/r/v1/ACTIVE/3_S/1_F/2.log", "/r/v1/PACKAGED/2_S/9_F/2.log.zip"}));
}

} // namespace
