// Report folders: what a folder of an earlier launch holds and says about itself, the application's
// view of it, and the tree of folders a report travels through.
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/store/ZEVFileManager.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"
#include "sdk/zevuzavidav/store/ZEVReport.hpp"
#include "tests/sdk/zevuzavidav/support/FakeContext.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/support/SDKHome.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <sys/stat.h>

namespace {

using reporttest::json;
namespace fs = std::filesystem;

// ---- one folder --------------------------------------------------------------------------------

struct ContentCase {
    const char* name;
    std::vector<std::string> files;
    bool needsSubmission;
    bool isCrash;
};

class ReportContent : public ::testing::TestWithParam<ContentCase> {};

TEST_P(ReportContent, DecidesFromWhichRecordFilesExist) {
    velotest::TempFolder folder;
    for (const auto& file : GetParam().files)
        reporttest::writeText(folder.path() / file, "");
    auto report = ZEVInternalReport::initWithPath(folder.path().string(), std::string("id"));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->needsToBeSubmitted(), GetParam().needsSubmission);
    EXPECT_EQ(report->isCrash(), GetParam().isCrash);
    // Read once, from the folder's listing, as for an earlier launch: the same answers.
    reporttest::writeMetadata(folder.path(), "id");
    auto read = ZEVInternalReport::reportWithPath(folder.path().string());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->needsToBeSubmitted(), GetParam().needsSubmission);
    EXPECT_EQ(read->isCrash(), GetParam().isCrash);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ReportContent,
    ::testing::Values(ContentCase{"OnlyLoggedErrors", {"errors_a.zevrecord"}, true, false},
                      ContentCase{"SecondErrorsFile", {"errors_b.zevrecord"}, true, false},
                      ContentCase{"CustomException", {"custom_exception.zevrecord"}, true, false},
                      ContentCase{"LogsAndKeys",
                                  {"metadata.zevrecord", "log_a.zevrecord", "user_incremental_kv.zevrecord",
                                   "internal_compacted_kv.zevrecord", "binary_images.zevrecord", "sdk.log"},
                                  false,
                                  false},
                      ContentCase{"Signal", {"signal.zevrecord"}, true, true},
                      ContentCase{"MachException", {"mach_exception.zevrecord"}, true, true},
                      ContentCase{"Exception", {"exception.zevrecord", "log_a.zevrecord"}, true, true},
                      ContentCase{"Empty", {}, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InternalReport, NamesEveryCrashFileOfAnEmptyFolderInOrder) {
    velotest::TempFolder folder;
    auto report = ZEVInternalReport::initWithPath(folder.path().string(), std::string("id"));
    std::vector<std::string> seen;
    report->enumerateSymbolicatableFilesInContent([&](const std::string& path) { seen.push_back(path); });
    EXPECT_EQ(seen, (std::vector<std::string>{(folder.path() / "exception.zevrecord").string(),
                                              (folder.path() / "mach_exception.zevrecord").string(),
                                              (folder.path() / "signal.zevrecord").string()}));
}

TEST(InternalReport, ReadsIdentityHostAndApplicationFromTheMetadataLines) {
    velotest::TempFolder folder;
    reporttest::writeMetadata(folder.path(), "abc123", "key-1", 1700000123);
    auto report = ZEVInternalReport::reportWithPath(folder.path().string());
    ASSERT_TRUE(report);
    EXPECT_EQ(report->identifier(), "abc123");
    EXPECT_EQ(report->directoryName(), folder.path().filename().string());
    EXPECT_EQ(report->APIKey(), "key-1");
    // Seconds since 1970, not milliseconds.
    EXPECT_EQ(report->dateCreated(), ns::Date::fromTimeIntervalSince1970(1700000123));
    EXPECT_EQ(report->OSVersion(), "6.1.0");
    EXPECT_EQ(report->OSBuildVersion(), "#1 SMP");
    EXPECT_EQ(report->bundleVersion(), "7");
    EXPECT_EQ(report->bundleShortVersionString(), "1.2.3");
    EXPECT_FALSE(report->customKeys().has_value());
    EXPECT_EQ(report->metadataSections()->size(), 4u);
    EXPECT_TRUE(report->hasWholeMetadata());
}

TEST(InternalReport, MissingPiecesOfMetadataGiveNothing) {
    velotest::TempFolder folder;
    reporttest::writeLines(folder.path() / "metadata.zevrecord",
                           {json{{"identity", {{"session_id", "only-identity"}}}}, json{{"host", 5}}});
    auto report = ZEVInternalReport::reportWithPath(folder.path().string());
    ASSERT_TRUE(report);
    EXPECT_FALSE(report->APIKey().has_value());
    EXPECT_FALSE(report->dateCreated().has_value());
    EXPECT_FALSE(report->OSVersion().has_value());
    EXPECT_FALSE(report->bundleVersion().has_value());
}

TEST(InternalReport, AFolderWithoutAnIdentifierGivesNoReport) {
    ns::ConsoleCapture console;
    velotest::TempFolder folder;
    EXPECT_FALSE(ZEVInternalReport::reportWithPath(folder.path().string()));
    reporttest::writeLines(folder.path() / "metadata.zevrecord", {json{{"identity", {{"api_key", "k"}}}}});
    EXPECT_FALSE(ZEVInternalReport::reportWithPath(folder.path().string()));
    reporttest::writeText(folder.path() / "metadata.zevrecord", "{\"identity\":{\"session_id\":\"cut");
    EXPECT_FALSE(ZEVInternalReport::reportWithPath(folder.path().string()));
    EXPECT_TRUE(reporttest::saw(console, "[Zevuzavidav:Crash] Unable to read identifier at path " +
                                             folder.path().string()));
    EXPECT_FALSE(ZEVInternalReport::initWithPath(std::nullopt, std::string("id")));
    EXPECT_FALSE(ZEVInternalReport::initWithPath(std::string("/x"), std::nullopt));
}

// An earlier launch's folder is read as it lies: metadata that is a FIFO, a link, larger than any
// launch writes, or a folder that is itself a link gives no report, at once.
TEST(InternalReport, MetadataThatIsNoPlainSmallFileOfTheFolderGivesNoReport) {
    velotest::TempFolder outside;
    reporttest::writeMetadata(outside.path() / "real", "elsewhere");
    const fs::path real = outside.path() / "real" / "metadata.zevrecord";
    struct Case {
        const char* name;
        std::function<void(const fs::path& folder)> make;
    };
    const Case cases[] = {
        {"fifo",
         [](const fs::path& folder) {
             ASSERT_EQ(::mkfifo((folder / "metadata.zevrecord").c_str(), 0600), 0);
         }},
        {"link", [&](const fs::path& folder) { fs::create_symlink(real, folder / "metadata.zevrecord"); }},
        {"oversized",
         [](const fs::path& folder) {
             reporttest::writeMetadata(folder, "big");
             std::ofstream(folder / "metadata.zevrecord", std::ios::app)
                 << std::string(ZEVInternalReport::maximumMetadataLength, ' ') << "\n";
         }},
        {"folder-link",
         [&](const fs::path& folder) {
             fs::remove(folder);
             fs::create_directory_symlink(outside.path() / "real", folder);
         }},
    };
    for (const auto& c : cases) {
        velotest::TempFolder parent;
        const fs::path folder = parent.path() / "report";
        fs::create_directories(folder);
        c.make(folder);
        reporttest::writeText(folder / "signal.zevrecord", "{}\n"); // through the link, for folder-link
        EXPECT_FALSE(ZEVInternalReport::reportWithPath(folder.string())) << c.name;
    }
    // Just under the bound is still read.
    velotest::TempFolder folder;
    reporttest::writeMetadata(folder.path(), "near");
    const auto size = fs::file_size(folder.path() / "metadata.zevrecord");
    std::ofstream(folder.path() / "metadata.zevrecord", std::ios::app)
        << std::string(ZEVInternalReport::maximumMetadataLength - size - 1, ' ') << "\n";
    auto report = ZEVInternalReport::reportWithPath(folder.path().string());
    ASSERT_TRUE(report);
    EXPECT_EQ(report->identifier(), "near");
}

TEST(InternalReport, AFailedMetadataReadIsTriedAgain) {
    velotest::TempFolder folder;
    auto report = ZEVInternalReport::initWithPath(folder.path().string(), std::string("id"));
    EXPECT_FALSE(report->APIKey().has_value());
    reporttest::writeMetadata(folder.path(), "id", "late-key");
    EXPECT_EQ(report->APIKey(), "late-key");
}

// ---- the application's view --------------------------------------------------------------------

TEST(PublicReport, IdentityValuesAreWriteOnlyAndLandInTheEarlierFolder) {
    FakeContext context;
    velotest::TempFolder folder;
    reporttest::writeMetadata(folder.path(), "earlier", "k", 1600000000);
    ZEVReport report(ZEVInternalReport::reportWithPath(folder.path().string()));
    EXPECT_EQ(report.identifier(), "earlier");
    EXPECT_EQ(report.crashedOnDate(), ns::Date::fromTimeIntervalSince1970(1600000000));
    report.setUserName(std::string("Ada"));
    report.setObjectValue(std::string("42"), "level");
    EXPECT_FALSE(report.userName().has_value());
    EXPECT_FALSE(report.customKeys().has_value());

    auto internal = reporttest::readLines(folder.path() / "internal_incremental_kv.zevrecord");
    ASSERT_EQ(internal.size(), 1u);
    EXPECT_EQ(internal[0]["kv"]["key"], recordtest::hex("com.zevuzavidav.user-name"));
    EXPECT_EQ(internal[0]["kv"]["value"], recordtest::hex("Ada"));
    auto user = reporttest::readLines(folder.path() / "user_incremental_kv.zevrecord");
    ASSERT_EQ(user.size(), 1u);
    EXPECT_EQ(user[0]["kv"]["key"], recordtest::hex("level"));
    // Nothing of it reached the current launch's own files.
    EXPECT_FALSE(fs::exists(fs::path(context.dir()) / "user_incremental_kv.zevrecord"));
}

TEST(PublicReport, TwoObjectsOverOneFolderCountSeparately) {
    FakeContext context;
    const std::uint32_t threshold = context.readOnly().logging.userStore.compactionThreshold;
    ASSERT_GT(threshold, 1u);
    velotest::TempFolder folder;
    reporttest::writeMetadata(folder.path(), "earlier");
    auto internal = ZEVInternalReport::reportWithPath(folder.path().string());
    ZEVReport first(internal);
    ZEVReport second(internal);
    // Neither object alone reaches the threshold, so nothing is compacted although the file holds more
    // lines than the threshold.
    for (std::uint32_t i = 0; i + 1 < threshold; ++i) {
        first.setObjectValue(std::to_string(i), "a" + std::to_string(i));
        second.setObjectValue(std::to_string(i), "b" + std::to_string(i));
    }
    EXPECT_FALSE(fs::exists(folder.path() / "user_compacted_kv.zevrecord"));
    first.setObjectValue(std::string("last"), "last");
    EXPECT_TRUE(fs::exists(folder.path() / "user_compacted_kv.zevrecord"));
}

TEST(PublicReport, WritesBeforeTheContextExistsAreDropped) {
    NoCrashContext none;
    velotest::TempFolder folder;
    reporttest::writeMetadata(folder.path(), "earlier");
    ZEVReport report(ZEVInternalReport::reportWithPath(folder.path().string()));
    report.setUserIdentifier(std::string("u1"));
    EXPECT_FALSE(fs::exists(folder.path() / "internal_incremental_kv.zevrecord"));
}

// ---- the tree ----------------------------------------------------------------------------------

class FileTree : public ::testing::Test {
  protected:
    FileTree() : home({{"CFBundleIdentifier", "com.example/odd/app"}}) {}
    zovtest::SDKHome home;
    ZEVFileManager files;
};

TEST_F(FileTree, LivesUnderTheCachesNamedByTheEscapedBundleIdentifier) {
    EXPECT_EQ(ZEVFileManager::pathNamespace(), "com.example_odd_app");
    EXPECT_EQ(files.rootPath(),
              (home.home() / "Library/Caches/com.zevuzavidav.data/com.example_odd_app").string());
    EXPECT_EQ(files.preparedPath(), files.rootPath() + "/v3/prepared");
    EXPECT_EQ(files.legacyMarkerPath(), files.rootPath() + "/sendable");
}

TEST_F(FileTree, PreparesTheLaunchFoldersOnceAndLeavesThemAlone) {
    ASSERT_TRUE(files.prepareForNewLaunch());
    for (const auto& path : {files.activePath(), files.processingPath(), files.preparedPath()}) {
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << path; // private to the user, whatever the umask
    }
    EXPECT_FALSE(fs::exists(files.pendingPath()));
    reporttest::writeText(fs::path(files.preparedPath()) / "kept.multipartmime", "x");
    ASSERT_TRUE(files.prepareForNewLaunch());
    EXPECT_EQ(files.preparedPathContents().size(), 1u);
    EXPECT_EQ(files.setupNewPathForExecutionIdentifier("abc"), files.activePath() + "/abc");
    EXPECT_FALSE(files.setupNewPathForExecutionIdentifier("").has_value());
}

TEST_F(FileTree, HiddenEntriesAreNeitherListedNorRemoved) {
    ASSERT_TRUE(files.prepareForNewLaunch());
    reporttest::writeText(fs::path(files.preparedPath()) / ".hidden", "x");
    reporttest::writeText(fs::path(files.preparedPath()) / "a.multipartmime", "x");
    reporttest::writeText(fs::path(files.activePath()) / "launch" / "signal.zevrecord", "x");
    std::vector<std::pair<std::string, std::string>> seen;
    files.enumerateFilesInPreparedDirectoryUsingBlock(
        [&](const std::string& path, const std::string& extension) { seen.emplace_back(path, extension); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].second, "multipartmime");

    EXPECT_TRUE(files.removeContentsOfAllPaths());
    EXPECT_TRUE(fs::exists(fs::path(files.preparedPath()) / ".hidden"));
    EXPECT_TRUE(files.preparedPathContents().empty());
    EXPECT_TRUE(files.activePathContents().empty());
}

TEST_F(FileTree, RemovalOfAMissingFolderIsQuietButOfAMissingItemIsNot) {
    ns::ConsoleCapture console;
    EXPECT_TRUE(files.removeContentsOfDirectoryAtPath(files.pendingPath()));
    EXPECT_TRUE(console.lines().empty());
    EXPECT_FALSE(files.removeItemAtPath(files.pendingPath()));
    EXPECT_FALSE(files.removeItemAtPath(std::nullopt));
    EXPECT_TRUE(
        reporttest::saw(console, "[FileManager] Failed to remove file '" + files.pendingPath() + "' : "));
}

TEST_F(FileTree, AMoveNeverReplacesWhatIsAlreadyThere) {
    ns::ConsoleCapture console;
    ASSERT_TRUE(files.prepareForNewLaunch());
    auto source = fs::path(files.activePath()) / "r1";
    reporttest::writeText(source / "signal.zevrecord", "new");
    reporttest::writeText(fs::path(files.processingPath()) / "r1" / "signal.zevrecord", "old");
    EXPECT_FALSE(files.moveItemAtPath(source.string(), files.processingPath()));
    EXPECT_TRUE(reporttest::saw(console, "[FileManager] Failed to move file: "));
    EXPECT_EQ(reporttest::readFile(source / "signal.zevrecord"), "new");
    EXPECT_EQ(reporttest::readFile(fs::path(files.processingPath()) / "r1" / "signal.zevrecord"), "old");
    EXPECT_FALSE(files.moveItemAtPath(std::nullopt, files.processingPath()));
    EXPECT_TRUE(reporttest::saw(console, "[FileManager] Failed to move file, inputs invalid"));

    fs::remove_all(fs::path(files.processingPath()) / "r1");
    EXPECT_TRUE(files.moveItemAtPath(source.string(), files.processingPath()));
    EXPECT_EQ(reporttest::readFile(fs::path(files.processingPath()) / "r1" / "signal.zevrecord"), "new");
}

TEST_F(FileTree, MovingAFolderStopsAtTheFirstFailure) {
    ASSERT_TRUE(files.prepareForNewLaunch());
    for (const char* name : {"a", "b", "c"})
        reporttest::writeText(fs::path(files.processingPath()) / name, name);
    reporttest::writeText(fs::path(files.preparedPath()) / "b", "taken");
    EXPECT_FALSE(files.moveProcessingContentsToPrepared());
    // Whatever the listing order, "b" stays where it was and nothing was lost or replaced.
    EXPECT_TRUE(fs::exists(fs::path(files.processingPath()) / "b"));
    EXPECT_EQ(reporttest::readFile(fs::path(files.preparedPath()) / "b"), "taken");
    EXPECT_EQ(files.processingPathContents().size() + files.preparedPathContents().size(), 4u);
}

// A link where a folder of the tree belongs, or any folder above it, leads outside the tree: nothing
// there is listed, moved or removed, and nothing is made there. Every folder-wide step looks at the
// folders from the sandbox's Library down first: the link goes as a link and a real folder stands in
// its place.
struct LinkedPlace {
    const char* name;
    // The folder of the tree the link stands in for, from the root down ("" the root; ".." the folder
    // above it, com.zevuzavidav.data).
    const char* place;
};

class FileTreeLink : public FileTree, public ::testing::WithParamInterface<LinkedPlace> {};

TEST_P(FileTreeLink, LeavesWhatItPointsToUntouched) {
    velotest::TempFolder outside;
    const fs::path place =
        reporttest::linkInPlaceOfFolder(files.rootPath(), GetParam().place, outside.path());
    const auto before = velotest::folderContents(outside.path());
    ASSERT_FALSE(before.empty());

    ns::ConsoleCapture console;
    files.removeLegacyDirectories();
    EXPECT_TRUE(files.activePathContents().empty());
    EXPECT_TRUE(files.processingPathContents().empty());
    EXPECT_TRUE(files.preparedPathContents().empty());
    EXPECT_TRUE(files.moveProcessingContentsToPrepared());
    EXPECT_TRUE(files.removeContentsOfAllPaths());
    ASSERT_TRUE(files.prepareForNewLaunch());
    EXPECT_TRUE(files.setupNewPathForExecutionIdentifier("launch"));

    EXPECT_EQ(velotest::folderContents(outside.path()), before);
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(place)));
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(fs::path(files.activePath()) / "launch")));
    EXPECT_TRUE(reporttest::saw(console, "Sandbox: removed the symbolic link " + place.string()));
}

