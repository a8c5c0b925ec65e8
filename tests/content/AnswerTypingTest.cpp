// Wrong-answer hints never describe a right answer; output keys find an output for every accepted
// answer; success texts speak of the answer typed. (Typing every accepted answer is played through the real
// screen in LessonScreenPlaythrough.)
#include "content/LessonForm.hpp"
#include "model/StringUtilities.hpp"
#include "tests/content/CourseFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

using namespace content_test;

namespace {

// Wrong-answer hints that the course deliberately ties to the exact start of a right answer: they are
// chosen only when the learner stops there and asks for help, and their messages say how to go on.
const std::set<std::pair<std::string, std::string>> kHintsAtAnUnfinishedAnswer = {
    {"CH2L3", "="}, {"CH3L3", "e"}, {"CH3L10", "motorIsOn && s"}, {"CH3L10", "s"}, {"CH9L2", "greetUser(n"}};

class Answers : public ::testing::TestWithParam<Edition> {};

TEST_P(Answers, NoWrongAnswerHintMatchesARightAnswer) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        for (const auto& entry : lesson->errors) {
            if (!entry.errorString || entry.contains != true) continue;
            const auto& wrong = *entry.errorString;
            for (const auto& accepted : lesson->acceptedAnswers) {
                EXPECT_FALSE(sameText(wrong, accepted))
                    << lesson->lessonID << ": [" << wrong << "] is accepted";
                bool atStart = startsWithShorter(accepted, wrong);
                EXPECT_TRUE(!atStart ||
                            kHintsAtAnUnfinishedAnswer.contains({lesson->lessonID.str(), wrong.str()}))
                    << lesson->lessonID << ": [" << wrong << "] is the start of [" << accepted << "]";
            }
        }
    }
}

// Missing-text hints the course keeps although its right answers lack the text too: they stand in for
// the general hint whatever is typed.
const std::set<std::pair<std::string, std::string>> kHintsForAnyAnswer = {{"C++CH1L6", "\""}};

// A hint with `contains` false fires when the answer lacks its text; a right answer must never lack it.
TEST_P(Answers, NoMissingTextHintFiresOnARightAnswer) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        for (const auto& entry : lesson->errors) {
            if (!entry.errorString || entry.contains != false) continue;
            if (kHintsForAnyAnswer.contains({lesson->lessonID.str(), entry.errorString->str()})) continue;
            for (const auto& accepted : lesson->acceptedAnswers)
                EXPECT_NE(accepted.find(*entry.errorString), std::string::npos)
                    << lesson->lessonID << ": [" << accepted << "] lacks [" << *entry.errorString << "]";
        }
    }
}

// The keys an answer may select: those it contains, of the greatest length among them.
std::vector<std::string> selectableKeys(const OrderedDictionary& keys, const std::string& answer) {
    std::vector<std::string> found;
    std::size_t longest = 0;
    for (const auto& [key, printed] : keys)
        if (answer.find(key) != std::string::npos) longest = std::max(longest, key.size());
    for (const auto& [key, printed] : keys)
        if (answer.find(key) != std::string::npos && key.size() == longest) found.push_back(key.str());
    return found;
}

TEST_P(Answers, EveryAcceptedAnswerFindsOneOutput) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        if (!lesson->answerDebugMessageLabelDictionary) continue;
        const auto& printed = *lesson->answerDebugMessageLabelDictionary;
        const auto& success = *lesson->answerDebugSuccessMessageDictionary;
        for (const auto& accepted : lesson->acceptedAnswers) {
            auto keys = selectableKeys(printed, accepted.str());
            ASSERT_FALSE(keys.empty()) << lesson->lessonID << ": [" << accepted << "] finds no output key";
            for (const auto& key : keys) {
                EXPECT_EQ(*printed.find(key), *printed.find(keys.front()))
                    << lesson->lessonID << ": [" << accepted << "] finds keys with different outputs";
                EXPECT_EQ(*success.find(key), *success.find(keys.front()))
                    << lesson->lessonID << ": [" << accepted << "] finds keys with different success texts";
            }
        }
    }
}

// Success texts that name one right answer on purpose: they speak of the lesson's code, whichever
// answer was typed (another C-string of the program, the label the template shows).
// (edition code, lesson id)
const std::set<std::pair<int, std::string>> kTextsAboutTheCode = {{1, "C++CH7L1"}, {3, "CH1L3"}};

// The success text Run shows after `typed`: the one of the output key it selects, else the lesson's.
std::string successTextFor(const Lesson& lesson, const LessonText& typed) {
    Lesson copy = lesson; // the lookup writes answerKey
    copy.userAnswer = typed;
    copy.answerKey.reset();
    copy.findAnswerKey();
    if (copy.answerKey && copy.answerDebugSuccessMessageDictionary)
        if (const auto* text = copy.answerDebugSuccessMessageDictionary->find(*copy.answerKey))
            return text->str();
    return lesson.successMessage.str();
}

// A learner who typed 42 is not told that "age = 10" did it: a success text that quotes a right answer
// quotes the one typed.
TEST_P(Answers, SuccessTextsQuoteNoOtherAnswerThanTheOneTyped) {
    auto blankless = [](std::string text) {
        std::erase(text, ' ');
        return text;
    };
    // The first answer after which the lesson's text quotes another one, if any.
    auto misquoted = [&](const Lesson& lesson) -> std::string {
        for (const auto& typed : lesson.acceptedAnswers) {
            if (typed == content::kShortcutAnswer) continue; // a way past the lesson, not an answer to it
            const auto text = successTextFor(lesson, typed);
            if (text.find(typed.str()) != std::string::npos) continue;
            for (const auto& other : lesson.acceptedAnswers)
                if (other.size() > 1 && blankless(other.str()) != blankless(typed.str()) &&
                    text.find(other.str()) != std::string::npos)
                    return "typed [" + typed.str() + "], told [" + text + "]";
        }
        return "";
    };
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        if (kTextsAboutTheCode.contains({GetParam().code, lesson->lessonID.str()})) continue;
        EXPECT_EQ(misquoted(*lesson), "") << lesson->lessonID;
    }
}

INSTANTIATE_TEST_SUITE_P(AllEditions, Answers, ::testing::ValuesIn(editions()),
                         [](const auto& info) { return editionTestName(info.param); });

} // namespace
