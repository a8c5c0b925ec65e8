#include "app/lesson/terminal/LessonRows.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::string describe(const LessonRows& r) {
    return "top " + std::to_string(r.topBlank) + ", instruction " + std::to_string(r.instruction) +
           ", blank " + std::to_string(r.blankAboveCode) + ", code " + std::to_string(r.code) + ", blank " +
           std::to_string(r.blankBelowCode) + ", buttons " + std::to_string(r.buttons) + ", help bar " +
           std::to_string(r.helpBar) + ", word bar " + std::to_string(r.wordBar);
}

TEST(LessonRows, PartsGiveWayInTheirOrderAsTheTerminalShrinks) {
    struct Case {
        const char* name;
        int height;
        int instruction;
        int code;
        bool words;
        // top, instruction, blank, code, blank, buttons, help bar, word bar
        LessonRows rows;
    } cases[] = {
        {"room for everything", 22, 9, 4, true, {1, 9, 1, 4, 1, 1, 2, 1}},
        {"the blank at the top goes first", 19, 9, 4, true, {0, 9, 1, 4, 1, 1, 2, 1}},
        {"then the help bar", 18, 9, 4, true, {1, 9, 1, 4, 1, 1, 0, 1}},
        {"then the instruction beyond three lines", 12, 9, 4, true, {0, 4, 1, 4, 1, 1, 0, 1}},
        {"then the code beyond the answer's three", 9, 9, 8, true, {0, 2, 1, 3, 1, 1, 0, 1}},
        {"then the blanks and the word bar", 3, 9, 4, true, {0, 1, 0, 1, 0, 1, 0, 0}},
        {"the answer line goes last", 1, 9, 4, false, {0, 0, 0, 1, 0, 0, 0, 0}},
        {"no rows", 0, 9, 4, true, {}},
        {"no instruction: no blank above the code", 22, 0, 4, false, {1, 0, 0, 4, 1, 1, 2, 0}},
        {"counts below zero count as none", -3, -1, -1, false, {}},
    };
    for (const auto& c : cases) {
        const LessonRows rows = shareLessonRows(c.height, c.instruction, c.code, c.words);
        EXPECT_EQ(rows, c.rows) << c.name << ": " << describe(rows);
        EXPECT_LE(rows.total(), std::max(0, c.height)) << c.name;
    }
}

TEST(LessonRows, AGrowingTerminalNeverTakesRowsFromAPart) {
    for (int instruction : {0, 2, 9, 20})
        for (int code : {1, 4, 10}) {
            LessonRows before = shareLessonRows(0, instruction, code, true);
            for (int height = 1; height <= 40; ++height) {
                const LessonRows rows = shareLessonRows(height, instruction, code, true);
                EXPECT_GE(rows.code, before.code) << height;
                EXPECT_GE(rows.instruction, before.instruction) << height;
                EXPECT_GE(rows.buttons, before.buttons) << height;
                EXPECT_LE(rows.instruction, instruction);
                EXPECT_LE(rows.code, code);
                before = rows;
            }
        }
}

} // namespace
