#pragma once
// An analytics engine in a private world, with counting identifier and timestamp generators so that
// names and lines are known in advance, and helpers to read back what it wrote.
#include "platform/dispatch/Clock.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsController.hpp"
#include "tests/sdk/rurorad/support/AnalyticsServer.hpp"
#include "tests/sdk/rurorad/support/AnalyticsWorld.hpp"
#include "tests/sdk/rurorad/support/Waiting.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/LogLines.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace ruroradtest {

struct CountingIdentifiers : ZEVAnalyticsIdentifierGenerator {
    std::atomic<int> fragments{0};
    std::atomic<int> events{0};
    std::string generateSessionFragmentIdentifier() override { return "F" + std::to_string(++fragments); }
    std::string generateEventIdentifier() override { return "E" + std::to_string(++events); }
};

struct CountingTimestamps : ZEVAnalyticsTimestampGenerator {
    std::atomic<std::uint64_t> next{1700000000000};
    std::uint64_t generateAnalyticsTimestamp() override { return next++; }
};

using velotest::readFile;

class EngineFixture : public ::testing::Test {
  protected:
    ~EngineFixture() override { controller.reset(); }

    // A virtual clock for the rest of the test, to be installed before the engine starts. It ends only
    // once the engine is gone, so nothing the engine started is left waiting on a clock that has ended.
    dispatch::VirtualClock& useVirtualClock() {
        if (!virtualClock_) virtualClock_.emplace();
        return virtualClock_->clock();
    }

    std::shared_ptr<ZEVAnalyticsController>
    makeController(const std::optional<std::string>& betaToken = std::nullopt) {
        ZEVAnalyticsController::Parts parts;
        parts.identifierGenerator = identifiers;
        parts.timestampGenerator = timestamps;
        return ZEVAnalyticsController::initWithSessionIdentifier(
            AnalyticsWorld::executionIdentifier, world.root().string(), betaToken, world.host(), parts);
    }
    void start(const std::optional<std::string>& betaToken = std::nullopt) {
        controller = makeController(betaToken);
        ASSERT_TRUE(controller);
        settle();
    }
    // Waits until the queues have written everything handed to them so far.
    void settle() {
        for (int round = 0; round < 2; ++round) {
            controller->sessionMaintenanceQueue().sync([] {});
            controller->flushEventLogs();
        }
    }
    void applySettings(const nlohmann::json& settings) {
        world.setSettings(settings);
        controller->zovazeSettingsDownloaded();
        settle();
    }
    // Runs one maintenance and waits for its end.
    void maintain(double seconds = velotest::kPatience) {
        auto done = std::make_shared<Waiter<bool>>();
        controller->maintainSessionFragments([done](const std::optional<ns::Error>&) { done->set(true); });
        ASSERT_TRUE(done->wait(seconds)) << "maintenance did not finish";
        settle();
    }

    std::filesystem::path v1() const { return world.root() / "v1"; }
    std::filesystem::path openFragment() const {
        auto open = controller->openSessionFragmentDirectoryURLs();
        return open.empty() ? std::filesystem::path() : std::filesystem::path(open.front());
    }
    std::vector<LogLine> openLog(int priority) const {
        return parseLog(readFile(openFragment() / (std::to_string(priority) + ".log")));
    }
    // Every file under a state directory, relative to it, sorted.
    std::vector<std::string> filesIn(const std::string& state) const {
        std::vector<std::string> files;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(v1() / state, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file())
                files.push_back(std::filesystem::relative(it->path(), v1() / state).string());
        std::sort(files.begin(), files.end());
        return files;
    }

  private:
    std::optional<dispatch::VirtualClockScope> virtualClock_; // ended after every member below

  protected:
    AnalyticsWorld world;
    std::shared_ptr<CountingIdentifiers> identifiers = std::make_shared<CountingIdentifiers>();
    std::shared_ptr<CountingTimestamps> timestamps = std::make_shared<CountingTimestamps>();
    std::shared_ptr<ZEVAnalyticsController> controller;
};

} // namespace ruroradtest
