#pragma once
// The lesson set-up every SwiftUI lesson shares, written once so that a chapter file holds only what
// differs from lesson to lesson: its texts, code, variants, keyboard words, hint steps and the number
// of colour rules it stores.
//
// What every lesson gets from here:
//   - accepted answers: the answer, the lesson's own variants in order, then the shortcut last;
//   - errors: the numbered-steps hint ending with the answer on a line of its own, then the "Stuck?"
//     entry chosen when the learner's answer is ":";
//   - placeholder "Tap to answer" in white on white;
//   - useSameMessageForAllAnswers true, no debugger view, print value "", no labels, no answer-key
//     dictionaries, no dynamic answer, no video;
//   - colour rules: the lesson's own (listed, or found in its texts) and then the course's shared
//     template, exactly `colorCount` of them (see SwiftUIColors.hpp).
//
// Failure contract: the record is fixed content checked by the content tests; a record that cannot be
// built (no field, more than ten lines, more own colour rules listed than `colorCount`) throws
// std::invalid_argument the first time its chapter is built; rules found in its texts that overflow the
// count throw the same the first time the lesson's rules are read (they are made then, see Lesson.hpp).
#include "model/Chapter.hpp"
#include "model/Lesson.hpp"
#include "model/LessonText.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace content::swiftui {

inline constexpr char kHintTitle[] = "Stuck? Break it down!";
inline constexpr char kStuckTitle[] = "Stuck?";
inline constexpr char kStuckMessage[] = "Remember to never give up. Practice is what makes hard code easy.";
inline constexpr char kStuckAnswer[] = ":";
inline constexpr char kPlaceholder[] = "Tap to answer";

struct SwiftUILesson {
    LessonText id;
    std::int64_t number = 0;
    LessonText title;
    LessonText instruction;
    LessonText code;                   // the line texts, one per text line; the field line holds «answer»
    int given = 0;                     // line texts handed over when more than `code` has (the rest "")
    std::optional<std::int64_t> lines; // shown lines when not the number of `code` lines
    std::vector<LessonText> accepted;  // the lesson's own variants, in order, without the shortcut
    LessonText success;
    std::vector<LessonText> steps; // the hint's numbered steps
    LessonText sentence;           // or, for a one-sentence hint, that sentence
    std::optional<std::vector<LessonText>> words;
    std::size_t colorCount = 0;
    std::vector<ColorRule> own; // the lesson's own colour rules where it lists them; found otherwise
    std::optional<LessonText> search;
};

// The hint message: "1. step" lines (or the one sentence), then the answer on a line of its own.
std::string hintMessage(const SwiftUILesson& record, std::string_view answer);

// The finished lesson of `record`.
Lesson::Ptr makeSwiftUILesson(SwiftUILesson record);

// Builds the lesson of `record` and appends it to `chapter.lessons`.
void addSwiftUILesson(Chapter& chapter, SwiftUILesson record);

} // namespace content::swiftui
