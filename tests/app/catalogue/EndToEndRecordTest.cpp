// The learner record in the real program: a full disk and an unreadable file are said on screen (a
// failed save still at the quit, once the screen is given back), nothing typed meanwhile is lost, and
// the marks follow what another running copy did to the record.
#include "EndToEnd.hpp"
#include "content/Courses.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using velotest::lineWith;
using velotest::quote;
using velotest::rowShows;
using velotest::Tmux;

struct ChapterOne {
    std::vector<Lesson::Ptr> lessons;
    std::string total;
    ChapterOne() {
        auto chapters = content::buildChapters(content::swiftCourse());
        lessons = chapters.at(0)->lessons;
        total = std::to_string(lessons.size());
    }
};

// No file of the program may grow past `bytes` (the file system is full as far as it is concerned).
bool limitFileSize(pid_t pid, rlim_t bytes) {
    struct rlimit limit {
        bytes, RLIM_INFINITY
    };
    return ::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr) == 0;
}

// Starts the program again on `home` and waits until the first chapter's row shows `count` (its title
// can show before its count does).
void expectFirstChapterRowShows(const std::filesystem::path& home, const std::string& count) {
    Tmux again;
    again.start(e2e::command(home), 80, 24);
    again.waitForRow("SWIFT BASICS", count);
    again.keys("C-c");
    again.waitFor("PROGRAM-ENDED");
}

// The program in `tmux`, its first lesson completed while nothing can be written. The child ignores
// SIGXFSZ before it becomes the program, so a write past the limit fails with EFBIG instead of ending
// the process; its exit status shows as "EXIT-<status>".
class EndToEndRecordOnAFullDisk : public ::testing::Test {
  protected:
    ChapterOne chapter;
    velotest::TempFolder home;
    Tmux tmux;
    pid_t pid = 0;

    void SetUp() override {
        E2E_REQUIRE_PROGRAM("Swift");
        const auto pidFile = home.path() / "pid";
        tmux.start("sh -c " +
                       quote("trap '' XFSZ; echo $$ > " + quote(pidFile.string()) + "; exec " +
                             e2e::command(home.path())) +
                       "; echo EXIT-$?",
                   80, 24);
        tmux.waitFor("SWIFT BASICS");
        pid = e2e::readPid(pidFile);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(limitFileSize(pid, 64));
        e2e::typeIntoTheFirstLesson(tmux, chapter.lessons[0]->answer.str());
        tmux.waitFor("the mark and the failed save", [](const std::string& shown) {
            return shown.find("✓") != std::string::npos &&
                   shown.find("Progress not saved: File too large. Trying again at your next change.") !=
                       std::string::npos;
        });
    }
};

TEST_F(EndToEndRecordOnAFullDisk, TheNextSaveThatFitsWritesEverything) {
    ASSERT_TRUE(limitFileSize(pid, RLIM_INFINITY));
    tmux.keys("C-n");
    tmux.literal(chapter.lessons[1]->answer.str());
    EXPECT_TRUE(velotest::waitUntil([&] { return !tmux.shows("Progress not saved"); })) << tmux.screen();
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
    tmux.stop();

    // Both lessons were written by the save that fitted.
    expectFirstChapterRowShows(home.path(), "2 / " + chapter.total);
}

