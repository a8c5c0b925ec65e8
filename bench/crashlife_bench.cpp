// The cost a launch pays for what earlier launches left: 20 earlier crash reports in "active", each
// with the images of this process, 16 threads of 32 frames, a 64 KB log and its keys.
//  - Start: the start returns (handlers installed through the real crash context); the reports are
//    only queued.
//  - StartAndProcess: until the work queue has symbolicated and packaged all 20 (submission off, so
//    nothing waits for a network).
//  - UrgentStart: the last launch ended early, so the start itself processes and packages all 20.
#include "platform/darwin/Images.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/uikit/Application.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/kit/ZEVContextInitialize.hpp"
#include "sdk/zevuzavidav/report/ZEVCrashReportingController.hpp"
#include "tools/crashfixtures/ReportFolders.hpp"
#include "tools/crashfixtures/TestKit.hpp"
#include "tools/loopback/LoopbackServers.hpp"
#include "tools/scratch/TempFolder.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace reporttest;
namespace fs = std::filesystem;

constexpr int kReports = 20;

// The app around the controller: a sandbox and main bundle of its own in a scratch folder (removed at
// the end), the main queue bound to this thread, and the report file manager.
class ScratchApp {
  public:
    ScratchApp() {
        ns::Sandbox::setHome(root_ / "home");
        const ns::PropertyList::Dictionary info{{"CFBundleIdentifier", "com.velomarinth.crashtest"},
                                                {"CFBundleVersion", "7"},
                                                {"Zevuzavidav", ns::PropertyList::Dictionary{}}};
        const auto bytes = ns::writePropertyList(ns::PropertyList(info), ns::PropertyListFormat::xml).value();
        writeText(root_ / "Bench.app" / "Info.plist", std::string(bytes.begin(), bytes.end()));
        ns::Bundle::setMainBundlePath(root_ / "Bench.app");
        dispatch::main().bindToCurrentThread();
        files = std::make_shared<ZEVFileManager>();
    }
    ~ScratchApp() {
        dispatch::main().drain();
        ui::Application::shared().reset();
        ns::Bundle::setMainBundlePath({});
        ns::Sandbox::reset();
    }
    ScratchApp(const ScratchApp&) = delete;
    ScratchApp& operator=(const ScratchApp&) = delete;

    // Waits until the work queue is idle and nothing more is due on the main queue.
    static void settle(const std::shared_ptr<ZEVCrashReportingController>& controller) {
        for (int round = 0; round < 3; ++round) {
            dispatch::main().drain();
            controller->operationQueue()->waitUntilAllOperationsAreFinished();
        }
    }

    std::shared_ptr<ZEVFileManager> files;

  private:
    velotools::TempFolder scratch_{"velo-crashlife"};
    const fs::path root_ = scratch_.path();
};

std::vector<json> imageLines() {
    std::vector<json> lines;
    darwin::forEachImage(
        [](const darwin::ImageInfo& image, void* context) {
            static_cast<std::vector<json>*>(context)->push_back(loadLine(image, image.base));
            return true;
        },
        &lines);
    return lines;
}

void writeReports(const ScratchApp& app) {
    static const std::vector<json> images = imageLines();
    const std::uint64_t anchors[] = {reinterpret_cast<std::uint64_t>(&std::abort),
                                     reinterpret_cast<std::uint64_t>(&std::terminate),
                                     reinterpret_cast<std::uint64_t>(&writeReports)};
    json threads = json::array();
    for (int t = 0; t < 16; ++t) {
        json stack = json::array();
        for (int f = 0; f < 32; ++f)
            stack.push_back(anchors[(t + f) % 3] + 4 + f);
        threads.push_back(json{{"crashed", t == 0}, {"stacktrace", stack}});
    }
    std::string log;
    while (log.size() < 64 * 1024)
        log += "{\"log\":{\"time\":1700000000000,\"msg\":\"6c6f67206c696e65206f662074686520617070\"}}\n";
    for (int i = 0; i < kReports; ++i) {
        std::string id = "earlier" + std::to_string(i);
        auto folder = fs::path(app.files->activePath()) / id;
        writeMetadata(folder, id);
        writeLines(folder / "binary_images.zevrecord", images);
        writeLines(folder / "signal.zevrecord",
                   {json{{"signal", {{"number", 11}}}}, json{{"threads", threads}}});
        writeText(folder / "log_a.zevrecord", log);
        writeText(folder / "user_incremental_kv.zevrecord",
                  "{\"kv\":{\"key\":\"6b6579\",\"value\":\"76616c7565\"}}\n");
    }
}

enum class Mode { start, startAndProcess, urgent };

void run(benchmark::State& state, Mode mode) {
    // Submission is off, and the endpoint is a closed local port all the same.
    ::setenv("ZevuzavidavSubmitReports", "NO", 1);
    velotools::pointServersAtLoopback();
    ns::setConsoleSink([](std::string_view) {});
    ScratchApp app;
    int launch = 0;
    for (auto _ : state) {
        state.PauseTiming();
        app.files->removeContentsOfAllPaths();
        app.files->prepareForNewLaunch();
        writeReports(app);
        if (mode == Mode::urgent) writeText(fs::path(app.files->structurePath()) / "launchmarker", "");
        auto kit = std::make_shared<TestKit>();
        kit->canUseBackgroundSessions = false;
        ZEVCrashReportingController::Environment environment;
        std::string id = "launch" + std::to_string(++launch);
        environment.executionIdentifier = [id] { return id; };
        environment.contextInitialize = ZEVContextInitialize;
        auto controller = ZEVCrashReportingController::initWithFileManager(app.files, kit, environment);
        state.ResumeTiming();

        auto begin = std::chrono::steady_clock::now();
        controller->startWithProfilingMark(ZEVProfilingStart(), std::nullopt);
        if (mode == Mode::startAndProcess) controller->operationQueue()->waitUntilAllOperationsAreFinished();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());

        state.PauseTiming();
        ScratchApp::settle(controller);
        if (app.files->contentsOfDirectory(app.files->preparedPath()).size() != kReports)
            state.SkipWithError("not every report packaged");
        controller.reset();
        state.ResumeTiming();
    }
    ns::setConsoleSink(nullptr);
    ::unsetenv("ZevuzavidavSubmitReports");
}

void BM_Start(benchmark::State& state) {
    run(state, Mode::start);
}
void BM_StartAndProcess(benchmark::State& state) {
    run(state, Mode::startAndProcess);
}
void BM_UrgentStart(benchmark::State& state) {
    run(state, Mode::urgent);
}

BENCHMARK(BM_Start)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_StartAndProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_UrgentStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
