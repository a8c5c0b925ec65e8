#include "tests/support/LessonScreenFixture.hpp"

#include "model/StringUtilities.hpp"

namespace lessontest {
namespace {

const ui::Color kGreen = ui::Color::rgb255(82, 208, 92);

TEST_F(LessonScreen, PartialCorrectWrongAndEmptyStates) {
    open(boolLesson());
    type("v");
    EXPECT_TRUE(console.contains("so far so good"));
    EXPECT_TRUE(checkmark().isHidden());
    EXPECT_TRUE(errorButton().isHidden());
    EXPECT_EQ(screen->runButton->backgroundColor(), ui::Color::black());
    EXPECT_FALSE(screen->answerIsCorrect);

    console.clear();
    type("ar isAwesome = true");
    EXPECT_EQ(console.count("success you got the right answer"), 1u);
    EXPECT_FALSE(checkmark().isHidden());
    EXPECT_TRUE(screen->helpBarView->isHidden());
    EXPECT_EQ(screen->runButton->backgroundColor(), kGreen);
    EXPECT_EQ(screen->runButtonBottomLayoutConstraint->constant(), 8);
    EXPECT_TRUE(screen->answerIsCorrect);
    EXPECT_EQ(lesson().userAnswer, "var isAwesome = true");

    // Deleting everything keeps the green button and the recorded success.
    console.clear();
    erase();
    EXPECT_TRUE(console.contains("user has not entered anything"));
    EXPECT_TRUE(checkmark().isHidden());
    EXPECT_TRUE(errorButton().isHidden());
    EXPECT_EQ(screen->runButton->backgroundColor(), kGreen);
    EXPECT_TRUE(screen->answerIsCorrect);
    EXPECT_EQ(lesson().userAnswer, "var isAwesome = true");

    // Case matters.
    enter("Var isAwesome = true");
    EXPECT_FALSE(screen->answerIsCorrect);
    EXPECT_FALSE(errorButton().isHidden());
    EXPECT_TRUE(checkmark().isHidden());
    EXPECT_TRUE(report->hasCompleted("CH2L1"));
}

// Input counts as the answer once blanks are folded and the text is canonically normalised.
TEST_F(LessonScreen, NormalisedSpellingsCount) {
    struct Case {
        const char* answer;
        const char* input;
    } cases[] = {
        {"var isAwesome = true", "var   isAwesome = true"},
        {"var isAwesome = true", " var isAwesome = true "},
        {"var isAwesome = true", "var isAwesome\t=  true"},
        {"var isAwesome = true", "var isAwesome\n= true"},
        {"a \"b", "a   \"b"},                        // an odd quote count: folded all the same
        {"let caf\u00e9 = 1", "let cafe\u0301 = 1"}, // canonically equivalent
    };
    for (const auto& c : cases) {
        open(Lesson::initWith1Line("X1", 1, "t", "i", "", std::string(c.answer), "", 1, 1, hint()));
        enter(c.input);
        EXPECT_TRUE(screen->answerIsCorrect) << c.input;
    }
}

TEST_F(LessonScreen, CorrectAnswerIsRecordedAndSavedOnce) {
    auto lesson = boolLesson();
    lesson->acceptedAnswers.push_back("var isAwesome = true"); // a duplicated entry
    open(lesson);
    enter("var isAwesome = true");
    EXPECT_EQ(console.count("success you got the right answer"), 2u);
    EXPECT_EQ(console.count("progress report saved"), 1u);
    EXPECT_EQ(report->lessons, (std::vector<std::string>{"lessonZero", "CH2L1"}));
    auto stored = ProgressReport::load();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->lessons, report->lessons);

