#include "tests/support/LessonScreenFixture.hpp"

#include "app/lesson/AttributedText.hpp"

namespace lessontest {
namespace {

TEST(AttributedText, FirstOccurrenceAndLaterRuleWins) {
    auto s = attributedText("let a = let", {{"let", ColorAttribute::pinkKeyword}});
    ASSERT_EQ(s.runs().size(), 1u);
    EXPECT_EQ(s.runs()[0].range, (ui::Range{0, 3}));
    EXPECT_FALSE(s.colorAt(8).has_value());

    s = attributedText("var x", {{"var", ColorAttribute::pinkKeyword}, {"var", ColorAttribute::orange}});
    EXPECT_EQ(s.colorAt(1), uiColor(ColorAttribute::orange));

    s = attributedText("x", {{"", ColorAttribute::orange}, {"y", ColorAttribute::orange}});
    EXPECT_FALSE(s.hasAttributes());
    // Searching UTF-8 bytes finds the same text a character search finds.
    s = attributedText("caf\u00e9 \"t\u00e9\"", {{"\"t\u00e9\"", ColorAttribute::redString}});
    ASSERT_EQ(s.runs().size(), 1u);
    EXPECT_EQ(s.runs()[0].range.location, 6u);
}

TEST_F(LessonScreen, RulesPaintTheirSections) {
    auto lesson = boolLesson();
    lesson->line2Text2 = " // true";
    lesson->setCustomStrings({
        {CustomStringSection::instruction, "isAwesome", ColorAttribute::blueOther},
        {CustomStringSection::line1, "flag", ColorAttribute::greenComment},
        {CustomStringSection::line2, "true", ColorAttribute::purpleNumber},
        {CustomStringSection::label, "x", ColorAttribute::white},
        {CustomStringSection::success, "done", ColorAttribute::orange},
        {CustomStringSection::error, "Stuck", ColorAttribute::redString},
    });
    lesson->successMessage = "Well done";
    lesson->textFieldFormatting.placeholderText = "Create boolean";
    lesson->textFieldFormatting.placeholderColor = ui::Color::rgb255(1, 2, 3);
    lesson->textFieldFormatting.inputColor = ui::Color::rgb255(4, 5, 6);
    open(lesson);
    EXPECT_TRUE(console.contains("nothing found"));
    const auto h1 = screen->lineHandles(1);
    const auto h2 = screen->lineHandles(2);
    EXPECT_EQ(screen->instructionsLabel->attributedText().colorAt(22), uiColor(ColorAttribute::blueOther));
    EXPECT_EQ(h1.text1Label->attributedText().colorAt(5), uiColor(ColorAttribute::greenComment));
    EXPECT_EQ(h2.text2Label->attributedText().colorAt(4), uiColor(ColorAttribute::purpleNumber));
    // Success rules wait for the success text; error rules never touch code lines.
    EXPECT_FALSE(screen->successMessageLabel->attributedText().hasAttributes());
    EXPECT_EQ(field().placeholder(), "Create boolean");
    EXPECT_EQ(field().attributedPlaceholder().colorAt(0), ui::Color::rgb255(1, 2, 3));
    EXPECT_EQ(field().textColor(), ui::Color::rgb255(4, 5, 6));

    enter("var isAwesome = true");
    screen->runButtonPressed();
    EXPECT_EQ(screen->successMessageLabel->attributedText().colorAt(5), uiColor(ColorAttribute::orange));

    console.clear();
    screen->errorButtonPressed();
    EXPECT_EQ(screen->helpViewTitleLabel->attributedText().colorAt(0), uiColor(ColorAttribute::redString));
    EXPECT_EQ(console.count("nothing found"), 5u);
}

TEST_F(LessonScreen, RepaintingDropsColoursOfEarlierTexts) {
    auto chapter = Chapter::make("C", 1);
    auto first = boolLesson("A", 1);
    first->setCustomStrings({{CustomStringSection::line1, "//", ColorAttribute::greenComment}});
    chapter->lessons = {first, boolLesson("B", 2)};
    open(chapter);
    EXPECT_TRUE(screen->line1Text1Label->attributedText().hasAttributes());
    screen->nextButtonPressed();
    EXPECT_FALSE(screen->line1Text1Label->attributedText().hasAttributes());
}

} // namespace
} // namespace lessontest
