// Quitting the real program never waits on the network. Every server it would ask has a name that a
// name server never answers (the stalled resolver, preloaded into the program): the backend's request
// and the SDK's settings request both hang in their look-ups when Ctrl-C comes, from the chapter list or
// right after a lesson was opened and answered. The process ends all the same, with the lesson in the
// learner record on disk.
#include "EndToEnd.hpp"
#include "content/Courses.hpp"
#include "model/ProgressReport.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

namespace {

using velotest::quote;

const std::string kBundleIdentifier = "com.velomarinth.swift";
const std::string kBackendHost = "backend.stalled.invalid";
const std::string kSettingsHost = "settings.stalled.invalid";

// Each server the program asks on its own, at a host whose look-up never ends.
std::string stalledServerWords() {
    return "VELOMARINTH_BACKEND_SERVER=https://" + kBackendHost + "/parse SettingsEndpoint=https://" +
           kSettingsHost + " ConfigureEndpoint=https://configure.stalled.invalid" +
           " ZevuzavidavReportsEndpoint=https://reports.stalled.invalid" +
           " ZevuzavidavBetaEndpoint=https://beta.stalled.invalid";
}

struct QuitCase {
    const char* name;
    // Back from the lesson to the chapter list before quitting; else quit from the lesson.
    bool fromTheChapterList;
};

class QuitWhileLookUpsHang : public ::testing::TestWithParam<QuitCase> {};

TEST_P(QuitWhileLookUpsHang, TheProcessEndsWithTheLessonInTheRecordOnDisk) {
    E2E_REQUIRE_PROGRAM("Swift");
    const auto lesson = content::buildChapters(content::swiftCourse()).at(0)->lessons.at(0);
    velotest::TempFolder home;
    const auto lookUps = home.path() / "stalled-look-ups";
    const auto pidFile = home.path() / "pid";
    // The sanitizers' runtime wants to come first among the libraries; the stand-in comes before it.
    const std::string preload = "LD_PRELOAD=" + quote(VELO_STALLED_RESOLVER) +
                                " VELO_STALLED_LOOKUPS=" + quote(lookUps.string()) +
                                " \"ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0\" ";
    velotest::Tmux tmux;
    tmux.start("sh -c " + quote("echo $$ > " + quote(pidFile.string()) + "; exec " +
                                e2e::command(home.path(), "Swift", preload + stalledServerWords())),
               80, 24);
    tmux.waitFor("SWIFT BASICS");
    const pid_t pid = e2e::readPid(pidFile);
    ASSERT_GT(pid, 0);
    e2e::typeIntoTheFirstLesson(tmux, lesson->answer.str());
    tmux.waitFor("✓");
    if (GetParam().fromTheChapterList) {
        tmux.keys("Escape");
        tmux.waitFor("COURSE 1");
        tmux.keys("Escape");
        tmux.waitFor("1 / ");
    }
    // Both look-ups have begun and wait: the backend's (the installation, then the lesson's video) and
    // the SDK's settings.
    ASSERT_TRUE(velotest::waitUntil([&] {
        const std::string held = velotest::readFile(lookUps);
        return held.find(kBackendHost) != std::string::npos && held.find(kSettingsHost) != std::string::npos;
    })) << "held look-ups: "
        << velotest::readFile(lookUps);

    tmux.keys("C-c");
    const std::string screen = tmux.waitFor("PROGRAM-ENDED");
    ASSERT_NE(screen, "") << "the program did not end while its look-ups hung";
    EXPECT_TRUE(::kill(pid, 0) == -1 && errno == ESRCH) << "the process is still there";
    tmux.stop();

    ns::UserDefaults stored(kBundleIdentifier, home.path() / kBundleIdentifier / "Library" / "Preferences");
    const auto record = ProgressReport::load(stored);
    ASSERT_TRUE(record) << "no learner record on disk";
    EXPECT_TRUE(record->hasCompleted(lesson->lessonID.str()));
}

INSTANTIATE_TEST_SUITE_P(Screens, QuitWhileLookUpsHang,
                         ::testing::Values(QuitCase{"FromTheChapterList", true},
                                           QuitCase{"FromALessonJustOpened", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
