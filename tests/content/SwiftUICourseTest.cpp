// The SwiftUI course: every lesson against the course table (code layout, answer, variants, keyboard,
// hint, colour rules), the set-up all its lessons share, the shown code's brackets, and the answers as
// the lesson screen judges them.
#include "content/swiftui/SwiftUIColors.hpp"
#include "tests/content/CourseFixture.hpp"
#include "tests/support/LessonScreenFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace content_test;

namespace {

constexpr int kSwiftUI = 3;

std::string sp(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

struct Row {
    const char* id;
    const char* title;
    int given; // line texts handed to the initializer
    int shown;
    int field;
    std::string before;
    std::optional<std::string> after;
    const char* answer;
    int variants; // own accepted variants, between the answer and the shortcut
    std::vector<std::string> words;
    int steps; // numbered hint steps; 0 for a one-sentence hint
    std::size_t rules;
};

const std::string Q = "\"";
const std::vector<std::string> kParens = {"(", ".", ")"};

// clang-format off
const std::vector<Row> kRows = {
    {"CH1L1", "SwiftUI Framework", 8, 1, 1, "", {}, "import SwiftUI", 0, {}, 2, 60},
    {"CH1L2", "View protocol", 8, 2, 2, "struct ContentView :", "{", "View", 0, {}, 1, 66},
    {"CH1L3", "Some View", 8, 6, 4, "       Text(", ")", R"("Hello World")", 2, {Q, ":", "!"}, 1, 67},
    {"CH1L4", "Modifiers", 8, 8, 6, "           .color(", ")", ".red", 0, {".", ":", "!"}, 2, 71},
    {"CH1L5", "View Stacks", 8, 8, 6, sp(11), {}, R"(Text("Chapter 1"))", 5, {"(", Q, ")"}, 2, 75},
    {"CH1L6", "View Stacks & Modifiers", 10, 10, 8, sp(15), {}, ".font(.subheadline)", 5, kParens, 2, 75},
    {"CH1L7", "What is the 'some' keyword?", 10, 3, 3, "   var body: ", {}, "some View", 0, kParens, 0, 75},
    {"CH2L1", "Static Text View", 8, 6, 4, sp(7), {}, R"(Text("SwiftUI is awesome"))", 6, {}, 2, 62},
    {"CH2L2", "Text Modifiers", 8, 2, 2, sp(3), {}, ".font(.title)", 5, kParens, 2, 68},
    {"CH2L3", "Multiple modifiers", 8, 3, 3, sp(3), {}, ".bold()", 3, kParens, 1, 69},
    {"CH2L4", "Multiline Text View", 8, 2, 2, sp(3), {}, ".linelimit(2)", 6, kParens, 2, 69},
    {"CH2L5", "Unlimited Lines", 8, 2, 2, sp(3), {}, ".linelimit(nil)", 6, kParens, 2, 69},
    {"CH2L6", "Truncating Text", 8, 2, 2, sp(3), {}, ".truncationMode(.head)", 6, kParens, 2, 71},
    {"CH2L7", "Text Alignment", 8, 3, 3, sp(3), {}, ".multilineTextAlignment(.leading)", 7, kParens, 2, 70},
    {"CH2L8", "Foreground & Background Color", 8, 3, 3, sp(3), {}, ".foregroundColor(.white)", 8, kParens, 2, 71},
    {"CH2L9", "Linespacing", 8, 3, 3, sp(3), {}, ".linespacing(10)", 6, kParens, 2, 72},
    {"CH3L1", "Show View", 8, 6, 4, sp(7), {}, R"(Image("AppIcon"))", 5, {}, 2, 62},
    {"CH3L2", "System Icons", 8, 1, 1, "Image(", ")", R"(systemName: "sun.max")", 10, {":", Q, "."}, 2, 70},
    {"CH3L3", "Color SF Symbols", 8, 2, 2, sp(3), {}, "foregroundColor(.orange)", 9, kParens, 2, 70},
    {"CH3L4", "Scalable SF Symbols", 8, 2, 2, sp(3), {}, ".font(.largeTitle)", 5, kParens, 2, 71},
    {"CH3L5", "Resizable", 8, 2, 2, sp(3), {}, "resizable()", 4, kParens, 1, 73},
    {"CH3L6", "Aspect Ratio", 8, 3, 3, sp(3), {}, ".aspectRatio(contentMode: .fill)", 10, {"(", ".", ":", ")"}, 2, 77},
    {"CH3L7", "Image Shadows", 8, 2, 2, sp(3), {}, ".shadow(radius: 10)", 7, {"(", ".", ":", ")"}, 2, 77},
    {"CH3L8", "Circular Image", 8, 2, 2, sp(3), {}, ".clipShape(Circle())", 9, {"(", ".", ":", ")"}, 1, 78},
    {"CH3L9", "Image Border 1/2", 8, 3, 3, sp(3), {}, ".overlay()", 4, {"(", ".", ":", ")"}, 1, 79},
    {"CH3L10", "Image Border 2/2", 8, 4, 4, "       Circle()", ")", ".stroke(Color.black, lineWidth: 2)", 17, {"(", ".", ",", ":", ")"}, 3, 80},
    {"CH3L11", "Drawing Solid Shapes 1/2", 8, 7, 5, sp(11), {}, ".frame(width: 400, height: 100)", 13, {"(", ".", ",", ":", ")"}, 2, 79},
    {"CH3L12", "Drawing Solid Shapes 2/2", 8, 8, 5, sp(11), {}, ".fill(Color.gray)", 7, {"(", ".", ",", ":", ")"}, 2, 81},
    {"CH3L13", "Background Image", 7, 8, 3, sp(7), {}, R"(Image("BackgroundImage"))", 8, {"(", Q, ")"}, 2, 81},
    {"CH3L14", "Clipping Images", 8, 8, 6, sp(11), {}, ".clipped()", 3, kParens, 2, 81},
    {"CH4L1", "VStack", 9, 9, 4, sp(7), "{", "VStack", 0, {}, 0, 63},
    {"CH4L2", "Stack Alignment", 9, 9, 4, sp(7), "{", "VStack(alignment: .leading)", 12, {"(", ":", ".", ")"}, 3, 64},
    {"CH4L3", "Stack Spacing", 9, 9, 4, sp(7), "{", "VStack(spacing: 5)", 10, {"(", ":", ".", ")"}, 3, 64},
    {"CH4L4", "Alignment & Spacing", 9, 9, 4, sp(7), "{", "VStack(alignment: .leading, spacing: 5)", 19, {"(", ":", ",", ".", ")"}, 3, 63},
    {"CH4L5", "Dividers", 9, 9, 6, sp(11), {}, "Divider()", 3, {"(", ":", ",", ".", ")"}, 1, 63},
    {"CH4L6", "HStack", 9, 9, 4, sp(8), "{", "HStack", 3, {}, 1, 63},
    {"CH4L7", "Spacer", 5, 5, 3, sp(3), {}, "Spacer()", 0, {"(", ")"}, 0, 63},
    {"CH4L8", "Padding", 5, 5, 4, sp(3), {}, "padding()", 0, {"(", ")"}, 0, 62},
    {"CH4L9", "Padding Specified Amount", 6, 6, 5, sp(3), {}, "padding(10)", 0, {"(", ")"}, 0, 62},
    {"CH4L10", "Padding Edges", 6, 6, 5, sp(3), {}, "padding(.bottom)", 9, kParens, 0, 62},
    {"CH4L11", "Padding Edge & Amount", 6, 5, 4, sp(3), {}, "padding(.leading, 10)", 9, {"(", ".", ",", ")"}, 3, 62},
    {"CH5L1", "Toggle - Define @State", 9, 4, 3, sp(3), {}, "@State var isFavorite = true", 4, {"@", "="}, 4, 64},
    {"CH5L2", "Toggle - Binding Bool", 9, 9, 6, sp(11), "{", "Toggle(isOn: $isFavorite)", 7, {"(", ":", "$", ")"}, 2, 70},
    {"CH5L3", "Toggle - View", 9, 9, 7, sp(11), "{", "if isFavorite", 0, {}, 2, 72},
    {"CH5L4", "Text Button - Define @State", 9, 4, 3, sp(3), {}, "@State var buttonTapped = false", 0, {"(", "@", "=", ")"}, 4, 74},
    {"CH5L5", "Text Button - Method", 9, 8, 7, sp(15), {}, R"(Text("Tap me!"))", 9, {"(", Q, "!", ")"}, 2, 78},
    {"CH5L6", "Text Button - If Pressed", 10, 10, 9, sp(7), "{", "if buttonTapped", 0, {}, 2, 79},
    {"CH5L7", "Image Button", 10, 10, 7, sp(15), {}, R"(Image("ButtonImage"))", 7, {"(", Q, ")"}, 2, 81},
    {"CH5L8", "TextField - Define @State", 10, 3, 3, sp(3), {}, R"(@State var name: String = "Name")", 20, {"@", ":", Q, "="}, 5, 81},
    {"CH5L9", "TextField - Binding String", 10, 9, 5, sp(11), {}, "TextField($name)", 9, {"(", "$", ")"}, 2, 82},
    {"CH5L10", "TextField - Style", 10, 9, 6, sp(15), {}, ".textFieldStyle(.roundedBorder)", 8, kParens, 2, 83},
    {"CH5L11", "TextField - Content Type", 10, 10, 7, sp(15), {}, ".textContentType(.emailAddress)", 15, kParens, 2, 84},
    {"CH5L12", "SecureField", 10, 10, 5, sp(11), {}, "SecureField($password)", 8, {"(", "$", ")"}, 3, 85},
    {"CH6L1", "Static List", 10, 9, 7, sp(11), {}, R"(Text("Lesson 3: Lesson Row"))", 10, {"(", Q, ":", ")"}, 2, 65},
    {"CH6L2", "Dynamic List", 9, 9, 4, sp(7), "{ item in", "List(0 ..< 5)", 14, {"(", ".", "<", ")"}, 2, 73},
    {"CH6L3", "List from Array", 9, 8, 5, sp(11), {}, "Text(lesson.name)", 9, kParens, 2, 75},
    {"CH6L4", "Section Header", 10, 8, 7, sp(11), "{", R"(Section(header: Image(systemName: "star")))", 12, {"(", Q, ":", ")"}, 4, 78},
    {"CH6L5", "Grouped List Style", 10, 9, 7, "       }", {}, ".listStyle(.grouped)", 7, kParens, 2, 79},
    {"CH6L6", "Want more?", 10, 1, 1, "", {}, "Yes please!", 12, {"!", "="}, 0, 79},
    {"CH7L1", "Navigation View", 10, 8, 4, sp(8), "{", "NavigationView", 0, {}, 1, 65},
    {"CH7L2", "Navigation Bar Title", 9, 5, 3, sp(7), {}, R"(.navigationBarTitle(Text("Velomarinth")))", 14, {"(", ".", Q, ")"}, 4, 73},
    {"CH7L3", "Navigation Bar Title Display Mode", 9, 5, 4, sp(27), ")", ".displayMode: .large", 4, {".", ":"}, 2, 73},
    {"CH7L4", "Navigation Bar Items", 9, 5, 3, sp(7), {}, ".navigationBarItems(trailing:", 7, {"(", ":", "."}, 2, 75},
    {"CH7L5", "Navigation Bar Button", 9, 9, 4, sp(11), "{", "Button(action:", 6, {"(", ":", "."}, 1, 75},
    {"CH8L1", "Alert State", 10, 3, 2, sp(3), {}, "@State var showAlert = false", 0, {"@", "="}, 3, 67},
    {"CH8L2", "Presenting Alerts", 9, 7, 5, sp(11), "{", ".presentation($showAlert)", 8, {"(", ".", "$", ")"}, 2, 74},
    {"CH8L3", "Alert View - Title 1/3", 9, 7, 6, sp(15), ")", R"(Alert(title: Text("Help me"))", 14, {"(", ":", Q, ")"}, 3, 74},
    {"CH8L4", "Alert View - Message 2/3", 9, 8, 7, sp(19), ")", R"(message: Text("Please"))", 12, {"(", ":", Q, ")"}, 2, 76},
    {"CH8L5", "Alert View - Dismiss Button 3/3", 9, 9, 8, sp(19), ")", R"(dismissButton: .default(Text("Ok")))", 11, {"(", ".", ":", Q, ")"}, 3, 78},
    {"CH8L6", "Fire Alert View", 10, 10, 4, sp(7), "{ self.showAlert = true }) {", "Button(action:", 6, {"(", ":"}, 1, 84},
};
// clang-format on

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The numbered steps of a hint message ("1. ", "2. ", ... in order), or -1 when they are out of order.
int numberedSteps(const std::string& message) {
    int steps = 0;
    for (const auto& line : linesOf(message)) {
        if (line.empty() || !std::isdigit(static_cast<unsigned char>(line.front()))) continue;
        if (line.rfind(std::to_string(steps + 1) + ". ", 0) != 0) return -1;
        ++steps;
    }
    return steps;
}

TEST(SwiftUICourse, EveryLessonFollowsTheCourseTable) {
    const auto lessons = allLessons(kSwiftUI);
    ASSERT_EQ(lessons.size(), kRows.size());
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const auto& row = kRows[i];
        const auto& lesson = *lessons[i].lesson;
        SCOPED_TRACE(row.id);
        EXPECT_EQ(lesson.lessonID, row.id);
        EXPECT_EQ("CH" + std::to_string(lessons[i].chapter->number) + "L" + std::to_string(lesson.number),
                  row.id);
        EXPECT_EQ(lesson.title, row.title);
        for (int k = 1; k <= 10; ++k)
            EXPECT_EQ(lesson.text1(k).has_value(), k <= row.given) << "line " << k;
        EXPECT_EQ(lesson.lines, row.shown);
        EXPECT_EQ(lesson.textFieldInLine, row.field);
        EXPECT_NE(lesson.instruction.find("line " + std::to_string(row.field)), std::string::npos)
            << "the instruction names the line to complete";
        EXPECT_EQ(lesson.text1(row.field), row.before);
        EXPECT_EQ(lesson.text2(row.field), row.after);
        EXPECT_EQ(lesson.answer, row.answer);
        EXPECT_EQ(lesson.acceptedAnswers.size(), static_cast<std::size_t>(row.variants) + 2);
        if (row.words.empty())
            EXPECT_FALSE(lesson.inputAccessoryViewTextValues.has_value());
        else {
            ASSERT_TRUE(lesson.inputAccessoryViewTextValues.has_value());
            const auto& words = *lesson.inputAccessoryViewTextValues;
            EXPECT_EQ(std::vector<std::string>(words.begin(), words.end()), row.words);
        }
        ASSERT_FALSE(lesson.errors.empty());
        const auto& hint = lesson.errors.front().message;
        EXPECT_EQ(numberedSteps(hint), row.steps) << hint;
        if (row.steps == 0) {
            EXPECT_EQ(linesOf(hint).size(), 2u) << hint;
        }
        EXPECT_EQ(lesson.customStrings().size(), row.rules);
    }
}

TEST(SwiftUICourse, EveryLessonHasTheSharedSetUp) {
    for (const auto& placed : allLessons(kSwiftUI)) {
        const auto& lesson = *placed.lesson;
        SCOPED_TRACE(lesson.lessonID);
        ASSERT_EQ(lesson.errors.size(), 2u);
        const auto& hint = lesson.errors[0];
        EXPECT_EQ(hint.title, "Stuck? Break it down!");
        EXPECT_FALSE(hint.errorString.has_value());
        EXPECT_FALSE(hint.contains.has_value());
        EXPECT_EQ(linesOf(hint.message).back(), lesson.answer)
            << "the hint ends with the answer on its own line";
        const auto& stuck = lesson.errors[1];
        EXPECT_EQ(stuck.title, "Stuck?");
        EXPECT_EQ(stuck.errorString, ":");
        EXPECT_EQ(stuck.contains, true);
        EXPECT_NE(stuck.message.find("never give up"), std::string::npos);

        const auto& answers = lesson.acceptedAnswers;
        EXPECT_EQ(answers.front(), lesson.answer);
        EXPECT_EQ(answers.back(), "ZQ");
        EXPECT_EQ(std::count(answers.begin(), answers.end(), "ZQ"), 1);
        EXPECT_EQ(std::count(answers.begin(), answers.end(), "QZ"), 0);

        EXPECT_EQ(lesson.textFieldFormatting.placeholderText, "Tap to answer");
        EXPECT_EQ(lesson.textFieldFormatting.placeholderColor, ui::Color::white());
        EXPECT_EQ(lesson.textFieldFormatting.inputColor, ui::Color::white());
        EXPECT_EQ(lesson.useSameMessageForAllAnswers, true);
        EXPECT_FALSE(lesson.debuggerView);
        EXPECT_FALSE(lesson.dynamicAnswer);
        EXPECT_EQ(lesson.debuggerPrintValue, "");
        EXPECT_FALSE(lesson.debuggerLabelStart || lesson.debuggerLabelEnd || lesson.successLabelStart ||
                     lesson.successLabelEnd);
        EXPECT_FALSE(lesson.answerDebugMessageLabelDictionary || lesson.answerDebugSuccessMessageDictionary);
        EXPECT_FALSE(lesson.videoTutorial.has_value());
        EXPECT_FALSE(lesson.successMessage.empty());
        EXPECT_FALSE(lesson.instruction.empty());
    }
}

// Brackets of the shown code with the answer in place, outside strings and comments.
struct Brackets {
    bool misnested = false;     // a closer met an opener of another kind
    bool closedNothing = false; // a closer met no opener
    std::size_t open = 0;       // openers left at the end
};

Brackets bracketsOf(const std::vector<std::string>& lines) {
    static const std::map<char, char> kOpener = {{')', '('}, {'}', '{'}, {']', '['}};
    Brackets result;
    std::vector<char> stack;
    for (const auto& line : lines) {
        bool inString = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (inString) {
                if (c == '\\')
                    ++i;
                else if (c == '"')
                    inString = false;
            } else if (c == '"') {
                inString = true;
            } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
                break;
            } else if (c == '(' || c == '{' || c == '[') {
                stack.push_back(c);
            } else if (auto it = kOpener.find(c); it != kOpener.end()) {
                if (stack.empty())
                    result.closedNothing = true;
                else if (stack.back() != it->second)
                    result.misnested = true;
                if (!stack.empty()) stack.pop_back();
            }
        }
    }
    result.open = stack.size();
    return result;
}

