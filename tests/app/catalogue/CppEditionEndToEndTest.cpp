// The C++ edition started in a terminal, as a person would use it: its chapter list, and the challenge
// whose model answer holds a null character, typed with Ctrl-Space. Skipped when the program has not
// been built or tmux is not installed.
#include "content/Courses.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

using velotest::lineWith;
using velotest::rowShows;
using velotest::Tmux;

TEST(CppEditionEndToEnd, ShowsSevenChaptersAndCompletesTheChallengeWithANullCharacter) {
    std::filesystem::path program = std::string(VELO_BINARY_DIR) + "/bundles/Cpp.app/velomarinth";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "the program is not built: " << program;
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";

    velotest::TempFolder home;
    Tmux tmux("velo-cpp-e2e");
    tmux.start("env VELOMARINTH_HOME=" + velotest::quote(home.path().string()) + " " +
               velotools::loopbackServerWords() + " TERM=xterm-256color " +
               velotest::quote(program.string()));

    // Seven chapters, nothing done yet, 119 lessons in all; each row waited for with its whole count (a
    // row's title can show before its count does), and no eighth row.
    const char* titles[] = {"C++ BASICS", "TRUE OR FALSE", "IF STATEMENTS", "LOOP DE LOOP",
                            "ARRAYS",     "POINTERS",      "STRINGS"};
    const auto& course = content::cppCourse();
    ASSERT_EQ(course.size(), std::size(titles));
    int lessons = 0;
    for (std::size_t i = 0; i < course.size(); ++i) {
        EXPECT_EQ(course[i].title, titles[i]);
        lessons += course[i].lessonCount;
    }
    EXPECT_EQ(lessons, 119);
    tmux.waitFor("the seven chapters with their counts and no eighth", [&](const std::string& shown) {
        for (std::size_t i = 0; i < course.size(); ++i)
            if (!rowShows(shown, titles[i], "0 / " + std::to_string(course[i].lessonCount))) return false;
        return lineWith(shown, "8. ").empty();
    });

    // Chapter 7, lesson 14: Challenge 2.
    for (int i = 0; i < 6; ++i)
        tmux.keys("Down");
    tmux.keys("Enter");
    tmux.waitFor("COURSE 7");
    for (int i = 0; i < 13; ++i)
        tmux.keys("Down");
    tmux.keys("Enter");
    tmux.waitFor("14/17");

    // Ctrl-Space types the null character; the field shows it as its picture and keeps what follows.
    tmux.literal("char str[4] = {'C','+','+','");
    tmux.keys("C-Space");
    tmux.literal("'}");
    tmux.keys("-H 3b"); // ";" (tmux would read a trailing ";" as the end of its command)
    tmux.waitForRow("✓", "char str[4] = {'C','+','+','\u2400'};");

    tmux.keys("C-r");
    tmux.waitFor("the output under its message", [](const std::string& shown) {
        return shown.find("Let's keep going") != std::string::npos &&
               shown.find("   C++\n") != std::string::npos;
    });

    tmux.keys("Escape");
    tmux.waitFor("the lesson list with Challenge 2 marked", [](const std::string& shown) {
        return shown.find("COURSE 7") != std::string::npos && rowShows(shown, "Challenge 2", "✓");
    });
    tmux.keys("Escape");
    tmux.waitForRow("STRINGS", "1 / 17");
    tmux.keys("q");
    tmux.waitFor("PROGRAM-ENDED");

    // The record saved after the right answer holds the challenge's id, as the log reports.
    std::ifstream log(home.path() / "com.velomarinth.cpp" / "Library" / "Logs" / "console.log");
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("C++CH7C2"), std::string::npos);
}

} // namespace
