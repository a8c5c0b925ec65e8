// The directory tree of the event logs: names, creation, packaging markers, removal and clean-up.
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogSessionRepository.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;
using Repository = ZEVEventLogSessionRepository;

namespace {

class SessionRepository : public ::testing::Test {
  protected:
    velotest::TempFolder folder;
    fs::path root = folder.path() / "analytics";
    Repository repository{root.string()};

    fs::path touch(const fs::path& path, const std::string& content = "x") {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << content;
        return path;
    }
    // Every item under the root, relative, as a sorted set ("v1/ACTIVE/..." with "/" after directories).
    std::set<std::string> tree() {
        std::set<std::string> items;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            std::string relative = fs::relative(entry.path(), root).string();
            items.insert(entry.is_directory() ? relative + "/" : relative);
        }
        return items;
    }
};

TEST_F(SessionRepository, LogFilesSitAtTheirPlaceInTheTree) {
    auto url = repository.eventLogFileURLForStateName("ACTIVE", "S", 1000, "F", 2000, 1);
    ASSERT_TRUE(url);
    EXPECT_EQ(*url, (root / "v1/ACTIVE/1000_S/2000_F/1.log").string());
    EXPECT_TRUE(fs::is_directory(root / "v1/ACTIVE/1000_S/2000_F"));
    EXPECT_FALSE(fs::exists(*url)); // the file comes with its first event
    EXPECT_FALSE(repository.eventLogFileURLForStateName("ACTIVE", "S", 1000, "F", 2000, 3));
}

TEST_F(SessionRepository, AFileStandingWhereALevelBelongsIsReplacedByTheDirectory) {
    touch(root / "v1" / "ACTIVE");
    auto url = repository.sessionDirectoryURLForStateName("ACTIVE", "S", 1);
    ASSERT_TRUE(url);
    EXPECT_TRUE(fs::is_directory(root / "v1/ACTIVE/1_S"));
}

TEST_F(SessionRepository, FileNamesMapToPriorities) {
    const std::pair<std::string, std::int64_t> table[] = {
        {"0.log", 0},  {"1.log", 1},  {"2.log", 2}, {"0.log.zip", 0},      {"2.log.zip", 2},
        {"3.log", -1}, {"0.zip", -1}, {"log", -1},  {"0.log.zip.zip", -1}, {"", -1},
    };
    for (const auto& [name, priority] : table)
        EXPECT_EQ(Repository::priorityForEventLogFileWithName(name), priority) << name;
}

TEST_F(SessionRepository, PrepMarkerComesAndGoesByRename) {
    auto fragment = repository.sessionFragmentDirectoryURLForStateName("ACTIVE", "S", 1, "F", 2);
    ASSERT_TRUE(fragment);
    auto prep = repository.prepSessionFragmentDirectoryURLForStateName("PACKAGED", *fragment);
    ASSERT_TRUE(prep);
    EXPECT_EQ(*prep, (root / "v1/PACKAGED/1_S/2_F.prep").string());
    EXPECT_TRUE(Repository::isPrepDirectoryURL(*prep));
    touch(fs::path(*prep) / "0.log.zip");
    touch(root / "v1/PACKAGED/1_S/2_F/stale.log"); // an earlier packaging of the same fragment
    auto packaged = repository.removePrepStatusFromSessionFragmentDirectoryURL(*prep);
    ASSERT_TRUE(packaged);
    EXPECT_EQ(*packaged, (root / "v1/PACKAGED/1_S/2_F").string());
    EXPECT_TRUE(fs::exists(root / "v1/PACKAGED/1_S/2_F/0.log.zip"));
    EXPECT_FALSE(fs::exists(root / "v1/PACKAGED/1_S/2_F/stale.log"));
    // Without the marker there is nothing to remove: the directory stays as it is.
    EXPECT_FALSE(repository.removePrepStatusFromSessionFragmentDirectoryURL(*packaged));
    EXPECT_TRUE(fs::is_directory(*packaged));
}

TEST_F(SessionRepository, PurgingPrepDirectoriesLeavesFinishedFragments) {
    touch(root / "v1/PACKAGED/1_S/2_F.prep/0.log.zip");
    touch(root / "v1/PACKAGED/1_S/3_G/0.log.zip");
    ASSERT_TRUE(repository.purgePrepSessionFragmentDirectoriesForStateName("PACKAGED"));
    EXPECT_EQ(tree(), (std::set<std::string>{"v1/", "v1/PACKAGED/", "v1/PACKAGED/1_S/",
                                             "v1/PACKAGED/1_S/3_G/", "v1/PACKAGED/1_S/3_G/0.log.zip"}));
}

