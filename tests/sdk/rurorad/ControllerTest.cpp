// The analytics engine's road of one event: switches before and after settings, per-priority files of the
// open fragment, the metadata line, the previous launch's crash.
#include "platform/dispatch/Clock.hpp"
#include "platform/foundation/Console.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsSessionCrash.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsApplicationLifecycleEvent.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "tests/sdk/rurorad/support/EngineFixture.hpp"
#include "tests/sdk/rurorad/support/Held.hpp"

#include <thread>

namespace fs = std::filesystem;
using namespace ruroradtest;

namespace {

const std::string kDisabledLine = "[Zevuzavidav:Rurorad] Rurorad is disabled for this application. Please "
                                  "enable Rurorad on your dashboard.";
const std::string kSession = std::string("1700000000001_") + AnalyticsWorld::executionIdentifier;

ZEVRuroradCustomEvent tapped() {
    return *ZEVRuroradCustomEvent::initWithName("tapped", ZEVRuroradAttributeEntries{{"where", "home"}});
}

nlohmann::json enabledSettings(nlohmann::json analytics = nlohmann::json::object()) {
    return {{"features", {{"collect_analytics", true}}}, {"analytics", analytics}};
}

using Engine = EngineFixture;

TEST_F(Engine, EveryLogFileOpensWithTheMetadataLineAndTakesItsPrioritysEvents) {
    start();
    EXPECT_EQ(openFragment(), v1() / "ACTIVE" / kSession / "1700000000001_F1");
    controller->logCustomEvent(tapped());
    controller->logAppLaunched();
    settle();
    const std::string metadata = controller->metadataJSONData();
    EXPECT_EQ(
        readFile(openFragment() / "2.log"),
        "1700000000001\tmetadata\t" + std::to_string(metadata.size()) + "\t" + metadata + "\n" +
            "1700000000002\tcustom\t103\t"
            R"({"custom_type":"tapped","predefined_attributes":{},"custom_attributes":{"where":"home"},"eventId":"E1"})"
            "\n");
    const auto medium = openLog(1);
    ASSERT_EQ(medium.size(), 2u);
    EXPECT_EQ(medium[1].key, "app_launched");
    EXPECT_EQ(nlohmann::json::parse(*medium[0].payload)["session_id"], AnalyticsWorld::executionIdentifier);
    EXPECT_FALSE(fs::exists(openFragment() / "0.log")); // a file comes with its first event
}

TEST_F(Engine, BeforeSettingsEventsAreTakenAndAHighPriorityEventOnlyAsksForMaintenanceLater) {
    start();
    controller->logCustomEvent(tapped());
    controller->logEvent(ZEVAnalyticsApplicationLifecycleEvent::initWithApplicationNotificationName(
        "UIApplicationDidBecomeActiveNotification", 5, "A", false));
    settle();
    const fs::path first = openFragment();
    EXPECT_EQ(openLog(0).back().key, "app_became_active");
    EXPECT_EQ(openFragment(), first) << "no maintenance before settings";
    // Settings arrive: the maintenance asked for runs, closes the fragment and packages it.
    applySettings(enabledSettings({{"max_pending_send_file_count", 100}}));
    EXPECT_TRUE(eventually([&] { return openFragment() != first && filesIn("PACKAGED").size() == 2; }));
    settle();
    EXPECT_EQ(filesIn("PACKAGED"), (std::vector<std::string>{kSession + "/1700000000001_F1/0.log.zip",
                                                             kSession + "/1700000000001_F1/2.log.zip"}));
}

// Low-priority events are written in groups a moment after the first arrives; the clock here never
// reaches that moment, so only the notification itself can put them on disk before the process ends.
TEST_F(Engine, AnEventLoggedJustBeforeTerminationIsOnDiskWhenTheNotificationReturns) {
    useVirtualClock();
    start();
    controller->logCustomEvent(tapped());
    world.center.post("UIApplicationWillTerminateNotification");
    const auto low = parseLog(readFile(openFragment() / "2.log"));
    ASSERT_EQ(low.size(), 2u);
    EXPECT_EQ(low[1].key, "custom");
    EXPECT_EQ(openLog(1).back().key, "app_terminated");
}

TEST_F(Engine, CollectAnalyticsOffDeletesTheRootAndSilencesEvents) {
    start();
    controller->logCustomEvent(tapped());
    settle();
    ASSERT_TRUE(fs::exists(world.root()));
    applySettings({{"features", {{"collect_analytics", false}}}});
    EXPECT_FALSE(fs::exists(world.root()));
    {
        ns::ConsoleCapture console;
        controller->logCustomEvent(tapped());
        controller->logAppLaunched();
        settle();
        EXPECT_EQ(console.lines(), std::vector<std::string>{
                                       "[Zevuzavidav:Rurorad] Rurorad Event tracking is disabled for this "
                                       "application. Ignoring ZEVRuroradCustomEvent { {where = \"home\"} }"});
        controller->logRuroradEvent(tapped());
        EXPECT_TRUE(console.contains(kDisabledLine));
    }
    EXPECT_FALSE(fs::exists(world.root()));
    EXPECT_FALSE(controller->hasSessionMaintenanceTimer());

    // Enabled again in the same process: no open file until maintenance opens a new fragment.
    zovaze::setDebugFlag(true);
    ns::ConsoleCapture console;
    applySettings(enabledSettings());
    controller->logAppLaunched();
    settle();
    zovaze::setDebugFlag(false);
    EXPECT_TRUE(
        console.contains("[Zevuzavidav:Rurorad] Unable to create a new log file for priority 1 {error: No "
                         "such file or directory (no open session fragment)}"));
    maintain();
    controller->logAppLaunched();
    settle();
    EXPECT_EQ(openLog(1).back().key, "app_launched");
}

TEST_F(Engine, SettingsWithoutAnAnalyticsSectionLeaveNoURLNoTimerAndNoPruningLimit) {
    start();
    applySettings({{"features", {{"collect_analytics", true}}}});
    const ZEVAnalyticsSettings& settings = controller->settings();
    EXPECT_TRUE(settings.haveSettings);
    EXPECT_FALSE(settings.analyticsURL);
    EXPECT_EQ(settings.maxPendingSendFileCount, 0u);
    EXPECT_FALSE(controller->hasSessionMaintenanceTimer());
    EXPECT_FALSE(settings.customEventsFeatureSwitchEnabled()); // a missing switch reads as off
}

TEST_F(Engine, AppInstalledOnlyInTheLaunchThatMadeTheInstallation) {
    start();
    controller->logAppInstalled();
    settle();
    EXPECT_FALSE(fs::exists(openFragment() / "0.log"));
    world.firstInstall = true;
    controller->logAppInstalled();
    settle();
    EXPECT_EQ(openLog(0).back().key, "app_installed");
}

TEST_F(Engine, PrioritiesBeyondLowAreDroppedWithoutAWord) {
    start();
    ns::ConsoleCapture console;
    controller->logEvent(std::make_shared<ZEVEventLogEvent>(3, 1, "odd"));
    controller->logEvent(nullptr);
    settle();
    EXPECT_TRUE(console.lines().empty());
    EXPECT_TRUE(filesIn("ACTIVE").empty());
}

TEST_F(Engine, ThePreviousLaunchsCrashGoesIntoThatLaunchsSession) {
    // Without a stored last session nothing is written.
    start();
    controller->logPreviousSessionCrashedOnDate(ns::Date::fromTimeIntervalSince1970(1600000000.75));
    settle();
    EXPECT_TRUE(filesIn("ACTIVE").empty());
    const std::string firstMetadata = controller->metadataJSONData();
    controller.reset();

    // The next launch: the crash goes into the first launch's session, in a fragment of its own, closed.
    // That session crashed once: told again, even of a later date, it keeps the one crash.
    timestamps->next = 1800000000000;
    start();
    controller->logPreviousSessionCrashedOnDate(ns::Date::fromTimeIntervalSince1970(1600000000.75));
    controller->logPreviousSessionCrashedOnDate(std::nullopt);
    controller->logPreviousSessionCrashedOnDate(ns::Date::fromTimeIntervalSince1970(1600000009));
    settle();
    const fs::path crashLog = v1() / "ACTIVE" / kSession /
                              ("1600000000000_" + ZEVAnalyticsCrashFragmentIdentifier(
                                                      AnalyticsWorld::executionIdentifier, 1700000000001)) /
                              "1.log";
    ASSERT_TRUE(fs::exists(crashLog)) << testing::PrintToString(filesIn("ACTIVE"));
    const auto lines = parseLog(readFile(crashLog));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].timestamp, "1600000000000");
    EXPECT_EQ(lines[0].key, "metadata");
    EXPECT_EQ(*lines[0].payload, firstMetadata);
    EXPECT_EQ(lines[1].key, "app_crashed");
    EXPECT_EQ(lines[1].timestamp, "1600000000000");
    EXPECT_EQ(filesIn("ACTIVE").size(), 1u);
}

