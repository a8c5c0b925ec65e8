#pragma once
// The app around a crash reporting controller in the tests of the report's life: a sandbox and a
// bundle of its own, the endpoint pointed at a local server, the kit's part played by TestKit
// (tools/crashfixtures, shared with the crash-life benchmark), report folders of earlier launches
// written by hand, and waiting while the main queue runs.
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/uikit/Application.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/report/ZEVCrashReportingController.hpp"
#include "tests/sdk/zevuzavidav/support/Multipart.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/sdk/zevuzavidav/support/ReportServer.hpp"
#include "tests/support/SDKHome.hpp"
#include "tests/support/SessionSupport.hpp"
#include "tests/support/Waiter.hpp"
#include "tools/crashfixtures/TestKit.hpp"

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <sys/resource.h>
#include <thread>

namespace reporttest {

inline constexpr const char* kBundleIdentifier = "com.velomarinth.crashtest";
inline constexpr const char* kReportsPath =
    "/sdk-api/v1/platforms/ios/apps/com.velomarinth.crashtest/reports";

// The start record as the controller filled it, its texts copied.
struct StartRecord {
    std::optional<std::string> apiKey, reportDirectory, reportIdentifier, installationIdentifier, betaToken,
        customBundleIdentifier;
    bool submissionTarget = false;
    bool crashCallbackTarget = false;
    ZEVContextInitData numbers{};
};

inline std::optional<std::string> copied(const char* text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
}

// One app with its sandbox, pointed at `endpoint`; its launches are controllers started one after the
// other.
class TestApp {
  public:
    explicit TestApp(const std::string& endpoint = "https://127.0.0.1:9",
                     ns::PropertyList::Dictionary local = ns::PropertyList::Dictionary{})
        : home_({{"CFBundleIdentifier", kBundleIdentifier},
                 {"CFBundleVersion", "7"},
                 {"Zevuzavidav", std::move(local)}}),
          endpoint_("ZevuzavidavReportsEndpoint", endpoint) {
        pinnedTestRoot(); // before the first client takes the pinned set
        dispatch::main().bindToCurrentThread();
        files = std::make_shared<ZEVFileManager>();
    }
    // What is due on the main queue runs (dropping it could strand the main operation queue); what
    // waits for later finds its controller gone.
    ~TestApp() {
        dispatch::main().drain();
        ui::Application::shared().reset();
    }

    // A launch whose handlers are only recorded, not installed.
    // The kit is kept for the app's life (the controller holds it weakly, as it holds the real kit).
    std::shared_ptr<ZEVCrashReportingController> launch(const std::shared_ptr<TestKit>& kit,
                                                        const std::string& id) {
        kits_.push_back(kit);
        ZEVCrashReportingController::Environment environment;
        environment.executionIdentifier = [id] { return id; };
        environment.contextInitialize = [this](const ZEVContextInitData* data) {
            ++handlerInstalls;
            StartRecord record;
            record.apiKey = copied(data->apiKey);
            record.reportDirectory = copied(data->reportDirectory);
            record.reportIdentifier = copied(data->reportIdentifier);
            record.installationIdentifier = copied(data->installationIdentifier);
            record.betaToken = copied(data->betaToken);
            record.customBundleIdentifier = copied(data->customBundleIdentifier);
            record.submissionTarget = data->submissionTarget != nullptr;
            record.crashCallbackTarget = data->crashCallbackTarget != nullptr;
            record.numbers = *data;
            startRecord = record;
            // As the start's metadata block would, on the calling thread.
            if (writesOwnMetadata && data->reportDirectory && data->reportIdentifier)
                writeMetadata(data->reportDirectory, data->reportIdentifier, "test-api-key", 1800000000);
        };
        return ZEVCrashReportingController::initWithFileManager(files, kit, environment);
    }

    // A launch after earlier ones that crashed: the tree, one crash folder per earlier id, then the
    // start, whose answer is kept in `started`.
    std::shared_ptr<ZEVCrashReportingController> startAfterCrashes(const std::shared_ptr<TestKit>& kit,
                                                                   const std::vector<std::string>& earlier,
                                                                   const std::string& id = "launch1") {
        files->prepareForNewLaunch();
        for (const auto& crashed : earlier)
            writeEarlierCrash(crashed);
        auto controller = launch(kit, id);
        started = controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt);
        return controller;
    }

