#pragma once
// How every lesson of the C++ course is written, in one place. A chapter file hands a `LessonForm`
// (content/LessonForm.hpp) to `addCppLesson` or `addCppChallenge`; this profile fills in what the course
// fixes for all of them:
//
// - ids and numbers: `number` is the lesson's position in its chapter, running on through a challenge
//   series; the id is "C++CH<chapter>L<number>" (a record may name its own, as chapter 1 does), and a
//   lesson of a challenge series (`addCppChallenge`) is "C++CH<chapter>C<k>", titled "Challenge <k>";
// - texts computed from the answer: in accepted answers, hint messages and colour-rule texts, ANSWER
//   stands for the lesson's answer and BLANKLESS for the answer with every blank removed, so neither is
//   ever typed twice by hand;
// - the output set-up: `useSameMessageForAllAnswers` is false exactly when the lesson answers each
//   accepted answer from its tables (a record may still write it);
// - colours: rules are written per lesson (no automatic colouring), no lesson has a tutorial video.
//
// Listings follow one shape: "int main() {" (some lessons open with "#include <iostream>"), statements
// indented by three blanks, nested blocks by seven and eleven, "}" last. Where the learner writes a whole
// statement the field line's text before the field is the indent alone.
//
// Failure contract: as `content::addLesson` — a record without exactly one answer field, or with more
// than ten lines, throws std::invalid_argument the first time its chapter is built.
#include "content/LessonForm.hpp"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace content::cpp {

inline const std::string ANSWER = "«answer»";
inline const std::string BLANKLESS = "«blankless»";

// "C++CH<chapter>L<position>" and "C++CH<chapter>C<challenge>".
std::string lessonId(std::int64_t chapter, std::int64_t position);
std::string challengeId(std::int64_t chapter, std::int64_t challenge);

// The answer with every blank (" ") removed; nothing else is touched.
std::string blankless(std::string_view answer);

// Hint steps, each followed by " \n " (blank, line break, blank), so that what is appended next (the
// answer, as a rule) stands on a line of its own.
std::string steps(std::initializer_list<std::string_view> texts);

// `text` with ANSWER and BLANKLESS replaced by the forms of `answer`.
std::string expand(std::string_view text, std::string_view answer);

// Colour rules of one colour for several texts of one section, in order ("in line 2, pink: ...").
std::vector<ColorRule> in(CustomStringSection section, ColorAttribute color,
                          std::initializer_list<LessonText> texts);

// Lists of colour rules, one after the other.
std::vector<ColorRule> join(std::initializer_list<std::vector<ColorRule>> parts);

// The colour rules of a "#include <iostream>" line.
std::vector<ColorRule> includeColors(CustomStringSection section);

// Appends the lesson of `form` to `chapter` as the course writes it (see above) and returns it.
Lesson::Ptr addCppLesson(Chapter& chapter, LessonForm form);

// The same for the next lesson of the chapter's challenge series ("C++CH<n>C<k>", "Challenge <k>").
Lesson::Ptr addCppChallenge(Chapter& chapter, LessonForm form);

} // namespace content::cpp
