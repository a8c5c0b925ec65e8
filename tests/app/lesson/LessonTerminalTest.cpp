// The lesson screen as the terminal shows it: the answer field's box and caret, the word bar, the marks,
// the help bar's fade, the output and hint panels, the code's window in a short terminal, the key line
// and the video player, for lessons of the real course.
#include "LessonTerminalFixture.hpp"
#include "app/lesson/VideoPlayerViewController.hpp"
#include "platform/services/FakeURLOpener.hpp"
#include "platform/uikit/Animation.hpp"
#include "tests/support/LessonPicks.hpp"
#include "tests/support/LessonScreenFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

using lessontest::LessonTerminal;
using term::Key;

TEST_F(LessonTerminal, WordBarTypesItsWordsAndTheHintPanelClosesWithEsc) {
    const int row = rowWithWords();
    ASSERT_GE(row, 0);
    auto lesson = openLesson(0, row);
    ASSERT_TRUE(lesson && lesson->lesson->inputAccessoryViewTextValues);
    const std::string firstWord = lesson->lesson->inputAccessoryViewTextValues->front().str();

    press(Key::named(Key::Kind::tab));
    draw();
    EXPECT_TRUE(canvas.find(" " + firstWord + " ")) << canvas.screen(); // the word bar is up
    press(Key::named(Key::Kind::enter));
    auto field = lesson->lineHandles(static_cast<int>(lesson->lesson->textFieldInLine)).textField;
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), firstWord);

    typeKeys("~~"); // surely wrong: the line's error mark comes up
    draw();
    EXPECT_NE(rowWith("~~").find("!"), std::string::npos);
    press(Key::ctrl('e'));
    ASSERT_TRUE(lesson->helpView);
    EXPECT_TRUE(lesson->helpView->isVisible());
    press(Key::named(Key::Kind::escape));
    EXPECT_FALSE(lesson->helpView->isVisible());
    EXPECT_EQ(top(), lesson); // Esc closed the panel, not the screen
}

TEST_F(LessonTerminal, TheAnswerFieldIsABoxWithABlankEachSideAndTheCaretFromTheStart) {
    const auto place = tightFieldLesson(chapters);
    const auto& lesson = place.lesson;
    ASSERT_TRUE(lesson);
    const int line = static_cast<int>(lesson->textFieldInLine);
    ASSERT_TRUE(openLesson(place.chapter, place.row));

    term::MemoryCanvas small(80, 24);
    frontEnd.layout(80, 24);
    settle();
    frontEnd.draw(small);
    // Nothing typed yet: the placeholder in its box, and the caret already in the field.
    auto placeholder = small.find(lesson->textFieldFormatting.placeholderText);
    ASSERT_TRUE(placeholder) << small.screen();
    ASSERT_TRUE(small.caret());
    EXPECT_EQ(*small.caret(), *placeholder);
    EXPECT_EQ(small.styleAt(placeholder->x - 1, placeholder->y).background, LessonViewController::panelGrey);

    typeKeys(lesson->answer);
    frontEnd.draw(small);
    const std::string expected = *lesson->text1(line) + " " + lesson->answer + " " + *lesson->text2(line);
    auto found = small.find(expected);
    ASSERT_TRUE(found) << "looked for: " << expected << "\n" << small.screen();
    const int boxStart = found->x + term::columnsOfText(*lesson->text1(line));
    EXPECT_EQ(small.styleAt(boxStart, found->y).background, LessonViewController::panelGrey);
    EXPECT_NE(small.styleAt(boxStart - 1, found->y).background, LessonViewController::panelGrey);
    const int boxEnd = boxStart + term::columnsOfText(lesson->answer) + 1;
    EXPECT_EQ(small.styleAt(boxEnd, found->y).background, LessonViewController::panelGrey);
    EXPECT_NE(small.styleAt(boxEnd + 1, found->y).background, LessonViewController::panelGrey);
    EXPECT_EQ(small.caret(), (term::Cell{boxEnd, found->y})); // after the answer, on the box's blank
}

