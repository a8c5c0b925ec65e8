// The C++ course against its lists: ids and challenge series, colour-rule counts, the accepted-answer
// lists (their lengths, entries that must and must not be there, the blankless forms), chapter 1's
// wrong-answer hints, and the answer that holds a null character.
#include "tests/content/CourseFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace content_test;

namespace {

const Chapter& chapter(std::int64_t number) {
    return *builtChapters(1).at(static_cast<std::size_t>(number - 1));
}

const Lesson& lesson(const std::string& id) {
    for (const auto& [chapter, lesson] : allLessons(1))
        if (lesson->lessonID == id) return *lesson;
    throw std::out_of_range(id);
}

bool accepts(const Lesson& lesson, const std::string& text) {
    return std::find(lesson.acceptedAnswers.begin(), lesson.acceptedAnswers.end(), text) !=
           lesson.acceptedAnswers.end();
}

std::string withoutBlanks(std::string text) {
    std::erase(text, ' ');
    return text;
}

TEST(CppCourse, ChapterOneKeepsItsNamedIdsAndEveryLessonHasItsOwn) {
    // clang-format off
    const std::vector<std::string> expected = {
        "C++CH1L1", "C++CH1L2", "C++CH1L3", "C++CH1L4", "C++CH1L5", "C++CH1L6", "C++CH1L Adding Ints",
        "C++CH1L Print Sum", "C++CH1L Comments", "C++CH1LRemember", "C++CH1LNamespace", "C++CH1LNamespace2",
        "C++CH1LIntNamespace", "C++CH1LCaseSensitivity", "C++CH1LAssigningInts", "C++CH1LSimpleAddition",
        "C++CH1L+=", "C++CH1LDivision", "C++CH1L++", "C++CH1LPrefixPostFix",
        "C++CH1Challenge1a", "C++CH1Challenge1b", "C++CH1Challenge1c", "C++CH1Challenge1d",
        "C++CH1Challenge2a", "C++CH1Challenge2b", "C++CH1Challenge2c", "C++CH1Challenge2d",
        "C++CH1Challenge2e", "C++CH1Challenge2f"};
    // clang-format on
    std::vector<std::string> ids;
    for (const auto& l : chapter(1).lessons)
        ids.push_back(l->lessonID);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(chapter(1).lessons[20]->title, "Challenge 1 - Step 1");
    EXPECT_EQ(chapter(1).lessons[29]->title, "Challenge 2 - Step 6");
}

// Chapters 2 to 4 number their challenges on as lessons; 5 to 7 give them a series of their own.
TEST(CppCourse, LaterChaptersNumberLessonsThenTheirChallengeSeries) {
    struct Series {
        std::int64_t chapter;
        std::size_t lessons;    // before the challenge series
        std::size_t challenges; // in it
    };
    for (const auto& [number, lessons, challenges] :
         std::vector<Series>{{2, 13, 0}, {3, 13, 0}, {4, 14, 0}, {5, 8, 5}, {6, 13, 6}, {7, 12, 5}}) {
        const auto& all = chapter(number).lessons;
        ASSERT_EQ(all.size(), lessons + challenges) << "chapter " << number;
        const std::string prefix = "C++CH" + std::to_string(number);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const bool challenge = i >= lessons;
            const auto position = challenge ? i - lessons + 1 : i + 1;
            EXPECT_EQ(all[i]->lessonID, prefix + (challenge ? "C" : "L") + std::to_string(position));
            EXPECT_EQ(all[i]->number, static_cast<std::int64_t>(i + 1)) << all[i]->lessonID;
            if (challenge) {
                EXPECT_EQ(all[i]->title, "Challenge " + std::to_string(position));
            }
        }
    }
}

