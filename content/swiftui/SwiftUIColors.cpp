#include "content/swiftui/SwiftUIColors.hpp"

#include "content/LessonForm.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <utility>

namespace content::swiftui {
namespace {

using S = CustomStringSection;

const std::set<std::string> kKeywords = {"import", "struct", "var",  "let",   "some",  "true",
                                         "false",  "if",     "else", "nil",   "self",  "in",
                                         "func",   "return", "for",  "while", "@State"};

// Keywords that may stand in a sentence without reading as English.
const std::set<std::string> kCodeOnlyKeywords = {"var", "struct", "nil", "let", "func", "@State"};

const std::set<std::string> kTurquoiseNames = {"ContentView", "body"};

// The carried-over words of the shared template, in the order a lesson takes them.
const std::array<std::pair<const char*, ColorAttribute>, 26> kCarried = {{
    {"guard", ColorAttribute::pinkKeyword},    {"throws", ColorAttribute::pinkKeyword},
    {"func", ColorAttribute::pinkKeyword},     {"return", ColorAttribute::pinkKeyword},
    {"let", ColorAttribute::pinkKeyword},      {"Int", ColorAttribute::blueOther},
    {"print", ColorAttribute::blueOther},      {"nil", ColorAttribute::pinkKeyword},
    {"Double", ColorAttribute::blueOther},     {"enum", ColorAttribute::pinkKeyword},
    {"case", ColorAttribute::pinkKeyword},     {"class", ColorAttribute::pinkKeyword},
    {"defer", ColorAttribute::pinkKeyword},    {"Bool", ColorAttribute::blueOther},
    {"init", ColorAttribute::pinkKeyword},     {"mutating", ColorAttribute::pinkKeyword},
    {"protocol", ColorAttribute::pinkKeyword}, {"extension", ColorAttribute::pinkKeyword},
    {"switch", ColorAttribute::pinkKeyword},   {"Array", ColorAttribute::blueOther},
    {"Dictionary", ColorAttribute::blueOther}, {"while", ColorAttribute::pinkKeyword},
    {"inout", ColorAttribute::pinkKeyword},    {"try", ColorAttribute::pinkKeyword},
    {"catch", ColorAttribute::pinkKeyword},    {"static", ColorAttribute::pinkKeyword},
}};

const std::array<S, 8> kTemplateSections = {S::instruction, S::line1, S::line2, S::line3,
                                            S::line4,       S::line5, S::error, S::success};

bool isIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

using Token = CodeToken;

// The tokens of a code line or sentence, with an attribute ("@State") as one word.
std::vector<Token> tokenize(std::string_view text) {
    auto tokens = codeTokens(text);
    for (auto& token : tokens)
        if (token.kind == Token::word && token.pos > 0 && text[token.pos - 1] == '@') {
            token.text.insert(0, 1, '@');
            --token.pos;
        }
    return tokens;
}

// Whether `s` standing at `at` in `text` is not the inside of a longer word.
bool wholeWordAt(std::string_view text, std::string_view s, std::size_t at) {
    const auto end = at + s.size();
    const bool before = at == 0 || !isIdentChar(s.front()) || !isIdentChar(text[at - 1]);
    const bool after = end == text.size() || !isIdentChar(s.back()) || !isIdentChar(text[end]);
    return before && after;
}

// Whether the first occurrence of `s` in `text` (if any) is not the inside of a longer word.
bool cleanFirstOccurrence(std::string_view text, std::string_view s) {
    const auto at = text.find(s);
    return at == std::string::npos || wholeWordAt(text, s, at);
}

bool absentFromAll(const std::vector<std::string>& texts, const std::string& s) {
    return std::none_of(texts.begin(), texts.end(),
                        [&](const std::string& text) { return text.find(s) != std::string::npos; });
}

// The text a rule may use for the word standing at `pos` in `home`, one of the section's `texts`: the
// word itself where that occurrence is its first and no text holds it first inside a longer word, else
// the word between blanks where that stands first at `pos`; nothing otherwise.
std::optional<std::string> paintableForm(const std::vector<std::string>& texts, std::string_view home,
                                         const std::string& word, std::size_t pos) {
    if (home.find(word) == pos && std::all_of(texts.begin(), texts.end(), [&](const std::string& text) {
            return cleanFirstOccurrence(text, word);
        }))
        return word;
    const std::string padded = " " + word + " ";
    if (pos > 0 && home.find(padded) == pos - 1) return padded;
    return std::nullopt;
}

int sectionOrder(S section) {
    switch (section) {
    case S::instruction:
        return 0;
    case S::error:
        return 11;
    case S::success:
        return 12;
    case S::label:
        return 13;
    default:
        return static_cast<int>(section) - static_cast<int>(S::line1) + 1;
    }
}

class RuleList {
  public:
    void add(S section, const LessonText& text, ColorAttribute color) {
        if (text.empty() || has(section, text)) return;
        rules_.push_back({section, text, color});
    }
    bool has(S section, std::string_view text) const {
        return std::any_of(rules_.begin(), rules_.end(), [&](const ColorRule& rule) {
            return rule.customStringSection == section && rule.rangeOfString == text;
        });
    }
    std::vector<ColorRule>& rules() { return rules_; }

