// The lesson form: how a record becomes a Lesson.
#include "content/LessonForm.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

using namespace content;
using namespace content::form;

namespace {

LessonForm record(std::string code) {
    return LessonForm{.id = "T1",
                      .number = 1,
                      .title = "Test",
                      .instruction = "Do it.",
                      .code = std::move(code),
                      .hint = {"Stuck?", "1. Try"}};
}

bool hasRule(const Lesson& lesson, CustomStringSection section, const std::string& text) {
    return std::any_of(lesson.customStrings().begin(), lesson.customStrings().end(),
                       [&](const ColorRule& rule) {
                           return rule.customStringSection == section && rule.rangeOfString == text;
                       });
}

TEST(LessonForm, TheMarkedFieldGivesAnswerLineAndBothHalves) {
    struct Case {
        const char* code;
        std::int64_t fieldLine;
        const char* answer;
        const char* before;
        std::optional<std::string> after;
    } cases[] = {
        {"let a = 1\nvar b = «a + 1»", 2, "a + 1", "var b = ", std::nullopt},
        {"«if x» {\n}", 1, "if x", "", " {"},
        {"   «print(x)»", 1, "print(x)", "   ", std::nullopt},
        {"a\nb\nfor «item»in items {", 3, "item", "for ", "in items {"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        auto lesson = makeLesson(record(c.code));
        EXPECT_EQ(lesson->textFieldInLine, c.fieldLine);
        EXPECT_EQ(lesson->answer, c.answer);
        EXPECT_EQ(std::vector<std::string>(lesson->acceptedAnswers.begin(), lesson->acceptedAnswers.end()),
                  std::vector<std::string>{c.answer});
        EXPECT_EQ(lesson->text1(static_cast<int>(c.fieldLine)), c.before);
        EXPECT_EQ(lesson->text2(static_cast<int>(c.fieldLine)), c.after);
    }
}

TEST(LessonForm, LinesDefaultToTheCodeAndPaddingKeepsHiddenEmptyTexts) {
    auto shown = makeLesson(record("a\n«b»\nc"));
    EXPECT_EQ(shown->lines, 3);
    EXPECT_FALSE(shown->text1(4).has_value());

    auto form = record("a\n«b»\nc");
    form.padTo = 10;
    form.lines = 2;
    auto padded = makeLesson(form);
    EXPECT_EQ(padded->lines, 2);
    EXPECT_EQ(padded->text1(3), "c");
    EXPECT_EQ(padded->text1(10), "");
}

TEST(LessonForm, BrokenRecordsFailLoudly) {
    EXPECT_THROW(makeLesson(record("no field here")), std::invalid_argument);
    EXPECT_THROW(makeLesson(record("«a»\n«b»")), std::invalid_argument);
    EXPECT_THROW(makeLesson(record("«unclosed")), std::invalid_argument);
    EXPECT_THROW(makeLesson(record("«a»\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11")), std::invalid_argument);
}

TEST(LessonForm, FurtherAnswersAndHintsAreAppendedInOrder) {
    auto form = record("«x»");
    form.accepted = {"y", "x", kShortcutAnswer};
    form.wrong = {{"A", "a", "z", true}, {"B", "b", "\"", false}};
    auto lesson = makeLesson(form);
    EXPECT_EQ(lesson->acceptedAnswers, (std::vector<LessonText>{"x", "y", "x", "ZQ"}));
    ASSERT_EQ(lesson->errors.size(), 3u);
    EXPECT_FALSE(lesson->errors[0].errorString.has_value());
    EXPECT_FALSE(lesson->errors[0].contains.has_value());
    EXPECT_EQ(lesson->errors[1].errorString, "z");
    EXPECT_EQ(lesson->errors[2].contains, false);
}

TEST(LessonForm, OutputsFillBothDictionariesUnlessOnlyASuccessTextIsGiven) {
    auto form = record("«!locked»");
    form.outputs = {{"locked", "\"shut\"", "closed"}, {"locked == true", std::nullopt, "shorter: locked"}};
    auto lesson = makeLesson(form);
    ASSERT_TRUE(lesson->answerDebugMessageLabelDictionary && lesson->answerDebugSuccessMessageDictionary);
    EXPECT_EQ(lesson->answerDebugMessageLabelDictionary->size(), 1u);
    EXPECT_EQ(*lesson->answerDebugMessageLabelDictionary->find("locked"), "\"shut\"");
    EXPECT_EQ(lesson->answerDebugSuccessMessageDictionary->size(), 2u);

    auto plain = makeLesson(record("«x»"));
    EXPECT_FALSE(plain->answerDebugMessageLabelDictionary.has_value());
}

TEST(LessonForm, BlankDebugTextsComeFirstAndExplicitValuesOverride) {
    auto form = record("«x»");
    form.debugger = true;
    form.blankDebugTexts = true;
    form.printValue = "42";
    auto lesson = makeLesson(form);
    EXPECT_EQ(lesson->debuggerPrintValue, "42");
    EXPECT_EQ(lesson->debuggerLabelStart, "");
    EXPECT_EQ(lesson->successLabelEnd, "");

    auto bare = makeLesson(record("«x»"));
    EXPECT_FALSE(bare->debuggerPrintValue.has_value());
    EXPECT_FALSE(bare->debuggerLabelStart.has_value());
}

TEST(LessonForm, SyntaxColoursPaintOnlyWhereTheFirstOccurrenceIsTheToken) {
    auto rules = syntaxColors(2, R"(for number in numbers { print("n") } // done)", {"numbers"});
    auto find = [&](const std::string& text) {
        return std::find_if(rules.begin(), rules.end(),
                            [&](const ColorRule& r) { return r.rangeOfString == text; });
    };
    ASSERT_NE(find("for"), rules.end());
    EXPECT_EQ(find("for")->color, ColorAttribute::pinkKeyword);
    EXPECT_EQ(find("for")->customStringSection, CustomStringSection::line2);
    EXPECT_EQ(find("print")->color, ColorAttribute::blueOther);
    EXPECT_EQ(find(R"("n")")->color, ColorAttribute::redString);
    EXPECT_EQ(find("// done")->color, ColorAttribute::greenComment);
    EXPECT_NE(find("numbers"), rules.end());

    // A rule for "number" would paint the start of "numbers", so it is left out.
    auto shadowed = syntaxColors(1, "let total = numbers.count + number", {"number", "numbers"});
    auto has = [&](const std::string& text) {
        return std::any_of(shadowed.begin(), shadowed.end(),
                           [&](const ColorRule& r) { return r.rangeOfString == text; });
    };
    EXPECT_TRUE(has("numbers"));
    EXPECT_FALSE(has("number"));
}

TEST(LessonForm, DeclaredNamesComeFromDeclarationsAndParameters) {
    auto names = declaredNames("var total = 0\nfunc add(value: Int) -> Int {\nfor item in list {");
    EXPECT_TRUE(names.contains("total"));
    EXPECT_TRUE(names.contains("add"));
    EXPECT_TRUE(names.contains("value"));
    EXPECT_TRUE(names.contains("item"));
    EXPECT_FALSE(names.contains("Int"));
    EXPECT_FALSE(names.contains("list"));
}

TEST(LessonForm, ColourCountKeepsOwnRulesAndCutsAutomaticOnes) {
    auto form = record("var total = 1\nprint(«total»)");
    form.colors = {{INSTR, "Do", orange}, {L1, "var", purple}};
    form.colorCount = 4;
    auto lesson = makeLesson(form);
    ASSERT_EQ(lesson->customStrings().size(), 4u);
    // The record's rules stay, last, and replace the automatic rule for the same text.
    EXPECT_EQ(lesson->customStrings()[2].rangeOfString, "Do");
    EXPECT_EQ(lesson->customStrings()[3].color, ColorAttribute::purpleNumber);
    EXPECT_EQ(std::count_if(lesson->customStrings().begin(), lesson->customStrings().end(),
                            [](const ColorRule& r) { return r.rangeOfString == "var"; }),
              1);

    form.colorCount = 1; // fewer than the record's own rules: they are kept all the same
    EXPECT_EQ(makeLesson(form)->customStrings().size(), 2u);
}

TEST(LessonForm, ColourCountAddsRulesForTheInstructionAndHints) {
    auto form = record(R"(let name = "Sam"
print(«name»))");
    form.instruction = R"(Print name, which holds "Sam".)";
    form.hint = {"Stuck?", "Use print with name: print(name) == done"};
    form.colorCount = 40;
    auto lesson = makeLesson(form);
    EXPECT_TRUE(hasRule(*lesson, INSTR, "name"));
    EXPECT_TRUE(hasRule(*lesson, INSTR, R"("Sam")"));
    EXPECT_TRUE(hasRule(*lesson, ERROR, "print"));
    EXPECT_TRUE(hasRule(*lesson, ERROR, "=="));
    EXPECT_FALSE(hasRule(*lesson, INSTR, "Print")); // prose words are not code
}

TEST(LessonForm, ComputedEntries) {
    auto numbers = wholeNumbers(5, 100);
    ASSERT_EQ(numbers.size(), 96u);
    EXPECT_EQ(numbers.front(), "5");
    EXPECT_EQ(numbers.back(), "100");
    EXPECT_TRUE(wholeNumbers(3, 2).empty());
    EXPECT_EQ(stepsThenAnswer({"1. a", "2. b"}, "x"), "1. a \n 2. b \n x");
}

TEST(LessonForm, AddLessonAppendsToTheChapter) {
    auto chapter = Chapter::make("T", 1);
    auto first = addLesson(*chapter, record("«a»"));
    auto second = addLesson(*chapter, record("«b»"));
    ASSERT_EQ(chapter->lessons.size(), 2u);
    EXPECT_EQ(chapter->lessons[0], first);
    EXPECT_EQ(chapter->lessons[1], second);
}

} // namespace
