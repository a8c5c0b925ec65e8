// The lesson screen in terminals of every size: the instruction takes the rows it needs and scrolls
// where it cannot have them, whatever is cut is marked, nothing runs into anything else, the caret stays
// on the answer line inside the screen, and the next lesson's instruction starts at its top.
#include "LessonTerminalFixture.hpp"
#include "platform/terminal/TextWrap.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using lessontest::Key;

class LessonScreenSizes : public lessontest::LessonTerminal {
  protected:
    // Opens `id` in a terminal of `columns` x `rows`.
    std::shared_ptr<LessonViewController> openAt(const std::string& id, int columns, int rows) {
        canvas = term::MemoryCanvas(columns, rows);
        return openLesson(id);
    }
    static std::string withoutBlanks(const std::string& text) {
        std::string out;
        for (char c : text)
            if (c != ' ' && c != '\n' && c != '\t') out += c;
        return out;
    }
    // Whether row y is a code line's: its number right-aligned in the second and third columns, then two
    // blanks.
    bool isCodeRow(int y) const {
        const std::string row = canvas.row(y);
        return row.size() >= 3 && row[0] == ' ' && std::isdigit(static_cast<unsigned char>(row[2])) &&
               (row.size() == 3 || row.compare(3, 2, "  ") == 0) && (row[1] == ' ' || row[1] == '1');
    }
    // The instruction's rows as drawn, from the top of the screen to the first code line, blank rows
    // left out; with its scroll track and marks (`marks`) or without.
    std::vector<std::string> instructionRows(bool marks = false) const {
        std::vector<std::string> rows;
        for (int y = 1; y < canvas.height() - 1 && !isCodeRow(y); ++y) {
            std::string row = canvas.row(y);
            for (const char* mark : {"▼", "▲", "│", "▼", "▲"})
                if (!marks && row.ends_with(mark)) row.resize(row.size() - std::string(mark).size());
            if (!row.empty()) rows.push_back(row);
        }
        return rows;
    }
    // Whether the instruction shows `mark`.
    bool instructionShows(const std::string& mark) const {
        for (const auto& row : instructionRows(true))
            if (row.find(mark) != std::string::npos) return true;
        return false;
    }
    // The instruction as the learner can read it: what shows, then each line Down brings in.
    std::string readInstruction() {
        draw();
        std::vector<std::string> seen = instructionRows();
        for (int presses = 0; presses < 60; ++presses) {
            const std::string before = canvas.screen();
            press(Key::named(Key::Kind::down));
            draw();
            if (canvas.screen() == before) break;
            const auto now = instructionRows();
            if (!now.empty()) seen.push_back(now.back());
        }
        std::string text;
        for (const auto& row : seen)
            text += row;
        return text;
    }
};

TEST_F(LessonScreenSizes, AtEightyByTwentyFourTheWholeInstructionShowsItsTaskSentenceLast) {
    auto lesson = openAt("CH9L8B", 80, 24);
    ASSERT_TRUE(lesson);
    const std::string task = "In line 3, call the squareOf function on the number 10.";
    ASSERT_TRUE(lesson->lesson->instruction.str().ends_with(task));
    draw();
    auto at = canvas.find("In line 3, call the squareOf function on the number 10.");
    ASSERT_TRUE(at) << canvas.screen();
    EXPECT_FALSE(canvas.find("▼")) << canvas.screen();
    EXPECT_EQ(canvas.row(23).find("scroll"), std::string::npos) << canvas.row(23);
    // The code below it keeps every line.
    for (const char* line :
         {"1  func squareOf", "2     return x * x }", "3  let squaredNumber =", "4  print("})
        EXPECT_TRUE(canvas.find(line)) << line << "\n" << canvas.screen();
}

TEST_F(LessonScreenSizes, InEveryTerminalTheInstructionCanBeReadWholeAndTheCaretStaysOnTheAnswerLine) {
    struct Size {
        int columns;
        int rows;
    } sizes[] = {{80, 24}, {60, 20}, {40, 12}, {34, 14}, {20, 5}};
    int scrolled = 0;
    for (const auto& size : sizes) {
        for (std::size_t c = 0; c < chapters.size(); c += 3) { // every third chapter, whole
            for (const auto& l : chapters[c]->lessons) {
                const std::string where = l->lessonID.str() + " at " + std::to_string(size.columns) + "x" +
                                          std::to_string(size.rows);
                auto lesson = openAt(l->lessonID.str(), size.columns, size.rows);
                ASSERT_TRUE(lesson) << where;
                draw();
                // The caret stands on the answer line, on the screen and above the key line.
                ASSERT_TRUE(canvas.caret()) << where << "\n" << canvas.screen();
                EXPECT_GE(canvas.caret()->y, 1) << where;
                EXPECT_LT(canvas.caret()->y, size.rows - 1) << where;
                const std::string number = std::to_string(l->textFieldInLine);
                EXPECT_EQ(canvas.row(canvas.caret()->y).substr(3 - number.size(), number.size()), number)
                    << where << "\n"
                    << canvas.screen();
                const bool marked = instructionShows("▼");
                const std::string read = readInstruction();
                if (marked) ++scrolled;
                EXPECT_EQ(withoutBlanks(read), withoutBlanks(l->instruction.str())) << where;
            }
        }
    }
    EXPECT_GT(scrolled, 0); // the small terminals did make the instruction scroll
}