TEST(CppCourse, LessonsStoreTheirNumberOfColourRules) {
    const std::map<std::int64_t, std::vector<std::size_t>> counts = {
        {1, {9, 8, 7, 3, 3, 3, 7, 5, 12, 9, 10, 8, 7, 14, 3, 5, 4, 3, 3, 14, 3, 6, 8, 10, 3, 4, 5, 5, 6, 8}},
        {2, {16, 25, 33, 33, 28, 28, 28, 29, 32, 30, 33, 34, 34}},
        {3, {37, 40, 42, 45, 51, 49, 48, 45, 49, 49, 51, 51, 57}},
        {4, {39, 39, 37, 38, 41, 52, 48, 45, 40, 37, 39, 40, 42, 42}},
        {5, {40, 36, 43, 46, 46, 46, 50, 48, 45, 45, 45, 44, 44}},
        {6, {24, 19, 18, 16, 9, 10, 13, 16, 14, 16, 19, 16, 30, 5, 5, 9, 6, 6, 7}},
        {7, {54, 48, 42, 49, 47, 29, 20, 20, 32, 26, 24, 31, 31, 44, 31, 31, 34}},
    };
    for (const auto& [number, expected] : counts) {
        const auto& all = chapter(number).lessons;
        ASSERT_EQ(all.size(), expected.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            EXPECT_EQ(all[i]->customStrings().size(), expected[i]) << all[i]->lessonID;
    }
}

TEST(CppCourse, LongAnswerListsHoldAllTheirEntries) {
    const std::map<std::string, std::size_t> sizes = {{"C++CH1LCaseSensitivity", 12},
                                                      {"C++CH2L12", 36},
                                                      {"C++CH2L13", 10},
                                                      {"C++CH3L4", 12},
                                                      {"C++CH3L9", 18},
                                                      {"C++CH3L13", 11},
                                                      {"C++CH4L8", 14},
                                                      {"C++CH4L9", 16},
                                                      {"C++CH4L11", 41},
                                                      {"C++CH5L5", 38},
                                                      {"C++CH5L7", 65},
                                                      {"C++CH5C3", 37},
                                                      {"C++CH6L4", 9},
                                                      {"C++CH6C2", 12},
                                                      {"C++CH7L10", 14},
                                                      {"C++CH7L11", 29},
                                                      {"C++CH7L12", 37},
                                                      {"C++CH7C3", 11}};
    for (const auto& [id, size] : sizes)
        EXPECT_EQ(lesson(id).acceptedAnswers.size(), size) << id;
}

struct AnswerCase {
    const char* id;
    const char* text;
    bool accepted;
};

TEST(CppCourse, AcceptsTheListedFormsAndNoOthers) {
    const AnswerCase cases[] = {
        {"C++CH1L2", "<<endl", true},
        {"C++CH1L2", "<<std:endl", false}, // not C++: dropped
        {"C++CH1L5", "std:int myFirstInt;", true},
        {"C++CH1L5", "intmyFirstInt;", false},
        {"C++CH1L++", "x++;", true},
        {"C++CH2L6", "locked&&alarmOn", true},
        {"C++CH2L12", "a == b&&b == c;", false},
        {"C++CH3L4", "( locked == false )", true},
        {"C++CH4L1", "x=1+x", true},
        {"C++CH4L1", "x--", false},
        {"C++CH4L7", "1", false},
        {"C++CH4L8", "(atHome&&temperature<21)", true},
        {"C++CH4L8", "( temperature < 21 || atHome )", false},
        {"C++CH4L14", "while(trackWorkout){", true},
        {"C++CH5L5", "(int x=0;x<=9;++x)", true},
        {"C++CH5L5", "(int x = 0; x < 10; x += 1)", false},
        {"C++CH5C3", "for (int x=0;x<100 x++)", false}, // not C++: dropped
        {"C++CH5C5", "cout<<numbers[99];", true},
        {"C++CH6L4", "int * myPtr=&myNumber;", true},
        {"C++CH6L4", "int*myPtr = &myNumber;", false},
        {"C++CH1L4", R"(cout<<"IloveC++";)", false}, // not the same text: dropped
        {"C++CH6L8", "newint;", false},              // not C++: dropped
        {"C++CH6L9", "deletepValue;", false},        // not C++: dropped
        {"C++CH6L11", "delete[] arrPtr;", true},
        {"C++CH6L11", "delete arrPtr;", false},
        {"C++CH6L11", "delete []arrPtr;", false},
        {"C++CH6C2", "cout<<*vPtr<<endl;", true},
        {"C++CH6C2", "std::cout << *vPtr << endl;", false},
        {"C++CH6C3", "*v1Ptr = 2 * *v2Ptr;", true},
        {"C++CH6C3", "*v1Ptr = 2 * (*v2Ptr);", false},
        {"C++CH6C4", "double*tempPtr=newdouble;", false},
        {"C++CH7L8", "myStr", true},
        {"C++CH7C1", "note+=emotions[2];", true},
        {"C++CH7C1", "note += emotions[3];", false},
        {"C++CH7C2", R"(char str[]="C++";)", true},
        {"C++CH7C3", "(std::string::npos != s1.find(s2))", true},
        {"C++CH7C3", "s1.find(s2) != std::string::npos", false},
    };
    for (const auto& [id, text, accepted] : cases)
        EXPECT_EQ(accepts(lesson(id), text), accepted) << id << " [" << text << "]";
}

// Where the course accepts the answer typed without blanks, it is the first entry after the answer.
TEST(CppCourse, BlanklessFormsFollowTheAnswer) {
    // clang-format off
    const char* ids[] = {
        "C++CH1L1", "C++CH1L2", "C++CH1L3", "C++CH1L6", "C++CH1L Comments", "C++CH1LNamespace",
        "C++CH1LNamespace2", "C++CH1LCaseSensitivity", "C++CH1LSimpleAddition", "C++CH1L+=", "C++CH1L++",
        "C++CH1LPrefixPostFix", "C++CH1Challenge2c", "C++CH1Challenge2d", "C++CH1Challenge2e", "C++CH2L6",
        "C++CH2L7", "C++CH2L11", "C++CH2L12", "C++CH2L13", "C++CH3L2", "C++CH3L4", "C++CH3L5", "C++CH3L6",
        "C++CH3L7", "C++CH3L8", "C++CH3L9", "C++CH3L11", "C++CH3L12", "C++CH3L13", "C++CH4L4", "C++CH4L5",
        "C++CH4L6", "C++CH4L8", "C++CH4L9", "C++CH4L11", "C++CH4L12", "C++CH4L13", "C++CH4L14", "C++CH5L2",
        "C++CH5L4", "C++CH5L8", "C++CH5C4", "C++CH5C5", "C++CH6L1", "C++CH6L2", "C++CH6L3", "C++CH6L4",
        "C++CH6L5", "C++CH6L6", "C++CH6L7", "C++CH6L10", "C++CH6L11", "C++CH6L12",
        "C++CH6L13", "C++CH6C1", "C++CH6C3", "C++CH6C5", "C++CH7L2", "C++CH7L4", "C++CH7L9", "C++CH7L10",
        "C++CH7C1", "C++CH7C3"};
    // clang-format on
    for (const char* id : ids) {
        const auto& l = lesson(id);
        ASSERT_GE(l.acceptedAnswers.size(), 2u) << id;
        EXPECT_EQ(l.acceptedAnswers[1], withoutBlanks(l.answer)) << id;
    }
}

// Chapter 1's wrong-answer hints, after the general hint, in order: title, errorString, contains.
TEST(CppCourse, ChapterOneKeepsItsWrongAnswerHints) {
    struct Wrong {
        std::string title, errorString;
        bool contains;
        bool operator==(const Wrong&) const = default;
    };
    const std::map<std::string, std::vector<Wrong>> expected = {
        {"C++CH1L1", {{"Stuck?", "\"", false}, {"Stuck?", "\"h", true}}},
        {"C++CH1L2", {{"Oops...", "\"", true}}},
        {"C++CH1L6", {{"Stuck?", "\"", false}}},
    };
    for (const auto& l : chapter(1).lessons) {
        std::vector<Wrong> found;
        for (std::size_t i = 1; i < l->errors.size(); ++i)
            found.push_back({l->errors[i].title.str(), l->errors[i].errorString.value_or("").str(),
                             l->errors[i].contains.value_or(false)});
        const auto listed = expected.find(l->lessonID.str());
        EXPECT_TRUE(found == (listed == expected.end() ? std::vector<Wrong>{} : listed->second))
            << l->lessonID;
    }
    EXPECT_EQ(lesson("C++CH1L6").errors.at(1).message,
              "Remember to always put Strings in quotes \n \"Hello world\"");
}

TEST(CppCourse, TheNullCharacterAnswerIsKeptWhole) {
    using namespace std::string_literals;
    const auto& challenge = lesson("C++CH7C2");
    EXPECT_EQ(challenge.answer, "char str[4] = {'C','+','+','\0'};"s);
    ASSERT_GE(challenge.acceptedAnswers.size(), 3u);
    EXPECT_EQ(challenge.acceptedAnswers[1], challenge.answer);
    EXPECT_EQ(challenge.acceptedAnswers[2], "char str[4]={'C','+','+','\0'};"s);
    // The colour rule that paints the answer in the hint carries the whole answer too.
    EXPECT_TRUE(std::any_of(challenge.customStrings().begin(), challenge.customStrings().end(),
                            [&](const ColorRule& rule) { return rule.rangeOfString == challenge.answer; }));
}

} // namespace
