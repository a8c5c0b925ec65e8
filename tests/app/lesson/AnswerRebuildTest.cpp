#include "app/lesson/AnswerRebuild.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

Lesson::Ptr lessonWithAnswer(std::string answer) {
    return Lesson::initWith1Line("T1", 1, "t", "i", "", std::move(answer), "", 1, 1, {{"Stuck?", "1."}});
}

TEST(AnswerRebuild, ApplyEditCountsCharacters) {
    EXPECT_EQ(answer::applyEdit("var", 3, 0, " "), "var ");
    EXPECT_EQ(answer::applyEdit("vaXr", 2, 1, ""), "var");
    EXPECT_EQ(answer::applyEdit("cafe\u0301!", 4, 1, "?"), "cafe\u0301?"); // "é" is one character
    EXPECT_EQ(answer::applyEdit("ab", 10, 5, "c"), "abc");                 // clamped, never fails
    // A length that reaches to the end of any text replaces the rest; it does not wrap round.
    EXPECT_EQ(answer::applyEdit("abc", 1, SIZE_MAX, "X"), "aX");
}

TEST(AnswerRebuild, QuoteGuidedTable) {
    struct Case {
        const char* answer;
        const char* input;
        const char* userAnswer;
    } cases[] = {
        // One quoted literal.
        {R"(print("Hello"))", "print(", "print("},
        {R"~(print("Hello"))~", R"~(print("Hel)~", R"~(print("Hel)~"},
        {R"~(print("Hello"))~", R"~(print("Hello"))~", R"~(print("Hello"))~"},
        {R"~(print("Hello"))~", R"~(print("Hello") "more)~", R"~(print("Hello"))~"},
        {R"~(print("Hello"))~", R"~(print("Hello")"x"y)~", R"~(print("Hello"))~"},
        {R"~(print("Hello"))~", R"~(print( "Hello" ))~", R"~(print( "Hello" ))~"},
        {R"(print("Hello"))", "print(\n\"Hi\")", R"(print("Hi"))"},
        {R"(print("Hello"))", "print(\"a\nb\")", R"(print("a b"))"},
        // Two quoted literals.
        {R"~(let a = "x" + "y")~", R"~(let a = "x" + "y)~", R"~(let a = "x" +)~"},
        {R"~(let a = "x" + "y")~", R"~(let a = "x" + "y")~", R"~(let a = "x" + "y")~"},
        {R"~(let a = "x" + "y")~", R"~(let a = "x" + "y" "z")~", R"~(let a = "x" + "y")~"},
        {R"~(let a = "x" + "y")~", R"~(let a = "x" + "y" extra)~", R"~(let a = "x" + "y" extra)~"},
        {R"~(let a = "x" + "y")~", R"~(let a = "x")~", R"~(let a = "x")~"},
        // No quotes, or an unusual number of them: folded and trimmed.
        {"var isAwesome = true", "var isAwesome\n= true", "var isAwesome = true"},
        {R"(a "b)", "x \n y", "x y"},
        {R"("a" "b" "c")", " q\tq ", "q q"},
        // Blanks past ASCII (no-break space) fold and trim the same.
        {"var isAwesome = true", "\u00a0var\u00a0isAwesome =\ttrue\u00a0", "var isAwesome = true"},
        {R"~(print("Hello"))~", "\u00a0print(\"H\u00e9l \t", "print(\"H\u00e9l"},
        {R"~(let a = "x" + "y")~", "let\u00a0a = \"\u00e9\" + \"y\"", "let a = \"\u00e9\" + \"y\""},
    };
    for (const auto& c : cases) {
        auto lesson = lessonWithAnswer(c.answer);
        EXPECT_EQ(answer::staticUserAnswer(*lesson, c.input), c.userAnswer) << c.answer << " <- " << c.input;
    }
}

TEST(AnswerRebuild, DynamicWholeLiteral) {
    auto lesson = lessonWithAnswer("\"\"");
    lesson->dynamicAnswer = true;
    lesson->dynamicQuoteComponents = 1;
    struct Case {
        const char* input;
        const char* userAnswer;
        std::optional<std::string> captured;
    } cases[] = {
        {"\"", "\"", std::nullopt},   {"\"Hi", "\"", std::nullopt}, {"\"Hi\"", "\"\"", "Hi"},
        {"\"Hi\" x\"", "\"\"", "Hi"}, {"Hi", "Hi", std::nullopt},   {"\"a\"b", "\"a\"b", std::nullopt},
    };
    for (const auto& c : cases) {
        auto out = answer::dynamicUserAnswer(*lesson, c.input);
        EXPECT_EQ(out.userAnswer, c.userAnswer) << c.input;
        EXPECT_EQ(out.dynamicAnswerString, c.captured) << c.input;
        EXPECT_FALSE(out.printed.has_value());
    }
    EXPECT_FALSE(answer::dynamicUserAnswer(*lesson, "").userAnswer.has_value());
}

TEST(AnswerRebuild, DynamicClosedLiteral) {
    auto lesson = lessonWithAnswer("let name = \"\"");
    lesson->dynamicAnswer = true;
    lesson->dynamicQuoteComponents = 3;
    lesson->dynamicSpaceComponents = 4;

    auto closed = answer::dynamicUserAnswer(*lesson, "let name = \"Bob Smith\"");
    EXPECT_EQ(closed.userAnswer, "let name = \"\"");
    EXPECT_EQ(closed.dynamicAnswerString, "Bob Smith");
    EXPECT_EQ(closed.printed, "Bob Smith");

    // One character between the quotes is not enough; userAnswer keeps its earlier value.
    auto tooShort = answer::dynamicUserAnswer(*lesson, "let name = \"B\"");
    EXPECT_FALSE(tooShort.userAnswer.has_value());
    EXPECT_EQ(tooShort.dynamicAnswerString, "B");

    // Inside the literal: the typed text before the quote plus one quote.
    EXPECT_EQ(answer::dynamicUserAnswer(*lesson, "let name = \"Bo").userAnswer, "let name = \"");
    EXPECT_EQ(answer::dynamicUserAnswer(*lesson, "let name =").userAnswer, "let name =");
    // A literal closed with text after it has more quote parts than expected.
    EXPECT_EQ(answer::dynamicUserAnswer(*lesson, "let name = \"Bo\"\"").userAnswer, "let name = \"Bo\"\"");
}

TEST(AnswerRebuild, DynamicWithoutSpaceCountNeverCloses) {
    auto lesson = lessonWithAnswer("let name = \"\"");
    lesson->dynamicAnswer = true;
    lesson->dynamicQuoteComponents = 3;
    auto out = answer::dynamicUserAnswer(*lesson, "let name = \"Bob\"");
    EXPECT_EQ(out.userAnswer, "let name = \"Bob\"");
    EXPECT_FALSE(out.dynamicAnswerString.has_value());
    // Too many space parts asked for: not closed either, and no out-of-range read.
    lesson->dynamicSpaceComponents = 9;
    EXPECT_EQ(answer::dynamicUserAnswer(*lesson, "let name = \"Bob\"").userAnswer, "let name = \"Bob\"");
    lesson->dynamicSpaceComponents = 0;
    EXPECT_EQ(answer::dynamicUserAnswer(*lesson, "let name = \"Bob\"").userAnswer, "let name = \"Bob\"");
}

TEST(AnswerRebuild, DynamicCountsAtTheEdgesAreSafe) {
    auto lesson = lessonWithAnswer("let name = \"\"");
    lesson->dynamicAnswer = true;
    lesson->dynamicSpaceComponents = std::numeric_limits<std::int64_t>::max();
    for (std::int64_t qN : {std::numeric_limits<std::int64_t>::min(), std::int64_t{0}, std::int64_t{-1},
                            std::numeric_limits<std::int64_t>::max()}) {
        lesson->dynamicQuoteComponents = qN;
        auto out = answer::dynamicUserAnswer(*lesson, "let name = \"Bob\"");
        EXPECT_EQ(out.userAnswer, "let name = \"Bob\"") << qN;
        EXPECT_FALSE(out.dynamicAnswerString.has_value()) << qN;
    }
    // No quote count at all: the input stands as typed.
    lesson->dynamicQuoteComponents.reset();
    EXPECT_EQ(answer::dynamicUserAnswer(*lesson, "let name = \"Bo").userAnswer, "let name = \"Bo");
}

} // namespace