// The shown code never pairs brackets of different kinds; a whole program (one that starts with the
// import or the struct) never closes what it did not open, and when its last line closes the struct
// it leaves nothing open.
TEST(SwiftUICourse, ShownCodeNestsItsBrackets) {
    for (const auto& [chapter, lessonPtr] : allLessons(kSwiftUI)) {
        const auto& lesson = *lessonPtr;
        std::vector<std::string> lines;
        for (int k = 1; k <= lesson.lines; ++k) {
            std::string line = lesson.text1(k).value_or("");
            if (k == lesson.textFieldInLine) line += lesson.answer + lesson.text2(k).value_or("");
            lines.push_back(line);
        }
        const auto brackets = bracketsOf(lines);
        EXPECT_FALSE(brackets.misnested) << lesson.lessonID;
        const bool wholeProgram =
            lines.front().rfind("import", 0) == 0 || lines.front().rfind("struct", 0) == 0;
        if (!wholeProgram) continue;
        EXPECT_FALSE(brackets.closedNothing) << lesson.lessonID;
        if (lines.back().rfind("}", 0) == 0) {
            EXPECT_EQ(brackets.open, 0u) << lesson.lessonID;
        }
    }
}

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Where a rule's text first stands in `text`, it is not the inside of a longer word.
bool paintsAWholeWord(const std::string& text, const std::string& rule) {
    const auto at = text.find(rule);
    if (at == std::string::npos) return true;
    const auto end = at + rule.size();
    const bool before = at == 0 || !isWordChar(rule.front()) || !isWordChar(text[at - 1]);
    const bool after = end == text.size() || !isWordChar(rule.back()) || !isWordChar(text[end]);
    return before && after;
}

