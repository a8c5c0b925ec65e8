// Every accepted answer of every edition, typed into the real lesson screen one keystroke at a time,
// completes its lesson; and Run then shows that answer's own output, never the missing-key line.
#include "tests/content/CourseFixture.hpp"
#include "tests/support/LessonScreenFixture.hpp"

#include <algorithm>

using namespace content_test;

namespace {

const char* kMissingKeyLine = "ERROR: debug / success message was not setup correctly for this question";

// A literal the learner might type between the quotes of a dynamic answer.
const std::string kSampleLiteral = "Sam Lee";

std::string typedFor(const Lesson& lesson, const std::string& accepted) {
    auto pos = accepted.find("\"\"");
    if (!lesson.dynamicAnswer || pos == std::string::npos) return accepted;
    return accepted.substr(0, pos + 1) + kSampleLiteral + accepted.substr(pos + 1);
}

// Whether Run takes the answer-key path of the debugger view for this lesson.
bool runsThroughAnswerKeys(const Lesson& lesson) {
    return lesson.debuggerView && lesson.debuggerLabelStart && lesson.debuggerLabelEnd &&
           !lesson.dynamicAnswerString && lesson.debuggerPrintValue &&
           lesson.answerDebugMessageLabelDictionary;
}

class Playthrough : public lessontest::LessonScreen, public ::testing::WithParamInterface<Edition> {
  protected:
    // Types `typed` into lesson `index` of a freshly opened screen; the lesson starts as built.
    void typeInto(const Chapter::Ptr& chapter, std::size_t index, const std::string& typed) {
        auto& shown = *chapter->lessons.at(index);
        shown.userAnswer.clear();
        shown.dynamicAnswerString.reset();
        shown.answerKey.reset();
        open(chapter, index);
        type(typed);
    }
};

// Typed key by key, an accepted answer ends as itself (an entry typing can never produce is dead
// content), completes the lesson, and Run then shows that answer's own output.
TEST_P(Playthrough, EveryAcceptedAnswerCompletesItsLessonAndRunShowsItsOutput) {
    // Fresh objects: the screen writes into the lessons it shows.
    auto chapters = content::buildChapters(content::courseForEdition(GetParam().code));
    for (const auto& chapter : chapters) {
        for (std::size_t index = 0; index < chapter->lessons.size(); ++index) {
            const auto lessonPtr = chapter->lessons[index];
            const auto answers = lessonPtr->acceptedAnswers;
            for (const auto& accepted : answers) {
                const auto typed = typedFor(*lessonPtr, accepted);
                typeInto(chapter, index, typed);
                SCOPED_TRACE(lessonPtr->lessonID + " typed [" + typed + "]");
                EXPECT_TRUE(screen->answerIsCorrect) << "userAnswer [" << lessonPtr->userAnswer << "]";
                EXPECT_EQ(lessonPtr->userAnswer, accepted);
                EXPECT_FALSE(checkmark().isHidden());
                ASSERT_TRUE(report->lessons.has_value());
                EXPECT_NE(std::find(report->lessons->begin(), report->lessons->end(), lessonPtr->lessonID),
                          report->lessons->end());
                if (!runsThroughAnswerKeys(*lessonPtr)) continue;

                console.clear();
                screen->runButtonPressed();
                EXPECT_FALSE(console.contains(kMissingKeyLine));
                ASSERT_TRUE(lessonPtr->answerKey.has_value());
                const auto* printed =
                    lessonPtr->answerDebugMessageLabelDictionary->find(*lessonPtr->answerKey);
                ASSERT_NE(printed, nullptr);
                EXPECT_NE(accepted.find(*lessonPtr->answerKey), std::string::npos);
                EXPECT_EQ(screen->debugMessageLabel->text(), *printed);
                EXPECT_FALSE(screen->answerView->isHidden());
            }
        }
    }
}

// A right answer typed with extra blanks between its words still completes the lesson: the check
// folds blanks, so content must never depend on exact spacing outside string literals.
TEST_P(Playthrough, ExtraBlanksBetweenWordsStillComplete) {
    auto chapters = content::buildChapters(content::courseForEdition(GetParam().code));
    for (const auto& chapter : chapters) {
        for (std::size_t index = 0; index < chapter->lessons.size(); ++index) {
            const auto lessonPtr = chapter->lessons[index];
            const auto& answer = lessonPtr->answer;
            if (answer.find('"') != std::string::npos || answer.find(' ') == std::string::npos) continue;
            std::string spaced;
            for (char c : answer)
                spaced += c == ' ' ? std::string("   ") : std::string(1, c);
            typeInto(chapter, index, "  " + spaced + "  ");
            EXPECT_TRUE(screen->answerIsCorrect) << lessonPtr->lessonID << " typed [" << spaced << "]";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllEditions, Playthrough, ::testing::ValuesIn(editions()),
                         [](const auto& info) { return editionTestName(info.param); });

} // namespace
