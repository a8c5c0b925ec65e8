#pragma once
// The colour rules of a SwiftUI lesson, made from the lesson's own words so that no chapter file lists
// them by hand.
//
// A lesson stores a fixed number of rules, grouped by section in the order instruction, line1 to
// line10, error, success. Each section starts with the lesson's own rules:
//   - code lines (shown ones only): keywords and "@State" pink, "ContentView" and "body" turquoise,
//     names the code declares (after `var`, or a closure parameter) green where declared and turquoise
//     where used, types, views, modifiers and called functions blue, strings red, numbers purple,
//     comments green;
//   - instruction and success text: string literals red, and those words of the lesson's code (the
//     answer included) that never read as English — capitalised or camel-case names, ".modifier"
//     forms, "var", "let", "func", "struct", "nil", "@State" — in their code colour (a declared name
//     turquoise), its numbers where they are not a line number, and none of these inside a quoted
//     string; the instruction's last sentence, the task, in comment green first;
//   - error text: the answer, in comment green.
// The rest are the course's shared template: words carried from lesson to lesson (Swift keywords and
// types such as "guard" or "throws"), taken round the sections instruction, line1 to line5, error and
// success in turn, each only where its section's texts do not hold it, so that a carried rule never
// paints anything.
//
// Every rule paints the first occurrence of its text, so an own rule is made only where that first
// occurrence is the word itself, never the inside of a longer name (" View " stands in for "View" where
// "ContentView" comes first).
//
// Failure contract: throws std::invalid_argument when a lesson has more own rules than it stores, or
// (never with the shipped template) more room than the template fills.
#include "model/Lesson.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace content::swiftui {

// The texts a rule of `section` is painted onto: the instruction; Text1 and Text2 of line k (present
// ones, shown or not); the title and message of every error entry; the success message.
std::vector<std::string> sectionTexts(const Lesson& lesson, CustomStringSection section);

// The lesson's own rules, found in its texts as described above, in section order.
std::vector<ColorRule> ownColors(const Lesson& lesson);

// `own` (or, when empty, `ownColors(lesson)`) followed by template rules, `count` in all, in section
// order with the own rules first in each section.
std::vector<ColorRule> lessonColors(const Lesson& lesson, const std::vector<ColorRule>& own,
                                    std::size_t count);

} // namespace content::swiftui
