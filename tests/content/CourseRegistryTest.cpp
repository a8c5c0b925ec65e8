// The registry against the chapter list of each course, and the builders against the registry.
#include "tests/content/CourseFixture.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

using namespace content_test;

namespace {

struct ExpectedChapter {
    const char* title;
    int lessons;
};

// The chapter lists of the three courses: titles exactly as shown to the learner, lesson counts.
const std::vector<ExpectedChapter> kSwift = {{"SWIFT BASICS", 20},
                                             {"TRUE OR FALSE", 11},
                                             {"IF STATEMENTS", 13},
                                             {"OPTIONAL?", 14},
                                             {"ARRAYS", 18},
                                             {"LOOP DE LOOP", 13},
                                             {"STRINGS", 17},
                                             {"DICTIONARIES", 16},
                                             {"FUNCTIONS", 16},
                                             {"SWITCH", 12},
                                             {"TUPLES", 13},
                                             {"ENUMS", 17},
                                             {"STRUCTS", 19},
                                             {"CLASSES", 20},
                                             {"TIPS AND TRICKS", 14},
                                             {"CLOSURES", 13},
                                             {"EXTENSIONS", 5},
                                             {"PROPERTIES", 10},
                                             {"PROTOCOLS", 11},
                                             {"DELEGATES", 16},
                                             {"TYPE CASTING", 8},
                                             {"GENERICS", 9},
                                             {"MAP FILTER REDUCE", 24},
                                             {"SETS", 18},
                                             {"GUARD & DEFER", 14},
                                             {"ERROR HANDLING", 11}};
const std::vector<ExpectedChapter> kCpp = {{"C++ BASICS", 30},   {"TRUE OR FALSE", 13}, {"IF STATEMENTS", 13},
                                           {"LOOP DE LOOP", 14}, {"ARRAYS", 13},        {"POINTERS", 19},
                                           {"STRINGS", 17}};
const std::vector<ExpectedChapter> kSwiftUI = {
    {"SwiftUI Basics", 7},       {"Text View", 9}, {"Image View", 14},     {"View Stacks", 11},
    {"Handling User Input", 12}, {"List View", 6}, {"Navigation View", 5}, {"Alert View", 6}};

const std::vector<ExpectedChapter>& expectedFor(int code) {
    switch (code) {
    case 1:
        return kCpp;
    case 3:
        return kSwiftUI;
    default:
        return kSwift;
    }
}

class EditionTest : public ::testing::TestWithParam<Edition> {};

TEST_P(EditionTest, ChaptersHaveTheListedTitlesNumbersAndLessonCounts) {
    const auto& expected = expectedFor(GetParam().code);
    const auto& course = content::courseForEdition(GetParam().code);
    ASSERT_EQ(course.size(), expected.size());
    for (std::size_t i = 0; i < course.size(); ++i) {
        SCOPED_TRACE(expected[i].title);
        EXPECT_EQ(course[i].number, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(course[i].title, expected[i].title);
        EXPECT_EQ(course[i].lessonCount, expected[i].lessons);
    }
}

TEST_P(EditionTest, EveryWrittenBuilderAppendsExactlyItsLessonCountNumberedFromOne) {
    const auto& course = content::courseForEdition(GetParam().code);
    const auto& chapters = builtChapters(GetParam().code);
    ASSERT_EQ(chapters.size(), course.size());
    for (std::size_t i = 0; i < course.size(); ++i) {
        SCOPED_TRACE(std::string(course[i].title));
        EXPECT_EQ(chapters[i]->title, course[i].title);
        EXPECT_EQ(chapters[i]->number, course[i].number);
        if (!course[i].builder) {
            EXPECT_TRUE(chapters[i]->lessons.empty());
            continue;
        }
        ASSERT_EQ(chapters[i]->lessons.size(), static_cast<std::size_t>(course[i].lessonCount));
        for (std::size_t n = 0; n < chapters[i]->lessons.size(); ++n)
            EXPECT_EQ(chapters[i]->lessons[n]->number, static_cast<std::int64_t>(n + 1));
    }
}

// Ids that the course deliberately gives to two lessons, which then complete together. None so far.
const std::set<std::string> kSharedIds = {};

TEST_P(EditionTest, LessonIdsAreUniqueAndFollowTheChapter) {
    std::set<std::string> seen;
    const std::string prefix = GetParam().code == 1 ? "C++CH" : "CH";
    for (const auto& [chapter, lesson] : allLessons(GetParam().code)) {
        SCOPED_TRACE(lesson->lessonID);
        EXPECT_TRUE(seen.insert(lesson->lessonID).second || kSharedIds.contains(lesson->lessonID))
            << "duplicate id";
        EXPECT_NE(lesson->lessonID, "lessonZero");
        EXPECT_EQ(lesson->lessonID.rfind(prefix + std::to_string(chapter->number), 0), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(AllEditions, EditionTest, ::testing::ValuesIn(editions()),
                         [](const auto& info) { return editionTestName(info.param); });

TEST(SwiftEditions, ZovudEroBuildsTheSameCourseAsSwift) {
    const auto& swift = builtChapters(0);
    const auto& ero = builtChapters(2);
    ASSERT_EQ(swift.size(), ero.size());
    for (std::size_t i = 0; i < swift.size(); ++i) {
        ASSERT_EQ(swift[i]->lessons.size(), ero[i]->lessons.size());
        for (std::size_t n = 0; n < swift[i]->lessons.size(); ++n) {
            EXPECT_EQ(swift[i]->lessons[n]->lessonID, ero[i]->lessons[n]->lessonID);
            EXPECT_EQ(swift[i]->lessons[n]->acceptedAnswers, ero[i]->lessons[n]->acceptedAnswers);
        }
    }
}

TEST(SwiftEditions, ChapterNineHasTheIrregularIdBetweenEightAndNine) {
    const auto& chapters = builtChapters(0);
    ASSERT_GE(chapters.size(), 9u);
    const auto& lessons = chapters[8]->lessons;
    ASSERT_EQ(lessons.size(), 16u);
    EXPECT_EQ(lessons[7]->lessonID, "CH9L8");
    EXPECT_EQ(lessons[8]->lessonID, "CH9L8B");
    EXPECT_EQ(lessons[9]->lessonID, "CH9L9");
    EXPECT_EQ(lessons[15]->lessonID, "CH9L15");
}

} // namespace
