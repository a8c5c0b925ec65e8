// Drives the real program in a terminal, as a person would: tmux runs it in a fixed-size window, keys
// go in with send-keys and the screen comes back with capture-pane. Skipped when the program has not
// been built or tmux is not installed.
#include "EndToEnd.hpp"
#include "content/Courses.hpp"
#include "platform/foundation/Bundle.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using velotest::lineWith;
using velotest::rowShows;
using velotest::Tmux;

TEST(EndToEnd, EachEditionsTitleBarShowsItsOwnDisplayName) {
    for (const char* bundle : {"Swift", "ZovudERO", "Cpp", "SwiftUI"}) {
        E2E_REQUIRE_PROGRAM(bundle);
        ns::Bundle info(e2e::program(bundle).parent_path());
        const auto* name = info.objectForInfoDictionaryKey("CFBundleDisplayName");
        ASSERT_TRUE(name && name->stringValue()) << bundle;
        velotest::TempFolder home;
        Tmux tmux;
        tmux.start(e2e::command(home.path(), bundle), 80, 24);
        const std::string& displayName = *name->stringValue();
        tmux.waitFor(std::string(bundle) + "'s name in the title bar", [&](const std::string& shown) {
            std::istringstream rows(shown);
            std::string titleBar;
            std::getline(rows, titleBar);
            return titleBar.find(displayName) != std::string::npos;
        });
        tmux.keys("C-c");
        tmux.waitFor("PROGRAM-ENDED");
    }
}

TEST(EndToEnd, ALessonAnsweredInTheTerminalIsKeptForTheNextStart) {
    E2E_REQUIRE_PROGRAM("Swift");

    auto chapters = content::buildChapters(content::swiftCourse());
    ASSERT_FALSE(chapters.empty());
    ASSERT_FALSE(chapters[0]->lessons.empty());
    const auto& lesson = *chapters[0]->lessons[0];
    std::string total = std::to_string(chapters[0]->lessons.size());

    velotest::TempFolder home;
    // No backend is reachable here: the app must not care.
    const std::string command = e2e::command(home.path());
    Tmux tmux;
    tmux.start(command);
    tmux.waitForRow("SWIFT BASICS", "0 / " + total);

    tmux.keys("Enter");
    tmux.waitFor("COURSE 1");
    tmux.keys("Enter");
    tmux.waitFor("Ctrl-R run");
    tmux.literal(lesson.answer.str());
    tmux.waitForRow("✓", lesson.answer.str());
    // In 256 colours: the checkmark in the success green (index 77), and so is the run button now (on a
    // row below the mark's, drawn after it).
    std::string coloured;
    EXPECT_TRUE(velotest::waitUntil([&] {
        coloured = tmux.colouredScreen();
        return rowShows(coloured, "✓", "38;5;77") && rowShows(coloured, "Ctrl-R)", "48;5;77");
    })) << lineWith(coloured, "✓")
        << "\n"
        << lineWith(coloured, "Ctrl-R)");

    tmux.keys("Escape");
    tmux.waitFor("the lesson list with the lesson marked", [&](const std::string& shown) {
        return shown.find("COURSE 1") != std::string::npos && rowShows(shown, lesson.title.str(), "✓");
    });
    tmux.keys("Escape");
    tmux.waitForRow("SWIFT BASICS", "1 / " + total);
    tmux.keys("q");
    tmux.waitFor("PROGRAM-ENDED");
    tmux.stop(); // the next start reuses the window name

    Tmux again;
    again.start(command);
    again.waitForRow("SWIFT BASICS", "1 / " + total);
    again.keys("C-c");
    again.waitFor("PROGRAM-ENDED");

    // Diagnostics went to the log, not over the screen.
    std::ifstream log(home.path() / "com.velomarinth.swift" / "Library" / "Logs" / "console.log");
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("success you got the right answer"), std::string::npos);
    EXPECT_NE(text.str().find("Version:"), std::string::npos);
}

// Every signal that ends the app puts the terminal back (out of the alternate screen, modes restored).
class EndToEndEndingSignal : public ::testing::TestWithParam<int> {};

