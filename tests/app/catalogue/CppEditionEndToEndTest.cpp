// The C++ edition started in a terminal, as a person would use it: its chapter list, and the challenge
// whose model answer holds a null character, typed with Ctrl-Space. Skipped when the program has not
// been built or tmux is not installed.
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using velotest::lineWith;
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
    auto shown = tmux.waitFor("STRINGS");

    // Seven chapters, nothing done yet, 119 lessons in all.
    const char* titles[] = {"C++ BASICS", "TRUE OR FALSE", "IF STATEMENTS", "LOOP DE LOOP",
                            "ARRAYS",     "POINTERS",      "STRINGS"};
    int lessons = 0;
    for (const char* title : titles) {
        const auto line = lineWith(shown, title);
        const auto counts = line.find("0 / ");
        ASSERT_NE(counts, std::string::npos) << line;
        lessons += std::atoi(line.c_str() + counts + 4);
    }
    EXPECT_EQ(lessons, 119);
    EXPECT_EQ(lineWith(shown, "8. "), "");

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
    shown = tmux.waitFor("✓");
    EXPECT_NE(lineWith(shown, "✓").find("char str[4] = {'C','+','+','\u2400'};"), std::string::npos)
        << lineWith(shown, "✓");

    tmux.keys("C-r");
    shown = tmux.waitFor("Let's keep going");
    EXPECT_NE(shown.find("   C++\n"), std::string::npos) << shown;

    tmux.keys("Escape");
    shown = tmux.waitFor("COURSE 7");
    EXPECT_NE(lineWith(shown, "Challenge 2").find("✓"), std::string::npos) << shown;
    tmux.keys("Escape");
    shown = tmux.waitFor("1 / 17");
    EXPECT_NE(lineWith(shown, "STRINGS").find("1 / 17"), std::string::npos);
    tmux.keys("q");
    tmux.waitFor("PROGRAM-ENDED");

    // The record saved after the right answer holds the challenge's id, as the log reports.
    std::ifstream log(home.path() / "com.velomarinth.cpp" / "Library" / "Logs" / "console.log");
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("C++CH7C2"), std::string::npos);
}

} // namespace
