#include "content/LessonForm.hpp"

#include <algorithm>
#include <cctype>
#include <span>
#include <stdexcept>
#include <utility>

namespace content {
namespace {

const std::string kOpen = "«";
const std::string kClose = "»";

const std::set<std::string> kKeywords = {
    "var",   "let",    "if",    "else",  "for",    "in",       "while",    "repeat",   "func",  "return",
    "nil",   "true",   "false", "inout", "guard",  "defer",    "switch",   "case",     "break", "continue",
    "where", "struct", "class", "enum",  "import", "default",  "self",     "init",     "try",   "catch",
    "throw", "throws", "as",    "is",    "static", "mutating", "protocol", "extension"};

const std::set<std::string> kPlatformNames = {"print",  "String",    "Int",   "Bool",      "Float",
                                              "Double", "Character", "Array", "Dictionary"};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::string::size_type start = 0;
    while (true) {
        auto end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

bool isIdentStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool isIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

using Token = CodeToken;

std::vector<Token> tokenize(const std::string& line) {
    std::vector<Token> tokens;
    std::string::size_type i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
            tokens.push_back({line.substr(i), i, Token::comment});
            break;
        }
        if (c == '"') {
            auto j = i + 1;
            while (j < line.size() && line[j] != '"')
                j += line[j] == '\\' ? 2 : 1;
            j = std::min(j + 1, line.size());
            tokens.push_back({line.substr(i, j - i), i, Token::string});
            i = j;
            continue;
        }
        if (isIdentStart(c)) {
            auto j = i;
            while (j < line.size() && isIdentChar(line[j]))
                ++j;
            tokens.push_back({line.substr(i, j - i), i, Token::word});
            i = j;
            continue;
        }
        if (isDigit(c)) {
            auto j = i;
            while (j < line.size() &&
                   (isDigit(line[j]) || (line[j] == '.' && j + 1 < line.size() && isDigit(line[j + 1]))))
                ++j;
            tokens.push_back({line.substr(i, j - i), i, Token::number});
            i = j;
            continue;
        }
        ++i;
    }
    return tokens;
}

} // namespace

std::vector<CodeToken> codeTokens(const std::string& text) {
    return tokenize(text);
}

std::set<std::string> declaredNames(const std::string& code) {
    std::set<std::string> names;
    for (const auto& line : splitLines(code)) {
        auto tokens = tokenize(line);
        for (std::size_t t = 0; t < tokens.size(); ++t) {
            const auto& tok = tokens[t];
            if (tok.kind != Token::word) continue;
            bool introducer =
                tok.text == "var" || tok.text == "let" || tok.text == "func" || tok.text == "for";
            if (introducer && t + 1 < tokens.size() && tokens[t + 1].kind == Token::word &&
                !kKeywords.contains(tokens[t + 1].text))
                names.insert(tokens[t + 1].text);
            // A parameter or tuple name: a word followed by ':' inside a function head or pattern.
            auto after = tok.pos + tok.text.size();
            if (!kKeywords.contains(tok.text) && !kPlatformNames.contains(tok.text) && after < line.size() &&
                line[after] == ':' && line.find("func") != std::string::npos)
                names.insert(tok.text);
        }
    }
    return names;
}

std::vector<ColorRule> syntaxColors(int k, const std::string& line, const std::set<std::string>& names) {
    std::vector<ColorRule> rules;
    std::set<std::string> seen;
    const auto section = lineSection(k);
    for (const auto& tok : tokenize(line)) {
        if (!seen.insert(tok.text).second || line.find(tok.text) != tok.pos) continue;
        std::optional<ColorAttribute> color;
        switch (tok.kind) {
        case Token::comment:
            color = ColorAttribute::greenComment;
            break;
        case Token::string:
            color = ColorAttribute::redString;
            break;
        case Token::number:
            color = ColorAttribute::purpleNumber;
            break;
        case Token::word:
            if (kKeywords.contains(tok.text))
                color = ColorAttribute::pinkKeyword;
            else if (kPlatformNames.contains(tok.text))
                color = ColorAttribute::blueOther;
            else if (names.contains(tok.text))
                color = ColorAttribute::greenProject;
            break;
        }
        if (color) rules.push_back({section, tok.text, *color});
    }
    return rules;
}

