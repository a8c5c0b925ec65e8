// The answer line at the screen's edge: the code before and after the field shows whole or ends in "…",
// the field shows "‹" and "›" where its text runs out of sight, and the caret stays in the field, in
// every width the front end draws, for every lesson of every edition.
#include "LessonTerminalFixture.hpp"
#include "content/Courses.hpp"
#include "platform/terminal/TextWrap.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using lessontest::Key;

// One code row as drawn: the code before the field's box (the whole code of a line without one), the
// box with its side blanks, and the code after it.
struct CodeRow {
    std::string before;
    std::vector<std::string> box; // one entry per column
    std::string after;
    int boxStart = -1;
    int boxEnd = -1; // the box's last column
};

std::string withoutBlanks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\t') out += c;
    return out;
}

std::string trimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// What is wrong with `shown` as a drawing of `code`: "" when it is the whole code (blanks aside) or a
// start of it followed by the cut mark.
std::string cutFault(const std::string& shown, const std::string& code) {
    const std::string s = withoutBlanks(shown);
    const std::string c = withoutBlanks(code);
    if (s == c) return "";
    const std::string mark = term::kCutMark;
    if (s.ends_with(mark) && c.starts_with(s.substr(0, s.size() - mark.size()))) return "";
    return "\"" + shown + "\" for \"" + code + "\"";
}

// Row y of `canvas` read column by column; the box is the run of cells in `boxColor`.
CodeRow readCodeRow(const term::MemoryCanvas& canvas, int y, int codeStart, ui::Color boxColor) {
    std::vector<std::string> cells(static_cast<std::size_t>(canvas.width()), " ");
    int x = 0;
    for (const auto& cluster : ns::splitCharacters(canvas.row(y))) {
        if (x < canvas.width()) cells[static_cast<std::size_t>(x)] = cluster;
        x += term::columnsOf(cluster);
        for (int c = x - term::columnsOf(cluster) + 1; c < x && c < canvas.width(); ++c)
            cells[static_cast<std::size_t>(c)] = ""; // the second column of a wide character
    }
    CodeRow row;
    for (int c = codeStart; c < canvas.width(); ++c) {
        if (canvas.styleAt(c, y).background != boxColor) continue;
        if (row.boxStart < 0) row.boxStart = c;
        row.boxEnd = c;
    }
    // The marks after a line (✓, the blinking "!", ▲ ▼ in the last columns) are not code.
    const int codeEnd = canvas.width() - 3;
    for (int c = codeStart; c < codeEnd; ++c) {
        const auto& cell = cells[static_cast<std::size_t>(c)];
        if (canvas.styleAt(c, y).reverse || cell == "✓") continue;
        if (row.boxStart < 0 || c < row.boxStart)
            row.before += cell;
        else if (c <= row.boxEnd)
            row.box.push_back(cell);
        else
            row.after += cell;
    }
    return row;
}

class AnswerLine : public lessontest::LessonTerminal {
  protected:
    // Types `text` a character at a time, as the terminal delivers it.
    void typeCharacters(const std::string& text) {
        for (const auto& character : ns::splitCharacters(text))
            press(Key::typed(character));
    }
    // The row of code line `k`: its number in the line numbers' grey, right-aligned in the second and
    // third columns, a blank after it.
    int rowOfLine(int k) const {
        const std::string number = (k < 10 ? "  " : " ") + std::to_string(k);
        for (int y = 1; y < canvas.height() - 1; ++y) {
            const std::string row = canvas.row(y);
            if (row.starts_with(number) && (row.size() == 3 || row[3] == ' ') &&
                canvas.styleAt(2, y).foreground == LessonViewController::lineNumberGrey)
                return y;
        }
        return -1;
    }
    // What is wrong with the answer line of `lesson` as drawn now, or "".
    std::string answerLineFault(const Lesson& lesson, int codeStart) {
        const int k = static_cast<int>(lesson.textFieldInLine);
        const int y = rowOfLine(k);
        if (y < 0) return "no answer line";
        auto* field = top()->textFields.at(static_cast<std::size_t>(k - 1));
        const CodeRow row = readCodeRow(canvas, y, codeStart, LessonViewController::panelGrey);
        if (row.boxStart < 0 || row.box.size() < 3) return "no box: " + canvas.row(y);
        const auto caret = canvas.caret();
        if (!caret || caret->y != y || caret->x <= row.boxStart || caret->x > row.boxEnd)
            return "the caret is not in the box: " + canvas.row(y);
        const std::string text1 = lesson.text1(k) ? lesson.text1(k)->str() : "";
        const std::string text2 = lesson.text2(k) ? lesson.text2(k)->str() : "";
        if (auto fault = cutFault(row.before, text1); !fault.empty()) return "before the field: " + fault;
        if (auto fault = cutFault(row.after, text2); !fault.empty()) return "after the field: " + fault;
        std::string inner;
        for (std::size_t c = 1; c + 1 < row.box.size(); ++c)
            inner += row.box[c];
        inner = trimmedRight(inner);
        if (field->text().empty()) {
            if (auto fault = cutFault(inner, field->placeholder()); !fault.empty())
                return "placeholder: " + fault;
            return "";
        }
        // Control characters show as their pictures.
        std::string text;
        for (const auto& character : ns::splitCharacters(field->text()))
            text += term::controlPicture(character).value_or(character);
        text = trimmedRight(text);
        const bool startHidden = row.box.front() == "‹";
        const bool endHidden = row.box.back() == "›";
        const bool fits = startHidden
                              ? endHidden ? text.find(inner) != std::string::npos : text.ends_with(inner)
                          : endHidden ? text.starts_with(inner)
                                      : text == inner;
        // A box too narrow for the character at the caret shows none, and its marks say so.
        if (!fits || (inner.empty() && !startHidden && !endHidden))
            return "field shows \"" + inner + "\" of \"" + text + "\"";
        return "";
    }
    // What is wrong with the code lines without a field as drawn now, one entry for each.
    std::vector<std::string> otherLineFaults(const Lesson& lesson, int codeStart) {
        std::vector<std::string> faults;
        for (int k = 1; k <= lesson.lines && k <= Lesson::kMaxLines; ++k) {
            const int y = rowOfLine(k);
            if (k == lesson.textFieldInLine || y < 0) continue; // outside the code's window
            const CodeRow row = readCodeRow(canvas, y, codeStart, LessonViewController::panelGrey);
            const std::string code = (lesson.text1(k) ? lesson.text1(k)->str() : "") +
                                     (lesson.text2(k) ? lesson.text2(k)->str() : "");
            if (auto fault = cutFault(row.before, code); !fault.empty())
                faults.push_back("line " + std::to_string(k) + ": " + fault);
        }
        return faults;
    }
};

