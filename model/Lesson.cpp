#include "model/Lesson.hpp"

#include "model/StringUtilities.hpp"

#include <cassert>
#include <utility>

namespace {

using Text1Member = std::optional<LessonText> Lesson::*;

// Text1 of lines 2...10 and Text2 of lines 1...10; line1Text1 is a plain string and handled apart.
constexpr std::array<Text1Member, 10> kText1 = {nullptr,
                                                &Lesson::line2Text1,
                                                &Lesson::line3Text1,
                                                &Lesson::line4Text1,
                                                &Lesson::line5Text1,
                                                &Lesson::line6Text1,
                                                &Lesson::line7Text1,
                                                &Lesson::line8Text1,
                                                &Lesson::line9Text1,
                                                &Lesson::line10Text1};
constexpr std::array<Text1Member, 10> kText2 = {
    &Lesson::line1Text2, &Lesson::line2Text2, &Lesson::line3Text2, &Lesson::line4Text2, &Lesson::line5Text2,
    &Lesson::line6Text2, &Lesson::line7Text2, &Lesson::line8Text2, &Lesson::line9Text2, &Lesson::line10Text2};

bool validLine(int k) {
    return k >= 1 && k <= Lesson::kMaxLines;
}

} // namespace

ui::Color uiColor(ColorAttribute color) {
    switch (color) {
    case ColorAttribute::pinkKeyword:
        return ui::Color::rgb255(220, 61, 164);
    case ColorAttribute::blueOther:
        return ui::Color::rgb255(0, 180, 253);
    case ColorAttribute::greenProject:
        return ui::Color::rgb255(43, 249, 152);
    case ColorAttribute::redString:
        return ui::Color::rgb255(255, 69, 74);
    case ColorAttribute::greenComment:
        return ui::Color::rgb255(82, 208, 92);
    case ColorAttribute::purpleNumber:
        return ui::Color::rgb255(137, 140, 240);
    case ColorAttribute::orange:
        return ui::Color::rgb255(254, 114, 43);
    case ColorAttribute::white:
        return ui::Color::white();
    case ColorAttribute::turquoise:
        return ui::Color::rgb255(0, 180, 253);
    }
    return ui::Color::white();
}

CustomStringSection lineSection(int k) {
    assert(validLine(k));
    return static_cast<CustomStringSection>(static_cast<int>(CustomStringSection::line1) + k - 1);
}

std::optional<LessonText> Lesson::text1(int k) const {
    if (!validLine(k)) return std::nullopt;
    if (k == 1) return line1Text1;
    return this->*kText1[k - 1];
}

std::optional<LessonText> Lesson::text2(int k) const {
    if (!validLine(k)) return std::nullopt;
    return this->*kText2[k - 1];
}

void Lesson::setText1(int k, std::optional<LessonText> text) {
    if (!validLine(k)) return;
    if (k == 1)
        line1Text1 = text ? std::move(*text) : LessonText();
    else
        this->*kText1[k - 1] = std::move(text);
}

void Lesson::setText2(int k, std::optional<LessonText> text) {
    if (validLine(k)) this->*kText2[k - 1] = std::move(text);
}

namespace {
bool rulesMadeAtOnce = false;
} // namespace

void Lesson::setRulesMadeAtOnce(bool atOnce) {
    rulesMadeAtOnce = atOnce;
}

const std::vector<ColorRule>& Lesson::customStrings() const {
    if (colourRecipe_) {
        // A recipe that fails stays pending, so that every read fails as loudly as the first.
        customStrings_ = colourRecipe_(*this);
        colourRecipe_ = nullptr;
    }
    return customStrings_;
}

void Lesson::setCustomStrings(std::vector<ColorRule> rules) {
    colourRecipe_ = nullptr;
    customStrings_ = std::move(rules);
}

void Lesson::setCustomStringsRecipe(ColourRecipe recipe) {
    customStrings_.clear();
    colourRecipe_ = std::move(recipe);
    if (rulesMadeAtOnce) customStrings();
}

void Lesson::amendCustomStrings(ColourAmendment amendment) {
    ColourRecipe base = colourRecipe_ ? std::exchange(colourRecipe_, nullptr)
                                      : [rules = std::move(customStrings_)](const Lesson&) { return rules; };
    setCustomStringsRecipe([base = std::move(base), amendment = std::move(amendment)](const Lesson& lesson) {
        auto rules = base(lesson);
        amendment(lesson, rules);
        return rules;
    });
}

void Lesson::findAnswerKey() {
    if (!answerDebugMessageLabelDictionary) return;
    const LessonText* best = nullptr;
    std::size_t bestLength = 0;
    for (const auto& [key, value] : *answerDebugMessageLabelDictionary) {
        if (userAnswer.find(key) == std::string::npos) continue;
        // Length as the learner sees it: "é" is one character, however many bytes it takes.
        const std::size_t length = characterCount(key);
        if (!best || length >= bestLength) {
            best = &key;
            bestLength = length;
        }
    }
    if (best) answerKey = *best;
}

