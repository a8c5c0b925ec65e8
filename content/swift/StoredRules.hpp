#pragma once
// Later Swift chapters store a fixed number of colour rules per lesson, more than their texts need.
// A lesson's record writes the rules that paint something; the rest name the lesson's own vocabulary
// (its answer, then the words of its answer and code lines) in the texts that do not show them, so
// they paint nothing today yet stay the lesson's own words, never another lesson's.
//
// The padding is made with the lesson's other rules, when they are first read.
//
// Failure contract: throws std::logic_error when the record already holds more rules than the count
// or the lesson's vocabulary cannot fill it, so a wrong count fails the first time the lesson's rules
// are read (the content tests read every lesson's rules).
#include "content/LessonForm.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace content {

// Builds the lesson of `form` as addLesson does, then pads its colour rules up to `storedRules`.
Lesson::Ptr addLessonStoring(Chapter& chapter, std::size_t storedRules, LessonForm form);

// Pads the colour rules of `lesson` up to `storedRules` with rules that paint nothing.
void padColourRules(Lesson& lesson, std::size_t storedRules);

// Every text a rule of `section` may paint in `lesson`: the instruction, both texts of a code line (shown
// or not), the success message with every answer's success text, or the titles and messages of the hints.
std::vector<LessonText> sectionTexts(const Lesson& lesson, CustomStringSection section);

// Whether `rule` paints something in `lesson`: its text, not empty, stands in one of its section's texts.
bool paintsSomething(const Lesson& lesson, const ColorRule& rule);

} // namespace content
