// The lesson screen and the alerts in the real program, at 80x24 as a learner's terminal often is: the
// caret and the answer field's box, the checkmark and video keys, Esc on the rating alerts; and in
// narrow terminals, the code after the field and the key that opens a lesson.
#include "EndToEnd.hpp"
#include "content/Courses.hpp"
#include "platform/terminal/Canvas.hpp"
#include "platform/terminal/TextWrap.hpp"
#include "tests/support/LessonPicks.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

using velotest::lineWith;
using velotest::rowShows;
using velotest::Tmux;

// The keys the word bar adds to the key line.
const char* const kWordBarKeys[] = {"choose word", "type it", "leave words"};

// Keys that open lesson `row` of chapter `chapter` from the course home.
void openLesson(Tmux& tmux, int chapter, int row) {
    for (int i = 0; i < chapter; ++i)
        tmux.keys("Down");
    tmux.keys("Enter");
    tmux.waitFor("COURSE " + std::to_string(chapter + 1));
    for (int i = 0; i < row; ++i)
        tmux.keys("Down");
    tmux.keys("Enter");
    tmux.waitFor("Ctrl-R");
}

// Where lesson `id` is in `chapters`: its chapter and row, counted from 0.
std::pair<int, int> placeOf(const std::vector<Chapter::Ptr>& chapters, const std::string& id) {
    for (std::size_t c = 0; c < chapters.size(); ++c)
        for (std::size_t r = 0; r < chapters[c]->lessons.size(); ++r)
            if (chapters[c]->lessons[r]->lessonID == id) return {static_cast<int>(c), static_cast<int>(r)};
    return {-1, -1};
}

// The cursor as "x,y", and whether it shows.
std::string cursor(Tmux& tmux) {
    return tmux.format("#{cursor_x},#{cursor_y} #{?cursor_flag,shown,hidden}");
}