// Where a line rule's text first stands, it is not inside a string literal of that line (unless the
// rule is the literal itself).
bool outsideStrings(const std::string& line, const std::string& rule) {
    const auto at = line.find(rule);
    if (at == std::string::npos || rule.front() == '"') return true;
    return std::count(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(at), '"') % 2 == 0;
}

// instruction, line1 ... line10, error, success
int templateOrder(CustomStringSection section) {
    using S = CustomStringSection;
    if (section == S::instruction) return 0;
    if (section == S::error) return 11;
    if (section == S::success) return 12;
    return static_cast<int>(section) - static_cast<int>(S::line1) + 1;
}

TEST(SwiftUIColourRules, SectionsInTemplateOrderEachTextOnceAndNeverInsideAWord) {
    for (const auto& [chapter, lessonPtr] : allLessons(kSwiftUI)) {
        const auto& lesson = *lessonPtr;
        SCOPED_TRACE(lesson.lessonID);
        std::set<std::pair<CustomStringSection, std::string>> seen;
        int order = 0;
        for (const auto& rule : lesson.customStrings()) {
            ASSERT_NE(rule.customStringSection, CustomStringSection::label);
            EXPECT_GE(templateOrder(rule.customStringSection), order) << rule.rangeOfString;
            order = templateOrder(rule.customStringSection);
            EXPECT_TRUE(seen.emplace(rule.customStringSection, rule.rangeOfString).second)
                << rule.rangeOfString;
            EXPECT_NE(rule.color, ColorAttribute::orange);
            EXPECT_NE(rule.color, ColorAttribute::white);
            for (const auto& text : content::swiftui::sectionTexts(lesson, rule.customStringSection)) {
                EXPECT_TRUE(paintsAWholeWord(text, rule.rangeOfString))
                    << "[" << rule.rangeOfString << "] in " << text;
                if (order >= 1 && order <= 10) {
                    EXPECT_TRUE(outsideStrings(text, rule.rangeOfString)) << rule.rangeOfString;
                }
            }
        }
    }
}