INSTANTIATE_TEST_SUITE_P(Places, FileTreeLink,
                         ::testing::Values(LinkedPlace{"Processing", "v3/processing"},
                                           LinkedPlace{"Prepared", "v3/prepared"},
                                           LinkedPlace{"Structure", "v3"}, LinkedPlace{"Root", ""},
                                           LinkedPlace{"DataFolder", ".."}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileTree, TheLegacyMarkerTakesTheWholeRootWithIt) {
    ASSERT_TRUE(files.prepareForNewLaunch());
    files.removeLegacyDirectories();
    EXPECT_TRUE(fs::exists(files.activePath()));
    reporttest::writeText(files.legacyMarkerPath(), "");
    files.removeLegacyDirectories();
    EXPECT_FALSE(fs::exists(files.rootPath()));
    EXPECT_TRUE(fs::exists(fs::path(files.rootPath()).parent_path()));
}

TEST_F(FileTree, ReadsSizesAndReportsInProcessing) {
    ns::ConsoleCapture console;
    ASSERT_TRUE(files.prepareForNewLaunch());
    reporttest::writeText(fs::path(files.preparedPath()) / "p", "12345");
    EXPECT_EQ(files.fileSizeAtPath(files.preparedPath() + "/p"), 5u);
    EXPECT_FALSE(files.fileSizeAtPath(files.preparedPath() + "/none").has_value());
    EXPECT_TRUE(reporttest::saw(console, "[Client] Unable to read file size: "));

    reporttest::writeMetadata(fs::path(files.processingPath()) / "good", "good-id");
    fs::create_directories(fs::path(files.processingPath()) / "bad");
    std::map<std::string, std::string> seen;
    files.enumerateReportsInProcessingDirectoryUsingBlock(
        [&](const std::shared_ptr<ZEVInternalReport>& report, const std::string& path) {
            seen[fs::path(path).filename().string()] = report ? report->identifier() : "(none)";
        });
    EXPECT_EQ(seen, (std::map<std::string, std::string>{{"bad", "(none)"}, {"good", "good-id"}}));
}

} // namespace
