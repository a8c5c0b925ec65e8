// What a lesson holds reaches the learner whole in the real program: every printed line of a program
// that prints several, a hint down to its last line (the model answer), and the screen's symbols when
// the terminal's locale is not UTF-8.
#include "EndToEnd.hpp"
#include "content/Courses.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using velotest::Tmux;

struct Place {
    Lesson::Ptr lesson;
    int chapter = 0;
    int row = 0;
};

Place find(const std::string& id) {
    auto chapters = content::buildChapters(content::swiftCourse());
    for (std::size_t c = 0; c < chapters.size(); ++c)
        for (std::size_t r = 0; r < chapters[c]->lessons.size(); ++r)
            if (chapters[c]->lessons[r]->lessonID == id)
                return {chapters[c]->lessons[r], static_cast<int>(c), static_cast<int>(r)};
    return {};
}

void openLesson(Tmux& tmux, const Place& place) {
    for (int i = 0; i < place.chapter; ++i)
        tmux.keys("Down");
    tmux.keys("Enter");
    tmux.waitFor("COURSE " + std::to_string(place.chapter + 1));
    for (int i = 0; i < place.row; ++i)
        tmux.keys("Down");
    tmux.keys("Enter");
    tmux.waitFor("Ctrl-R");
}

// The screen's rows below the first that holds `header`, blanks and scroll marks trimmed.
std::vector<std::string> rowsBelow(const std::string& screen, const std::string& header) {
    std::vector<std::string> rows;
    std::istringstream in(screen);
    bool below = false;
    for (std::string row; std::getline(in, row);) {
        if (below) {
            const auto from = row.find_first_not_of(' ');
            const auto to = row.find_last_not_of(' ');
            rows.push_back(from == std::string::npos ? "" : row.substr(from, to - from + 1));
        }
        below = below || row.find(header) != std::string::npos;
    }
    return rows;
}

TEST(EndToEndLessonText, EveryPrintedLineShowsInTheOutputAtEachTerminalSize) {
    E2E_REQUIRE_PROGRAM("Swift");
    const auto place = find("CH25L9");
    ASSERT_TRUE(place.lesson && place.lesson->answerDebugMessageLabelDictionary);
    const LessonText* printed = place.lesson->answerDebugMessageLabelDictionary->find("continue");
    ASSERT_TRUE(printed);
    std::vector<std::string> lines;
    std::istringstream in(printed->str());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_GT(lines.size(), 2u);

    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path()), 80, 24);
    tmux.waitFor("SWIFT BASICS");
    openLesson(tmux, place);
    tmux.literal("continue");
    tmux.waitFor("✓");
    tmux.keys("C-r");
    tmux.waitFor("Output");
    for (auto [columns, rows] : {std::pair{80, 24}, {100, 30}, {120, 40}}) {
        tmux.resizeWindow(columns, rows);
        // The panel's text comes in as it slides up; its last printed line ends the wait.
        EXPECT_TRUE(velotest::waitUntil([&] {
            auto below = rowsBelow(tmux.screen(), "Output");
            return std::find(below.begin(), below.end(), lines.back()) != below.end();
        })) << columns
            << "x" << rows << "\n"
            << tmux.screen();
        const std::string screen = tmux.screen();
        const auto below = rowsBelow(screen, "Output");
        auto at = below.begin();
        for (const auto& line : lines) {
            at = std::find(at, below.end(), line);
            ASSERT_NE(at, below.end()) << columns << "x" << rows << ": \"" << line << "\" missing\n"
                                       << screen;
            ++at;
        }
    }
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndLessonText, TheHintShowsTheModelAnswerInEightyByTwentyFour) {
    E2E_REQUIRE_PROGRAM("Swift");
    const auto place = find("CH3L12");
    ASSERT_TRUE(place.lesson);
    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path()), 80, 24);
    tmux.waitFor("SWIFT BASICS");
    openLesson(tmux, place);
    tmux.literal("~");
    tmux.keys("C-e");
    tmux.waitFor("OK (Esc)");
    tmux.waitFor(place.lesson->answer.str());
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndLessonText, TheInstructionShowsItsTaskSentenceInEightyByTwentyFour) {
    E2E_REQUIRE_PROGRAM("Swift");
    const auto place = find("CH9L8B");
    ASSERT_TRUE(place.lesson);
    const std::string task = "In line 3, call the squareOf function on the number 10.";
    ASSERT_TRUE(place.lesson->instruction.str().ends_with(task));
    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path()), 80, 24);
    tmux.waitFor("SWIFT BASICS");
    openLesson(tmux, place);
    const std::string screen = tmux.waitFor(task);
    EXPECT_EQ(screen.find("▼"), std::string::npos) << screen; // nothing of it is left below
    EXPECT_NE(screen.find("print(squaredNumber)"), std::string::npos) << screen; // nor of the code
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndLessonText, WithoutAUTF8LocaleTheSymbolsStillShow) {
    E2E_REQUIRE_PROGRAM("Swift");
    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path(), "Swift", "LC_ALL=C LANG=C"), 80, 24);
    const std::string screen = tmux.waitFor("SWIFT BASICS");
    EXPECT_NE(velotest::lineWith(screen, "SWIFT BASICS").find("›"), std::string::npos) << screen;
    EXPECT_NE(velotest::lineWith(screen, "SWIFT BASICS").find("░"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("No UTF-8 locale"), std::string::npos) << screen; // C.UTF-8 was there to take
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

} // namespace
