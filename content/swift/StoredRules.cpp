#include "content/swift/StoredRules.hpp"

#include <algorithm>
#include <cctype>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace content {
namespace {

// Keywords of the later chapters that the general code colouring does not know.
const std::vector<LessonText> kMoreKeywords = {"associatedtype", "typealias", "Self", "AnyObject", "weak",
                                               "override",       "final",     "lazy", "get set",   "do"};

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

// Whether `word` stands in `text` as a word of its own.
bool containsWord(std::string_view text, std::string_view word) {
    auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (auto at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        auto end = at + word.size();
        if ((at == 0 || !isWordChar(text[at - 1])) && (end == text.size() || !isWordChar(text[end])))
            return true;
    }
    return false;
}

} // namespace

std::vector<LessonText> sectionTexts(const Lesson& lesson, CustomStringSection section) {
    std::vector<LessonText> texts;
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

bool paintsSomething(const Lesson& lesson, const ColorRule& rule) {
    if (rule.rangeOfString.empty()) return false;
    const auto texts = sectionTexts(lesson, rule.customStringSection);
    return std::any_of(texts.begin(), texts.end(), [&](const LessonText& text) {
        return text.find(rule.rangeOfString) != std::string_view::npos;
    });
}

namespace {

void pad(const Lesson& lesson, std::vector<ColorRule>& rules, std::size_t storedRules) {
    if (rules.size() > storedRules)
        throw std::logic_error(lesson.lessonID + ": more colour rules than the lesson stores");

    std::vector<std::string> lines;
    for (int k = 1; k <= Lesson::kMaxLines; ++k) {
        std::string line(lesson.text1(k).value_or(""));
        if (k == lesson.textFieldInLine) line += " " + lesson.answer;
        if (auto after = lesson.text2(k)) line += " " + *after;
        if (!line.empty()) lines.push_back(line);
    }
    std::string code;
    for (const auto& line : lines)
        code += line + "\n";
    const auto names = lessonNames(code);

    // The answer and its other right forms first, then the words of the answer and the code lines.
    std::vector<ColorRule> vocabulary;
    auto add = [&](const LessonText& text, ColorAttribute color) {
        if (std::none_of(vocabulary.begin(), vocabulary.end(),
                         [&](const ColorRule& known) { return known.rangeOfString == text; }))
            vocabulary.push_back({CustomStringSection::error, text, color});
    };
    for (const auto& accepted : lesson.acceptedAnswers)
        if (accepted != kShortcutAnswer) add(accepted, ColorAttribute::greenComment);
    auto addWords = [&](std::string_view text) {
        for (const auto& rule : syntaxColors(1, text, names))
            add(rule.rangeOfString, rule.color);
        for (const auto& word : kMoreKeywords)
            if (containsWord(text, word)) add(word, ColorAttribute::pinkKeyword);
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
            bool shown = paintsSomething(lesson, {section, word.rangeOfString, word.color});
            bool known = std::any_of(rules.begin(), rules.end(), [&](const ColorRule& rule) {
                return rule.customStringSection == section && rule.rangeOfString == word.rangeOfString;
            });
            if (!shown && !known) rules.push_back({section, word.rangeOfString, word.color});
        }
    }
    if (rules.size() < storedRules)
        throw std::logic_error(lesson.lessonID + ": too few own words to store its colour rules");
}

} // namespace

void padColourRules(Lesson& lesson, std::size_t storedRules) {
    lesson.amendCustomStrings(
        [storedRules](const Lesson& made, std::vector<ColorRule>& rules) { pad(made, rules, storedRules); });
}

Lesson::Ptr addLessonStoring(Chapter& chapter, std::size_t storedRules, LessonForm form) {
    auto lesson = addLesson(chapter, std::move(form));
    padColourRules(*lesson, storedRules);
    return lesson;
}

} // namespace content
