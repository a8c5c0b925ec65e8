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

} // namespace
