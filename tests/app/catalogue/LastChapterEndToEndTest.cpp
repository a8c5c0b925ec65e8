// The last chapter of the Swift course played in the real program, in a terminal run by tmux: a lesson
// answered there counts in the chapter list and is still counted after the program starts again.
// Skipped when the program has not been built or tmux is not installed.
#include "content/Courses.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

using velotest::lineWith;
using velotest::Tmux;

TEST(LastChapterEndToEnd, AnErrorHandlingLessonCountsAndIsKeptForTheNextStart) {
    std::filesystem::path program = std::string(VELO_BINARY_DIR) + "/bundles/Swift.app/velomarinth";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";

    auto chapters = content::buildChapters(content::swiftCourse());
    ASSERT_EQ(chapters.size(), 26u);
    const auto& chapter = *chapters.back();
    ASSERT_EQ(chapter.title, "ERROR HANDLING");
    const auto& lesson = *chapter.lessons.front();
    const std::string none = "0 / " + std::to_string(chapter.lessons.size());
    const std::string one = "1 / " + std::to_string(chapter.lessons.size());

    velotest::TempFolder home;
    std::string command = "env VELOMARINTH_HOME=" + velotest::quote(home.path().string()) + " " +
                          velotools::loopbackServerWords() + " TERM=xterm-256color " +
                          velotest::quote(program.string());
    {
        Tmux tmux("velo-e2e-ch26");
        tmux.start(command);
        tmux.waitFor("SWIFT BASICS");
        tmux.keys("End");
        auto shown = tmux.waitFor("ERROR HANDLING");
        EXPECT_NE(lineWith(shown, "ERROR HANDLING").find(none), std::string::npos) << shown;

        tmux.keys("Enter");
        tmux.waitFor("COURSE 26");
        tmux.keys("Enter");
        tmux.waitFor("Ctrl-R run");
        tmux.literal(lesson.answer.str());
        shown = tmux.waitFor("✓");
        EXPECT_NE(lineWith(shown, "✓").find(lesson.answer), std::string::npos) << shown;

        tmux.keys("Escape");
        shown = tmux.waitFor("COURSE 26");
        EXPECT_NE(lineWith(shown, lesson.title.str()).find("✓"), std::string::npos) << shown;
        tmux.keys("Escape");
        shown = tmux.waitFor(one);
        EXPECT_NE(lineWith(shown, "ERROR HANDLING").find(one), std::string::npos) << shown;
        tmux.keys("q");
        tmux.waitFor("PROGRAM-ENDED");
    }

    Tmux again("velo-e2e-ch26-again");
    again.start(command);
    again.waitFor("SWIFT BASICS");
    again.keys("End");
    auto shown = again.waitFor("ERROR HANDLING");
    EXPECT_NE(lineWith(shown, "ERROR HANDLING").find(one), std::string::npos) << shown;
    again.keys("C-c");
    again.waitFor("PROGRAM-ENDED");
}

} // namespace