// A line whose field runs up to the screen's edge, with code on both sides of it.
Lesson::Ptr edgeLesson(const std::string& answer) {
    auto lesson =
        Lesson::initWith3Lines("CH2L1", 1, "Edge", "Type it.", "// before", "let value = ", "print(value)",
                               LessonText(answer), "Well done", 3, 2, lessontest::hint());
    lesson->setText2(2, " { print(value) }");
    return lesson;
}

TEST_F(AnswerLine, AtTheEdgeEveryCutIsMarkedAndTheCaretStaysInTheField) {
    const std::string answers[] = {
        R"(Section(header: Image(systemName: "star")))",
        "🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑🔑", // two columns each
        "e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e"
        "\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301", // accents on e
    };
    int afterCut = 0;
    for (const int columns : {12, 20, 34, 40, 60}) {
        const int codeStart = columns < 14 ? 4 : 5;
        for (const auto& answer : answers) {
            canvas = term::MemoryCanvas(columns, 12);
            auto lesson = edgeLesson(answer);
            open(lesson);
            frontEnd.layout(columns, 12);
            settle();
            const std::string where = std::to_string(columns) + " columns, " + answer;
            draw();
            EXPECT_EQ(answerLineFault(*lesson, codeStart), "") << where << ", empty\n" << canvas.screen();
            // The lesson's own answer: the checkmark stands beside the line, not over it.
            typeCharacters(answer);
            draw();
            EXPECT_EQ(answerLineFault(*lesson, codeStart), "") << where << ", caret at the end\n"
                                                               << canvas.screen();
            afterCut += readCodeRow(canvas, rowOfLine(2), codeStart, LessonViewController::panelGrey)
                            .after.ends_with(term::kCutMark);
            press(Key::named(Key::Kind::home));
            draw();
            EXPECT_EQ(answerLineFault(*lesson, codeStart), "") << where << ", caret at the start\n"
                                                               << canvas.screen();
            // Wrong now: the error mark too.
            typeCharacters("~");
            draw();
            EXPECT_EQ(answerLineFault(*lesson, codeStart), "") << where << ", wrong\n" << canvas.screen();
        }
    }
    EXPECT_GT(afterCut, 0); // the code after the field was cut, and marked
}

// Every lesson of every edition, as it opens and with its answer typed, in the narrow terminals a
// learner may have.
TEST_F(AnswerLine, NoCodeRowOfAnyLessonIsCutWithoutAMark) {
    std::set<const content::Course*> courses;
    for (int edition = 0; edition < 4; ++edition)
        courses.insert(&content::courseForEdition(edition)); // Swift and Zovud ERO share one
    std::vector<std::string> faults;
    int opened = 0;
    for (const auto* course : courses) {
        chapters = content::buildChapters(*course);
        for (auto [columns, rows] : {std::pair{40, 12}, {60, 20}}) {
            canvas = term::MemoryCanvas(columns, rows);
            for (std::size_t c = 0; c < chapters.size(); ++c) {
                for (std::size_t r = 0; r < chapters[c]->lessons.size(); ++r) {
                    const Lesson& lesson = *chapters[c]->lessons[r];
                    if (lesson.textFieldInLine < 1) continue; // a page without a field
                    ASSERT_TRUE(openLesson(static_cast<int>(c), static_cast<int>(r)));
                    ++opened;
                    const std::string where =
                        lesson.lessonID.str() + " at " + std::to_string(columns) + "x" + std::to_string(rows);
                    draw();
                    if (auto fault = answerLineFault(lesson, 5); !fault.empty())
                        faults.push_back(where + ", opened: " + fault);
                    for (const auto& fault : otherLineFaults(lesson, 5))
                        faults.push_back(where + ", " + fault);
                    typeCharacters(lesson.answer.str());
                    draw();
                    if (auto fault = answerLineFault(lesson, 5); !fault.empty())
                        faults.push_back(where + ", answered: " + fault);
                }
            }
        }
    }
    EXPECT_GT(opened, 1000);
    faults.resize(std::min<std::size_t>(faults.size(), 12));
    EXPECT_EQ(faults, std::vector<std::string>{});
}

} // namespace