// The monotonic clock, telling when the thread that asked to be watched begins a bounded wait on it.
class WatchedClock final : public dispatch::Clock {
  public:
    void watchThisThread() { watched_ = std::this_thread::get_id(); }
    bool watchedThreadWaits() const { return waits_; }

    dispatch::Nanoseconds now() const override { return real_.now(); }
    void waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   dispatch::Nanoseconds deadline) override {
        if (std::this_thread::get_id() == watched_.load()) waits_ = true;
        real_.waitUntil(cv, lock, deadline);
    }

  private:
    dispatch::RealClock real_;
    std::atomic<std::thread::id> watched_{};
    std::atomic<bool> waits_{false};
};

// Once the engine has started, it writes the crash on its maintenance queue, where the fragments the
// crash goes into are packaged and cleaned; the crash kit lets go of the report when the call returns,
// so the call waits for the write, here while the queue is still busy with earlier work.
TEST_F(Engine, APreviousCrashToldAfterTheStartIsOnDiskWhenTheCallReturnsThoughMaintenanceIsBusy) {
    const ZEVAnalyticsSessionRecord crashed{"crashed-launch", 1650000000000, "{}"};
    crashed.save(*world.defaults);
    start();
    const fs::path crashLog =
        v1() / "ACTIVE/1650000000000_crashed-launch" /
        ("1650000300000_" + ZEVAnalyticsCrashFragmentIdentifier(crashed.identifier, crashed.timestamp)) /
        "1.log";
    auto clock = std::make_shared<WatchedClock>();
    const auto previousClock = dispatch::setClock(clock);
    std::atomic<bool> returned{false};
    bool onDiskWhenReturned = false;
    std::jthread caller;
    Gate maintenanceBusy;
    controller->sessionMaintenanceQueue().async(maintenanceBusy.holder());
    caller = std::jthread([&] {
        clock->watchThisThread();
        controller->logPreviousSessionCrashedOnDate(ns::Date::fromTimeIntervalSince1970(1650000300.5),
                                                    crashed.identifier);
        onDiskWhenReturned = parseLog(readFile(crashLog)).size() == 2;
        returned = true;
    });
    EXPECT_TRUE(eventually([&] { return returned || clock->watchedThreadWaits(); }));
    maintenanceBusy.open();
    caller.join();
    dispatch::setClock(previousClock);
    EXPECT_TRUE(onDiskWhenReturned) << "the call returned before the crash was written";
}

