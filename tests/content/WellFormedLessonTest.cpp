// Every lesson of every edition has the shape the lesson screen relies on.
#include "tests/content/CourseFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <tuple>

using namespace content_test;

namespace {

bool isVideoId(const std::string& id) {
    return id.size() == 11 && std::all_of(id.begin(), id.end(), [](unsigned char c) {
               return std::isalnum(c) || c == '-' || c == '_';
           });
}

// Accepted answers are compared with the normalised input, so they must already be normalised.
bool isNormalised(const std::string& text) {
    return !text.empty() && text.front() != ' ' && text.back() != ' ' &&
           text.find("  ") == std::string::npos && text.find_first_of("\t\n\r") == std::string::npos;
}

int sectionLine(CustomStringSection section) {
    auto raw = static_cast<int>(section);
    auto first = static_cast<int>(CustomStringSection::line1);
    return raw >= first && raw < first + 10 ? raw - first + 1 : 0;
}

// Shown lines that a course leaves without text on purpose (edition, lesson, line): the screen shows
// them empty.
const std::set<std::tuple<int, std::string, int>> kShownLinesWithoutText = {
    {3, "CH3L13", 8},    {1, "C++CH4L7", 8}, {1, "C++CH4L7", 9},
    {1, "C++CH4L7", 10}, {1, "C++CH6L5", 7}, {1, "C++CH7L10", 7}};

class WellFormed : public ::testing::TestWithParam<Edition> {};

TEST_P(WellFormed, LinesAndAnswerFieldAreInRange) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        SCOPED_TRACE(lesson->lessonID);
        ASSERT_GE(lesson->lines, 1);
        ASSERT_LE(lesson->lines, 10);
        EXPECT_GE(lesson->textFieldInLine, 1);
        EXPECT_LE(lesson->textFieldInLine, lesson->lines);
        for (int k = 1; k <= lesson->lines; ++k)
            EXPECT_NE(lesson->text1(k).has_value(),
                      kShownLinesWithoutText.contains({GetParam().code, lesson->lessonID, k}))
                << "line " << k;
        for (int k = 1; k <= 10; ++k) {
            if (k != lesson->textFieldInLine) {
                EXPECT_FALSE(lesson->text2(k).has_value()) << "Text2 outside the field line, line " << k;
            }
        }
    }
}

TEST_P(WellFormed, AnswersStartWithTheAnswerAndAreNormalised) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        SCOPED_TRACE(lesson->lessonID);
        ASSERT_FALSE(lesson->acceptedAnswers.empty());
        EXPECT_EQ(lesson->acceptedAnswers.front(), lesson->answer);
        for (const auto& accepted : lesson->acceptedAnswers)
            EXPECT_TRUE(isNormalised(accepted)) << "[" << accepted << "]";
    }
}

TEST_P(WellFormed, HintComesFirstAndWrongAnswerEntriesAreComplete) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        SCOPED_TRACE(lesson->lessonID);
        ASSERT_FALSE(lesson->errors.empty());
        EXPECT_FALSE(lesson->errors.front().errorString.has_value());
        EXPECT_FALSE(lesson->errors.front().contains.has_value());
        EXPECT_FALSE(lesson->errors.front().title.empty());
        for (std::size_t i = 1; i < lesson->errors.size(); ++i) {
            EXPECT_TRUE(lesson->errors[i].errorString.has_value()) << "entry " << i;
            EXPECT_TRUE(lesson->errors[i].contains.has_value()) << "entry " << i;
            EXPECT_FALSE(lesson->errors[i].message.empty()) << "entry " << i;
        }
    }
}

TEST_P(WellFormed, KeyboardWordsAreTwoToSixOrAbsent) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        SCOPED_TRACE(lesson->lessonID);
        if (!lesson->inputAccessoryViewTextValues) continue;
        EXPECT_GE(lesson->inputAccessoryViewTextValues->size(), 2u);
        EXPECT_LE(lesson->inputAccessoryViewTextValues->size(), 6u);
        for (const auto& word : *lesson->inputAccessoryViewTextValues)
            EXPECT_FALSE(word.empty());
    }
}

TEST_P(WellFormed, VideoIdsHaveElevenCharacters) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        if (lesson->videoTutorial) {
            EXPECT_TRUE(isVideoId(*lesson->videoTutorial))
                << lesson->lessonID << ": " << *lesson->videoTutorial;
        }
    }
}

TEST_P(WellFormed, DynamicLessonsCarryTheirCounts) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        if (!lesson->dynamicAnswer) continue;
        SCOPED_TRACE(lesson->lessonID);
        ASSERT_TRUE(lesson->dynamicQuoteComponents.has_value());
        if (*lesson->dynamicQuoteComponents != 1) {
            ASSERT_TRUE(lesson->dynamicSpaceComponents.has_value());
            EXPECT_GE(*lesson->dynamicSpaceComponents, 1);
        }
        EXPECT_NE(lesson->answer.find("\"\""), std::string::npos) << "the literal is written as two quotes";
    }
}

TEST_P(WellFormed, SuccessDictionaryCoversEveryOutputKey) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        if (!lesson->answerDebugMessageLabelDictionary) continue;
        SCOPED_TRACE(lesson->lessonID);
        ASSERT_TRUE(lesson->answerDebugSuccessMessageDictionary.has_value());
        for (const auto& [key, printed] : *lesson->answerDebugMessageLabelDictionary) {
            EXPECT_FALSE(key.empty());
            EXPECT_TRUE(lesson->answerDebugSuccessMessageDictionary->contains(key)) << key;
        }
    }
}

// The dictionary case of Run needs the success labels whenever it can be reached.
TEST_P(WellFormed, DebuggerDictionaryLessonsHaveSuccessLabels) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        bool dictionaryCase = lesson->debuggerView && lesson->debuggerLabelStart &&
                              lesson->debuggerLabelEnd && lesson->debuggerPrintValue &&
                              lesson->answerDebugMessageLabelDictionary;
        if (!dictionaryCase) continue;
        EXPECT_TRUE(lesson->successLabelStart && lesson->successLabelEnd) << lesson->lessonID;
    }
}

// Rules for lines beyond `lines` are stored content too: the screen repaints hidden lines like any
// other, so only an empty text (which can never paint anything) is a fault.
TEST_P(WellFormed, LineColourRulesAddressShownLines) {
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        for (const auto& rule : lesson->customStrings()) {
            int k = sectionLine(rule.customStringSection);
            EXPECT_FALSE(rule.rangeOfString.empty()) << lesson->lessonID << ": rule for line " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllEditions, WellFormed, ::testing::ValuesIn(editions()),
                         [](const auto& info) { return editionTestName(info.param); });

} // namespace
