// Chapters 10 to 18 of the Swift course: the values the lesson screen and the learner record depend
// on (ids, shown lines, accepted answers, outputs, colour rules), checked against the course tables.
#include "content/Courses.hpp"
#include "content/LessonForm.hpp"
#include "content/swift/StoredRules.hpp"
#include "content/swift/SwiftChapter17.hpp"
#include "content/swift/SwiftCourse.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

Chapter::Ptr freshlyBuilt(int number) {
    for (const auto& entry : content::swiftCourse())
        if (entry.number == number) {
            auto chapter = Chapter::make(std::string(entry.title), entry.number);
            entry.builder(*chapter);
            return chapter;
        }
    return nullptr;
}

// Built once per test binary and kept, so references into it stay valid; tests only read it.
const Chapter::Ptr& built(int number) {
    static std::map<int, Chapter::Ptr> chapters;
    auto& chapter = chapters[number];
    if (!chapter) chapter = freshlyBuilt(number);
    return chapter;
}

const Lesson& lessonOf(const Chapter::Ptr& chapter, int number) {
    return *chapter->lessons.at(number - 1);
}

// The printed value and the success text Run shows for `typed`, through the answer-key lookup.
struct Run {
    std::string printed;
    std::string success;
};

Run runWith(Lesson lesson, const std::string& typed) { // a copy: the lookup writes answerKey
    lesson.userAnswer = typed;
    lesson.answerKey.reset();
    lesson.findAnswerKey();
    if (!lesson.answerKey) return {"<no key>", "<no key>"};
    return {*lesson.answerDebugMessageLabelDictionary->find(*lesson.answerKey),
            *lesson.answerDebugSuccessMessageDictionary->find(*lesson.answerKey)};
}

struct ChapterCounts {
    int number;
    const char* title;
    std::vector<int> accepted; // per lesson, the answer included
    std::vector<int> rules;    // colour rules stored per lesson
};

const std::vector<ChapterCounts> kCounts = {
    {10, "SWITCH", {2, 1, 1, 1, 2, 1, 3, 1, 2, 3, 2, 13}, {21, 18, 29, 30, 20, 24, 20, 15, 32, 22, 16, 20}},
    {11,
     "TUPLES",
     {2, 2, 2, 3, 2, 3, 2, 2, 2, 4, 4, 4, 4},
     {20, 17, 18, 27, 26, 24, 17, 31, 25, 9, 13, 16, 21}},
    {12,
     "ENUMS",
     {1, 1, 12, 2, 3, 6, 12, 6, 1, 4, 1, 2, 4, 4, 2, 5, 4},
     {11, 13, 11, 12, 14, 17, 23, 35, 39, 18, 18, 27, 22, 5, 11, 12, 14}},
    {13,
     "STRUCTS",
     {2, 2, 2, 2, 2, 3, 2, 2, 8, 3, 1, 1, 2, 2, 2, 2, 2, 4, 4},
     {8, 15, 9, 23, 21, 22, 22, 22, 26, 19, 24, 5, 5, 7, 10, 10, 9, 11, 19}},
    {14,
     "CLASSES",
     {2, 2, 2, 2, 1, 4, 2, 1, 2, 2, 7, 10, 10, 4, 1, 2, 2, 8, 2, 2},
     {8, 21, 21, 21, 18, 23, 26, 25, 15, 25, 20, 26, 22, 18, 21, 25, 25, 25, 25, 25}},
    {15,
     "TIPS AND TRICKS",
     {3, 2, 1, 1, 3, 2, 1, 4, 8, 4, 2, 2, 2, 4},
     {13, 14, 20, 16, 25, 15, 16, 28, 15, 18, 19, 66, 66, 130}},
    {16,
     "CLOSURES",
     {5, 9, 1, 1, 2, 2, 2, 2, 2, 3, 2, 6, 1},
     {10, 13, 14, 16, 15, 18, 20, 19, 19, 18, 20, 19, 15}},
    {17, "EXTENSIONS", {3, 2, 1, 2, 4}, {12, 22, 16, 16, 15}},
    {18, "PROPERTIES", {8, 2, 6, 4, 2, 4, 15, 2, 2, 2}, {54, 54, 56, 57, 58, 72, 74, 81, 81, 81}},
};