TEST_F(SessionRepository, RemovingTheLastFileTakesEmptyParentsButNeverTheVersionDirectory) {
    auto log = touch(root / "v1/PACKAGED/1_S/2_F/2.log.zip");
    touch(root / "v1/ACTIVE/1_S/5_H/0.log");
    ASSERT_TRUE(repository.removeLogFile(log.string()));
    EXPECT_EQ(tree(), (std::set<std::string>{"v1/", "v1/ACTIVE/", "v1/ACTIVE/1_S/", "v1/ACTIVE/1_S/5_H/",
                                             "v1/ACTIVE/1_S/5_H/0.log"}));
    // A fragment beside others goes alone.
    touch(root / "v1/ACTIVE/1_S/6_I/1.log");
    ASSERT_TRUE(repository.removeSessionFragmentDirectory((root / "v1/ACTIVE/1_S/6_I").string()));
    EXPECT_TRUE(fs::exists(root / "v1/ACTIVE/1_S/5_H/0.log"));
}

TEST_F(SessionRepository, ListsLogFilesOfActiveBeforePackaged) {
    touch(root / "v1/PACKAGED/1_S/2_F/0.log.zip");
    touch(root / "v1/ACTIVE/1_S/3_G/1.log");
    touch(root / "v1/ACTIVE/1_S/3_G/notes.txt");
    touch(root / "v1/ACTIVE/1_S/3_G/.hidden.log");
    auto files = repository.logFileURLsForAllStates();
    ASSERT_TRUE(files);
    EXPECT_EQ(*files, (Repository::URLs{(root / "v1/ACTIVE/1_S/3_G/1.log").string(),
                                        (root / "v1/PACKAGED/1_S/2_F/0.log.zip").string()}));
}

TEST_F(SessionRepository, CleanUpKeepsLogsAndTheOpenFragmentAndRemovesEverythingElse) {
    // Kept: log files, zip files (also in a prep fragment), the open fragment even when empty.
    touch(root / "v1/ACTIVE/1_S/2_F/0.log");
    touch(root / "v1/PACKAGED/1_S/3_G.prep/1.log.zip");
    fs::create_directories(root / "v1/ACTIVE/9_T/10_OPEN");
    // Removed: strangers at every level, empty fragments, sessions and states, sub-directories of fragments.
    touch(root / "v1/ACTIVE/1_S/2_F/notes.txt");
    fs::create_directories(root / "v1/ACTIVE/1_S/2_F/sub");
    fs::create_directories(root / "v1/ACTIVE/1_S/4_EMPTY");
    fs::create_directories(root / "v1/PACKAGED/5_GONE/6_GONE.prep");
    touch(root / "v1/ACTIVE/stray-file");
    touch(root / "v1/ACTIVE/1_S/stray-file");
    touch(root / "v1/OTHER/1_S/2_F/0.log");
    touch(root / "v1/README");

    ASSERT_TRUE(repository.cleanUpEventLogRepositoryIgnoringSessionFragmentDirectoryURLs(
        {(root / "v1/ACTIVE/9_T/10_OPEN/").string()}));
    EXPECT_EQ(tree(),
              (std::set<std::string>{"v1/", "v1/ACTIVE/", "v1/ACTIVE/1_S/", "v1/ACTIVE/1_S/2_F/",
                                     "v1/ACTIVE/1_S/2_F/0.log", "v1/ACTIVE/9_T/", "v1/ACTIVE/9_T/10_OPEN/",
                                     "v1/PACKAGED/", "v1/PACKAGED/1_S/", "v1/PACKAGED/1_S/3_G.prep/",
                                     "v1/PACKAGED/1_S/3_G.prep/1.log.zip"}));

    // Once nothing is left but empty levels, only "v1" stays.
    fs::remove(root / "v1/ACTIVE/1_S/2_F/0.log");
    fs::remove(root / "v1/PACKAGED/1_S/3_G.prep/1.log.zip");
    ASSERT_TRUE(repository.cleanUpEventLogRepositoryIgnoringSessionFragmentDirectoryURLs({}));
    EXPECT_EQ(tree(), (std::set<std::string>{"v1/"}));
}

} // namespace
