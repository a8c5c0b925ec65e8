#include "platform/terminal/TextWindow.hpp"
#include "platform/terminal/Canvas.hpp"
#include "platform/terminal/KeyTable.hpp"
#include "platform/terminal/TextWrap.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using term::Key;

TEST(TextWindow, MarksSayOnWhichSideLinesAreLeftOut) {
    struct Case {
        term::TextWindow window;
        std::vector<std::string> marks; // row by row
    } cases[] = {
        {{0, 3, 3}, {"", "", ""}},         // all shown
        {{0, 10, 3}, {"", "", "▼"}},       // more below
        {{7, 10, 3}, {"▲", "", ""}},       // more above
        {{4, 10, 3}, {"▲", "", "▼"}},      // both
        {{4, 10, 1}, {"▲▼"}},              // both, on one row
        {{0, 2, 5}, {"", "", "", "", ""}}, // fewer lines than rows
        {{0, 10, 0}, {}},                  // nowhere to show it
    };
    for (const auto& c : cases) {
        std::vector<std::string> marks;
        for (int row = 0; row < c.window.visible; ++row)
            marks.push_back(term::scrollMark(c.window, row));
        EXPECT_EQ(marks, c.marks) << c.window.first << " of " << c.window.total << " in " << c.window.visible;
    }
}

TEST(TextWindow, KeysMoveItAndItStaysInsideTheText) {
    term::TextWindow window;
    window.fit(10, 4);
    struct Step {
        Key key;
        int first;
    } steps[] = {
        {Key::named(Key::Kind::up), 0},
        {Key::named(Key::Kind::down), 1},
        {Key::named(Key::Kind::pageDown), 4},
        {Key::named(Key::Kind::pageDown), 6}, // the last page, no further
        {Key::named(Key::Kind::down), 6},
        {Key::named(Key::Kind::pageUp), 3},
    };
    for (const auto& step : steps) {
        EXPECT_TRUE(window.scroll(step.key));
        EXPECT_EQ(window.first, step.first) << term::keyName(step.key);
    }
    EXPECT_FALSE(window.scroll(Key::typed("j")));
    EXPECT_EQ(window.first, 3);
    window.fit(10, 8); // the terminal grew: the window moves back to hold its last page
    EXPECT_EQ(window.first, 2);
    window.fit(3, 8);
    EXPECT_EQ(window.first, 0);
    EXPECT_FALSE(window.overflows());
}

TEST(Wrap, FitTextMarksWhatItCuts) {
    struct Case {
        std::string text;
        int columns;
        std::string fitted;
    } cases[] = {
        {"abcdef", 6, "abcdef"},
        {"abcdef", 5, "abcd…"},
        {"abcdef", 1, "…"},
        {"abcdef", 0, ""},
        {"ab cdef", 4, "ab…"}, // no blank before the mark
        {"😡😡😡", 4, "😡…"},
        {"😡😡😡", 6, "😡😡😡"}, // pictographs take two columns
        {"", 3, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(term::fitText(c.text, c.columns), c.fitted) << c.text << " in " << c.columns;
        EXPECT_LE(term::columnsOfText(term::fitText(c.text, c.columns)), std::max(0, c.columns));
    }
}

} // namespace
