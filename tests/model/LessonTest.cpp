#include "model/Chapter.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

Lesson::Ptr trueFalseLesson() {
    auto lesson =
        Lesson::initWith3Lines("CH2L1", 1, "Bool", "Make a Boolean.", "// a flag", "", "print(isAwesome)",
                               "var isAwesome = true", "", 3, 2, {{"Stuck? Break it Down!", "1. var"}});
    lesson->answerDebugMessageLabelDictionary = OrderedDictionary{{"true", "true"}, {"false", "false"}};
    return lesson;
}

TEST(Lesson, InitializerDefaults) {
    auto lesson = Lesson::initWith8Lines("CH1L1", 1, "t", "i", "a", "b", "c", "d", "e", "f", "g", "h",
                                         "x = 1", "", 2, 2, {{"Stuck?", "steps"}});
    EXPECT_EQ(lesson->acceptedAnswers, std::vector<LessonText>{"x = 1"});
    EXPECT_EQ(lesson->userAnswer, "");
    EXPECT_FALSE(lesson->completed);
    EXPECT_EQ(lesson->textFieldFormatting.placeholderText, "Tap to enter answer");
    // Lines past `lines` keep their texts; they are simply not shown.
    EXPECT_EQ(lesson->text1(8), "h");
    EXPECT_FALSE(lesson->text1(9).has_value());
    EXPECT_FALSE(lesson->text2(1).has_value());
    EXPECT_EQ(lesson->lines, 2);
}

TEST(Lesson, FindAnswerKeyIsCaseSensitiveAndKeepsEarlierKey) {
    auto lesson = trueFalseLesson();
    lesson->userAnswer = "var isAwesome = TRUE";
    lesson->findAnswerKey();
    EXPECT_FALSE(lesson->answerKey.has_value());
    lesson->userAnswer = "var isAwesome = true";
    lesson->findAnswerKey();
    EXPECT_EQ(lesson->answerKey, "true");
    lesson->userAnswer = "nothing";
    lesson->findAnswerKey();
    EXPECT_EQ(lesson->answerKey, "true");
}

TEST(Lesson, FindAnswerKeyPrefersLongestThenLastVisited) {
    auto lesson = trueFalseLesson();
    lesson->answerDebugMessageLabelDictionary = OrderedDictionary{{"5", "a"}, {"15", "b"}, {"1", "c"}};
    lesson->userAnswer = "x = 15";
    lesson->findAnswerKey();
    EXPECT_EQ(lesson->answerKey, "15");
    lesson->answerDebugMessageLabelDictionary = OrderedDictionary{{"ab", "1"}, {"cd", "2"}};
    lesson->userAnswer = "cd ab";
    lesson->findAnswerKey();
    EXPECT_EQ(lesson->answerKey, "cd");
    // Lengths are counted in characters: the two-letter key outranks the one-letter key of two bytes.
    lesson->answerDebugMessageLabelDictionary = OrderedDictionary{{"ab", "1"}, {"\u00e9", "2"}};
    lesson->userAnswer = "ab \u00e9";
    lesson->findAnswerKey();
    EXPECT_EQ(lesson->answerKey, "ab");
}

} // namespace

namespace {

// A recipe that names the instruction as it stands when it runs, and counts its runs.
Lesson::ColourRecipe instructionRule(int& runs) {
    return [&runs](const Lesson& lesson) {
        ++runs;
        return std::vector<ColorRule>{
            {CustomStringSection::instruction, lesson.instruction, ColorAttribute::orange}};
    };
}

std::vector<std::string> texts(const std::vector<ColorRule>& rules) {
    std::vector<std::string> out;
    for (const auto& rule : rules)
        out.push_back(rule.rangeOfString.str());
    return out;
}

TEST(LessonColourRules, RecipeRunsOnceOnFirstReadThenAmendmentsInOrder) {
    auto lesson = trueFalseLesson();
    int runs = 0;
    lesson->setCustomStringsRecipe(instructionRule(runs));
    lesson->amendCustomStrings([](const Lesson&, std::vector<ColorRule>& rules) {
        rules.push_back({CustomStringSection::error, "first", ColorAttribute::white});
    });
    lesson->amendCustomStrings([](const Lesson& made, std::vector<ColorRule>& rules) {
        rules.push_back({CustomStringSection::error, std::to_string(rules.size()) + made.lessonID,
                         ColorAttribute::white});
    });
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(lesson->customStringsPending());
    lesson->instruction = "changed before it was shown";
    const Lesson copy = *lesson; // a copy makes its own rules from its own texts

    EXPECT_EQ(texts(lesson->customStrings()),
              (std::vector<std::string>{"changed before it was shown", "first", "2CH2L1"}));
    EXPECT_EQ(texts(lesson->customStrings()).size(), 3u);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(lesson->customStringsPending());
    EXPECT_EQ(texts(copy.customStrings()), texts(lesson->customStrings()));
    EXPECT_EQ(runs, 2);
}

TEST(LessonColourRules, WrittenRulesReplaceARecipeAndAreAmendedToo) {
    auto lesson = trueFalseLesson();
    int runs = 0;
    lesson->setCustomStringsRecipe(instructionRule(runs));
    lesson->setCustomStrings({{CustomStringSection::line1, "flag", ColorAttribute::greenComment}});
    lesson->amendCustomStrings([](const Lesson&, std::vector<ColorRule>& rules) {
        rules.push_back({CustomStringSection::line2, "print", ColorAttribute::blueOther});
    });
    EXPECT_EQ(texts(lesson->customStrings()), (std::vector<std::string>{"flag", "print"}));
    EXPECT_EQ(runs, 0);
}

TEST(LessonColourRules, ARecipeThatFailsFailsOnEveryRead) {
    auto lesson = trueFalseLesson();
    lesson->setCustomStringsRecipe(
        [](const Lesson& made) -> std::vector<ColorRule> { throw std::logic_error(made.lessonID.str()); });
    EXPECT_THROW(lesson->customStrings(), std::logic_error);
    EXPECT_TRUE(lesson->customStringsPending());
    EXPECT_THROW(lesson->customStrings(), std::logic_error);
}

TEST(LessonColourRules, MadeAtOnceRunsEachRecipeAsItIsSet) {
    auto lesson = trueFalseLesson();
    int runs = 0;
    Lesson::setRulesMadeAtOnce(true);
    lesson->setCustomStringsRecipe(instructionRule(runs));
    Lesson::setRulesMadeAtOnce(false);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(lesson->customStringsPending());
    lesson->instruction = "too late to matter";
    EXPECT_EQ(texts(lesson->customStrings()), (std::vector<std::string>{"Make a Boolean."}));
}

} // namespace
