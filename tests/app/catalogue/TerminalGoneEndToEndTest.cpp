// The terminal goes away under the real program with no SIGHUP reaching it: the shell that leads its
// session ignores the hang-up (as nohup or a supervisor does), and only a session's leader hears it from
// the kernel. Every read of the terminal then fails at once; the program must take that as the end, as
// it takes SIGHUP, with the lesson just answered in the learner record on disk, rather than spin.
#include "EndToEnd.hpp"
#include "content/Courses.hpp"
#include "model/ProgressReport.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

namespace {

using velotest::quote;

TEST(Screens, AProgramWhoseTerminalClosesWithoutAHangUpSignalEndsWithItsRecordSaved) {
    E2E_REQUIRE_PROGRAM("Swift");
    const auto lesson = content::buildChapters(content::swiftCourse()).at(0)->lessons.at(0);
    velotest::TempFolder home;
    const auto pidFile = home.path() / "pid";
    const auto statusFile = home.path() / "status";
    velotest::Tmux tmux("velo-terminal-gone");
    // The window's shell leads the session and ignores SIGHUP; the program is its child, not the leader.
    tmux.start("trap '' HUP; sh -c " +
               quote("echo $$ > " + quote(pidFile.string()) + "; exec " + e2e::command(home.path())) +
               "; echo $? > " + quote(statusFile.string()) + "; exit");
    tmux.waitFor("SWIFT BASICS");
    const pid_t pid = e2e::readPid(pidFile);
    ASSERT_GT(pid, 0);
    // Should it not end, it is not left spinning after the test.
    velotest::OnExit killIfLeft([pid] { ::kill(pid, SIGKILL); });
    e2e::typeIntoTheFirstLesson(tmux, lesson->answer.str());
    tmux.waitFor("✓");

    tmux.stop(); // the window closes: the terminal is gone
    ASSERT_TRUE(velotest::waitUntil([&] { return ::kill(pid, 0) == -1 && errno == ESRCH; }))
        << "the program goes on after its terminal closed";
    ASSERT_TRUE(velotest::waitUntil([&] { return !velotest::readFile(statusFile).empty(); }));
    EXPECT_EQ(velotest::readFile(statusFile), "0\n") << "it did not end as SIGHUP ends it";
    ns::UserDefaults stored("com.velomarinth.swift",
                            home.path() / "com.velomarinth.swift" / "Library" / "Preferences");
    const auto record = ProgressReport::load(stored);
    ASSERT_TRUE(record) << "no learner record on disk";
    EXPECT_TRUE(record->hasCompleted(lesson->lessonID.str()));
}

} // namespace
