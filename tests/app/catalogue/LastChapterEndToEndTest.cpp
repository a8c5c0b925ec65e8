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

using velotest::rowShows;
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
        tmux.waitForRow("ERROR HANDLING", none);

        tmux.keys("Enter");
        tmux.waitFor("COURSE 26");
        tmux.keys("Enter");
        tmux.waitFor("Ctrl-R run");
        tmux.literal(lesson.answer.str());
        tmux.waitForRow("✓", lesson.answer.str());

        tmux.keys("Escape");
        tmux.waitFor("the lesson list with the lesson marked", [&](const std::string& shown) {
            return shown.find("COURSE 26") != std::string::npos && rowShows(shown, lesson.title.str(), "✓");
        });
        tmux.keys("Escape");
        tmux.waitForRow("ERROR HANDLING", one);
        tmux.keys("q");
        tmux.waitFor("PROGRAM-ENDED");
    }

    Tmux again("velo-e2e-ch26-again");
    again.start(command);
    again.waitFor("SWIFT BASICS");
    again.keys("End");
    again.waitForRow("ERROR HANDLING", one);
    again.keys("C-c");
    again.waitFor("PROGRAM-ENDED");
}

} // namespace