TEST_F(LessonTerminal, ALongAnswerScrollsWithTheCaret) {
    ASSERT_TRUE(openLesson(0, 0));
    term::MemoryCanvas small(80, 24);
    frontEnd.layout(80, 24);
    settle();
    std::string typed;
    for (int i = 0; i < 12; ++i)
        typed += "word" + std::to_string(i) + " ";
    typed += "END";
    typeKeys(typed);
    frontEnd.draw(small);
    auto end = small.find("END");
    ASSERT_TRUE(end) << small.screen();
    ASSERT_TRUE(small.caret());
    EXPECT_EQ(*small.caret(), (term::Cell{end->x + 3, end->y}));
    EXPECT_LT(small.caret()->x, 80);
    EXPECT_FALSE(small.find("word0 ")); // scrolled past the start
    EXPECT_NE(small.row(end->y).find("‹"), std::string::npos);

    press(Key::named(Key::Kind::home));
    frontEnd.draw(small);
    auto start = small.find("word0 ");
    ASSERT_TRUE(start) << small.screen();
    EXPECT_EQ(small.caret(), start);
    EXPECT_FALSE(small.find("END"));
    EXPECT_NE(small.row(start->y).find("›"), std::string::npos);
}

TEST_F(LessonTerminal, TheOutputShowsEveryPrintedLineAndScrollsWhenTheTerminalIsShort) {
    auto lesson = openLesson("CH25L9"); // prints four lines with continue, three with break
    ASSERT_TRUE(lesson);
    typeKeys("continue");
    press(Key::ctrl('r'));
    dispatch::main().advance(1);
    const auto printed = linesOf(lesson->debugMessageLabel->text());
    ASSERT_EQ(printed.size(), 4u);
    for (auto [columns, rows] : {std::pair{120, 40}, {100, 30}, {80, 24}, {80, 16}}) {
        frontEnd.layout(columns, rows);
        term::MemoryCanvas sized(columns, rows);
        settle();
        frontEnd.draw(sized);
        const bool whole = !sized.find("▼");
        if (columns >= 100) {
            EXPECT_TRUE(whole) << sized.screen();
        }
        // The key line says how to see the rest whenever there is more.
        EXPECT_EQ(sized.row(rows - 1).find("↑↓ scroll") == std::string::npos, whole) << sized.row(rows - 1);
        const auto seen = panelRowsWhileScrolling(sized, "Output");
        auto at = seen.begin();
        for (const auto& line : printed) {
            at = std::find(at, seen.end(), line);
            ASSERT_NE(at, seen.end()) << columns << "x" << rows << ": no \"" << line << "\" in order";
            ++at;
        }
        // Back to the top for the next size.
        for (int i = 0; i < 20; ++i)
            press(Key::named(Key::Kind::up));
    }
}

TEST_F(LessonTerminal, TheHintShowsItsLastLineTheModelAnswer) {
    auto lesson = openLesson("CH3L12");
    ASSERT_TRUE(lesson);
    typeKeys("~");
    press(Key::ctrl('e'));
    ASSERT_TRUE(lesson->helpView->isVisible());
    const auto message = linesOf(lesson->helpViewMessageLabel->text());
    ASSERT_GT(message.size(), 5u);
    EXPECT_EQ(message.back(), lesson->lesson->answer); // steps, then the answer
    for (auto [columns, rows] : {std::pair{80, 24}, {100, 30}, {120, 40}}) {
        frontEnd.layout(columns, rows);
        term::MemoryCanvas sized(columns, rows);
        settle();
        frontEnd.draw(sized);
        EXPECT_TRUE(sized.find(message.back())) << sized.screen();
        EXPECT_FALSE(sized.find("▼")) << sized.screen();
    }
    // Too short for it: the rest is a scroll away, and the panel says so.
    frontEnd.layout(80, 10);
    term::MemoryCanvas tiny(80, 10);
    settle();
    frontEnd.draw(tiny);
    EXPECT_FALSE(tiny.find(message.back()));
    EXPECT_TRUE(tiny.find("▼")) << tiny.screen();
    const auto seen = panelRowsWhileScrolling(tiny, "Back");
    EXPECT_NE(std::find(seen.begin(), seen.end(), message.back()), seen.end());
    press(Key::named(Key::Kind::escape));
    EXPECT_FALSE(lesson->helpView->isVisible());
}

