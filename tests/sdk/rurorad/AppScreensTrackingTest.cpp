// The app's own screens, driven as the terminal drives them, seen by view-controller tracking.
#include "app/catalogue/ChapterViewController.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsController.hpp"
#include "tests/sdk/rurorad/support/EngineFixture.hpp"
#include "tests/support/CatalogueWorld.hpp"

namespace fs = std::filesystem;
using namespace ruroradtest;

namespace {

TEST(AppScreensTracking, OpeningAChapterAndALessonGivesAppearanceEvents) {
    CatalogueWorld app;
    velotest::TempFolder folder;
    ZEVUserDefaults defaults(folder.path() / "defaults");
    // The previous launch's settings asked for view-controller tracking.
    defaults.setBool(true, ZEVAnalyticsController::enableViewControllerTrackingKey);
    ns::NotificationCenter center;
    rt::ClassRegistry registry;
    auto settings = std::make_shared<const nlohmann::json>(nlohmann::json{
        {"features", {{"collect_analytics", true}}}, {"analytics", {{"track_view_controllers", true}}}});
    ZEVAnalyticsHost host;
    host.settings = [settings] { return settings; };
    host.executionIdentifier = [] { return std::string("exec"); };
    host.userDefaults = &defaults;
    host.notificationCenter = &center;
    host.registry = &registry;
    host.bundle = &ns::Bundle::main();
    auto engine = ZEVAnalyticsController::initWithSessionIdentifier(
        "exec", (folder.path() / "analytics").string(), std::nullopt, host);
    ASSERT_TRUE(engine);
    engine->sessionMaintenanceQueue().sync([] {});

    MainViewController& home = app.launch();
    ASSERT_TRUE(home.tableView->selectRow({0, 0}));
    app.settle();
    auto chapter = app.top<ChapterViewController>();
    ASSERT_TRUE(chapter);
    ASSERT_TRUE(chapter->tableView->selectRow({0, 0}));
    app.settle();
    ASSERT_TRUE(app.top<LessonViewController>());

    engine->flushEventLogs();
    const auto lines =
        parseLog(readFile(fs::path(engine->openSessionFragmentDirectoryURLs().front()) / "2.log"));
    std::vector<std::string> seen;
    for (const auto& line : lines) {
        if (line.key == "metadata") continue;
        const auto payload = nlohmann::json::parse(*line.payload);
        seen.push_back(line.key + " " + payload["view_controller_class"].get<std::string>());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "view_controller_appeared MainViewController",
                        "view_controller_disappeared MainViewController",
                        "view_controller_appeared ChapterViewController",
                        "view_controller_disappeared ChapterViewController",
                        "view_controller_appeared LessonViewController",
                    }));
    engine.reset();
    ZEVAnalyticsViewControllerTrackingController::disposeSharedInstance();
}

} // namespace
