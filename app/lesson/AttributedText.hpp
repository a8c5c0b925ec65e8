#pragma once
// Paints colouring rules onto a text. There is no lexer: each lesson carries its own rules.
//
// For each rule, in order, the first occurrence of its text (plain, case-sensitive; every search starts
// at the beginning) gets the rule's colour; where rules overlap the later one wins. A rule whose text
// is empty or does not occur paints nothing. Pure; never fails.
#include "model/Lesson.hpp"
#include "platform/uikit/AttributedString.hpp"

#include <string>
#include <utility>
#include <vector>

using ColorPair = std::pair<std::string, ColorAttribute>;

ui::AttributedString attributedText(const std::string& text, const std::vector<ColorPair>& rules);
