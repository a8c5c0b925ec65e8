// The learner record in the real program: a full disk and an unreadable file are said on screen, and
// nothing typed meanwhile is lost.
#include "EndToEnd.hpp"
#include "content/Courses.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using velotest::lineWith;
using velotest::quote;
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

TEST(EndToEndRecord, AFullDiskIsShownAndTheNextSaveThatFitsWritesEverything) {
    E2E_REQUIRE_PROGRAM("Swift");
    ChapterOne chapter;
    velotest::TempFolder home;
    const auto pidFile = home.path() / "pid";
    // The child ignores SIGXFSZ before it becomes the program, so a write past the limit fails with
    // EFBIG instead of ending the process.
    Tmux tmux;
    tmux.start("sh -c " + quote("trap '' XFSZ; echo $$ > " + quote(pidFile.string()) + "; exec " +
                                e2e::command(home.path())),
               80, 24);
    tmux.waitFor("SWIFT BASICS");
    const pid_t pid = e2e::readPid(pidFile);
    ASSERT_GT(pid, 0);
    // The file system is full as far as the program is concerned: no file may grow past 64 bytes.
    struct rlimit full {
        64, RLIM_INFINITY
    };
    ASSERT_EQ(::prlimit(pid, RLIMIT_FSIZE, &full, nullptr), 0);

    tmux.keys("Enter");
    tmux.waitFor("COURSE 1");
    tmux.keys("Enter");
    tmux.waitFor("Ctrl-R");
    tmux.literal(chapter.lessons[0]->answer.str());
    auto shown = tmux.waitFor("Progress not saved: File too large. Trying again at your next change.");
    EXPECT_NE(lineWith(shown, "✓"), "") << shown;

    struct rlimit room {
        RLIM_INFINITY, RLIM_INFINITY
    };
    ASSERT_EQ(::prlimit(pid, RLIMIT_FSIZE, &room, nullptr), 0);
    tmux.keys("C-n");
    tmux.literal(chapter.lessons[1]->answer.str());
    EXPECT_TRUE(velotest::waitUntil([&] { return !tmux.shows("Progress not saved"); }, 10)) << tmux.screen();
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
    tmux.stop();

    // Both lessons were written by the save that fitted.
    Tmux again;
    again.start(e2e::command(home.path()), 80, 24);
    shown = again.waitFor("SWIFT BASICS");
    EXPECT_NE(lineWith(shown, "SWIFT BASICS").find("2 / " + chapter.total), std::string::npos) << shown;
    again.keys("C-c");
    again.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndRecord, AnUnreadableRecordIsKeptAndTheReasonShown) {
    E2E_REQUIRE_PROGRAM("Swift");
    ChapterOne chapter;
    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path()), 80, 24);
    tmux.waitFor("SWIFT BASICS");
    tmux.keys("Enter");
    tmux.waitFor("COURSE 1");
    tmux.keys("Enter");
    tmux.waitFor("Ctrl-R");
    tmux.literal(chapter.lessons[0]->answer.str());
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
    auto shown = unreadable.waitFor("Permission denied");
    EXPECT_NE(shown.find("Progress not saved: the saved preferences cannot be read"), std::string::npos)
        << shown;
    unreadable.keys("C-c");
    unreadable.waitFor("PROGRAM-ENDED");
    unreadable.stop();

    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    Tmux readable;
    readable.start(e2e::command(home.path()), 80, 24);
    shown = readable.waitFor("SWIFT BASICS");
    EXPECT_NE(lineWith(shown, "SWIFT BASICS").find("1 / " + chapter.total), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Progress not saved"), std::string::npos) << shown;
    readable.keys("C-c");
    readable.waitFor("PROGRAM-ENDED");
}

} // namespace
