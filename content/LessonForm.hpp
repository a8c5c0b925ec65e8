#pragma once
// The form every course chapter is written in: one `LessonForm` record per lesson, turned into a
// `Lesson` by `addLesson`, which follows the construction protocol (hint, initializer, direct field
// writes, append) so that a chapter file is nothing but data.
//
// clang-format off
// How to read and write a record (designated initializers, in declaration order; leave out what the
// lesson does not set):
//
//   addLesson(chapter, {
//       .id = "CH2L5", .number = 5, .title = "Opposites",
//       .instruction = R"(Set won to the opposite of player1Won.)",
//       .code = R"(let player1Won = true
//   let won = «!player1Won»
//   print(won))",
//       .accepted    = {},                              // further accepted answers, after the answer
//       .success     = "",                              // successMessage handed to the initializer
//       .hint        = {"Stuck?", "1. ...\n2. ..."},    // the first `errors` entry
//       .wrong       = {{"Doh!", "Use !", "=", true}},  // title, message, errorString, contains
//       .placeholder = "Tap to answer",
//       .words       = {{"=", "!"}},                    // keyboard words
//       .colors      = {{L1, "let", pink}},             // colour rules, after the automatic ones
//       .debugger    = true,
//       .outputs     = {{"!player1Won", "false", "Right: ..."}},  // key, printed value, success text
//       .video       = "dQ0aZ1bC2dE",
//   });
// clang-format on
//
// Chapter files wrap their records in clang-format off/on so the aligned fields stay as written.
// A raw string whose text holds `)"` (an interpolation right before a closing quote) uses the
// delimiter `~`: R"~(print("I am \(age)"))~".
//
// `code` holds the code lines, one per text line; exactly one line carries the answer field written
// as «answer». Text before « is the line's Text1 ("" when the field starts the line), text after » is
// its Text2 (left absent when nothing follows). The answer inside the marks is the lesson's `answer`,
// so code, field position and answer are read together. Raw string literals keep quotes and
// backslashes exactly as stored.
//
// Colour rules: unless `autoColor` is false, every shown code line first gets rules for its Swift
// keywords, string literals, numbers, comments, `print` and the names it declares (see
// `syntaxColors`); the record's own `colors` follow and win where they overlap. Without `colorCount`,
// instruction, success and error texts are coloured only by the record's own rules. With it, the
// instruction, the success texts and the hint texts get automatic rules too (see `proseColors`), and
// the automatic rules are cut, from the last, so that the lesson stores exactly `colorCount` rules; the
// record's own rules are always kept. Automatic rules are made the first time the lesson's rules are
// read (see Lesson.hpp), from the lesson's texts and the record's code.
//
// Failure contract: `addLesson` trusts its record (content is fixed and checked by the content tests);
// a record without exactly one field line or with more than ten lines throws std::invalid_argument,
// so a broken record fails loudly the first time its chapter is built, never silently.
#include "model/Chapter.hpp"
#include "model/Lesson.hpp"
#include "model/LessonText.hpp"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace content {

// The two-letter answer that completes every lesson offering a shortcut, in every course and edition.
inline constexpr char kShortcutAnswer[] = "ZQ";

// Short names for colour-rule tables.
namespace form {
inline constexpr auto INSTR = CustomStringSection::instruction;
inline constexpr auto LABEL = CustomStringSection::label;
inline constexpr auto L1 = CustomStringSection::line1;
inline constexpr auto L2 = CustomStringSection::line2;
inline constexpr auto L3 = CustomStringSection::line3;
inline constexpr auto L4 = CustomStringSection::line4;
inline constexpr auto L5 = CustomStringSection::line5;
inline constexpr auto L6 = CustomStringSection::line6;
inline constexpr auto L7 = CustomStringSection::line7;
inline constexpr auto L8 = CustomStringSection::line8;
inline constexpr auto L9 = CustomStringSection::line9;
inline constexpr auto L10 = CustomStringSection::line10;
inline constexpr auto SUCCESS = CustomStringSection::success;
inline constexpr auto ERROR = CustomStringSection::error;

inline constexpr auto pink = ColorAttribute::pinkKeyword;
inline constexpr auto blue = ColorAttribute::blueOther;
inline constexpr auto project = ColorAttribute::greenProject;
inline constexpr auto red = ColorAttribute::redString;
inline constexpr auto comment = ColorAttribute::greenComment;
inline constexpr auto purple = ColorAttribute::purpleNumber;
inline constexpr auto orange = ColorAttribute::orange;
inline constexpr auto white = ColorAttribute::white;
inline constexpr auto turquoise = ColorAttribute::turquoise;
} // namespace form