TEST(SwiftUIColourRules, EveryLessonColoursItsAnswerInTheHintAndItsCodeKeywords) {
    for (const auto& [chapter, lessonPtr] : allLessons(kSwiftUI)) {
        const auto& lesson = *lessonPtr;
        SCOPED_TRACE(lesson.lessonID);
        auto has = [&](CustomStringSection section, const std::string& text, ColorAttribute color) {
            return std::any_of(
                lesson.customStrings().begin(), lesson.customStrings().end(), [&](const ColorRule& r) {
                    return r.customStringSection == section && r.rangeOfString == text && r.color == color;
                });
        };
        EXPECT_TRUE(has(CustomStringSection::error, lesson.answer, ColorAttribute::greenComment));
        for (int k = 1; k <= lesson.lines; ++k) {
            const auto line = lesson.text1(k).value_or("");
            if (line.rfind("import SwiftUI", 0) == 0) {
                EXPECT_TRUE(has(lineSection(k), "import", ColorAttribute::pinkKeyword));
            }
            if (line.find("struct ContentView") != std::string::npos) {
                EXPECT_TRUE(has(lineSection(k), "struct", ColorAttribute::pinkKeyword)) << k;
                EXPECT_TRUE(has(lineSection(k), "ContentView", ColorAttribute::turquoise)) << k;
            }
        }
    }
}