    // Waits until the work queue is idle and nothing more is due on the main queue.
    static void settle(const std::shared_ptr<ZEVCrashReportingController>& controller) {
        for (int round = 0; round < 3; ++round) {
            dispatch::main().drain();
            controller->operationQueue()->waitUntilAllOperationsAreFinished();
        }
    }

    // Waits until the upload session runs no task and the end of the last one has been handled (its
    // completion and the listing below go through the same work queue, in order); false after
    // kPatience.
    static bool settleUploads(const std::shared_ptr<ZEVCrashReportingController>& controller) {
        return settleUploads(*controller, [&] { settle(controller); });
    }
    // The same, waiting before each look with `wait`: a caller on the main queue, which must not drain
    // it, waits for the work queue alone. Nothing tells of a task's end but the session's list of
    // tasks, so it is looked at until it is empty.
    static bool settleUploads(ZEVCrashReportingController& controller, const std::function<void()>& wait) {
        auto session = controller.networkClient()->session();
        if (!session) return false;
        const bool idle = velotest::eventually(
            [&] {
                wait();
                return velotest::tasksUnderWay(*session) == 0u;
            },
            std::chrono::milliseconds(10));
        if (idle) wait();
        return idle;
    }

    // Runs the main queue until `done` holds (false after kPatience).
    static bool eventually(const std::function<bool()>& done) {
        return dispatch::main().runUntil(done, velotest::kPatience);
    }

    std::vector<std::string> names(const std::string& folder) const {
        std::vector<std::string> found;
        for (const auto& path : files->contentsOfDirectory(folder))
            found.push_back(std::filesystem::path(path).filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    // An earlier launch that crashed by a signal in `abort`, written as capture would have.
    std::filesystem::path writeEarlierCrash(const std::string& id, const char* crashFile = "signal.zevrecord",
                                            std::uint64_t startedAt = 1700000000) const {
        auto folder = std::filesystem::path(files->activePath()) / id;
        writeMetadata(folder, id, "test-api-key", startedAt);
        const void* abortAddress = reinterpret_cast<const void*>(&std::abort);
        writeLines(folder / "binary_images.zevrecord", {loadLineFor(abortAddress, imageBase(abortAddress))});
        auto pc = reinterpret_cast<std::uint64_t>(abortAddress) + 4;
        writeLines(folder / crashFile,
                   {json{{"signal", {{"number", 6}}}},
                    json{{"threads", json::array({json{{"crashed", true}, {"stacktrace", {pc}}}})}}});
        writeText(folder / "log_a.zevrecord", "");
        return folder;
    }

    const zovtest::SDKHome& home() const { return home_; }
    // Points the next launches at another reports server.
    void pointAt(const std::string& endpoint) { ::setenv("ZevuzavidavReportsEndpoint", endpoint.c_str(), 1); }

    std::shared_ptr<ZEVFileManager> files;
    // Whether a launch's handler install writes the launch's metadata into its folder (started at
    // 1800000000), as the real one does.
    bool writesOwnMetadata = false;
    int handlerInstalls = 0;
    bool started = false;
    std::optional<StartRecord> startRecord;

  private:
    std::vector<std::shared_ptr<TestKit>> kits_;
    zovtest::SDKHome home_;
    zovtest::ScopedEnvironment endpoint_;
};

// The "report_id" of every request's body, sorted.
inline std::vector<std::string> reportIds(const std::vector<Request>& requests) {
    std::vector<std::string> ids;
    for (const auto& request : requests) {
        std::string type = request.header("Content-Type");
        auto body = parseMultipart(request.body, type.substr(type.find("boundary=") + 9));
        for (const auto& part : body.parts)
            if (part.name == "report_id") ids.push_back(part.data);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// A full disk for this process while it lives: writes past `bytes` fail with EFBIG (SIGXFSZ ignored);
// the limit and the signal's disposition come back on every way out of the test.
class FullDiskScope {
  public:
    explicit FullDiskScope(rlim_t bytes) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit small{bytes, saved_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDiskScope() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FullDiskScope(const FullDiskScope&) = delete;
    FullDiskScope& operator=(const FullDiskScope&) = delete;

  private:
    rlimit saved_{};
    void (*previous_)(int);
};

} // namespace reporttest