TEST(EndToEndScreens, TheFieldIsABoxBetweenItsCodeWithTheCaretInItFromTheStart) {
    E2E_REQUIRE_PROGRAM("Swift");
    const auto place = tightFieldLesson(content::buildChapters(content::swiftCourse()));
    const auto& lesson = place.lesson;
    ASSERT_TRUE(lesson);
    const int line = static_cast<int>(lesson->textFieldInLine);

    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path()), 80, 24);
    tmux.waitFor("SWIFT BASICS");
    openLesson(tmux, place.chapter, place.row);
    const std::string placeholder = lesson->textFieldFormatting.placeholderText.str();
    auto shown = tmux.waitFor(placeholder);
    // Before any key: the caret stands on the placeholder's first cell.
    std::istringstream rows(shown);
    std::string row;
    int y = 0;
    for (; std::getline(rows, row); ++y)
        if (row.find(placeholder) != std::string::npos) break;
    const int x = term::columnsOfText(row.substr(0, row.find(placeholder)));
    // The caret is put in its place once the screen around it is drawn.
    const std::string caret = std::to_string(x) + "," + std::to_string(y) + " shown\n";
    EXPECT_TRUE(velotest::waitUntil([&] { return cursor(tmux) == caret; })) << cursor(tmux) << shown;

    tmux.literal(lesson->answer.str());
    const std::string code = *lesson->text1(line) + " " + lesson->answer + " " + *lesson->text2(line);
    tmux.waitForRow("✓", code);
    // The box in its own colour (grey 64, index 238 in 256 colours) around the answer.
    EXPECT_TRUE(velotest::waitUntil([&] {
        return lineWith(tmux.colouredScreen(), "✓").find("48;5;238m ") != std::string::npos;
    })) << lineWith(tmux.colouredScreen(), "✓");

    // The checkmark's key shows the output.
    tmux.keys("C-o");
    // Its key line still holds the quit key, whole: the output's keys did not push it off the line.
    tmux.waitFor("the output with the quit key", [](const std::string& screen) {
        return screen.find("Output") != std::string::npos && screen.find("Ctrl-C quit") != std::string::npos;
    });
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndScreens, NextFromTheWordBarGivesTheNextLessonItsOwnKeyLineAndField) {
    E2E_REQUIRE_PROGRAM("Swift");
    const auto chapters = content::buildChapters(content::swiftCourse());
    const auto place = wordsFollowedByWords(chapters);
    ASSERT_TRUE(place.lesson);
    const auto& chapter = *chapters[static_cast<std::size_t>(place.chapter)];
    const auto& next = *chapter.lessons.at(static_cast<std::size_t>(place.row + 1));
    const int line = static_cast<int>(next.textFieldInLine);
    ASSERT_TRUE(next.text1(line) && !next.text1(line)->empty());

    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path()), 80, 24);
    tmux.waitFor("SWIFT BASICS");
    openLesson(tmux, place.chapter, place.row);
    tmux.keys("Tab");
    tmux.waitFor("Enter type it");
    tmux.keys("C-n");
    // The next lesson's number in the bar, and its own key line with nothing of the word bar's: the key
    // line is drawn anew from its left, so the word bar's keys right of "Ctrl-R run" may stand a moment
    // longer.
    const std::string count = std::to_string(next.number) + "/" + std::to_string(chapter.lessons.size());
    tmux.waitFor("the next lesson's key line without the word bar's keys", [&](const std::string& shown) {
        return shown.find(count) != std::string::npos && shown.find("Ctrl-R run") != std::string::npos &&
               std::none_of(std::begin(kWordBarKeys), std::end(kWordBarKeys),
                            [&](const char* key) { return shown.find(key) != std::string::npos; });
    });
    // Enter after a letter is the keyboard's Return: the field holds the letter and no word.
    tmux.literal("x");
    tmux.keys("Enter");
    const std::string answerLine = std::to_string(line) + "  " + next.text1(line)->str();
    EXPECT_TRUE(velotest::waitUntil([&] {
        return lineWith(tmux.screen(), answerLine).find(answerLine + " x ") != std::string::npos;
    })) << tmux.screen();
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndScreens, TheVideoKeyHandsTheVideosPageToTheBrowser) {
    E2E_REQUIRE_PROGRAM("Swift");
    // The video is offered only with a network, as the program sees it: this build of it counts the
    // network as reachable, so the test does not depend on this machine's routes.
    ASSERT_TRUE(std::filesystem::exists(e2e::reachableProgram())) << "built with the tests";
    auto chapters = content::buildChapters(content::swiftCourse());
    const auto& lesson = chapters[9]->lessons[0];
    ASSERT_TRUE(lesson->videoTutorial);

    // The desktop's opener is a script that notes what it was given.
    velotest::TempFolder home;
    const auto opened = home.path() / "opened";
    const auto opener = home.path() / "bin" / "xdg-open";
    std::filesystem::create_directories(opener.parent_path());
    std::ofstream(opener) << "#!/bin/sh\necho \"$1\" > " << velotest::quote(opened.string()) << "\n";
    ::chmod(opener.c_str(), 0755);
    const std::string path = "PATH=" + velotest::quote(opener.parent_path().string() + ":/usr/bin:/bin");

    Tmux tmux;
    tmux.start(e2e::commandFor(home.path(), e2e::reachableProgram(), path), 80, 24);
    tmux.waitFor("SWIFT BASICS");
    openLesson(tmux, 9, 0);
    tmux.literal("~");
    tmux.keys("Enter"); // Return on a wrong answer offers the video
    tmux.waitFor("the video's button and key", [](const std::string& shown) {
        return shown.find("Ctrl-V video") != std::string::npos && shown.find("(Ctrl-V)") != std::string::npos;
    });
    tmux.keys("C-v");
    const std::string address = "https://www.youtube.com/watch?v=" + *lesson->videoTutorial;
    tmux.waitFor(address);
    tmux.keys("Enter");
    tmux.waitFor("Playing in your browser.");
    EXPECT_TRUE(velotest::waitUntil([&] { return std::filesystem::exists(opened); }));
    std::ifstream in(opened);
    std::string handed;
    std::getline(in, handed);
    EXPECT_EQ(handed, address);
    tmux.keys("Escape");
    tmux.waitFor("Ctrl-R");
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndScreens, EscClosesTheRatingAlerts) {
    E2E_REQUIRE_PROGRAM("Swift");
    auto chapters = content::buildChapters(content::swiftCourse());
    const int last = static_cast<int>(chapters[0]->lessons.size()) - 1;
    velotest::TempFolder home;
    Tmux tmux;
    tmux.start(e2e::command(home.path()), 80, 24);
    tmux.waitFor("SWIFT BASICS");
    openLesson(tmux, 0, last);
    tmux.keys("C-n");
    tmux.waitFor("the rating alert and its keys", [](const std::string& shown) {
        return shown.find("Please Rate Us") != std::string::npos &&
               shown.find("Esc cancel") != std::string::npos;
    });
    tmux.keys("Escape");
    // Still on the lesson, whose keys come back as the rows the alert stood over are drawn anew.
    tmux.waitFor("the lesson without the alert", [](const std::string& shown) {
        return shown.find("Please Rate Us") == std::string::npos && shown.find("Ctrl-R") != std::string::npos;
    });

    tmux.keys("Escape");
    tmux.waitFor("Enter open lesson");
    tmux.keys("Escape");
    tmux.waitFor("/ search");
    tmux.keys("s");
    tmux.waitFor("Rate App");
    tmux.keys("Down");
    tmux.keys("Down");
    tmux.keys("Enter");
    tmux.waitFor("Thank you");
    tmux.keys("Escape");
    tmux.waitFor("the settings without the alert", [](const std::string& shown) {
        return shown.find("Thank you") == std::string::npos && shown.find("Rate App") != std::string::npos;
    });
    tmux.keys("C-c");
    tmux.waitFor("PROGRAM-ENDED");
}