std::vector<ColorRule> proseColors(CustomStringSection section, const std::string& text,
                                   const std::set<std::string>& names) {
    static const std::set<std::string> kProseKeywords = {"var",  "let",   "func",  "nil",
                                                         "true", "false", "inout", "return"};
    static const std::string kOperatorChars = "=!<>&|?+-*/%.";
    std::vector<ColorRule> rules;
    std::set<std::string> seen;
    auto add = [&](const std::string& token, ColorAttribute color) {
        if (seen.insert(token).second) rules.push_back({section, token, color});
    };
    for (const auto& tok : tokenize(text)) {
        if (tok.kind == Token::string && tok.text.size() > 2)
            add(tok.text, ColorAttribute::redString);
        else if (tok.kind == Token::word && kProseKeywords.contains(tok.text))
            add(tok.text, ColorAttribute::pinkKeyword);
        else if (tok.kind == Token::word && kPlatformNames.contains(tok.text))
            add(tok.text, ColorAttribute::blueOther);
        else if (tok.kind == Token::word && names.contains(tok.text))
            add(tok.text, ColorAttribute::greenProject);
    }
    for (std::string::size_type i = 0; i < text.size();) {
        auto end = text.find_first_not_of(kOperatorChars, i);
        if (end == std::string::npos) end = text.size();
        if (end - i >= 2 && text.compare(i, end - i, std::string(end - i, '.')) != 0)
            add(text.substr(i, end - i), ColorAttribute::pinkKeyword);
        else if (end - i == 3)
            add("...", ColorAttribute::pinkKeyword);
        i = end == i ? i + 1 : end;
    }
    return rules;
}

std::vector<std::string> wholeNumbers(int first, int last) {
    std::vector<std::string> texts;
    for (int n = first; n <= last; ++n)
        texts.push_back(std::to_string(n));
    return texts;
}

std::string stepsThenAnswer(const std::vector<std::string>& steps, const std::string& answer) {
    std::string message;
    for (const auto& step : steps)
        message += step + " \n ";
    return message + answer;
}