TEST_F(LessonTerminal, InAShortTerminalTheCodeScrollsToTheAnswerLine) {
    // Lessons whose answer sits low in long code.
    std::vector<std::string> ids;
    for (const auto& chapter : chapters)
        for (const auto& l : chapter->lessons)
            if (l->textFieldInLine >= 8 && ids.size() < 3) ids.push_back(l->lessonID.str());
    ASSERT_FALSE(ids.empty());
    for (const auto& id : ids) {
        auto lesson = openLesson(id);
        ASSERT_TRUE(lesson);
        const std::string number = std::to_string(lesson->lesson->textFieldInLine);
        for (auto [columns, rows] : {std::pair{80, 12}, {80, 16}, {100, 14}}) {
            frontEnd.layout(columns, rows);
            term::MemoryCanvas sized(columns, rows);
            settle();
            frontEnd.draw(sized);
            ASSERT_TRUE(sized.caret()) << id << " " << columns << "x" << rows << "\n" << sized.screen();
            const std::string row = sized.row(sized.caret()->y);
            EXPECT_LT(sized.caret()->y, rows - 1);
            EXPECT_EQ(trimmed(row).substr(0, number.size() + 1), number + " ") << row;
            // Lines above the window are a mark away.
            if (!sized.find("  1  ")) {
                EXPECT_TRUE(sized.find("▲")) << sized.screen();
            }
        }
    }
}

TEST_F(LessonTerminal, TheHelpBarFadesInOnlyAfterItsDelay) {
    ASSERT_TRUE(openLesson(0, 0));
    EXPECT_EQ(draw().find("Stuck?"), std::string::npos);
    EXPECT_EQ(drawAfter(9.9).find("Stuck?"), std::string::npos);
    // Half way through its fade it is there, in a red not yet at full strength.
    drawAfter(0.35);
    auto fading = canvas.find("Stuck?");
    ASSERT_TRUE(fading);
    auto half = canvas.styleAt(fading->x, fading->y).foreground;
    EXPECT_NE(drawAfter(0.35).find("Stuck?"), std::string::npos); // 10.6 s
    auto full = canvas.styleAt(canvas.find("Stuck?")->x, canvas.find("Stuck?")->y).foreground;
    ASSERT_TRUE(half && full);
    EXPECT_EQ(*full, LessonViewController::stuckRed);
    EXPECT_LT(half->red, full->red);
}

TEST_F(LessonTerminal, TheErrorMarkBlinksByGrowingThenSettles) {
    ASSERT_TRUE(openLesson(0, 0));
    typeKeys("Q"); // wrong from the first character
    auto wideAt = [&](double seconds) {
        drawAfter(seconds);
        auto answer = canvas.find("Q  !"); // the mark stands two cells after the answer
        EXPECT_TRUE(answer);
        return answer && canvas.styleAt(answer->x + 2, answer->y).reverse;
    };
    EXPECT_TRUE(wideAt(0.15));  // growing
    EXPECT_FALSE(wideAt(0.2));  // back down, at 0.35 s
    EXPECT_TRUE(wideAt(0.3));   // shrinking from the second growth, at 0.65 s
    EXPECT_FALSE(wideAt(0.35)); // done
}

TEST_F(LessonTerminal, TheKeyLineNamesTheKeysThatWorkNowInEightyColumns) {
    frontEnd.layout(80, 24);
    term::MemoryCanvas small(80, 24);
    std::vector<std::string> seen;
    auto keyLine = [&] {
        settle();
        frontEnd.draw(small);
        seen.push_back(small.row(23));
        return seen.back();
    };
    auto has = [](const std::string& line, const char* key) { return line.find(key) != std::string::npos; };
    auto lesson = openLesson(0, 0);
    ASSERT_TRUE(lesson);
    const std::string answer = lesson->lesson->answer.str();
    ASSERT_GT(answer.size(), 1u);

    // The hint cannot open in the first ten seconds.
    auto line = keyLine();
    EXPECT_FALSE(has(line, "Ctrl-E")) << line;
    EXPECT_TRUE(has(line, "Ctrl-R run") && has(line, "Ctrl-N next") && has(line, "Esc back")) << line;
    dispatch::main().advance(10.6);
    line = keyLine();
    EXPECT_TRUE(has(line, "Ctrl-E hint")) << line;
    press(Key::ctrl('e'));
    line = keyLine();
    EXPECT_TRUE(has(line, "Esc close hint")) << line;
    EXPECT_FALSE(has(line, "Esc back")) << line;
    press(Key::named(Key::Kind::escape));

    // A start of the answer: no error mark, the help bar gone while typing.
    typeKeys(answer.substr(0, 1));
    line = keyLine();
    EXPECT_FALSE(has(line, "Ctrl-E")) << line;
    EXPECT_FALSE(has(line, "Ctrl-O")) << line;
    typeKeys(answer.substr(1));
    line = keyLine();
    EXPECT_TRUE(has(line, "Ctrl-O output")) << line;
    EXPECT_FALSE(has(line, "Ctrl-E")) << line;
    press(Key::ctrl('o'));
    EXPECT_FALSE(lesson->answerView->isHidden()); // the checkmark showed the output
    for (const auto& l : seen) {
        EXPECT_LE(term::columnsOfText(l), 79) << l;   // one blank of margin on the left
        EXPECT_TRUE(l.ends_with("Ctrl-C quit")) << l; // the way out gives way last
    }
}