TEST_F(LessonScreenSizes, ACodeLineWiderThanTheScreenEndsInAMark) {
    for (auto [columns, rows] : {std::pair{80, 24}, {60, 20}, {40, 12}}) {
        const int room = columns - 9; // the code runs from the sixth column to four before the edge
        int cut = 0;
        for (const auto& chapter : chapters) {
            for (const auto& l : chapter->lessons) {
                auto lesson = openAt(l->lessonID.str(), columns, rows);
                ASSERT_TRUE(lesson);
                draw();
                for (int k = 1; k <= l->lines; ++k) {
                    if (k == l->textFieldInLine || !l->text1(k)) continue;
                    std::string code = l->text1(k)->str();
                    while (code.ends_with(' '))
                        code.pop_back();
                    const std::string number = (k < 10 ? "  " : " ") + std::to_string(k) + "  ";
                    std::string row;
                    for (int y = 0; y < rows && row.empty(); ++y)
                        if (canvas.row(y).starts_with(number)) row = canvas.row(y).substr(number.size());
                    if (row.empty()) continue; // outside the code's window
                    if (term::columnsOfText(code) <= room) {
                        EXPECT_TRUE(row.starts_with(code))
                            << l->lessonID.str() << " line " << k << ": " << row;
                    } else {
                        ++cut;
                        EXPECT_TRUE(row.starts_with(term::fitText(code, room))) << row;
                    }
                }
            }
        }
        if (columns <= 60) {
            EXPECT_GT(cut, 0) << columns; // the check met lines to cut
        }
    }
}

TEST_F(LessonScreenSizes, InThirtyFourColumnsButtonsAndPanelsKeepToThemselves) {
    auto lesson = openAt("CH1L1", 34, 16);
    ASSERT_TRUE(lesson);
    dispatch::main().advance(10.6); // the help bar is up
    draw();
    // Too narrow for the buttons with their keys: without, each whole.
    EXPECT_TRUE(canvas.find(" ▶ Run  ")) << canvas.screen();
    EXPECT_TRUE(canvas.find(" Next › ")) << canvas.screen();
    EXPECT_FALSE(canvas.find("(Ctrl-R)")) << canvas.screen();
    EXPECT_TRUE(canvas.find("Stuck?")) << canvas.screen();
    typeKeys("~");
    press(Key::ctrl('e'));
    draw();
    auto title = canvas.find(lesson->helpViewTitleLabel->text());
    ASSERT_TRUE(title) << canvas.screen();
    // Nothing of the screen beneath shows beside the hint panel.
    for (int y = title->y; y < 15; ++y) {
        for (int x : {0, 33}) {
            EXPECT_EQ(canvas.row(y).size() > static_cast<std::size_t>(x)
                          ? canvas.row(y)[static_cast<std::size_t>(x)]
                          : ' ',
                      ' ')
                << "row " << y << "\n"
                << canvas.screen();
            EXPECT_EQ(canvas.styleAt(x, y).background, term::palette::background) << "row " << y;
        }
    }
    // The caret does not blink through the panel.
    if (canvas.caret()) {
        EXPECT_LT(canvas.caret()->y, title->y - 1) << canvas.screen();
    }
}

TEST_F(LessonScreenSizes, AWordBarWiderThanTheScreenKeepsTheChosenWordInSight) {
    // The lesson with the most words.
    Lesson::Ptr most;
    for (const auto& chapter : chapters)
        for (const auto& l : chapter->lessons)
            if (l->inputAccessoryViewTextValues && (!most || l->inputAccessoryViewTextValues->size() >
                                                                 most->inputAccessoryViewTextValues->size()))
                most = l;
    ASSERT_TRUE(most);
    const auto& words = *most->inputAccessoryViewTextValues;
    ASSERT_GE(words.size(), 4u);
    // Narrow enough that the words do not all fit.
    auto lesson = openAt(most->lessonID.str(), 20, 12);
    ASSERT_TRUE(lesson);
    const int bar = 10; // the row above the key line
    for (std::size_t chosen = 0; chosen < words.size(); ++chosen) {
        press(Key::named(Key::Kind::tab));
        draw();
        const std::string row = canvas.row(bar);
        // The chosen word is drawn whole, reversed.
        int reversed = 0;
        for (int x = 0; x < 20; ++x)
            reversed += canvas.styleAt(x, bar).reverse ? 1 : 0;
        EXPECT_EQ(reversed, term::columnsOfText(" " + words[chosen].str() + " "))
            << "word " << chosen << ": " << row;
        EXPECT_TRUE(row.find("›") != std::string::npos || row.find("‹") != std::string::npos) << row;
        if (chosen == 0) {
            EXPECT_EQ(row.find("‹"), std::string::npos) << row;
        }
        if (chosen + 1 == words.size()) {
            EXPECT_EQ(row.find("›"), std::string::npos) << row;
        }
    }
}

TEST_F(LessonScreenSizes, TheNextLessonsInstructionStartsAtItsTop) {
    canvas = term::MemoryCanvas(40, 10);
    auto lesson = openLesson(0, 0);
    ASSERT_TRUE(lesson);
    draw();
    ASSERT_TRUE(instructionShows("▼")) << canvas.screen(); // longer than its rows
    EXPECT_NE(canvas.row(9).find("↑↓ scroll"), std::string::npos) << canvas.row(9);
    press(Key::named(Key::Kind::down));
    draw();
    ASSERT_TRUE(instructionShows("▲")) << canvas.screen();
    press(Key::ctrl('n'));
    ASSERT_EQ(lesson->lesson, chapters[0]->lessons[1]);
    draw();
    EXPECT_FALSE(instructionShows("▲")) << canvas.screen();
}

} // namespace
