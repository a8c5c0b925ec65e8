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
#include "app/model/Chapter.hpp"
#include "app/model/Lesson.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace content::swiftui {

inline constexpr const char* kHintTitle = "Stuck? Break it down!";
inline constexpr const char* kStuckTitle = "Stuck?";
inline constexpr const char* kStuckMessage =
    "Remember to never give up. Practice is what makes hard code easy.";
inline constexpr const char* kStuckAnswer = ":";
inline constexpr const char* kPlaceholder = "Tap to answer";

struct SwiftUILesson {
    std::string id;
    std::int64_t number = 0;
    std::string title;
    std::string instruction;
    std::string code;                  // the line texts, one per text line; the field line holds «answer»
    int given = 0;                     // line texts handed over when more than `code` has (the rest "")
    std::optional<std::int64_t> lines; // shown lines when not the number of `code` lines
    std::vector<std::string> accepted; // the lesson's own variants, in order, without the shortcut
    std::string success;
    std::vector<std::string> steps; // the hint's numbered steps
    std::string sentence;           // or, for a one-sentence hint, that sentence
    std::optional<std::vector<std::string>> words;
    std::size_t colorCount = 0;
    std::vector<ColorRule> own; // the lesson's own colour rules where it lists them; found otherwise
    std::optional<std::string> search;
};

// The hint message: "1. step" lines (or the one sentence), then the answer on a line of its own.
std::string hintMessage(const SwiftUILesson& record, const std::string& answer);

// The finished lesson of `record`.
Lesson::Ptr makeSwiftUILesson(SwiftUILesson record);

// Builds the lesson of `record` and appends it to `chapter.lessons`.
void addSwiftUILesson(Chapter& chapter, SwiftUILesson record);

} // namespace content::swiftui