// A write held up past the caller's wait answers false, and the crash kit tells of that crash again later
// in the launch. By then the defaults name a later crash and maintenance has packaged the first write's
// fragment: the session still gets its crash once.
TEST_F(Engine, ACrashToldAgainAfterItsWriteOutlastedTheWaitIsWrittenOnce) {
    dispatch::VirtualClock& clock = useVirtualClock();
    start();
    const auto tell = [&](const char* session) {
        return controller->logPreviousSessionCrashedOnDate(ns::Date::fromTimeIntervalSince1970(1650000000),
                                                           std::string(session));
    };
    const std::string fragment = ZEVAnalyticsCrashFragmentIdentifier("crashed-first", 1650000000000);
    const auto written = [&](const std::string& state) {
        const auto files = filesIn(state);
        return std::count_if(files.begin(), files.end(), [&](const std::string& file) {
            return file.find(fragment) != std::string::npos;
        });
    };
    {
        std::atomic<int> answer{-1};
        std::jthread caller;
        Gate maintenanceBusy;
        controller->sessionMaintenanceQueue().async(maintenanceBusy.holder());
        caller = std::jthread([&] { answer = tell("crashed-first"); });
        EXPECT_TRUE(eventually([&] {
            clock.advance(std::chrono::seconds(11));
            return answer != -1;
        }));
        EXPECT_EQ(answer, 0) << "the wait did not run out";
    }
    settle();
    ASSERT_EQ(written("ACTIVE"), 1) << "the held write was dropped";
    EXPECT_TRUE(tell("crashed-second"));
    maintain();
    ASSERT_EQ(written("PACKAGED"), 1);

    EXPECT_TRUE(tell("crashed-first"));
    settle();
    EXPECT_EQ(written("ACTIVE") + written("PACKAGED"), 1);
}

} // namespace
