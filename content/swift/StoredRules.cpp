#include "content/swift/StoredRules.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace content {
namespace {

// Every text a rule of `section` may paint in `lesson`.
std::vector<std::string> sectionTexts(const Lesson& lesson, CustomStringSection section) {
    std::vector<std::string> texts;
    const int k = static_cast<int>(section) - static_cast<int>(CustomStringSection::line1) + 1;
    if (section == CustomStringSection::instruction) {
        texts.push_back(lesson.instruction);
    } else if (k >= 1 && k <= Lesson::kMaxLines) {
        for (const auto& text : {lesson.text1(k), lesson.text2(k)})
            if (text) texts.push_back(*text);
    } else if (section == CustomStringSection::success) {
        texts.push_back(lesson.successMessage);
        if (lesson.answerDebugSuccessMessageDictionary)
            for (const auto& [key, text] : *lesson.answerDebugSuccessMessageDictionary)
                texts.push_back(text);
    } else if (section == CustomStringSection::error) {
        for (const auto& entry : lesson.errors) {
            texts.push_back(entry.title);
            texts.push_back(entry.message);
        }
    }
    return texts;
}

// The names the lesson's code introduces, types included.
std::set<std::string> lessonNames(const std::string& code) {
    auto names = declaredNames(code);
    for (const char* introducer : {"class ", "struct ", "protocol ", "enum ", "case "}) {
        for (auto at = code.find(introducer); at != std::string::npos; at = code.find(introducer, at + 1)) {
            auto start = at + std::string(introducer).size();
            auto end = start;
            while (end < code.size() &&
                   (std::isalnum(static_cast<unsigned char>(code[end])) || code[end] == '_'))
                ++end;
            if (end > start) names.insert(code.substr(start, end - start));
        }
    }
    return names;
}

} // namespace

void padColourRules(Lesson& lesson, std::size_t storedRules) {
    auto& rules = lesson.customStrings;
    if (rules.size() > storedRules)
        throw std::logic_error(lesson.lessonID + ": more colour rules than the lesson stores");

    std::vector<std::string> lines;
    for (int k = 1; k <= Lesson::kMaxLines; ++k) {
        std::string line = lesson.text1(k).value_or("");
        if (k == lesson.textFieldInLine) line += " " + lesson.answer;
        if (auto after = lesson.text2(k)) line += " " + *after;
        if (!line.empty()) lines.push_back(line);
    }
    std::string code;
    for (const auto& line : lines)
        code += line + "\n";
    const auto names = lessonNames(code);

    std::vector<ColorRule> vocabulary = {
        {CustomStringSection::error, lesson.answer, ColorAttribute::greenComment}};
    auto addWords = [&](const std::string& text) {
        for (const auto& rule : syntaxColors(1, text, names))
            if (std::none_of(vocabulary.begin(), vocabulary.end(), [&](const ColorRule& known) {
                    return known.rangeOfString == rule.rangeOfString;
                }))
                vocabulary.push_back(rule);
    };
    addWords(lesson.answer);
    for (const auto& line : lines)
        addWords(line);

    std::vector<CustomStringSection> sections = {CustomStringSection::instruction};
    for (int k = 1; k <= Lesson::kMaxLines; ++k)
        sections.push_back(lineSection(k));
    sections.push_back(CustomStringSection::success);
    sections.push_back(CustomStringSection::error);

    for (const auto& word : vocabulary) {
        for (auto section : sections) {
            if (rules.size() == storedRules) return;
            const auto texts = sectionTexts(lesson, section);
            bool shown = std::any_of(texts.begin(), texts.end(), [&](const std::string& text) {
                return text.find(word.rangeOfString) != std::string::npos;
            });
            bool known = std::any_of(rules.begin(), rules.end(), [&](const ColorRule& rule) {
                return rule.customStringSection == section && rule.rangeOfString == word.rangeOfString;
            });
            if (!shown && !known) rules.push_back({section, word.rangeOfString, word.color});
        }
    }
    if (rules.size() < storedRules)
        throw std::logic_error(lesson.lessonID + ": too few own words to store its colour rules");
}

Lesson::Ptr addLessonStoring(Chapter& chapter, std::size_t storedRules, const LessonForm& form) {
    auto lesson = addLesson(chapter, form);
    padColourRules(*lesson, storedRules);
    return lesson;
}

} // namespace content
