// The SwiftUI lesson set-up on a lesson of its own: the hint message, and the colour rules found in the
// lesson's texts and filled up from the shared template.
#include "content/swiftui/SwiftUILesson.hpp"
#include "content/swiftui/SwiftUIColors.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

using namespace content::swiftui;

namespace {

using S = CustomStringSection;

SwiftUILesson counter(std::size_t colorCount = 70) {
    return SwiftUILesson{
        .id = "T1",
        .number = 1,
        .title = "Counter",
        .instruction =
            R"(A counter keeps its value in a @State property. Each tap of the Text adds 1 to count, as "Taps" says. In line 4, pad the text by 10 points.)",
        .code = R"~(struct ContentView : View {
   @State var count = 1
   var body: some View {
       Text("\(count) taps")«.padding(10)»
           .onTapGesture { self.count += 1 } // one more
   }
})~",
        .success = R"(The label reads "Text taps" above the Text view.)",
        .steps = {"Use the padding modifier.", "Pass it 10."},
        .colorCount = colorCount,
    };
}

std::optional<ColorAttribute> colourOf(const Lesson& lesson, S section, const std::string& text) {
    for (const auto& rule : lesson.customStrings())
        if (rule.customStringSection == section && rule.rangeOfString == text) return rule.color;
    return std::nullopt;
}

TEST(SwiftUILesson, OwnRulesFollowTheCodeAndSkipWhatWouldPaintTheWrongText) {
    const auto lesson = makeSwiftUILesson(counter());
    struct Expect {
        S section;
        std::string text;
        std::optional<ColorAttribute> color; // nullopt: no rule
    };
    const std::vector<Expect> cases = {
        {S::line1, "struct", ColorAttribute::pinkKeyword},
        {S::line1, "ContentView", ColorAttribute::turquoise},
        {S::line1, " View ", ColorAttribute::blueOther}, // "View" alone would paint inside "ContentView"
        {S::line1, "View", std::nullopt},
        {S::line2, "@State", ColorAttribute::pinkKeyword},
        {S::line2, "count", ColorAttribute::greenProject}, // declared here
        {S::line2, "1", ColorAttribute::purpleNumber},
        {S::line3, "body", ColorAttribute::turquoise},
        {S::line3, "some", ColorAttribute::pinkKeyword},
        {S::line4, "Text", ColorAttribute::blueOther},
        {S::line4, R"("\(count) taps")", ColorAttribute::redString},
        {S::line4, "count", std::nullopt},   // only inside the string
        {S::line4, "padding", std::nullopt}, // the answer is typed, not shown
        {S::line5, "onTapGesture", ColorAttribute::blueOther},
        {S::line5, "self", ColorAttribute::pinkKeyword},
        {S::line5, "count", ColorAttribute::turquoise}, // used here
        {S::line5, "// one more", ColorAttribute::greenComment},
        {S::instruction, "In line 4, pad the text by 10 points.", ColorAttribute::greenComment},
        {S::instruction, "@State", ColorAttribute::pinkKeyword},
        {S::instruction, "Text", ColorAttribute::blueOther},
        {S::instruction, R"("Taps")", ColorAttribute::redString},
        {S::instruction, "1", ColorAttribute::purpleNumber},
        {S::instruction, "10", ColorAttribute::purpleNumber},
        {S::instruction, "4", std::nullopt},     // a line number
        {S::instruction, "count", std::nullopt}, // reads as English
        {S::error, ".padding(10)", ColorAttribute::greenComment},
        {S::success, R"("Text taps")", ColorAttribute::redString},
        {S::success, "Text", std::nullopt}, // its first occurrence is inside the string
        {S::success, " Text ", ColorAttribute::blueOther},
    };
    for (const auto& c : cases)
        EXPECT_EQ(colourOf(*lesson, c.section, c.text), c.color) << c.text;
}

TEST(SwiftUILesson, TheTemplateFillsToTheCountWithRulesThatPaintNothing) {
    for (std::size_t count : {40u, 70u, 90u}) {
        const auto lesson = makeSwiftUILesson(counter(count));
        ASSERT_EQ(lesson->customStrings().size(), count);
        const auto own = ownColors(*lesson);
        for (const auto& rule : lesson->customStrings()) {
            const bool isOwn = std::any_of(own.begin(), own.end(), [&](const ColorRule& o) {
                return o.customStringSection == rule.customStringSection &&
                       o.rangeOfString == rule.rangeOfString;
            });
            if (isOwn) continue;
            for (const auto& text : sectionTexts(*lesson, rule.customStringSection))
                EXPECT_EQ(text.find(rule.rangeOfString), std::string::npos) << rule.rangeOfString;
        }
    }
}

TEST(SwiftUILesson, ListedOwnRulesReplaceTheFoundOnesAndComeFirstInTheirSection) {
    auto record = counter(30);
    record.own = {{S::success, "label", ColorAttribute::greenComment},
                  {S::line2, "count", ColorAttribute::turquoise}};
    const auto lesson = makeSwiftUILesson(record);
    ASSERT_EQ(lesson->customStrings().size(), 30u);
    EXPECT_FALSE(colourOf(*lesson, S::line1, "struct").has_value());
    auto first = [&](S section) {
        for (const auto& rule : lesson->customStrings())
            if (rule.customStringSection == section) return rule.rangeOfString.str();
        return std::string();
    };
    EXPECT_EQ(first(S::success), "label");
    EXPECT_EQ(first(S::line2), "count");
    EXPECT_EQ(colourOf(*lesson, S::line2, "count"), ColorAttribute::turquoise);
}

TEST(SwiftUILesson, MoreOwnRulesThanTheLessonStoresIsRefused) {
    // Rules found in the texts are made when the lesson is shown, and refused then.
    const auto lesson = makeSwiftUILesson(counter(5));
    EXPECT_THROW(lesson->customStrings(), std::invalid_argument);
    // Rules the record lists are refused as it is built.
    auto record = counter(1);
    record.own = {{S::line1, "struct", ColorAttribute::pinkKeyword},
                  {S::line1, "View", ColorAttribute::blueOther}};
    EXPECT_THROW(makeSwiftUILesson(record), std::invalid_argument);
}

TEST(SwiftUILesson, HintIsNumberedStepsOrOneSentenceThenTheAnswer) {
    auto record = counter();
    EXPECT_EQ(makeSwiftUILesson(record)->errors.front().message,
              "1. Use the padding modifier.\n2. Pass it 10.\n.padding(10)");
    record.steps.clear();
    record.sentence = "To pad the text, write:";
    EXPECT_EQ(makeSwiftUILesson(record)->errors.front().message, "To pad the text, write:\n.padding(10)");
    record.sentence.clear();
    EXPECT_THROW(makeSwiftUILesson(record), std::invalid_argument);
}

} // namespace
