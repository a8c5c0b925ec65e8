// Start-up to the first screen drawn, without a terminal: the first screen loads (catalogue built,
// learner record created and saved, settings given their defaults), appears, and the front end draws
// it into an 80x24 canvas. Each run starts from a fresh sandbox, as a first launch does.
#include "app/catalogue/CatalogueStoryboard.hpp"
#include "app/catalogue/terminal/CataloguePresenters.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/services/FakeBackendClient.hpp"
#include "platform/services/FakeNetworkReachability.hpp"
#include "platform/services/ScopedOverride.hpp"
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/MemoryCanvas.hpp"
#include "platform/uikit/Application.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

namespace {

std::filesystem::path makeBundle(const std::filesystem::path& root) {
    auto bundle = root / "Swift.app";
    std::filesystem::create_directories(bundle);
    std::ofstream(bundle / "Info.plist") << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.velomarinth.swift</string>
<key>CFBundleShortVersionString</key><string>1.0.0</string>
</dict></plist>
)";
    return bundle;
}

void BM_StartupToFirstScreenDrawn(benchmark::State& state) {
    auto root = std::filesystem::temp_directory_path() / ("velo-bench-startup-" + std::to_string(::getpid()));
    ns::Bundle::setMainBundlePath(makeBundle(root));
    svc::ScopedOverride backend(svc::setSharedBackendClient, std::make_shared<svc::FakeBackendClient>());
    svc::ScopedOverride reachability(svc::setSharedNetworkReachability,
                                     std::make_shared<svc::FakeNetworkReachability>());
    ns::setConsoleSink([](std::string_view) {});
    dispatch::main().bindToCurrentThread();
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ns::Sandbox::setHome(root / ("home" + std::to_string(run++)));
        ui::Application::shared().reset();
        state.ResumeTiming();

        term::FrontEnd frontEnd([&frontEnd](const std::shared_ptr<ui::ViewController>& screen) {
            return makeCataloguePresenter(screen, frontEnd);
        });
        ui::Application::shared().setRootViewController(makeInitialViewController());
        frontEnd.layout(80, 24);
        dispatch::main().drain();
        term::MemoryCanvas canvas(80, 24);
        frontEnd.draw(canvas);
        benchmark::DoNotOptimize(canvas.row(2));
    }
    ui::Application::shared().reset();
    ns::setConsoleSink(nullptr);
    ns::Sandbox::reset();
    ns::Bundle::setMainBundlePath({});
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}
BENCHMARK(BM_StartupToFirstScreenDrawn)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