namespace {

// A record's code read apart: its line texts with the field cut out of the field line (Text1 left), the
// field's line (1-based), its answer and the code after it (absent when nothing follows).
struct ParsedCode {
    std::vector<std::string> lineTexts;
    int fieldLine = 0;
    std::string answer;
    std::optional<std::string> after;
};

ParsedCode parseCode(const std::string& id, const std::string& code) {
    ParsedCode parsed{splitLines(code), 0, {}, {}};
    auto& lineTexts = parsed.lineTexts;
    if (lineTexts.size() > static_cast<std::size_t>(Lesson::kMaxLines))
        throw std::invalid_argument(id + ": more than ten code lines");
    for (std::size_t i = 0; i < lineTexts.size(); ++i) {
        auto open = lineTexts[i].find(kOpen);
        if (open == std::string::npos) continue;
        auto close = lineTexts[i].find(kClose, open);
        if (parsed.fieldLine != 0 || close == std::string::npos)
            throw std::invalid_argument(id + ": the code needs exactly one «answer» field");
        parsed.fieldLine = static_cast<int>(i) + 1;
        parsed.answer = lineTexts[i].substr(open + kOpen.size(), close - open - kOpen.size());
        auto rest = lineTexts[i].substr(close + kClose.size());
        if (!rest.empty()) parsed.after = std::move(rest);
        lineTexts[i].resize(open);
    }
    if (parsed.fieldLine == 0)
        throw std::invalid_argument(id + ": the code needs exactly one «answer» field");
    return parsed;
}

// The automatic rules of a record's code (and, with a colour count, of its prose) followed by its own
// rules. The texts are the lesson's, which are the record's as made by makeLesson: the hint is the first
// error entry, the wrong-answer hints the others, and the outputs' success texts the success dictionary.
std::vector<ColorRule> automaticThenOwn(const Lesson& lesson, const std::string& code,
                                        const std::vector<ColorRule>& own, std::optional<int> colorCount) {
    const auto [lineTexts, fieldLine, answer, after] = parseCode(lesson.lessonID, code);
    const auto shownLines = lesson.lines;
    const auto& instruction = lesson.instruction;
    const auto& hint = lesson.errors.front();
    const auto wrong = std::span(lesson.errors).subspan(1);
    std::vector<ColorRule> automatic;
    auto names = declaredNames(code);
    for (int k = 1; k <= static_cast<int>(std::min<std::int64_t>(shownLines, lineTexts.size())); ++k) {
        std::string shown = lineTexts[k - 1];
        if (k == fieldLine && after) shown += " " + *after;
        for (auto& rule : syntaxColors(k, shown, names))
            automatic.push_back(std::move(rule));
    }
    if (colorCount) {
        std::string successTexts = lesson.successMessage;
        if (lesson.answerDebugSuccessMessageDictionary)
            for (const auto& [key, success] : *lesson.answerDebugSuccessMessageDictionary)
                successTexts += "\n" + success;
        std::string errorTexts = hint.title + "\n" + hint.message;
        for (const auto& entry : wrong)
            errorTexts += "\n" + entry.title + "\n" + entry.message;
        std::vector<std::pair<CustomStringSection, std::string>> texts = {
            {CustomStringSection::instruction, instruction},
            {CustomStringSection::success, successTexts},
            {CustomStringSection::error, errorTexts}};
        for (const auto& [section, text] : texts)
            for (auto& rule : proseColors(section, text, names))
                automatic.push_back(std::move(rule));
        // Then the lesson's code vocabulary wherever else it may be shown: first where the text
        // holds it, then (rules that paint nothing today) where it does not.
        for (int k = 1; k <= static_cast<int>(std::min<std::int64_t>(shownLines, lineTexts.size())); ++k)
            texts.emplace_back(lineSection(k),
                               k == fieldLine && after ? lineTexts[k - 1] + " " + *after : lineTexts[k - 1]);
        std::vector<std::string> vocabularyTexts = {answer};
        for (int k = 1; k <= static_cast<int>(std::min<std::int64_t>(shownLines, lineTexts.size())); ++k)
            vocabularyTexts.push_back(k == fieldLine && after ? lineTexts[k - 1] + " " + *after
                                                              : lineTexts[k - 1]);
        std::vector<ColorRule> vocabulary;
        for (const auto& vocabularyText : vocabularyTexts)
            for (auto& rule : syntaxColors(fieldLine, vocabularyText, names))
                if (std::none_of(vocabulary.begin(), vocabulary.end(),
                                 [&](const ColorRule& v) { return v.rangeOfString == rule.rangeOfString; }))
                    vocabulary.push_back(rule);
        auto known = [&](CustomStringSection section, const std::string& text) {
            return std::any_of(automatic.begin(), automatic.end(), [&](const ColorRule& r) {
                return r.customStringSection == section && r.rangeOfString == text;
            });
        };
        for (bool present : {true, false})
            for (const auto& [section, text] : texts)
                for (const auto& word : vocabulary)
                    if ((text.find(word.rangeOfString) != std::string::npos) == present &&
                        !known(section, word.rangeOfString))
                        automatic.push_back({section, word.rangeOfString, word.color});
    }
    // A rule the record writes itself makes the automatic one for the same text redundant.
    std::erase_if(automatic, [&](const ColorRule& rule) {
        return std::any_of(own.begin(), own.end(), [&](const ColorRule& written) {
            return written.customStringSection == rule.customStringSection &&
                   written.rangeOfString == rule.rangeOfString;
        });
    });
    if (colorCount) {
        auto room = std::max<std::ptrdiff_t>(0, *colorCount - static_cast<std::ptrdiff_t>(own.size()));
        if (static_cast<std::ptrdiff_t>(automatic.size()) > room)
            automatic.resize(static_cast<std::size_t>(room));
    }
    automatic.insert(automatic.end(), own.begin(), own.end());
    return automatic;
}

} // namespace

