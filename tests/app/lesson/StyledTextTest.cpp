#include "app/lesson/terminal/StyledText.hpp"
#include "platform/terminal/MemoryCanvas.hpp"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* text;
    int width;
    int maxLines;
    std::vector<std::string> rows;
};

TEST(StyledText, BlanksStayAsWrittenExceptWhereALineWraps) {
    const Case cases[] = {
        {"   static func random() {", 40, 1, {"   static func random() {"}},
        {"let a  = 1\n    return a", 40, 2, {"let a  = 1", "    return a"}},
        {"one two three four", 9, 3, {"one two", "three", "four"}},
        {"\tx", 10, 1, {"    x"}},
        {"cut after the first line", 10, 1, {"cut after"}},
    };
    for (const auto& c : cases) {
        term::MemoryCanvas canvas(c.width, 4);
        int used = drawAttributed(canvas, 0, 0, c.width, c.maxLines, ui::AttributedString(c.text),
                                  ui::Color::white());
        EXPECT_EQ(used, static_cast<int>(c.rows.size())) << c.text;
        for (std::size_t i = 0; i < c.rows.size(); ++i)
            EXPECT_EQ(canvas.row(static_cast<int>(i)), c.rows[i]) << c.text;
    }
}

TEST(StyledText, OneRowMarksWhatItCutsButNotTheBlanksAfterTheCode) {
    struct OneRow {
        const char* text;
        int columns;
        std::string row;
        int used;
    } cases[] = {
        {"let value = ", 12, "let value =", 12}, // whole, its blank included
        {"let value = ", 11, "let value =", 11}, // only the blank after it gives way
        {"let value = ", 10, "let value…", 10},
        {"           ", 4, "", 4}, // indentation alone carries nothing to mark
        {"  { x }", 3, "…", 1},
        {"{", 1, "{", 1},
        {"{ x", 1, "…", 1},
        {"one\ntwo", 20, "one…", 4}, // a second line is cut too
    };
    for (const auto& c : cases) {
        term::MemoryCanvas canvas(20, 1);
        ui::Label label;
        label.setText(c.text);
        EXPECT_EQ(drawLabelInOneRow(canvas, 0, 0, c.columns, label), c.used) << c.text << " in " << c.columns;
        EXPECT_EQ(canvas.row(0), c.row) << c.text << " in " << c.columns;
    }
}

} // namespace
