// The analytics folder in the sandbox with a link in its place, or in the place of a folder above it:
// the engine's start, its maintenance and the removal of the folder when analytics is switched off look
// at every folder from the sandbox's Library down first, so the sessions found through the link are
// neither packaged nor removed, and the new session's logs are written in the sandbox.
#include "platform/foundation/Sandbox.hpp"
#include "tests/sdk/rurorad/support/EngineFixture.hpp"

namespace fs = std::filesystem;
using namespace ruroradtest;

namespace {

using Engine = EngineFixture;

TEST_F(Engine, ALinkInPlaceOfTheAnalyticsFolderLeavesWhatItPointsToUntouched) {
    const fs::path bundleFolder = ns::Sandbox::caches() / "com.zevuzavidav.data" / "com.example.links";
    const fs::path root = bundleFolder / "analytics";
    // The folder itself, and the bundle's folder above it.
    for (const fs::path& place : {root, bundleFolder}) {
        SCOPED_TRACE(place.string());
        velotest::TempFolder outside;
        // What the link leads to looks like the analytics tree of an earlier launch: a closed fragment
        // (maintenance packages and removes those) and a packaged one waiting for upload.
        const fs::path tree = outside.path() / fs::relative(root, place);
        for (const char* file : {"v1/ACTIVE/1_S/2_F/1.log", "v1/PACKAGED/1_S/3_F/1.log.zip", "v1/stray"}) {
            fs::create_directories((tree / file).parent_path());
            std::ofstream(tree / file) << "theirs";
        }
        const auto before = velotest::folderContents(outside.path());
        fs::remove_all(bundleFolder);
        fs::create_directories(place.parent_path());
        fs::create_symlink(outside.path(), place);

        world.clearSettings(); // the last round switched analytics off
        ZEVAnalyticsController::Parts parts;
        parts.identifierGenerator = identifiers;
        parts.timestampGenerator = timestamps;
        controller = ZEVAnalyticsController::initWithSessionIdentifier(
            AnalyticsWorld::executionIdentifier, root.string(), std::nullopt, world.host(), parts);
        ASSERT_TRUE(controller);
        controller->logCustomEvent(
            *ZEVRuroradCustomEvent::initWithName("tapped", ZEVRuroradAttributeEntries{{"where", "home"}}));
        settle();
        const auto written = velotest::folderContents(root / "v1" / "ACTIVE");
        EXPECT_TRUE(std::any_of(written.begin(), written.end(), [](const auto& entry) {
            return entry.second.find("tapped") != std::string::npos;
        })) << "the new session's log is in the sandbox";
        applySettings({{"features", {{"collect_analytics", true}}}, {"analytics", nlohmann::json::object()}});
        maintain(); // packages the closed fragments it finds and cleans up the tree
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(place)));
        EXPECT_EQ(velotest::folderContents(outside.path()), before);

        // Switched off: the folder goes, only in the sandbox.
        fs::remove_all(place);
        fs::create_symlink(outside.path(), place);
        applySettings({{"features", {{"collect_analytics", false}}}});
        EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
        EXPECT_EQ(velotest::folderContents(outside.path()), before);
        controller.reset();
    }
}

} // namespace