TEST_P(EndToEndEndingSignal, PutsTheTerminalBack) {
    E2E_REQUIRE_PROGRAM("Swift");

    velotest::TempFolder home;
    auto pidFile = home.path() / "pid";
    // The program runs in the foreground (a background job would ignore SIGINT and SIGQUIT), in place
    // of a shell that wrote its process id; the shell then reports how the program ended and the
    // terminal modes after it has died.
    std::string launch =
        "echo $$ > " + velotest::quote(pidFile.string()) + "; exec " + e2e::command(home.path());
    std::string command = "sh -c " + velotest::quote(launch) +
                          "; echo ENDED-BY-$(kill -l $?);"
                          " stty -a | tr ' ;' '\\n\\n' | grep -x -e echo -e icanon | tr '\\n' ' '; echo";
    Tmux tmux("velo-e2e-signal-" + std::to_string(GetParam()));
    tmux.start(command);
    tmux.waitFor("SWIFT BASICS");
    EXPECT_EQ(tmux.format("#{alternate_on}"), "1\n");
    std::ifstream in(pidFile);
    pid_t pid = 0;
    in >> pid;
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, GetParam()), 0);
    auto shown = tmux.waitFor("PROGRAM-ENDED");
    // The app ended by the signal itself, not by some other way out.
    std::string name = sigabbrev_np(GetParam());
    EXPECT_NE(shown.find("ENDED-BY-" + name), std::string::npos) << shown;
    EXPECT_NE(shown.find("icanon echo"), std::string::npos) << shown;
    EXPECT_EQ(tmux.format("#{alternate_on}"), "0\n");
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, EndToEndEndingSignal,
                         ::testing::Values(SIGSEGV, SIGQUIT, SIGTRAP, SIGSYS, SIGUSR1),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST(EndToEnd, AFileSizeLimitDoesNotEndTheApp) {
    E2E_REQUIRE_PROGRAM("Swift");

    velotest::TempFolder home;
    // One block of file size: the console log and the learner record soon reach it.
    Tmux tmux("velo-e2e-fsize");
    tmux.start("ulimit -f 1; " + e2e::command(home.path()) + "; echo EXIT-STATUS-$?");
    tmux.waitFor("SWIFT BASICS");
    tmux.keys("Enter");
    tmux.waitFor("COURSE 1");
    tmux.keys("Escape");
    tmux.waitFor("TRUE OR FALSE");
    tmux.keys("q");
    auto shown = tmux.waitFor("PROGRAM-ENDED");
    EXPECT_NE(shown.find("EXIT-STATUS-0"), std::string::npos) << shown;
}

TEST(EndToEnd, BoundedRunEndsByItselfAfterItsKeys) {
    E2E_REQUIRE_PROGRAM("SwiftUI");

    velotest::TempFolder home;
    Tmux tmux;
    // Without the alternate screen the program's last screen stays in the window once it has ended,
    // so the screen shows how far it went: a run that ended after its first key never draws the
    // second one's move.
    tmux.start("tmux set-option -w alternate-screen off && " + e2e::command(home.path(), "SwiftUI") +
               " --max-keys 2");
    tmux.waitFor("› 1.  SwiftUI Basics");
    tmux.keys("Down");
    tmux.waitFor("› 2.  Text View");
    tmux.keys("Down");
    const std::string shown = tmux.waitFor("PROGRAM-ENDED");
    EXPECT_NE(lineWith(shown, "›").find("3.  Image View"), std::string::npos) << shown;
    // The SwiftUI edition keeps its record in its own sandbox.
    EXPECT_TRUE(std::filesystem::exists(home.path() / "com.velomarinth.swiftui" / "Library" / "Preferences"));
    EXPECT_FALSE(std::filesystem::exists(home.path() / "com.velomarinth.swift"));
}

TEST(EndToEnd, AnUnknownTerminalTypeIsNamedAndTheProgramEnds) {
    E2E_REQUIRE_PROGRAM("Swift");

    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path(), "Swift", "TERM=no-such-terminal") + "; echo status=$?");
    auto shown = tmux.waitFor("PROGRAM-ENDED");
    EXPECT_NE(shown.find("cannot use the terminal type 'no-such-terminal'"), std::string::npos) << shown;
    EXPECT_NE(shown.find("status=1"), std::string::npos) << shown;
}

TEST(EndToEnd, ATerminalThatCannotMoveTheCursorIsRefusedWithTheReason) {
    E2E_REQUIRE_PROGRAM("Swift");

    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path(), "Swift", "TERM=dumb") + "; echo status=$?", 80, 24);
    auto shown = tmux.waitFor("PROGRAM-ENDED");
    EXPECT_NE(shown.find("the terminal type 'dumb' cannot move the cursor"), std::string::npos) << shown;
    EXPECT_NE(shown.find("status=1"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("SWIFT BASICS"), std::string::npos) << shown;
}

// Started from a terminal but with its output piped or its input redirected (./velo run | tee log), the
// program says which of the two is not the terminal and what to do instead, and ends with status 1.
TEST(EndToEnd, AStreamThatIsNotTheTerminalIsNamedWithWhatToDoInstead) {
    E2E_REQUIRE_PROGRAM("Swift");

    velotest::TempFolder home;
    const auto said = [&](const char* name) { return home.path() / name; };
    Tmux tmux;
    tmux.start(e2e::command(home.path()) + " 2>" + velotest::quote(said("piped").string()) + " | cat; " +
               e2e::command(home.path()) + " </dev/null 2>" + velotest::quote(said("redirected").string()) +
               "; echo status=$?");
    const auto shown = tmux.waitFor("PROGRAM-ENDED");
    EXPECT_NE(shown.find("status=1"), std::string::npos) << shown;
    const auto text = [](const std::filesystem::path& file) {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string piped = text(said("piped"));
    EXPECT_NE(piped.find("its output goes to a pipe or a file"), std::string::npos) << piped;
    // Where its log is, so that nothing needs its output to be kept.
    EXPECT_NE(piped.find((home.path() / "com.velomarinth.swift/Library/Logs/console.log").string()),
              std::string::npos)
        << piped;
    const std::string redirected = text(said("redirected"));
    EXPECT_NE(redirected.find("its input comes from a pipe or a file"), std::string::npos) << redirected;
    EXPECT_NE(redirected.find("--max-keys"), std::string::npos) << redirected;
    EXPECT_EQ(shown.find("SWIFT BASICS"), std::string::npos) << shown;
}

} // namespace