class Chapters10to18 : public ::testing::TestWithParam<ChapterCounts> {};

TEST_P(Chapters10to18, IdsNumbersAcceptedAnswersAndRuleCountsFollowTheTable) {
    const auto& expected = GetParam();
    auto chapter = built(expected.number);
    ASSERT_TRUE(chapter);
    EXPECT_EQ(chapter->title, expected.title);
    ASSERT_EQ(chapter->lessons.size(), expected.accepted.size());
    for (std::size_t i = 0; i < chapter->lessons.size(); ++i) {
        const auto& lesson = *chapter->lessons[i];
        auto id = "CH" + std::to_string(expected.number) + "L" + std::to_string(i + 1);
        SCOPED_TRACE(id);
        EXPECT_EQ(lesson.lessonID, id);
        EXPECT_EQ(lesson.number, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(lesson.acceptedAnswers.size(), static_cast<std::size_t>(expected.accepted[i]));
        EXPECT_EQ(lesson.customStrings().size(), static_cast<std::size_t>(expected.rules[i]));
    }
}

TEST_P(Chapters10to18, ShortcutIsTheCourseConstantAndComesLast) {
    auto chapter = built(GetParam().number);
    for (const auto& lesson : chapter->lessons) {
        const auto& answers = lesson->acceptedAnswers;
        EXPECT_EQ(std::count(answers.begin(), answers.end(), "VM"), 0) << lesson->lessonID;
        auto at = std::find(answers.begin(), answers.end(), content::kShortcutAnswer);
        if (at != answers.end()) {
            EXPECT_EQ(at + 1, answers.end()) << lesson->lessonID;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Swift, Chapters10to18, ::testing::ValuesIn(kCounts),
                         [](const auto& info) { return "Chapter" + std::to_string(info.param.number); });

TEST(Chapters10to18Shortcut, OnlyTheListedLessonsAcceptIt) {
    std::vector<std::string> withShortcut;
    for (int number = 10; number <= 18; ++number)
        for (const auto& lesson : built(number)->lessons)
            if (std::count(lesson->acceptedAnswers.begin(), lesson->acceptedAnswers.end(),
                           content::kShortcutAnswer))
                withShortcut.push_back(lesson->lessonID);
    EXPECT_EQ(withShortcut, (std::vector<std::string>{"CH15L1", "CH15L12", "CH15L13", "CH15L14", "CH16L2"}));
}

// Run after a right answer: the printed value follows what the code prints with that answer.
struct OutputCase {
    int chapter;
    int lesson;
    std::string typed;
    std::string printed;
};

class Chapters10to18Output : public ::testing::TestWithParam<OutputCase> {};

TEST_P(Chapters10to18Output, PrintsWhatTheCodePrints) {
    const auto& c = GetParam();
    auto chapter = built(c.chapter);
    const auto& lesson = lessonOf(chapter, c.lesson);
    ASSERT_TRUE(std::count(lesson.acceptedAnswers.begin(), lesson.acceptedAnswers.end(), c.typed)) << c.typed;
    EXPECT_EQ(runWith(lesson, c.typed).printed, c.printed);
}

INSTANTIATE_TEST_SUITE_P(
    Swift, Chapters10to18Output,
    ::testing::Values(
        OutputCase{11, 3, "print(myPoint.x)", "2.0"}, OutputCase{11, 3, "print(myPoint.y)", "3.0"},
        OutputCase{11, 6, "(avg:Int,sum:Int)", "(avg: 11, sum: 33)"},
        OutputCase{11, 13, "case let(_,s) where s>120:", "Speeding"},
        OutputCase{12, 6, "RelationshipStatus.other", "other"},
        OutputCase{12, 7, "myDirections = Directions.cycling", "cycling"},
        OutputCase{12, 7, "myDirections=.transit", "transit"}, OutputCase{12, 10, ", six=6", "2"},
        OutputCase{12, 8, "let status=FlightStatus.cancelled", "Flight cancelled"},
        OutputCase{13, 2, ".title", "Study Swift"},
        OutputCase{13, 2, ".note", "Complete chapter on structs."},
        OutputCase{13, 6, "myShoppingList.items+=[\"candy\"]", "[\"eggs\", \"ham\", \"candy\"]"},
        OutputCase{14, 13, "self.position.y += -1", "(x: 0, y: -1)"},
        OutputCase{14, 13, "position.y = position.y - 1", "(x: 0, y: -1)"},
        OutputCase{15, 10, "array2 + array1", "[5, 6, 7, 2, 3, 4]"},
        OutputCase{15, 10, "array1+array2", "[2, 3, 4, 5, 6, 7]"},
        OutputCase{10, 12, "case let cs where cs / speedLimit > 1.2:", "Reckless driver"},
        OutputCase{18, 8, "didSet", "100"}, OutputCase{18, 8, "willSet", "500"}));

TEST(Chapters10to18Output, FixedPrintValuesNeedNoDictionary) {
    // Debugger view without labels shows the print value itself, whatever right answer was typed.
    struct Fixed {
        int chapter, lesson;
        const char* printed;
    };
    for (auto [chapter, number, printed] :
         {Fixed{15, 1, "24"}, Fixed{15, 7, "Eve is present"}, Fixed{15, 14, "Hi \nHere is the new line"},
          Fixed{16, 2, "7"}, Fixed{18, 5, "Area = 43.30127018922193"}, Fixed{18, 6, "Speed in km/h: 40.0"},
          Fixed{18, 7, "250.0"}}) {
        const auto& lesson = lessonOf(built(chapter), number);
        SCOPED_TRACE(lesson.lessonID);
        EXPECT_TRUE(lesson.debuggerView);
        EXPECT_FALSE(lesson.answerDebugMessageLabelDictionary.has_value());
        EXPECT_EQ(lesson.debuggerPrintValue, printed);
    }
}

TEST(Chapters10to18Chapter17, RandomLessonPrintsTheInjectedDrawsPerForm) {
    std::vector<std::uint32_t> bounds;
    auto chapter = Chapter::make("EXTENSIONS", 17);
    buildSwiftChapter17(*chapter, [&](std::uint32_t bound) {
        bounds.push_back(bound);
        return bound == 101 ? 42u : 7u;
    });
    EXPECT_EQ(bounds, (std::vector<std::uint32_t>{101, 51})) << "r1 below 101 first, then r2 below 51";
    const auto& lesson = lessonOf(chapter, 5);
    EXPECT_EQ(runWith(lesson, "Int.random(max: 100)").printed, "42");
    EXPECT_EQ(runWith(lesson, "Int.random(max:100)").printed, "42");
    EXPECT_EQ(runWith(lesson, "Int.random(min: 50, max: 100)").printed, "57");
    EXPECT_EQ(runWith(lesson, "Int.random(min:50,max:100)").printed, "57");
}

TEST(Chapters10to18Chapter17, SystemDrawsStayInTheirRanges) {
    for (int run = 0; run < 50; ++run) {
        auto chapter = freshlyBuilt(17);
        const auto& lesson = lessonOf(chapter, 5);
        auto upTo100 = std::stoi(runWith(lesson, "Int.random(max: 100)").printed);
        auto from50 = std::stoi(runWith(lesson, "Int.random(min: 50, max: 100)").printed);
        EXPECT_GE(upTo100, 0);
        EXPECT_LE(upTo100, 100);
        EXPECT_GE(from50, 50);
        EXPECT_LE(from50, 100);
    }
}

TEST(Chapters10to18Chapter18, SetterLessonDerivesItsBlankFreeForm) {
    const auto& lesson = lessonOf(built(18), 7);
    ASSERT_EQ(lesson.acceptedAnswers.size(), 15u);
    EXPECT_EQ(lesson.acceptedAnswers.back(), "set{x=newValue/2}");
    EXPECT_EQ(std::count(lesson.acceptedAnswers.begin(), lesson.acceptedAnswers.end(), lesson.answer), 2);
    EXPECT_EQ(
        std::count(lesson.acceptedAnswers.begin(), lesson.acceptedAnswers.end(), "set {x = newValue/2}"), 2);
}

int occurringRules(const Lesson& lesson) {
    return static_cast<int>(
        std::count_if(lesson.customStrings().begin(), lesson.customStrings().end(),
                      [&](const auto& rule) { return content::paintsSomething(lesson, rule); }));
}

TEST(Chapters10to18Colours, RulesThatColourSomethingMatchTheTables) {
    const std::map<int, std::vector<int>> occurring = {
        {15, {7, 14, 17, 15, 21, 15, 14, 28, 12, 17, 13, 21, 12, 5}},
        {18, {19, 33, 23, 25, 35, 34, 31, 34, 27, 14}},
    };
    for (const auto& [number, counts] : occurring) {
        auto chapter = built(number);
        for (std::size_t i = 0; i < counts.size(); ++i)
            EXPECT_EQ(occurringRules(*chapter->lessons[i]), counts[i]) << chapter->lessons[i]->lessonID;
    }
}

TEST(Chapters10to18Layout, HiddenLinesAndTextsBesideTheField) {
    struct Layout {
        int chapter, lesson;
        std::int64_t lines, field;
        int texts; // line texts passed
        const char* before;
        std::optional<std::string> after;
        const char* placeholder;
    };
    for (const auto& c : {Layout{10, 1, 7, 5, 7, "   case 30: ", std::nullopt, " Tap to answer "},
                          Layout{10, 8, 6, 2, 6, "", "{", "Tap to Answer"},
                          Layout{11, 9, 10, 3, 10, "   ", "list.enumerated() {", "Tap to Answer"},
                          Layout{12, 12, 8, 5, 8, "       return", std::nullopt, "Tap to Answer"},
                          Layout{13, 2, 9, 9, 9, "print(firstToDoItem", ")", " Tap to answer "},
                          Layout{14, 16, 5, 5, 10, "", "{", " Tap to answer "},
                          Layout{14, 19, 8, 8, 10, "       ", std::nullopt, " Tap to answer "},
                          Layout{15, 12, 9, 9, 10, "", std::nullopt, "Tap to answer"},
                          Layout{16, 7, 6, 3, 6, "   ", std::nullopt, "  (value: Double) -> Double in "},
                          Layout{16, 12, 3, 2, 4, "let numberSum = numbers", std::nullopt, " Tap to answer "},
                          Layout{17, 5, 8, 7, 8, "let randomInt = ", std::nullopt, "Tap to Answer"},
                          Layout{18, 2, 10, 3, 10, "   ", "= {", "Tap to answer"},
                          Layout{18, 3, 9, 3, 10, "   ", std::nullopt, "Tap to answer"}}) {
        const auto& lesson = lessonOf(built(c.chapter), c.lesson);
        SCOPED_TRACE(lesson.lessonID);
        EXPECT_EQ(lesson.lines, c.lines);
        EXPECT_EQ(lesson.textFieldInLine, c.field);
        for (int k = 1; k <= 10; ++k)
            EXPECT_EQ(lesson.text1(k).has_value(), k <= c.texts) << "line " << k;
        EXPECT_EQ(lesson.text1(static_cast<int>(c.field)), c.before);
        EXPECT_EQ(lesson.text2(static_cast<int>(c.field)), c.after);
        EXPECT_EQ(lesson.textFieldFormatting.placeholderText, c.placeholder);
    }
}

} // namespace
