// Chapters 19 to 26 of the Swift course: the values the lesson screen and the learner record depend on
// (ids, accepted answers, colour rules, hidden lines), and what the real lesson screen does with them:
// the output Run shows, the answers it refuses and the hint it picks.
#include "tests/content/CourseFixture.hpp"
#include "tests/support/LessonScreenFixture.hpp"

#include "content/LessonForm.hpp"
#include "content/swift/StoredRules.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace content_test;

namespace {

const Chapter::Ptr& swiftChapter(int number) {
    return builtChapters(0).at(static_cast<std::size_t>(number - 1));
}

const Lesson& lessonOf(int chapter, int number) {
    return *swiftChapter(chapter)->lessons.at(static_cast<std::size_t>(number - 1));
}

int colouringRules(const Lesson& lesson) {
    return static_cast<int>(
        std::count_if(lesson.customStrings().begin(), lesson.customStrings().end(),
                      [&](const ColorRule& rule) { return content::paintsSomething(lesson, rule); }));
}

struct ChapterTable {
    int number;
    const char* title;
    std::vector<int> accepted;  // per lesson, the answer, duplicates and the shortcut included
    std::vector<int> stored;    // colour rules stored per lesson
    std::vector<int> colouring; // of them, the rules that colour something; empty where not fixed
};

const std::vector<ChapterTable> kTables = {
    {19,
     "PROTOCOLS",
     {2, 4, 1, 2, 8, 2, 9, 9, 4, 4, 9},
     {51, 55, 57, 72, 64, 76, 78, 81, 76, 66, 63},
     {16, 14, 6, 28, 15, 35, 12, 24, 10, 24, 5}},
    {20,
     "DELEGATES",
     {2, 3, 3, 3, 5, 3, 3, 6, 2, 7, 2, 3, 3, 3, 6, 2},
     {51, 60, 55, 61, 60, 59, 59, 62, 62, 61, 61, 64, 64, 64, 64, 60},
     {}},
    {21,
     "TYPE CASTING",
     {2, 2, 2, 2, 2, 5, 2, 3},
     {45, 67, 63, 61, 62, 47, 47, 47},
     {13, 26, 14, 20, 23, 14, 18, 6}},
    {22,
     "GENERICS",
     {6, 7, 5, 4, 3, 3, 2, 2, 8},
     {47, 48, 57, 57, 52, 53, 53, 56, 58},
     {18, 19, 23, 15, 20, 21, 7, 23, 13}},
    {23,
     "MAP FILTER REDUCE",
     {2, 2, 8, 10, 3, 3, 26, 5, 41, 2, 7, 2, 2, 2, 5, 3, 2, 3, 6, 5, 7, 6, 6, 5},
     {52, 52, 78, 78, 34, 34, 34, 35, 36, 33, 51, 43, 68, 44, 44, 44, 56, 41, 43, 48, 48, 47, 55, 55},
     {}},
    {24,
     "SETS",
     {3, 5, 5, 3, 3, 3, 2, 2, 7, 3, 5, 5, 5, 3, 5, 3, 3, 5},
     {52, 52, 52, 52, 57, 52, 53, 53, 57, 61, 68, 70, 70, 69, 73, 72, 73, 74},
     {}},
    {25,
     "GUARD & DEFER",
     {2, 2, 2, 2, 2, 2, 2, 2, 3, 2, 2, 2, 2, 2},
     {16, 15, 19, 20, 22, 23, 27, 24, 26, 20, 30, 25, 11, 11},
     {}},
    {26,
     "ERROR HANDLING",
     {2, 2, 2, 2, 5, 2, 3, 2, 2, 2, 2},
     {60, 64, 70, 78, 78, 80, 80, 78, 81, 85, 90},
     {}},
};

class Chapters19to26 : public ::testing::TestWithParam<ChapterTable> {};

TEST_P(Chapters19to26, IdsAnswersAndColourRulesFollowTheTable) {
    const auto& table = GetParam();
    const auto& chapter = swiftChapter(table.number);
    EXPECT_EQ(chapter->title, table.title);
    ASSERT_EQ(chapter->lessons.size(), table.accepted.size());
    for (std::size_t i = 0; i < chapter->lessons.size(); ++i) {
        const auto& lesson = *chapter->lessons[i];
        auto id = "CH" + std::to_string(table.number) + "L" + std::to_string(i + 1);
        SCOPED_TRACE(id);
        EXPECT_EQ(lesson.lessonID, id);
        EXPECT_EQ(lesson.number, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(lesson.acceptedAnswers.size(), static_cast<std::size_t>(table.accepted[i]));
        EXPECT_EQ(lesson.customStrings().size(), static_cast<std::size_t>(table.stored[i]));
        if (!table.colouring.empty()) {
            EXPECT_EQ(colouringRules(lesson), table.colouring[i]);
        }
    }
}

// The two-letter shortcut: the one course constant, after the answer in chapters 22 (first lesson) and
// 26, last everywhere else; every lesson of chapters 20 to 26 takes it, chapter 19 only in its last.
TEST_P(Chapters19to26, ShortcutIsTheCourseConstantInItsPlace) {
    const auto& table = GetParam();
    for (const auto& lesson : swiftChapter(table.number)->lessons) {
        SCOPED_TRACE(lesson->lessonID);
        const auto& answers = lesson->acceptedAnswers;
        for (const char* other : {"VM", "QZ"})
            EXPECT_EQ(std::count(answers.begin(), answers.end(), other), 0);
        auto at = std::find(answers.begin(), answers.end(), content::kShortcutAnswer);
        if (table.number == 19 && lesson->number != 11) {
            EXPECT_EQ(at, answers.end());
            continue;
        }
        ASSERT_NE(at, answers.end());
        bool second = table.number == 26 || lesson->lessonID == "CH22L1";
        EXPECT_EQ(at - answers.begin(), second ? 1 : static_cast<std::ptrdiff_t>(answers.size()) - 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Swift, Chapters19to26, ::testing::ValuesIn(kTables),
                         [](const auto& info) { return "Chapter" + std::to_string(info.param.number); });

// Chapter 22 stores its rules as listed, those that colour nothing included: x marks a rule that
// colours something in the lesson's own texts, . one that does not.
TEST(Chapter22Rules, EachRuleColoursExactlyWhereTheListSaysItDoes) {
    const std::vector<std::string> marks = {
        "x...xxxxx.......x.xxxx..x........xx.....xx..xx.",
        "xxx..xxxxx.......x.xxx............xx...xxx..xx..",
        "xxxxx..xxxx.xxx.............................xxxxxx.xx.xxx",
        "xxx.x..x..x..x.x......................xxxx..xx........x..",
        "x.....x..x......x.....xxxx........xx....xxxxxxxxxx..",
        "x.....x..x......x.....xxxx........xx....xxxxxxxxxxx..",
        "xx....x..x......x.................................xx.",
        "x.....x..x......x.................x.xxxxxxxxxxxxxxxxxx..",
        "xx.xxx.xx...........................................xxxxxx",
    };
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const auto& lesson = lessonOf(22, static_cast<int>(i + 1));
        ASSERT_EQ(lesson.customStrings().size(), marks[i].size()) << lesson.lessonID;
        for (std::size_t r = 0; r < marks[i].size(); ++r)
            EXPECT_EQ(content::paintsSomething(lesson, lesson.customStrings()[r]), marks[i][r] == 'x')
                << lesson.lessonID << " rule " << r << " [" << lesson.customStrings()[r].rangeOfString << "]";
    }
}

TEST(Chapters19to26Rules, TheAnswerRuleOfEveryHintIsTheLessonsOwnAnswer) {
    for (int number = 19; number <= 26; ++number)
        for (const auto& lesson : swiftChapter(number)->lessons) {
            // A blank on each side keeps chapter 26's one-word "catch" from colouring "catch-block".
            auto answer = lesson->lessonID == "CH26L8" ? " catch " : lesson->answer;
            auto rule = std::find_if(
                lesson->customStrings().begin(), lesson->customStrings().end(), [&](const ColorRule& r) {
                    return r.customStringSection == CustomStringSection::error && r.rangeOfString == answer;
                });
            ASSERT_NE(rule, lesson->customStrings().end()) << lesson->lessonID;
            EXPECT_TRUE(content::paintsSomething(*lesson, *rule))
                << lesson->lessonID << ": the hint does not show [" << answer << "]";
        }
}

// The task sentence ends the instruction's talk of lines and names the line of the answer field.
TEST(Chapters19to26Instructions, TheTaskNamesTheLineOfTheAnswerField) {
    for (int number = 19; number <= 26; ++number)
        for (const auto& lesson : swiftChapter(number)->lessons) {
            auto at = lesson->instruction.rfind("In line ");
            ASSERT_NE(at, std::string::npos) << lesson->lessonID;
            EXPECT_EQ(std::stoi(lesson->instruction.substr(at + 8)), lesson->textFieldInLine)
                << lesson->lessonID;
        }
}

TEST(Chapters19to26Layout, HiddenLinesAndTextsBesideTheField) {
    struct Layout {
        int chapter, lesson;
        std::int64_t lines, field;
        int texts; // line texts passed
        const char* before;
        std::optional<std::string> after;
    };
    for (const auto& c :
         {Layout{19, 1, 8, 4, 8, "class GameLevel:", "{"},
          Layout{19, 9, 2, 1, 2, "", " {"},
          Layout{20, 8, 10, 10, 10, "boss.delegate?.doWork(", ")"},
          Layout{20, 9, 1, 1, 10, "", "{"},
          Layout{20, 16, 10, 9, 10, "       ", R"(("Notified with " + data) })"},
          Layout{21, 2, 10, 6, 10, "   if let myDev = dev", "{"},
          Layout{21, 8, 3, 2, 3, "   override func viewDidLoad() { let skView =", std::nullopt},
          Layout{22, 4, 7, 3, 7, "   ", std::nullopt},
          Layout{22, 7, 4, 4, 10, "", "{"},
          Layout{23, 1, 6, 3, 8, "", "{"},
          Layout{23, 2, 9, 8, 9, "var squared2 = ", "{ $0 * $0 }"},
          Layout{23, 14, 5, 4, 5, "let f3 = tags.filter {  ", "}"},
          Layout{23, 18, 7, 5, 7, "   ", std::nullopt},
          Layout{24, 1, 2, 2, 8, "", std::nullopt},
          Layout{24, 2, 6, 3, 9, "", std::nullopt},
          Layout{24, 8, 3, 2, 3, "var set2 = ", std::nullopt},
          Layout{25, 1, 4, 2, 8, "", "{"},
          Layout{25, 13, 7, 1, 10, "", "{"},
          Layout{26, 6, 1, 1, 10, "", "{"},
          Layout{26, 7, 3, 2, 10, "   ", R"(ThreeLetterWord(word: "cat"))"},
          Layout{26, 8, 6, 4, 10, "} ", "WordError.length {"}}) {
        const auto& lesson = lessonOf(c.chapter, c.lesson);
        SCOPED_TRACE(lesson.lessonID);
        EXPECT_EQ(lesson.lines, c.lines);
        EXPECT_EQ(lesson.textFieldInLine, c.field);
        for (int k = 1; k <= 10; ++k)
            EXPECT_EQ(lesson.text1(k).has_value(), k <= c.texts) << "line " << k;
        EXPECT_EQ(lesson.text1(static_cast<int>(c.field)), c.before);
        EXPECT_EQ(lesson.text2(static_cast<int>(c.field)), c.after);
    }
}

// The real lesson screen, fed the built chapter.
class Chapters19to26Screen : public lessontest::LessonScreen {
  protected:
    void openLesson(int chapter, int number) {
        // Fresh objects: the screen writes into the lesson it shows.
        chapters_ = content::buildChapters(content::swiftCourse());
        open(chapters_.at(static_cast<std::size_t>(chapter - 1)), static_cast<std::size_t>(number - 1));
    }

  private:
    std::vector<Chapter::Ptr> chapters_;
};

struct OutputCase {
    int chapter, lesson;
    std::string typed;
    std::string printed;
};

TEST_F(Chapters19to26Screen, RunShowsWhatTheCodePrints) {
    const std::vector<OutputCase> cases = {
        {19, 4, "struct Shapes:Transformable", "20"},
        {19, 5, "class User:HasValidAddress,UserManager", "Run address checker."},
        {19, 6, "protocol SuperHuman:Human", "true"},
        {19, 8, "func eat ( food:A )", "I can eat: fish"},
        {20, 4, "ZQ", "I like Humans"},
        {20, 8, R"(job: "Build me an app.")", "Ok boss"},
        {21, 3, "devs[0] as! iOS", "Could not cast value of type 'Developer' to 'iOS'."},
        {21, 6, "Double ( myInt )", "15.0"},
        {22, 1, "printAll(items:myStrings)", "Ravo\nTesmo\nQuila"},
        {22, 1, "ZQ", "3\n5\n8"},
        {22, 2, "func printAll<T>( items:[T] )", "3\n5\n8"},
        {22, 5, R"(shoppingList.addItem("bananas"))", R"(List<String>(items: ["apples", "bananas"]))"},
        {22, 9, R"(equal(a:"Bill",b:"Ivy"))", "false"},
        {22, 9, "equal(a: 1,b: 1)", "true"},
        {22, 9, "ZQ", "true"},
        {23, 4, "({print($0)})", "Amy\nBob\nDrew"},
        {23, 7, "kilos.map({kilo in return kilo*2.2})", "[11.0, 22.0, 44.0, 66.0]"},
        {23, 18, "$0+String($1)", "12345678910"},
        {23, 19, R"(let text=ids.reduce("",+))", "a1b2c3"},
        {24, 5, R"(if myCoins.contains( "BTC" ))", "My bitcoins are safe!"},
        {24, 6, R"(myCoins.remove("BTC"))", "My bitcoins are gone! \xF0\x9F\x98\xA1"},
        {24, 15, "let isSubset=set2.isSubset(of:set1)", "Set 2 is a subset of set 1: false"},
        {25, 6, "ZQ", "Everyone gets $20.0"},
        {25, 9, "break", "2\n3\nNumber is nil"},
        {25, 9, "continue", "2\n3\nNumber is nil\n4"},
        {25, 9, "ZQ", "2\n3\nNumber is nil"},
        {25, 14, "defer", "I am last but first to run\nI am first but last to run"},
        {26, 8, "ZQ", "You need to add a 3 letter word."},
        {26, 11, "catch SignUpError.insecurePassword", "Your password needs 8 characters or more."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("CH" + std::to_string(c.chapter) + "L" + std::to_string(c.lesson) + " [" + c.typed +
                     "]");
        openLesson(c.chapter, c.lesson);
        type(c.typed);
        ASSERT_TRUE(screen->answerIsCorrect);
        screen->runButtonPressed();
        EXPECT_EQ(screen->debugMessageLabel->text(), c.printed);
        EXPECT_FALSE(screen->answerView->isHidden());
    }
}

struct Refusal {
    int chapter, lesson;
    std::string typed;
};

TEST_F(Chapters19to26Screen, NearMissesAndInvalidFormsAreRefused) {
    const std::vector<Refusal> cases = {
        {19, 1, ": BossLevel"},
        {19, 3, "func spin ()"},
        {19, 5, "class User : UserManager, HasValidAddress"},
        {19, 7, "func eat(food : A)"},
        {19, 8, "func eat(food : A)"},
        {20, 4, "person.delegate= Alien()"}, // = needs the same blanks on both sides
        {21, 2, "as?iOS"},
        {21, 6, "Double(myInt )"},
        {22, 7, "extension List<T>"},
        {23, 6, "var items=priceList.map"},
        {23, 11, "print(s6)"}, // the code declares no s6
        {24, 3, R"(var myStocks: Set(["AAPL"]))"},
        {24, 5, R"(if myCoins.contains("BTC") {)"},
        {24, 7, "let userCount=usernames.count"},
        {24, 14, "let set1Uniques = set2.subtracting(set1)"},
        {24, 16, "print(set1.isStrictSubset(of: set2))"},
        {25, 5, "maxTemp > temperature"}, // a condition alone is no guard statement
        {25, 5, "guard maxTemp > temperature else"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("CH" + std::to_string(c.chapter) + "L" + std::to_string(c.lesson) + " [" + c.typed +
                     "]");
        openLesson(c.chapter, c.lesson);
        type(c.typed);
        EXPECT_FALSE(screen->answerIsCorrect);
        EXPECT_TRUE(checkmark().isHidden());
    }
}

TEST_F(Chapters19to26Screen, AColonAloneAsksForTheEncouragementAnyOtherSlipForTheSteps) {
    std::vector<std::pair<int, int>> lessons = {{19, 1}, {20, 1}, {21, 1}, {22, 1},
                                                {23, 1}, {24, 1}, {25, 1}};
    for (int number = 1; number <= 11; ++number)
        lessons.emplace_back(26, number);
    for (const auto& [chapter, number] : lessons) {
        SCOPED_TRACE("CH" + std::to_string(chapter) + "L" + std::to_string(number));
        openLesson(chapter, number);
        type(":");
        EXPECT_FALSE(screen->answerIsCorrect);
        screen->errorButtonPressed();
        EXPECT_EQ(screen->helpViewTitleLabel->text(), "Stuck?");
        erase();
        type("@");
        screen->errorButtonPressed();
        EXPECT_EQ(screen->helpViewTitleLabel->text(), "Stuck? Break it down!");
    }
}

} // namespace
