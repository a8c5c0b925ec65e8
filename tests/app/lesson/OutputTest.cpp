#include "tests/support/LessonScreenFixture.hpp"

namespace lessontest {
namespace {

Lesson::Ptr debuggerLesson() {
    auto lesson = Lesson::initWith1Line("CH2L5", 5, "Debug", "Make it true.", "", "var isAwesome = true",
                                        "Done", 1, 1, hint());
    lesson->acceptedAnswers.push_back("var isAwesome = false");
    lesson->debuggerView = true;
    return lesson;
}

TEST_F(LessonScreen, RunShowsThePlainOutputSlidingIn) {
    open(boolLesson());
    enter("var isAwesome = true");
    const ui::Point home = screen->answerView->center();
    ui::AnimationLog::shared().clear();
    screen->runButton->tap();
    EXPECT_FALSE(field().isFirstResponder());
    EXPECT_FALSE(screen->answerView->isHidden());
    EXPECT_FALSE(screen->successMessageLabel->isHidden());
    EXPECT_TRUE(screen->debugView->isHidden());
    EXPECT_EQ(screen->successMessageLabel->text(), "Well done");
    const ui::Animation* slide = ui::AnimationLog::shared().last();
    ASSERT_NE(slide, nullptr);
    EXPECT_DOUBLE_EQ(slide->duration, 0.5);
    EXPECT_DOUBLE_EQ(slide->delay, 0.4);
    EXPECT_TRUE(ui::hasOption(slide->options, ui::AnimationOptions::curveEaseOut));
    const ui::PropertyChange* move = slide->find(screen->answerView, "center");
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(std::get<ui::Point>(move->from).y, home.y + screen->answerView->frame().height());
    EXPECT_EQ(screen->answerView->center(), home);
    EXPECT_EQ(screen->answerView->alpha(), 1);
}

TEST_F(LessonScreen, RunOnAWrongAnswerShowsTheHint) {
    open(boolLesson());
    enter("let");
    screen->runButton->tap();
    EXPECT_TRUE(screen->answerView->isHidden());
    EXPECT_FALSE(screen->helpView->isHidden());
    EXPECT_TRUE(console.contains("error button was pressed"));
    EXPECT_EQ(screen->helpViewTitleLabel->text(), "Stuck? Break it down!");
}

TEST_F(LessonScreen, CheckmarkShowsOutputWhateverTheAnswer) {
    open(boolLesson());
    screen->checkmarkButtonPressed();
    EXPECT_TRUE(console.contains("checkmark button was pressed"));
    EXPECT_FALSE(screen->answerView->isHidden());
}

TEST_F(LessonScreen, DebuggerPrintedValueCases) {
    struct Case {
        const char* name;
        std::optional<std::string> start, end, dynamic, printValue;
        std::string userAnswer;
        std::string printed;
    } cases[] = {
        {"print value, no labels", std::nullopt, "]", std::nullopt, "42", "x", "42"},
        {"answer without its enclosing quotes", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
         "\"\"a\"b\"", "a\"b"},
        {"labels around the dynamic text", "[", "]", "Bob", "ignored", "x", "[Bob]"},
        {"labels around the answer", "<", ">", std::nullopt, std::nullopt, "\"q\"", "<\"q\">"},
        {"labels around the print value", "<", ">", std::nullopt, "7", "x", "<7>"},
    };
    for (const auto& c : cases) {
        auto lesson = debuggerLesson();
        lesson->debuggerLabelStart = c.start;
        lesson->debuggerLabelEnd = c.end;
        lesson->dynamicAnswerString = c.dynamic;
        lesson->debuggerPrintValue = c.printValue;
        open(lesson);
        screen->lesson->userAnswer = c.userAnswer;
        screen->showOutput();
        EXPECT_EQ(screen->debugMessageLabel->text(), c.printed) << c.name;
        EXPECT_EQ(screen->debugSuccessMessageLabel->text(), "Done") << c.name;
        EXPECT_TRUE(screen->successMessageLabel->isHidden()) << c.name;
        EXPECT_FALSE(screen->debugView->isHidden()) << c.name;
    }
}

TEST_F(LessonScreen, DebuggerDictionaryCaseKeepsItsKey) {
    auto lesson = debuggerLesson();
    lesson->debuggerLabelStart = "";
    lesson->debuggerLabelEnd = "";
    lesson->debuggerPrintValue = "";
    lesson->successLabelStart = "It is ";
    lesson->successLabelEnd = "!";
    lesson->answerDebugMessageLabelDictionary = OrderedDictionary{{"true", "true"}, {"false", "false"}};
    lesson->answerDebugSuccessMessageDictionary = OrderedDictionary{{"true", "awesome"}, {"false", "not"}};
    open(lesson);

    enter("var isAwesome");
    screen->showOutput();
    EXPECT_TRUE(console.contains("ERROR: debug / success message was not setup correctly for this question"));
    EXPECT_EQ(screen->debugSuccessMessageLabel->text(), "Done");

    enter("var isAwesome = false");
    screen->runButtonPressed();
    EXPECT_EQ(screen->debugMessageLabel->text(), "false");
    EXPECT_EQ(screen->debugSuccessMessageLabel->text(), "It is not!");
    EXPECT_EQ(screen->lesson->successMessage, "It is not!");

    // No key in the answer now: the earlier key is used again.
    console.clear();
    screen->lesson->userAnswer = "var isAwesome";
    screen->showOutput();
    EXPECT_FALSE(
        console.contains("ERROR: debug / success message was not setup correctly for this question"));
    EXPECT_EQ(screen->debugMessageLabel->text(), "false");
}

TEST_F(LessonScreen, DictionaryCaseWithMissingContentKeepsTheMessage) {
    auto lesson = debuggerLesson();
    lesson->debuggerLabelStart = "";
    lesson->debuggerLabelEnd = "";
    lesson->debuggerPrintValue = "";
    lesson->answerDebugMessageLabelDictionary = OrderedDictionary{{"true", "yes"}};
    open(lesson);
    enter("var isAwesome = true");
    screen->showOutput();
    EXPECT_EQ(screen->debugMessageLabel->text(), "yes");
    EXPECT_EQ(screen->lesson->successMessage, "Done");
    // A success entry without the label texts: they count as empty.
    screen->lesson->answerDebugSuccessMessageDictionary = OrderedDictionary{{"true", "great"}};
    screen->showOutput();
    EXPECT_EQ(screen->lesson->successMessage, "great");
}

} // namespace
} // namespace lessontest