Lesson::Ptr Lesson::make(LessonText lessonID, std::int64_t number, LessonText title, LessonText instruction,
                         std::span<const LessonText> lineTexts, LessonText answer, LessonText successMessage,
                         std::int64_t lines, std::int64_t textFieldInLine, std::vector<ErrorMessage> errors) {
    assert(!lineTexts.empty() && lineTexts.size() <= kMaxLines);
    auto lesson = std::make_shared<Lesson>();
    lesson->lessonID = std::move(lessonID);
    lesson->number = number;
    lesson->title = std::move(title);
    lesson->instruction = std::move(instruction);
    for (std::size_t i = 0; i < lineTexts.size(); ++i)
        lesson->setText1(static_cast<int>(i) + 1, lineTexts[i]);
    lesson->acceptedAnswers = {answer};
    lesson->answer = std::move(answer);
    lesson->successMessage = std::move(successMessage);
    lesson->lines = lines;
    lesson->textFieldInLine = textFieldInLine;
    lesson->errors = std::move(errors);
    return lesson;
}

// The ten initializers differ only in how many code-line texts they take.
#define VELO_LESSON_INIT(NAME, PARAMS, TEXTS)                                                                \
    Lesson::Ptr Lesson::NAME(LessonText lessonID, std::int64_t number, LessonText title,                     \
                             LessonText instruction, PARAMS, LessonText answer, LessonText successMessage,   \
                             std::int64_t lines, std::int64_t textFieldInLine,                               \
                             std::vector<ErrorMessage> errors) {                                             \
        const LessonText lineTexts[] = TEXTS;                                                                \
        return make(std::move(lessonID), number, std::move(title), std::move(instruction), lineTexts,        \
                    std::move(answer), std::move(successMessage), lines, textFieldInLine,                    \
                    std::move(errors));                                                                      \
    }
#define P(n) LessonText line##n##Text1
#define T(n) std::move(line##n##Text1)
#define COMMA ,
VELO_LESSON_INIT(initWith1Line, P(1), {T(1)})
VELO_LESSON_INIT(initWith2Lines, P(1) COMMA P(2), {T(1) COMMA T(2)})
VELO_LESSON_INIT(initWith3Lines, P(1) COMMA P(2) COMMA P(3), {T(1) COMMA T(2) COMMA T(3)})
VELO_LESSON_INIT(initWith4Lines, P(1) COMMA P(2) COMMA P(3) COMMA P(4),
                 {T(1) COMMA T(2) COMMA T(3) COMMA T(4)})
VELO_LESSON_INIT(initWith5Lines, P(1) COMMA P(2) COMMA P(3) COMMA P(4) COMMA P(5),
                 {T(1) COMMA T(2) COMMA T(3) COMMA T(4) COMMA T(5)})
VELO_LESSON_INIT(initWith6Lines, P(1) COMMA P(2) COMMA P(3) COMMA P(4) COMMA P(5) COMMA P(6),
                 {T(1) COMMA T(2) COMMA T(3) COMMA T(4) COMMA T(5) COMMA T(6)})
VELO_LESSON_INIT(initWith7Lines, P(1) COMMA P(2) COMMA P(3) COMMA P(4) COMMA P(5) COMMA P(6) COMMA P(7),
                 {T(1) COMMA T(2) COMMA T(3) COMMA T(4) COMMA T(5) COMMA T(6) COMMA T(7)})
VELO_LESSON_INIT(initWith8Lines,
                 P(1) COMMA P(2) COMMA P(3) COMMA P(4) COMMA P(5) COMMA P(6) COMMA P(7) COMMA P(8),
                 {T(1) COMMA T(2) COMMA T(3) COMMA T(4) COMMA T(5) COMMA T(6) COMMA T(7) COMMA T(8)})
VELO_LESSON_INIT(initWith9Lines,
                 P(1) COMMA P(2) COMMA P(3) COMMA P(4) COMMA P(5) COMMA P(6) COMMA P(7) COMMA P(8) COMMA P(9),
                 {T(1) COMMA T(2) COMMA T(3) COMMA T(4) COMMA T(5) COMMA T(6) COMMA T(7) COMMA T(8)
                      COMMA T(9)})
VELO_LESSON_INIT(initWith10Lines,
                 P(1) COMMA P(2) COMMA P(3) COMMA P(4) COMMA P(5) COMMA P(6) COMMA P(7) COMMA P(8) COMMA P(9)
                     COMMA P(10),
                 {T(1) COMMA T(2) COMMA T(3) COMMA T(4) COMMA T(5) COMMA T(6) COMMA T(7) COMMA T(8) COMMA T(9)
                      COMMA T(10)})
#undef COMMA
#undef T
#undef P
#undef VELO_LESSON_INIT
