// Padding a lesson's colour rules to the number it stores: the record's own rules stay as written, the
// added ones name the lesson's own words and colour nothing, and a count that cannot be met fails.
#include "content/swift/StoredRules.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

using namespace content;
using namespace content::form;

namespace {

LessonForm shortLesson() {
    return {
        .id = "T1",
        .number = 1,
        .title = "Padding",
        .instruction = "In line 2, print the total.",
        .code = "let total = 3\n«print(total)»",
        .accepted = {"print( total )", kShortcutAnswer},
        .success = "3 it is.",
        .hint = {"Stuck?", "1. Call print \n print(total)"},
        .colors = {{INSTR, "In line 2, print the total.", comment}, {L1, "let", pink}},
        .autoColor = false,
    };
}

TEST(StoredRules, PadsWithTheLessonsOwnWordsWhereTheyAreNotShown) {
    auto chapter = Chapter::make("PADDING", 1);
    auto lesson = addLessonStoring(*chapter, 30, shortLesson());
    ASSERT_EQ(chapter->lessons.size(), 1u);
    ASSERT_EQ(lesson->customStrings().size(), 30u);
    EXPECT_EQ(lesson->customStrings()[0].rangeOfString, "In line 2, print the total.");
    EXPECT_EQ(lesson->customStrings()[1].rangeOfString, "let");

    const std::set<std::string> ownWords = {"print(total)", "print( total )", "print", "total", "let", "3"};
    std::set<std::pair<int, std::string>> seen;
    for (std::size_t i = 2; i < lesson->customStrings().size(); ++i) {
        const auto& rule = lesson->customStrings()[i];
        SCOPED_TRACE(rule.rangeOfString);
        EXPECT_TRUE(ownWords.contains(rule.rangeOfString));
        EXPECT_NE(rule.rangeOfString, kShortcutAnswer);
        EXPECT_FALSE(paintsSomething(*lesson, rule))
            << "section " << static_cast<int>(rule.customStringSection);
        EXPECT_TRUE(seen.insert({static_cast<int>(rule.customStringSection), rule.rangeOfString}).second);
    }
    // The answer comes first and keeps the comment colour of an answer shown in a hint.
    EXPECT_EQ(lesson->customStrings()[2].rangeOfString, "print(total)");
    EXPECT_EQ(lesson->customStrings()[2].color, comment);
}

TEST(StoredRules, ACountThatCannotBeMetFailsLoudly) {
    auto chapter = Chapter::make("PADDING", 1);
    // The rules are made, and a wrong count found, the first time they are read.
    EXPECT_THROW(addLessonStoring(*chapter, 1, shortLesson())->customStrings(), std::logic_error)
        << "fewer than the record's own";
    EXPECT_THROW(addLessonStoring(*chapter, 500, shortLesson())->customStrings(), std::logic_error)
        << "more than its words can fill";
    auto exact = makeLesson(shortLesson());
    EXPECT_NO_THROW(padColourRules(*exact, 2));
    EXPECT_EQ(exact->customStrings().size(), 2u);
}

} // namespace
