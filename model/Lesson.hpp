#pragma once
// The course data: one Lesson per lesson, made once by a chapter builder and shared by reference for
// the life of the process. A builder creates a lesson with the initializer for the number of code-line
// texts it passes, writes further fields directly, and appends it to its chapter.
//
// Colour rules are the one part a builder may leave unmade: every chapter is built when the first screen
// loads, most lessons are never shown in a run, and working out rules is most of a lesson's cost. A
// builder then leaves a recipe, run once on the first read of `customStrings()`, on the lesson's texts as
// they stand then (the answer check changes only the learner's state, never a text a recipe reads).
#include "model/LessonText.hpp"
#include "model/OrderedDictionary.hpp"
#include "platform/uikit/Color.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Code colours of the lessons, in raw-value order 0...8.
enum class ColorAttribute {
    pinkKeyword,
    blueOther,
    greenProject,
    redString,
    greenComment,
    purpleNumber,
    orange,
    white,
    turquoise
};

// The colour of a case; `turquoise` is the same colour as `blueOther`.
ui::Color uiColor(ColorAttribute color);

// The lesson text a colour rule addresses, in raw-value order 0...13.
enum class CustomStringSection {
    instruction,
    label,
    line1,
    line2,
    line3,
    line4,
    line5,
    line6,
    line7,
    line8,
    line9,
    line10,
    success,
    error
};

// lineSection(k) is `line1` ... `line10` for k in 1...10.
CustomStringSection lineSection(int k);

// One colouring rule: in the text of `customStringSection`, colour the first `rangeOfString` with `color`.
struct ColorRule {
    CustomStringSection customStringSection;
    LessonText rangeOfString;
    ColorAttribute color;
};

// A hint (first entry of a lesson's `errors`, no errorString) or a wrong-answer hint. `contains` true
// selects the entry when the answer equals `errorString`; false when the answer does not contain it.
struct ErrorMessage {
    LessonText title;
    LessonText message;
    std::optional<LessonText> errorString;
    std::optional<bool> contains;
};

struct TextFieldFormatting {
    LessonText placeholderText = "Tap to enter answer";
    ui::Color placeholderColor = ui::Color::white();
    ui::Color inputColor = ui::Color::white();
};

class Lesson {
  public:
    using Ptr = std::shared_ptr<Lesson>;
    static constexpr int kMaxLines = 10;

    LessonText lessonID;
    std::int64_t number = 0;
    LessonText title;
    LessonText instruction;

    // Code lines. In the answer line, Text1 is the code before the field and Text2 the code after it;
    // in every other line Text1 is the whole line. line1Text1 is never absent.
    LessonText line1Text1;
    std::optional<LessonText> line1Text2;
    std::optional<LessonText> line2Text1, line2Text2;
    std::optional<LessonText> line3Text1, line3Text2;
    std::optional<LessonText> line4Text1, line4Text2;
    std::optional<LessonText> line5Text1, line5Text2;
    std::optional<LessonText> line6Text1, line6Text2;
    std::optional<LessonText> line7Text1, line7Text2;
    std::optional<LessonText> line8Text1, line8Text2;
    std::optional<LessonText> line9Text1, line9Text2;
    std::optional<LessonText> line10Text1, line10Text2;

    LessonText answer;
    std::vector<LessonText> acceptedAnswers;
    bool dynamicAnswer = false;
    std::optional<std::string> dynamicAnswerString;
    std::optional<std::int64_t> dynamicSpaceComponents;
    std::optional<std::int64_t> dynamicQuoteComponents;
    std::string userAnswer;
    bool debuggerView = false;
    std::optional<OrderedDictionary> answerDebugMessageLabelDictionary;
    std::optional<OrderedDictionary> answerDebugSuccessMessageDictionary;
    std::optional<LessonText> answerKey;
    std::optional<LessonText> debuggerPrintValue;
    LessonText successMessage;
    TextFieldFormatting textFieldFormatting;
    std::vector<ErrorMessage> errors;
    std::int64_t lines = 0;
    std::int64_t textFieldInLine = 0;
    bool completed = false;
    std::optional<LessonText> debuggerLabelStart;
    std::optional<LessonText> debuggerLabelEnd;
    std::optional<LessonText> successLabelStart;
    std::optional<LessonText> successLabelEnd;
    std::optional<std::vector<LessonText>> inputAccessoryViewTextValues;
    std::optional<LessonText> videoTutorial;
    std::optional<LessonText> searchText;
    std::optional<bool> useSameMessageForAllAnswers;

    // Makes the lesson's colour rules from its texts (see the header comment).
    using ColourRecipe = std::function<std::vector<ColorRule>(const Lesson&)>;
    // Works on the rules once they are made; a builder adds to a recipe's rules with it.
    using ColourAmendment = std::function<void(const Lesson&, std::vector<ColorRule>&)>;

    // The colour rules, made by the pending recipe on the first call (a recipe reads the lesson's texts,
    // never its rules). Throws what the recipe throws, on every call until one succeeds.
    const std::vector<ColorRule>& customStrings() const;
    // Sets the rules; a pending recipe is dropped.
    void setCustomStrings(std::vector<ColorRule> rules);
    // Leaves the rules to `recipe` (made at once while rulesMadeAtOnce is set).
    void setCustomStringsRecipe(ColourRecipe recipe);
    // Leaves `amendment` to run on the rules once they are made (by the pending recipe, if any).
    void amendCustomStrings(ColourAmendment amendment);
    // Whether the rules are still to be made.
    bool customStringsPending() const { return static_cast<bool>(colourRecipe_); }
    // Every recipe runs as it is set, as if rules were written directly (tests compare the two ways).
    static void setRulesMadeAtOnce(bool atOnce);