  private:
    std::vector<ColorRule> rules_;
};

// A declared name and the line that declares it.
using Declared = std::map<std::string, int>;

// Names the shown code and the answer declare: after `var`, and closure parameters ("{ item in").
Declared declaredNames(const Lesson& lesson) {
    Declared declared;
    auto scan = [&](std::string_view text, int k) {
        auto tokens = tokenize(text);
        for (std::size_t t = 0; t + 1 < tokens.size(); ++t) {
            const auto& next = tokens[t + 1];
            if (tokens[t].text == "var" && next.kind == Token::word && !kKeywords.contains(next.text))
                declared.emplace(next.text, k);
            if (tokens[t].kind != Token::word || next.text != "in" || tokens[t].pos == 0) continue;
            const auto open = text.find_last_not_of(' ', tokens[t].pos - 1);
            if (open != std::string_view::npos && text[open] == '{') declared.emplace(tokens[t].text, k);
        }
    };
    scan(lesson.answer, static_cast<int>(lesson.textFieldInLine));
    for (int k = 1; k <= static_cast<int>(std::min<std::int64_t>(lesson.lines, Lesson::kMaxLines)); ++k)
        for (const auto& text : {lesson.text1(k), lesson.text2(k)})
            if (text) scan(*text, k);
    return declared;
}

// The colour of a code token of line `k` standing at `token.pos` in `text`.
std::optional<ColorAttribute> codeColor(const Token& token, std::string_view text, int k,
                                        const Declared& declared) {
    switch (token.kind) {
    case Token::string:
        return ColorAttribute::redString;
    case Token::number:
        return ColorAttribute::purpleNumber;
    case Token::comment:
        return ColorAttribute::greenComment;
    case Token::word:
        break;
    }
    if (kKeywords.contains(token.text)) return ColorAttribute::pinkKeyword;
    if (kTurquoiseNames.contains(token.text)) return ColorAttribute::turquoise;
    if (auto it = declared.find(token.text); it != declared.end())
        return it->second == k ? ColorAttribute::greenProject : ColorAttribute::turquoise;
    const auto end = token.pos + token.text.size();
    const bool member = token.pos > 0 && text[token.pos - 1] == '.';
    const bool called = end < text.size() && text[end] == '(';
    if (member || called || std::isupper(static_cast<unsigned char>(token.text.front())))
        return ColorAttribute::blueOther;
    return std::nullopt;
}

struct Word {
    std::string text; // as it may stand in a sentence (".font" for a modifier)
    ColorAttribute color;
    bool number;
};

// The words of the lesson's code, the answer included, that may be coloured where a sentence names them.
std::vector<Word> proseVocabulary(const Lesson& lesson, const Declared& declared) {
    std::vector<Word> words;
    auto take = [&](std::string_view text) {
        for (const auto& token : tokenize(text)) {
            // In a sentence a declared name is a use of it, never its declaration.
            auto color = codeColor(token, text, 0, declared);
            if (!color || token.kind == Token::string || token.kind == Token::comment) continue;
            std::string form = token.text;
            if (token.kind == Token::word) {
                const bool member = token.pos > 0 && text[token.pos - 1] == '.';
                const bool codeLike =
                    std::any_of(form.begin(), form.end(), [](unsigned char c) { return std::isupper(c); }) ||
                    kCodeOnlyKeywords.contains(form);
                if (member && !std::isupper(static_cast<unsigned char>(form.front())))
                    form = "." + form;
                else if (!codeLike)
                    continue;
            }
            if (std::none_of(words.begin(), words.end(), [&](const Word& w) { return w.text == form; }))
                words.push_back({form, *color, token.kind == Token::number});
        }
    };
    take(lesson.answer);
    for (int k = 1; k <= static_cast<int>(std::min<std::int64_t>(lesson.lines, Lesson::kMaxLines)); ++k)
        for (const auto& text : {lesson.text1(k), lesson.text2(k)})
            if (text) take(*text);
    return words;
}

// The last sentence of a paragraph.
std::string lastSentence(std::string_view text) {
    auto end = text.find_last_not_of(' ');
    if (end == std::string_view::npos) return "";
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < end; ++i)
        if ((text[i] == '.' || text[i] == '!' || text[i] == '?') && text[i + 1] == ' ') start = i + 2;
    return std::string(text.substr(start, end + 1 - start));
}

// The first whole-word occurrence of `word` in `text` outside its string literals, if any.
std::optional<std::size_t> wordInProse(std::string_view text, const std::vector<Token>& tokens,
                                       const std::string& word) {
    auto inString = [&](std::size_t at) {
        return std::any_of(tokens.begin(), tokens.end(), [&](const Token& t) {
            return t.kind == Token::string && at >= t.pos && at < t.pos + t.text.size();
        });
    };
    for (auto at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1))
        if (wholeWordAt(text, word, at) && !inString(at)) return at;
    return std::nullopt;
}

