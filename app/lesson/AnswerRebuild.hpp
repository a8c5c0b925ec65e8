#pragma once
// The pure part of the answer check: how the normalised input becomes the lesson's `userAnswer`.
// No views, no console: the lesson screen calls these and prints what they report.
//
// Contract: never fails and never reads outside the texts, whatever the input or the lesson's
// dynamic-answer counts hold.
#include "model/Lesson.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace answer {

// The text the field will hold after replacing `length` characters at character `location` of
// `current` with `replacement`. Offsets past the end are clamped to the end.
std::string applyEdit(std::string_view current, std::size_t location, std::size_t length,
                      std::string_view replacement);

// The quote-guided rebuild of `input` for an answer of `answerParts` (3 or 5) double-quote parts.
std::string quoteGuidedRebuild(std::string_view input, std::size_t answerParts);

// The new `userAnswer` of a lesson whose `dynamicAnswer` is false: folded and trimmed when the answer
// has no quotes (or an unusual number of them), rebuilt around the quotes when it has two or four.
std::string staticUserAnswer(const Lesson& lesson, std::string_view input);

// What a dynamic-answer check decided; absent members leave the lesson's fields as they are.
struct DynamicOutcome {
    std::optional<std::string> userAnswer;
    std::optional<std::string> dynamicAnswerString;
    // The captured literal, printed when the literal has just been closed.
    std::optional<std::string> printed;
};

// The dynamic-answer rule for `input` (already normalised). Reads `answer`, `dynamicQuoteComponents`,
// `dynamicSpaceComponents`; a lesson without `dynamicSpaceComponents` (or with one below 1) never
// counts its literal as closed.
DynamicOutcome dynamicUserAnswer(const Lesson& lesson, std::string_view input);

} // namespace answer