// One key of the answer-key dictionaries: the substring of the learner's answer, the value the
// debugger view prints for it, and the success text shown below. A key without a printed value goes
// into the success dictionary only.
struct Output {
    LessonText key;
    std::optional<LessonText> printed;
    LessonText success;
};

struct Hint {
    LessonText title;
    LessonText message;
};

struct Wrong {
    LessonText title;
    LessonText message;
    LessonText errorString;
    bool contains = true;
};

// Free text between the quotes of the answer: counts as the answer check reads them.
struct Dynamic {
    std::optional<std::int64_t> spaceComponents;
    std::int64_t quoteComponents = 1;
};

struct Labels {
    LessonText start;
    LessonText end;
};
inline const Labels kNoLabels{"", ""};

struct LessonForm {
    LessonText id;
    std::int64_t number = 0;
    LessonText title;
    LessonText instruction;
    LessonText code;                   // lines; the field line carries «answer»
    std::optional<std::int64_t> lines; // shown lines when fewer than the code lines
    int padTo = 0;                     // pass this many line texts, the missing ones ""
    std::vector<LessonText> accepted;  // appended after the answer, in order
    LessonText success;
    Hint hint;
    std::vector<Wrong> wrong;
    LessonText placeholder = "Tap to answer";
    std::optional<ColorAttribute> inputColor; // white when absent
    std::optional<std::vector<LessonText>> words;
    std::vector<ColorRule> colors;
    bool autoColor = true;
    std::optional<int> colorCount; // with autoColor: the number of rules the lesson stores (see above)
    bool debugger = false;
    bool blankDebugTexts = false; // print value and the four labels "" (before the fields below)
    std::optional<LessonText> printValue;
    std::optional<Labels> labels;
    std::optional<Labels> successLabels;
    std::vector<Output> outputs; // both dictionaries, when not empty
    std::optional<Dynamic> dynamic;
    std::optional<bool> sameMessage; // useSameMessageForAllAnswers
    std::optional<LessonText> search;
    std::optional<LessonText> video;
};

// Builds the lesson of `form` and appends it to `chapter.lessons`; returns it for rare extra writes. The
// record's texts move into the lesson; its automatic colour rules are left to a recipe (see Lesson.hpp).
Lesson::Ptr addLesson(Chapter& chapter, LessonForm form);

// The lesson alone, not appended.
Lesson::Ptr makeLesson(LessonForm form);

// Computed entries: the decimal texts of first...last, ascending.
std::vector<LessonText> wholeNumbers(int first, int last);

// A hint message made of numbered steps, each followed by " \n ", then the answer.
std::string stepsThenAnswer(std::initializer_list<std::string_view> steps, std::string_view answer);

// One token of a code line or a sentence: a word, a number, a string literal (with its quotes) or
// the comment that ends the line; `pos` is its byte offset.
struct CodeToken {
    std::string text;
    std::string::size_type pos;
    enum Kind { word, number, string, comment } kind;
};

// The tokens of `text`, in order; what is none of the four (blanks, operators, brackets) is skipped.
std::vector<CodeToken> codeTokens(std::string_view text);

// The names a piece of code declares (after `var`, `let`, `func`, `for`, and parameter names).
std::set<std::string> declaredNames(std::string_view code);

// The automatic colour rules of one code line (section line`k`), in the order found; identifiers in
// `names` are coloured as the lesson's own names. A token is coloured only where it is the first
// occurrence of its text in the line, since a rule always paints the first occurrence.
std::vector<ColorRule> syntaxColors(int k, std::string_view line, const std::set<std::string>& names);

// Automatic rules for prose shown in `section`: string literals, the lesson's names, platform names,
// the code keywords that never read as English words, and operators of two or more characters.
std::vector<ColorRule> proseColors(CustomStringSection section, std::string_view text,
                                   const std::set<std::string>& names);

} // namespace content