void addProseRules(RuleList& rules, S section, std::string_view text, const std::vector<Word>& vocabulary) {
    const auto tokens = tokenize(text);
    for (const auto& token : tokens)
        if (token.kind == Token::string && token.text.size() > 2 && text.find(token.text) == token.pos)
            rules.add(section, token.text, ColorAttribute::redString);
    for (const auto& word : vocabulary) {
        const auto at = wordInProse(text, tokens, word.text);
        if (!at) continue;
        if (word.number) {
            // A number is painted only where it first stands, and never as a line number.
            const bool lineNumber = *at >= 5 && text.compare(*at - 5, 5, "line ") == 0;
            if (!lineNumber && text.find(word.text) == *at) rules.add(section, word.text, word.color);
        } else if (auto form = paintableForm({std::string(text)}, text, word.text, *at)) {
            rules.add(section, *form, word.color);
        }
    }
}

} // namespace

std::vector<std::string> sectionTexts(const Lesson& lesson, CustomStringSection section) {
    std::vector<std::string> texts;
    switch (section) {
    case S::instruction:
        texts.push_back(lesson.instruction.str());
        break;
    case S::success:
        texts.push_back(lesson.successMessage.str());
        break;
    case S::error:
        for (const auto& entry : lesson.errors) {
            texts.push_back(entry.title.str());
            texts.push_back(entry.message.str());
        }
        break;
    case S::label:
        break;
    default: {
        const int k = sectionOrder(section);
        for (const auto& text : {lesson.text1(k), lesson.text2(k)})
            if (text) texts.push_back(text->str());
    }
    }
    return texts;
}

std::vector<ColorRule> ownColors(const Lesson& lesson) {
    RuleList rules;
    const auto declared = declaredNames(lesson);

    const auto vocabulary = proseVocabulary(lesson, declared);
    rules.add(S::instruction, lastSentence(lesson.instruction), ColorAttribute::greenComment);
    addProseRules(rules, S::instruction, lesson.instruction, vocabulary);

    for (int k = 1; k <= static_cast<int>(std::min<std::int64_t>(lesson.lines, Lesson::kMaxLines)); ++k) {
        const auto section = lineSection(k);
        const auto texts = sectionTexts(lesson, section);
        for (const auto& text : texts)
            for (const auto& token : tokenize(text)) {
                auto color = codeColor(token, text, k, declared);
                if (!color) continue;
                if (auto form = paintableForm(texts, text, token.text, token.pos))
                    rules.add(section, *form, *color);
            }
    }

    rules.add(S::error, lesson.answer, ColorAttribute::greenComment);
    addProseRules(rules, S::success, lesson.successMessage, vocabulary);
    return std::move(rules.rules());
}

std::vector<ColorRule> lessonColors(const Lesson& lesson, const std::vector<ColorRule>& own,
                                    std::size_t count) {
    RuleList rules;
    for (const auto& rule : own.empty() ? ownColors(lesson) : own)
        rules.add(rule.customStringSection, rule.rangeOfString, rule.color);
    if (rules.rules().size() > count)
        throw std::invalid_argument(lesson.lessonID + ": more own colour rules than the lesson stores");

    std::map<S, std::vector<std::string>> texts;
    for (auto section : kTemplateSections)
        texts[section] = sectionTexts(lesson, section);
    auto room = count - rules.rules().size();
    for (const auto& [word, color] : kCarried)
        for (auto section : kTemplateSections) {
            if (room == 0) break;
            if (rules.has(section, word) || !absentFromAll(texts[section], word)) continue;
            rules.add(section, LessonText::lasting(word), color);
            --room;
        }
    if (room != 0)
        throw std::invalid_argument(lesson.lessonID + ": the colour template cannot fill the lesson");

    auto& all = rules.rules();
    std::stable_sort(all.begin(), all.end(), [](const ColorRule& a, const ColorRule& b) {
        return sectionOrder(a.customStringSection) < sectionOrder(b.customStringSection);
    });
    return std::move(all);
}

} // namespace content::swiftui