    // Already recorded: nothing more is written.
    console.clear();
    enter("var isAwesome=true");
    EXPECT_EQ(console.count("progress report saved"), 0u);
    EXPECT_EQ(report->lessons->size(), 2u);
}

TEST_F(LessonScreen, WrongInputBlinksOncePerScreen) {
    auto chapter = Chapter::make("TRUE OR FALSE", 2);
    chapter->lessons = {boolLesson("CH2L1", 1), boolLesson("CH2L2", 2)};
    open(chapter);
    auto blinks = [&] {
        return ui::AnimationLog::shared().animationsOf(&errorButton(), "transformScale").size();
    };
    enter("x");
    EXPECT_FALSE(errorButton().isHidden());
    EXPECT_TRUE(screen->errorButtonBlinked);
    // Four steps: 1.3, 1.0, 1.3, 1.0, 0.2 s each, started 0.2 s apart.
    const auto& log = ui::AnimationLog::shared().entries();
    ASSERT_GE(log.size(), 4u);
    std::vector<double> delays;
    for (const auto* a : ui::AnimationLog::shared().animationsOf(&errorButton(), "transformScale")) {
        EXPECT_DOUBLE_EQ(a->duration, 0.2);
        delays.push_back(a->delay);
    }
    EXPECT_EQ(delays, (std::vector<double>{0, 0.2, 0.4, 0.6}));
    EXPECT_EQ(errorButton().transformScale(), 1.0);

    const auto after = blinks();
    enter("xy");
    EXPECT_EQ(blinks(), after);
    screen->nextButtonPressed();
    enter("zz");
    EXPECT_FALSE(errorButton().isHidden());
    EXPECT_EQ(blinks(), after);
}

TEST_F(LessonScreen, IndicatorOffShowsNoErrorButton) {
    report->showErrorIndicator = false;
    open(boolLesson());
    enter("v");
    enter("x");
    EXPECT_TRUE(errorButton().isHidden());
    EXPECT_FALSE(screen->errorButtonBlinked);
    EXPECT_EQ(screen->runButton->backgroundColor(), ui::Color::black());
    report->showErrorIndicator.reset();
    enter("xx");
    EXPECT_TRUE(errorButton().isHidden());
}

TEST_F(LessonScreen, WidthFollowsTheNormalisedText) {
    open(boolLesson());
    auto* width = screen->textFieldsToWidthMap.at(&field());
    ASSERT_NE(width, nullptr);
    enter("var");
    const double narrow = width->constant();
    EXPECT_DOUBLE_EQ(narrow, ui::measure("var", field().font(), {1e6, 1e6}).width + 10);
    enter("var      ");
    EXPECT_DOUBLE_EQ(width->constant(), narrow);
    enter("var x");
    EXPECT_GT(width->constant(), narrow);
}

TEST_F(LessonScreen, EmojiIsReportedAndTheEditStillApplies) {
    open(boolLesson());
    type("v\U0001F600");
    EXPECT_EQ(console.count("emoji found"), 0u);
    type("a");
    EXPECT_EQ(console.count("emoji found"), 1u);
    // The check saw exactly what the field holds.
    EXPECT_EQ(field().text(), "v\U0001F600a");
    EXPECT_EQ(lesson().userAnswer, "v\U0001F600a");
}

TEST_F(LessonScreen, QuotedAnswerIgnoresTextAfterTheClosingQuote) {
    auto lesson = Lesson::initWith1Line("CH1L3", 3, "Print", "Print Hello.", "", "print(\"Hello\")", "Hello",
                                        1, 1, hint());
    open(lesson);
    type("print(\"Hello\")");
    EXPECT_TRUE(screen->answerIsCorrect);
    type(" \"and more");
    EXPECT_EQ(this->lesson().userAnswer, "print(\"Hello\")");
    EXPECT_TRUE(screen->answerIsCorrect);
}

TEST_F(LessonScreen, DynamicAnswerAcceptsFreeTextOfTwoOrMoreCharacters) {
    auto lesson =
        Lesson::initWith1Line("CH1L9", 9, "Name", "Name yourself.", "", "let name = \"\"", "", 1, 1, hint());
    lesson->dynamicAnswer = true;
    lesson->dynamicQuoteComponents = 3;
    lesson->dynamicSpaceComponents = 4;
    open(lesson);
    type("let name = \"B");
    EXPECT_EQ(this->lesson().userAnswer, "let name = \"");
    EXPECT_TRUE(console.contains("so far so good"));
    type("\"");
    EXPECT_FALSE(screen->answerIsCorrect); // one character is not enough
    EXPECT_EQ(this->lesson().userAnswer, "let name = \"");
    enter("let name = \"Bo b\"");
    EXPECT_TRUE(screen->answerIsCorrect);
    EXPECT_EQ(this->lesson().dynamicAnswerString, "Bo b");
    EXPECT_TRUE(console.contains("Bo b"));
}

} // namespace
} // namespace lessontest