TEST(EndToEndScreens, InNarrowTerminalsTheCodeAfterTheFieldAndTheKeyThatOpensALessonStay) {
    E2E_REQUIRE_PROGRAM("SwiftUI");
    velotest::TempFolder home;
    {
        // A field that reaches the row's edge once answered, with code after it.
        const auto chapters = content::buildChapters(content::swiftUICourse());
        const auto [chapter, row] = placeOf(chapters, "CH6L4");
        ASSERT_GE(chapter, 0);
        const auto& lesson =
            *chapters[static_cast<std::size_t>(chapter)]->lessons[static_cast<std::size_t>(row)];
        const int line = static_cast<int>(lesson.textFieldInLine);
        const std::string answer = lesson.answer.str();
        ASSERT_TRUE(lesson.text2(line) && !lesson.text2(line)->empty());
        Tmux tmux;
        tmux.start(e2e::command(home.path(), "SwiftUI"), 60, 20);
        tmux.waitFor("Ctrl-C quit");
        openLesson(tmux, chapter, row);
        tmux.literal(answer);
        // The field shows the end of the answer, marking the start it scrolled away; the code after it
        // follows its box.
        const std::string after = answer.substr(answer.size() - 8) + " " + lesson.text2(line)->str();
        tmux.waitFor("\"" + after + "\" after the scrolled field", [&](const std::string& shown) {
            return rowShows(shown, "✓", "‹") && rowShows(shown, "✓", after);
        });
        tmux.keys("C-c");
        tmux.waitFor("PROGRAM-ENDED");
    }
    {
        // A lesson whose answer, once typed, takes the field to the row's edge, with code after it.
        const auto chapters = content::buildChapters(content::swiftCourse());
        const int room = 40 - 9; // the code runs from the sixth column to four before the edge
        int chapter = -1;
        int row = -1;
        for (std::size_t c = 0; c < chapters.size() && chapter < 0; ++c) {
            for (std::size_t r = 0; r < chapters[c]->lessons.size(); ++r) {
                const auto& l = *chapters[c]->lessons[r];
                const int k = static_cast<int>(l.textFieldInLine);
                std::string code2 = l.text2(k) ? l.text2(k)->str() : "";
                while (code2.ends_with(' '))
                    code2.pop_back();
                const int before = l.text1(k) ? term::columnsOfText(l.text1(k)->str()) : 0;
                const int box = term::columnsOfText(l.answer.str()) + 2;
                if (l.answer.str().size() >= 4 && term::columnsOfText(code2) >= 2 && before + box >= room) {
                    chapter = static_cast<int>(c);
                    row = static_cast<int>(r);
                    break;
                }
            }
        }
        ASSERT_GE(chapter, 0) << "no Swift lesson has its field reach the edge in 40 columns";
        const auto& lesson =
            *chapters[static_cast<std::size_t>(chapter)]->lessons[static_cast<std::size_t>(row)];
        const int line = static_cast<int>(lesson.textFieldInLine);
        Tmux tmux;
        tmux.start(e2e::command(home.path()), 40, 12);
        tmux.waitFor("Ctrl-C quit");
        for (int i = 0; i < chapter; ++i)
            tmux.keys("Down");
        tmux.keys("Enter");
        // The lesson list names the key that opens a lesson.
        tmux.waitFor("COURSE " + std::to_string(chapter + 1));
        EXPECT_TRUE(velotest::waitUntil([&] { return tmux.shows("Enter open lesson"); })) << tmux.screen();
        for (int i = 0; i < row; ++i)
            tmux.keys("Down");
        tmux.keys("Enter");
        tmux.waitFor("type answer");
        const std::string answer = lesson.answer.str();
        tmux.literal(answer);
        // The end of the answer in its box, then as much of the code after it as fits, ending in the mark.
        const std::string end = answer.substr(answer.size() - 4) + " ";
        std::string rest; // what the row shows between the end of the answer and the mark
        tmux.waitFor("the end of " + lesson.lessonID.str() + "'s answer and the cut code after it",
                     [&](const std::string& shown) {
                         const std::string answerRow = lineWith(shown, "✓");
                         const auto at = answerRow.rfind(end);
                         if (at == std::string::npos) return false;
                         rest = answerRow.substr(at + end.size());
                         return rest.find(term::kCutMark) != std::string::npos;
                     });
        EXPECT_TRUE(lesson.text2(line)->str().starts_with(rest.substr(0, rest.find(term::kCutMark)))) << rest;
        tmux.keys("C-c");
        tmux.waitFor("PROGRAM-ENDED");
    }
}

} // namespace