    // Line k (1...10): the code before the field (the whole line elsewhere) and the code after it.
    std::optional<LessonText> text1(int k) const;
    std::optional<LessonText> text2(int k) const;
    void setText1(int k, std::optional<LessonText> text);
    void setText2(int k, std::optional<LessonText> text);

    // Sets `answerKey` to the key of `answerDebugMessageLabelDictionary` found in `userAnswer`: the
    // longest such key (in characters), and among keys of equal length the one visited last in the
    // dictionary's insertion order, so the choice is the same on every run. Leaves `answerKey`
    // unchanged when no key occurs.
    void findAnswerKey();

    // The ten initializers, one per number of code-line texts passed. Each stores its arguments,
    // leaves every other field at its default and makes `acceptedAnswers` = [answer].
    static Ptr initWith1Line(LessonText lessonID, std::int64_t number, LessonText title,
                             LessonText instruction, LessonText line1Text1, LessonText answer,
                             LessonText successMessage, std::int64_t lines, std::int64_t textFieldInLine,
                             std::vector<ErrorMessage> errors);
    static Ptr initWith2Lines(LessonText lessonID, std::int64_t number, LessonText title,
                              LessonText instruction, LessonText line1Text1, LessonText line2Text1,
                              LessonText answer, LessonText successMessage, std::int64_t lines,
                              std::int64_t textFieldInLine, std::vector<ErrorMessage> errors);
    static Ptr initWith3Lines(LessonText lessonID, std::int64_t number, LessonText title,
                              LessonText instruction, LessonText line1Text1, LessonText line2Text1,
                              LessonText line3Text1, LessonText answer, LessonText successMessage,
                              std::int64_t lines, std::int64_t textFieldInLine,
                              std::vector<ErrorMessage> errors);
    static Ptr initWith4Lines(LessonText lessonID, std::int64_t number, LessonText title,
                              LessonText instruction, LessonText line1Text1, LessonText line2Text1,
                              LessonText line3Text1, LessonText line4Text1, LessonText answer,
                              LessonText successMessage, std::int64_t lines, std::int64_t textFieldInLine,
                              std::vector<ErrorMessage> errors);
    static Ptr initWith5Lines(LessonText lessonID, std::int64_t number, LessonText title,
                              LessonText instruction, LessonText line1Text1, LessonText line2Text1,
                              LessonText line3Text1, LessonText line4Text1, LessonText line5Text1,
                              LessonText answer, LessonText successMessage, std::int64_t lines,
                              std::int64_t textFieldInLine, std::vector<ErrorMessage> errors);
    static Ptr initWith6Lines(LessonText lessonID, std::int64_t number, LessonText title,
                              LessonText instruction, LessonText line1Text1, LessonText line2Text1,
                              LessonText line3Text1, LessonText line4Text1, LessonText line5Text1,
                              LessonText line6Text1, LessonText answer, LessonText successMessage,
                              std::int64_t lines, std::int64_t textFieldInLine,
                              std::vector<ErrorMessage> errors);
    static Ptr initWith7Lines(LessonText lessonID, std::int64_t number, LessonText title,
                              LessonText instruction, LessonText line1Text1, LessonText line2Text1,
                              LessonText line3Text1, LessonText line4Text1, LessonText line5Text1,
                              LessonText line6Text1, LessonText line7Text1, LessonText answer,
                              LessonText successMessage, std::int64_t lines, std::int64_t textFieldInLine,
                              std::vector<ErrorMessage> errors);
    static Ptr initWith8Lines(LessonText lessonID, std::int64_t number, LessonText title,
                              LessonText instruction, LessonText line1Text1, LessonText line2Text1,
                              LessonText line3Text1, LessonText line4Text1, LessonText line5Text1,
                              LessonText line6Text1, LessonText line7Text1, LessonText line8Text1,
                              LessonText answer, LessonText successMessage, std::int64_t lines,
                              std::int64_t textFieldInLine, std::vector<ErrorMessage> errors);
    static Ptr initWith9Lines(LessonText lessonID, std::int64_t number, LessonText title,
                              LessonText instruction, LessonText line1Text1, LessonText line2Text1,
                              LessonText line3Text1, LessonText line4Text1, LessonText line5Text1,
                              LessonText line6Text1, LessonText line7Text1, LessonText line8Text1,
                              LessonText line9Text1, LessonText answer, LessonText successMessage,
                              std::int64_t lines, std::int64_t textFieldInLine,
                              std::vector<ErrorMessage> errors);
    static Ptr initWith10Lines(LessonText lessonID, std::int64_t number, LessonText title,
                               LessonText instruction, LessonText line1Text1, LessonText line2Text1,
                               LessonText line3Text1, LessonText line4Text1, LessonText line5Text1,
                               LessonText line6Text1, LessonText line7Text1, LessonText line8Text1,
                               LessonText line9Text1, LessonText line10Text1, LessonText answer,
                               LessonText successMessage, std::int64_t lines, std::int64_t textFieldInLine,
                               std::vector<ErrorMessage> errors);

    // The common body of the ten initializers: `lineTexts` holds the k Text1 fields (1 <= k <= 10).
    static Ptr make(LessonText lessonID, std::int64_t number, LessonText title, LessonText instruction,
                    std::span<const LessonText> lineTexts, LessonText answer, LessonText successMessage,
                    std::int64_t lines, std::int64_t textFieldInLine, std::vector<ErrorMessage> errors);

  private:
    mutable std::vector<ColorRule> customStrings_;
    mutable ColourRecipe colourRecipe_;
};