TEST(SwiftUIColourRules, SomeViewLessonStartsItsSectionsWithItsListedRules) {
    using S = CustomStringSection;
    const auto& lesson = *builtChapters(kSwiftUI).at(0)->lessons.at(2);
    ASSERT_EQ(lesson.lessonID, "CH1L3");
    const std::vector<ColorRule> listed = {
        {S::instruction, "body", ColorAttribute::blueOther},
        {S::instruction, " ContentView ", ColorAttribute::blueOther},
        {S::instruction, " View ", ColorAttribute::blueOther},
        {S::instruction, R"("Hello World")", ColorAttribute::redString},
        {S::line1, "import", ColorAttribute::pinkKeyword},
        {S::line2, "ContentView", ColorAttribute::turquoise},
        {S::line2, "struct", ColorAttribute::pinkKeyword},
        {S::line3, "var", ColorAttribute::pinkKeyword},
        {S::line3, "some", ColorAttribute::pinkKeyword},
        {S::line3, "body", ColorAttribute::blueOther},
        {S::line3, "View", ColorAttribute::blueOther},
        {S::line4, "Text", ColorAttribute::blueOther},
        {S::error, R"("Hello World")", ColorAttribute::greenComment},
        {S::success, R"("Hello World")", ColorAttribute::redString},
    };
    std::map<S, std::size_t> next; // per section: how many rules of it have been matched
    for (const auto& expected : listed) {
        std::vector<ColorRule> ofSection;
        for (const auto& rule : lesson.customStrings())
            if (rule.customStringSection == expected.customStringSection) ofSection.push_back(rule);
        auto& n = next[expected.customStringSection];
        ASSERT_LT(n, ofSection.size()) << expected.rangeOfString;
        EXPECT_EQ(ofSection[n].rangeOfString, expected.rangeOfString);
        EXPECT_EQ(ofSection[n].color, expected.color) << expected.rangeOfString;
        ++n;
        // A listed rule colours the lesson's own text.
        const auto texts = content::swiftui::sectionTexts(lesson, expected.customStringSection);
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
            return t.find(expected.rangeOfString) != std::string::npos;
        })) << expected.rangeOfString;
    }
}

