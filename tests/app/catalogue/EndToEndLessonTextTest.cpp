// What a lesson holds reaches the learner whole in the real program: every printed line of a program
// that prints several, a hint down to its last line (the model answer), and the screen's symbols when
// the terminal's locale is not UTF-8.
#include "EndToEnd.hpp"
#include "content/Courses.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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
    // Whether every printed line shows below the panel's header, in order.
    const auto allInOrder = [&](const std::string& screen) {
        const auto below = rowsBelow(screen, "Output");
        auto at = below.begin();
        for (const auto& line : lines) {
            at = std::find(at, below.end(), line);
            if (at == below.end()) return false;
            ++at;
        }
        return true;
    };
    for (auto [columns, rows] : {std::pair{80, 24}, {100, 30}, {120, 40}}) {
        tmux.resizeWindow(columns, rows);
        // The panel's text comes in as it slides up, and after a resize it is drawn anew: the wait is for
        // every line, not for the last one alone.
        tmux.waitFor("every printed line below \"Output\" at " + std::to_string(columns) + "x" +
                         std::to_string(rows),
                     allInOrder);
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
    // All of the task sentence and of the code, nothing of either left below (no scroll mark): the mark
    // of the lesson list this screen replaces may stand until the rows it was on are drawn anew.
    tmux.waitFor("the whole task and code", [&](const std::string& screen) {
        return screen.find(task) != std::string::npos &&
               screen.find("print(squaredNumber)") != std::string::npos &&
               screen.find("▼") == std::string::npos;
    });
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndLessonText, WithoutAUTF8LocaleTheSymbolsStillShow) {
    E2E_REQUIRE_PROGRAM("Swift");
    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path(), "Swift", "LC_ALL=C LANG=C"), 80, 24);
    // The focus mark and the bar on the first row, and no word of a missing locale (C.UTF-8 was there to
    // take).
    tmux.waitFor("the first row's mark and bar", [](const std::string& screen) {
        return velotest::rowShows(screen, "SWIFT BASICS", "›") &&
               velotest::rowShows(screen, "SWIFT BASICS", "░") &&
               screen.find("No UTF-8 locale") == std::string::npos;
    });
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

} // namespace