TEST_F(EndToEndRecordOnAFullDisk, QuittingWithRoomAgainSavesTheLesson) {
    // Room again, and the learner quits without another change.
    ASSERT_TRUE(limitFileSize(pid, RLIM_INFINITY));
    tmux.keys("C-c");
    auto shown = tmux.waitFor("PROGRAM-ENDED");
    EXPECT_NE(shown.find("EXIT-0"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Progress not saved"), std::string::npos) << shown;
    tmux.stop();

    expectFirstChapterRowShows(home.path(), "1 / " + chapter.total);
}

TEST_F(EndToEndRecordOnAFullDisk, QuittingWhenTheLastSaveFailsTooSaysSoOnceTheScreenIsGivenBack) {
    tmux.keys("C-c");
    auto shown = tmux.waitFor("PROGRAM-ENDED");
    // The lesson screen is gone; the message stands in the terminal, and the status tells the failure.
    EXPECT_EQ(shown.find("Ctrl-R"), std::string::npos) << shown;
    EXPECT_NE(shown.find("velomarinth: Progress not saved: File too large. The last try"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("EXIT-1"), std::string::npos) << shown;
    tmux.stop();

    expectFirstChapterRowShows(home.path(), "0 / " + chapter.total);
}

TEST(EndToEndRecord, AResetInAnotherCopyClearsTheMarksHereAtTheNextSave) {
    E2E_REQUIRE_PROGRAM("Swift");
    ChapterOne chapter;
    velotest::TempFolder home;
    Tmux here("velo-e2e-here");
    here.start(e2e::command(home.path()), 80, 24);
    here.waitFor("SWIFT BASICS");
    e2e::typeIntoTheFirstLesson(here, chapter.lessons[0]->answer.str());
    here.waitFor("Ctrl-O"); // completed and saved
    here.keys("Escape");
    here.waitFor("the lesson list with the first lesson marked", [&](const std::string& shown) {
        return shown.find("COURSE 1") != std::string::npos &&
               rowShows(shown, chapter.lessons[0]->title.str(), "✓");
    });

    // A second copy of the edition resets all progress.
    Tmux there("velo-e2e-there");
    there.start(e2e::command(home.path()), 80, 24);
    there.waitFor("SWIFT BASICS");
    there.keys("s");
    there.waitFor("Reset progress");
    there.keys("Enter");
    there.waitFor("Please confirm");
    there.keys("Right");
    there.keys("Enter");
    EXPECT_TRUE(velotest::waitUntil([&] { return !there.shows("Please confirm"); })) << there.screen();
    there.keys("C-c");
    there.waitFor("PROGRAM-ENDED");

    // Here the next lesson is completed: its save merges with the reset record.
    here.keys("Down");
    here.keys("Enter");
    here.waitFor("2/" + chapter.total);
    here.literal(chapter.lessons[1]->answer.str());
    here.waitFor("Ctrl-O");
    here.keys("Escape");
    here.waitFor("the lesson list with the second lesson marked alone", [&](const std::string& shown) {
        const std::string first = lineWith(shown, chapter.lessons[0]->title.str());
        return shown.find("COURSE 1") != std::string::npos && !first.empty() &&
               first.find("✓") == std::string::npos && rowShows(shown, chapter.lessons[1]->title.str(), "✓");
    });
    here.keys("Escape");
    here.waitForRow("SWIFT BASICS", "1 / " + chapter.total);
    here.keys("C-c");
    here.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndRecord, AnUnreadableRecordIsKeptAndTheReasonShown) {
    E2E_REQUIRE_PROGRAM("Swift");
    ChapterOne chapter;
    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path()), 80, 24);
    tmux.waitFor("SWIFT BASICS");
    e2e::typeIntoTheFirstLesson(tmux, chapter.lessons[0]->answer.str());
    tmux.waitFor("✓");
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
    tmux.stop();

    const auto file =
        home.path() / "com.velomarinth.swift" / "Library" / "Preferences" / "com.velomarinth.swift.plist";
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    // Root reads any file; without these capabilities it is bound by the permissions like a learner.
    const std::string asLearner =
        ::geteuid() == 0 ? "setpriv --bounding-set -dac_override,-dac_read_search,-fowner -- " : "";
    Tmux unreadable;
    unreadable.start(asLearner + e2e::command(home.path()), 80, 24);
    unreadable.waitFor("the unreadable record's reason", [](const std::string& shown) {
        return shown.find("Progress not saved: the saved preferences cannot be read") != std::string::npos &&
               shown.find("Permission denied") != std::string::npos;
    });
    unreadable.keys("C-c");
    unreadable.waitFor("PROGRAM-ENDED");
    unreadable.stop();

    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    Tmux readable;
    readable.start(e2e::command(home.path()), 80, 24);
    readable.waitFor("the first chapter's count and no failed save", [&](const std::string& shown) {
        return rowShows(shown, "SWIFT BASICS", "1 / " + chapter.total) &&
               shown.find("Progress not saved") == std::string::npos;
    });
    readable.keys("C-c");
    readable.waitFor("PROGRAM-ENDED");
}

} // namespace