// The answer check and the hints of the real lesson screen on the course's lessons.
class SwiftUIScreen : public lessontest::LessonScreen {
  protected:
    void openLesson(const std::string& id) {
        for (const auto& chapter : content::buildChapters(content::swiftUICourse()))
            for (std::size_t i = 0; i < chapter->lessons.size(); ++i)
                if (chapter->lessons[i]->lessonID == id) {
                    open(chapter, i);
                    return;
                }
        FAIL() << "no lesson " << id;
    }
};

struct Typed {
    const char* id;
    std::string typed;
    bool accepted;
};

TEST_F(SwiftUIScreen, AnswersAreJudgedAsTheCourseMeansThem) {
    const std::vector<Typed> cases = {
        {"CH1L1", "import SwiftUI", true},
        {"CH1L1", "ZQ", true},
        {"CH1L3", "Hello World", false},
        {"CH1L3", R"("hello world")", true},
        {"CH1L4", ".red", true},
        {"CH1L4", ".blue", false},
        {"CH2L4", ".lineLimit(2)", false},
        {"CH2L4", ".linelimit ( 2)", true},
        {"CH3L1", R"(Image( "AppIcon" ))", true},
        {"CH3L1", R"(Image("AppIcn"))", false},
        {"CH3L2", R"(systemName:"sun.max")", true},
        {"CH4L6", "HStack ( )", true},
        {"CH4L7", "HStack()", false},
        {"CH4L8", "HStack()", false},
        {"CH4L9", "HStack()", false},
        {"CH5L3", "if isFavorite", true},
        {"CH5L3", "if isFavorite == true", false},
        {"CH5L3", "ifisFavorite", false},
        {"CH5L8", R"(@State var name: String="Name")", true},
        {"CH5L8", R"(@State var name: String = "Bob")", false},
        {"CH6L2", "List(0..<5)", true},
        {"CH6L6", "yes please", true},
        {"CH6L6", "YES PLEASE!", false},
        {"CH7L3", ".displayMode: .large ", true},
        {"CH7L3", ".displayMode: .inline", false},
        {"CH7L5", "Button(action:", true},
        {"CH8L1", "@State var showAlert = false", true},
        {"CH8L1", "@State var showAlert=false", false},
        {"CH8L6", "ZQ", true},
    };
    for (const auto& c : cases) {
        openLesson(c.id);
        type(c.typed);
        EXPECT_EQ(screen->answerIsCorrect, c.accepted) << c.id << " typed [" << c.typed << "]";
    }
}

TEST_F(SwiftUIScreen, ALineBeyondTheGivenTextsIsShownEmpty) {
    openLesson("CH3L13"); // seven texts, eight lines
    for (std::size_t p = 0; p < screen->lineViews.size(); ++p)
        EXPECT_EQ(screen->lineViews[p]->isHidden(), p >= 8) << p;
    EXPECT_EQ(screen->lineHandles(8).text1Label->text(), "");
}

} // namespace