Lesson::Ptr makeLesson(LessonForm form) {
    auto [lineTexts, fieldLine, answer, after] = parseCode(form.id, form.code);
    const auto shownLines = form.lines.value_or(static_cast<std::int64_t>(lineTexts.size()));
    if (form.padTo > 0) lineTexts.resize(static_cast<std::size_t>(form.padTo));

    std::vector<ErrorMessage> errors;
    errors.reserve(1 + form.wrong.size());
    errors.push_back(ErrorMessage{std::move(form.hint.title), std::move(form.hint.message), {}, {}});
    for (auto& wrong : form.wrong)
        errors.push_back(ErrorMessage{std::move(wrong.title), std::move(wrong.message),
                                      std::move(wrong.errorString), wrong.contains});

    auto lesson = Lesson::make(std::move(form.id), form.number, std::move(form.title),
                               std::move(form.instruction), std::move(lineTexts), std::move(answer),
                               std::move(form.success), shownLines, fieldLine, std::move(errors));
    if (after) lesson->setText2(fieldLine, std::move(after));

    lesson->acceptedAnswers.reserve(1 + form.accepted.size());
    for (auto& extra : form.accepted)
        lesson->acceptedAnswers.push_back(std::move(extra));

    TextFieldFormatting& formatting = lesson->textFieldFormatting;
    formatting.placeholderText = std::move(form.placeholder);
    if (form.inputColor) formatting.inputColor = uiColor(*form.inputColor);

    if (!form.outputs.empty()) {
        OrderedDictionary printed, success;
        for (auto& output : form.outputs) {
            if (output.printed) printed.set(output.key, std::move(*output.printed));
            success.set(std::move(output.key), std::move(output.success));
        }
        lesson->answerDebugMessageLabelDictionary = std::move(printed);
        lesson->answerDebugSuccessMessageDictionary = std::move(success);
    }

    lesson->debuggerView = form.debugger;
    if (form.blankDebugTexts) {
        lesson->debuggerPrintValue = "";
        lesson->debuggerLabelStart = lesson->debuggerLabelEnd = "";
        lesson->successLabelStart = lesson->successLabelEnd = "";
    }
    if (form.printValue) lesson->debuggerPrintValue = std::move(form.printValue);
    if (form.labels) {
        lesson->debuggerLabelStart = std::move(form.labels->start);
        lesson->debuggerLabelEnd = std::move(form.labels->end);
    }
    if (form.successLabels) {
        lesson->successLabelStart = std::move(form.successLabels->start);
        lesson->successLabelEnd = std::move(form.successLabels->end);
    }
    if (form.dynamic) {
        lesson->dynamicAnswer = true;
        lesson->dynamicSpaceComponents = form.dynamic->spaceComponents;
        lesson->dynamicQuoteComponents = form.dynamic->quoteComponents;
    }
    lesson->useSameMessageForAllAnswers = form.sameMessage;
    lesson->inputAccessoryViewTextValues = std::move(form.words);
    lesson->videoTutorial = std::move(form.video);
    lesson->searchText = std::move(form.search);

    if (form.autoColor)
        lesson->setCustomStringsRecipe([code = std::move(form.code), own = std::move(form.colors),
                                        count = form.colorCount](const Lesson& made) {
            return automaticThenOwn(made, code, own, count);
        });
    else
        lesson->setCustomStrings(std::move(form.colors));
    return lesson;
}

Lesson::Ptr addLesson(Chapter& chapter, LessonForm form) {
    auto lesson = makeLesson(std::move(form));
    chapter.lessons.push_back(lesson);
    return lesson;
}

} // namespace content