TEST_F(LessonTerminal, WordBarKeysAreNamedWhileTheBarHasTheFocus) {
    frontEnd.layout(80, 24);
    term::MemoryCanvas small(80, 24);
    ASSERT_GE(rowWithWords(), 0);
    ASSERT_TRUE(openLesson(0, rowWithWords()));
    frontEnd.draw(small);
    EXPECT_NE(small.row(23).find("Tab words"), std::string::npos) << small.row(23);
    press(Key::named(Key::Kind::backTab));
    frontEnd.draw(small);
    const std::string line = small.row(23);
    EXPECT_NE(line.find("Tab Shift-Tab choose word"), std::string::npos) << line;
    EXPECT_NE(line.find("Enter type it"), std::string::npos) << line;
    EXPECT_NE(line.find("Esc leave words"), std::string::npos) << line;
    EXPECT_LE(term::columnsOfText(line), 79) << line;
}

TEST_F(LessonTerminal, NextFromTheWordBarGivesTheNextLessonItsOwnKeysAndField) {
    const auto place = wordsFollowedByWords(chapters);
    ASSERT_TRUE(place.lesson);
    const auto& next = chapters[static_cast<std::size_t>(place.chapter)]->lessons.at(
        static_cast<std::size_t>(place.row + 1));
    auto lesson = openLesson(place.chapter, place.row);
    ASSERT_TRUE(lesson);
    auto keyLine = [&] {
        draw();
        return canvas.row(canvas.height() - 1);
    };
    press(Key::named(Key::Kind::tab));
    ASSERT_NE(keyLine().find("leave words"), std::string::npos) << canvas.screen();

    press(Key::ctrl('n'));
    ASSERT_EQ(lesson->lesson, next);
    const std::string line = keyLine();
    for (const char* wordBarKey : {"choose word", "type it", "leave words"})
        EXPECT_EQ(line.find(wordBarKey), std::string::npos) << line;
    EXPECT_NE(line.find("Ctrl-R run"), std::string::npos) << line;
    auto* field = lesson->lineHandles(static_cast<int>(next->textFieldInLine)).textField;
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), "");
    // Enter after a letter is the keyboard's Return, not the word chosen in the lesson before.
    typeKeys("x");
    press(Key::named(Key::Kind::enter));
    EXPECT_EQ(field->text(), "x");
}

TEST_F(LessonTerminal, TheVideoKeyOpensThePlayerWhichPlaysInTheBrowser) {
    auto opener = std::make_shared<svc::FakeURLOpener>();
    svc::ScopedOverride installed(svc::setSharedURLOpener, opener);
    // The shipped lookup, which answers the video's web page.
    svc::ScopedOverride<std::shared_ptr<svc::VideoStreamClient>> shipped{
        svc::setDefaultVideoStreamClient, std::make_shared<svc::LinuxVideoStreamClient>()};
    // The first lesson of chapter 10 comes with a tutorial video.
    const auto& lesson = chapters[9]->lessons[0];
    ASSERT_TRUE(lesson->videoTutorial);
    auto screen = openLesson(9, 0);
    ASSERT_TRUE(screen);
    typeKeys("~");
    press(Key::named(Key::Kind::enter)); // Return on a wrong answer offers the video
    EXPECT_NE(drawAfter(0.6).find("Ctrl-V video"), std::string::npos) << canvas.screen();
    press(Key::ctrl('v'));
    auto player = std::dynamic_pointer_cast<VideoPlayerViewController>(screen->presentedViewController());
    ASSERT_TRUE(player);
    const std::string address = "https://www.youtube.com/watch?v=" + *lesson->videoTutorial;
    EXPECT_EQ(player->playerURL(), address);
    EXPECT_NE(draw().find(address), std::string::npos);
    press(Key::named(Key::Kind::enter));
    EXPECT_EQ(opener->openedURLs(), std::vector<std::string>{address});
    EXPECT_NE(draw().find("Playing in your browser."), std::string::npos);
    press(Key::named(Key::Kind::escape));
    EXPECT_FALSE(screen->presentedViewController());
}

} // namespace
