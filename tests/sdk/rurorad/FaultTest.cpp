// Faults: a disk that fills up while events are written, and many threads logging while maintenance runs.
#include "sdk/rurorad/records/ZEVAnalyticsApplicationLifecycleEvent.hpp"
#include "tests/sdk/rurorad/support/EngineFixture.hpp"
#include "tests/support/FreshProcess.hpp"
#include "tests/support/OnExit.hpp"

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using namespace ruroradtest;

namespace {

constexpr rlim_t kFileSizeLimit = 4096;

using FullDisk = EngineFixture;

// Files may not grow past 4 KB, as on a disk with no room left: writing past that fails with EFBIG
// instead of raising SIGXFSZ. The limit is the process's, so the test runs in a process of its own.
TEST_F(FullDisk, EventsThatDoNotFitAreDroppedAndTheFileKeepsWholeLines) {
    if (velotest::ranInAFreshProcess()) return;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{kFileSizeLimit, kFileSizeLimit};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    start();
    for (int i = 0; i < 200; ++i) {
        controller->logAppLaunched();
        controller->logCustomEvent(*ZEVRuroradCustomEvent::initWithName("tapped"));
    }
    settle();
    for (int priority : {1, 2}) {
        const fs::path file = openFragment() / (std::to_string(priority) + ".log");
        EXPECT_LE(fs::file_size(file), kFileSizeLimit);
        const auto lines = parseLog(readFile(file)); // fails on a line cut short
        ASSERT_GT(lines.size(), 2u);
        EXPECT_LT(lines.size(), 201u);
        EXPECT_EQ(lines.front().key, "metadata");
    }
    // The engine goes on: maintenance still runs, packaging fails for want of room, nothing crashes.
    maintain();
    controller->logAppLaunched();
    settle();
}

using Concurrency = EngineFixture;

TEST_F(Concurrency, EightThreadsLoggingWhileMaintenanceRunsLoseAndRepeatNothing) {
    start();
    applySettings({{"features", {{"collect_analytics", true}}},
                   {"analytics",
                    {{"track_custom_events", true},
                     {"flush_interval_secs", 1},
                     {"max_byte_size_per_file", 3000},
                     {"max_pending_send_file_count", 1000000}}}});
    constexpr int kThreads = 8;
    constexpr int kEventsPerThread = 500;
    // Maintenance runs one run after the other while the threads log, each asked for once the one
    // before has ended; each run opens a fragment.
    std::atomic<bool> done{false};
    velotest::Gate fragmentsOpened;
    std::thread maintainer([&] {
        for (int run = 1; !done; ++run) {
            auto ended = std::make_shared<Waiter<bool>>();
            controller->maintainSessionFragments(
                [ended](const std::optional<ns::Error>&) { ended->set(true); });
            if (!ended->wait()) {
                ADD_FAILURE() << "maintenance run " << run << " did not end";
                fragmentsOpened.open();
                return;
            }
            if (identifiers->fragments > 3) fragmentsOpened.open();
        }
    });
    std::vector<std::thread> loggers;
    // The loggers end, then maintenance.
    auto joinAll = [&] {
        for (auto& thread : loggers)
            if (thread.joinable()) thread.join();
        done = true;
        if (maintainer.joinable()) maintainer.join();
    };
    // Also on every way out, the loggers let through first.
    velotest::OnExit joinOnEveryWayOut([&] {
        fragmentsOpened.open();
        joinAll();
    });
    for (int t = 0; t < kThreads; ++t) {
        loggers.emplace_back([&, t] {
            for (int i = 0; i < kEventsPerThread; ++i) {
                // Halfway through, hold on until maintenance has opened fragments under the loggers,
                // however fast the first half went.
                if (i == kEventsPerThread / 2) fragmentsOpened.wait();
                switch ((t + i) % 3) {
                case 0:
                    controller->logCustomEvent(*ZEVRuroradCustomEvent::initWithName("tap"));
                    break;
                case 1:
                    controller->logAppLaunched();
                    break;
                default:
                    controller->logEvent(
                        ZEVAnalyticsApplicationLifecycleEvent::initWithApplicationNotificationName(
                            "UIApplicationDidBecomeActiveNotification", 1,
                            identifiers->generateEventIdentifier(), false));
                }
            }
        });
    }
    joinAll();
    settle();
    EXPECT_GT(identifiers->fragments, 3) << "maintenance ran while the threads were logging";
    maintain(); // closes and packages whatever is left

    // Every event is in exactly one file, packaged or not, and every line is whole.
    std::multiset<std::string> ids;
    for (const auto& entry : fs::recursive_directory_iterator(v1())) {
        if (!entry.is_regular_file()) continue;
        std::string bytes = readFile(entry.path());
        if (entry.path().extension() == ".zip") {
            auto inflated = gunzip(bytes);
            ASSERT_TRUE(inflated) << entry.path();
            bytes = *inflated;
        }
        for (const auto& line : parseLog(bytes))
            if (line.key != "metadata")
                ids.insert(nlohmann::json::parse(*line.payload)["eventId"].get<std::string>());
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kThreads * kEventsPerThread));
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size()) << "an event written twice";
}

} // namespace
