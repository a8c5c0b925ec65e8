#include "content/LessonForm.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>
#include <stdexcept>
#include <utility>

namespace content {
namespace {

constexpr std::string_view kOpen = "«";
constexpr std::string_view kClose = "»";

const std::set<std::string> kKeywords = {
    "var",   "let",    "if",    "else",  "for",    "in",       "while",    "repeat",   "func",  "return",
    "nil",   "true",   "false", "inout", "guard",  "defer",    "switch",   "case",     "break", "continue",
    "where", "struct", "class", "enum",  "import", "default",  "self",     "init",     "try",   "catch",
    "throw", "throws", "as",    "is",    "static", "mutating", "protocol", "extension"};

const std::set<std::string> kPlatformNames = {"print",  "String",    "Int",   "Bool",      "Float",
                                              "Double", "Character", "Array", "Dictionary"};

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::string_view::size_type start = 0;
    while (true) {
        auto end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) break;
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

std::vector<Token> tokenize(std::string_view line) {
    std::vector<Token> tokens;
    std::string::size_type i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
            tokens.push_back({std::string(line.substr(i)), i, Token::comment});
            break;
        }
        if (c == '"') {
            auto j = i + 1;
            while (j < line.size() && line[j] != '"')
                j += line[j] == '\\' ? 2 : 1;
            j = std::min(j + 1, line.size());
            tokens.push_back({std::string(line.substr(i, j - i)), i, Token::string});
            i = j;
            continue;
        }
        if (isIdentStart(c)) {
            auto j = i;
            while (j < line.size() && isIdentChar(line[j]))
                ++j;
            tokens.push_back({std::string(line.substr(i, j - i)), i, Token::word});
            i = j;
            continue;
        }
        if (isDigit(c)) {
            auto j = i;
            while (j < line.size() &&
                   (isDigit(line[j]) || (line[j] == '.' && j + 1 < line.size() && isDigit(line[j + 1]))))
                ++j;
            tokens.push_back({std::string(line.substr(i, j - i)), i, Token::number});
            i = j;
            continue;
        }
        ++i;
    }
    return tokens;
}

} // namespace

std::vector<CodeToken> codeTokens(std::string_view text) {
    return tokenize(text);
}

std::set<std::string> declaredNames(std::string_view code) {
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
                line[after] == ':' && line.find("func") != std::string_view::npos)
                names.insert(tok.text);
        }
    }
    return names;
}

std::vector<ColorRule> syntaxColors(int k, std::string_view line, const std::set<std::string>& names) {
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

std::vector<ColorRule> proseColors(CustomStringSection section, std::string_view text,
                                   const std::set<std::string>& names) {
    static const std::set<std::string> kProseKeywords = {"var",  "let",   "func",  "nil",
                                                         "true", "false", "inout", "return"};
    constexpr std::string_view kOperatorChars = "=!<>&|?+-*/%.";
    std::vector<ColorRule> rules;
    std::set<std::string> seen;
    auto add = [&](std::string_view token, ColorAttribute color) {
        if (seen.emplace(token).second) rules.push_back({section, std::string(token), color});
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
    for (std::string_view::size_type i = 0; i < text.size();) {
        auto end = text.find_first_not_of(kOperatorChars, i);
        if (end == std::string_view::npos) end = text.size();
        if (end - i >= 2 && text.compare(i, end - i, std::string(end - i, '.')) != 0)
            add(text.substr(i, end - i), ColorAttribute::pinkKeyword);
        else if (end - i == 3)
            add("...", ColorAttribute::pinkKeyword);
        i = end == i ? i + 1 : end;
    }
    return rules;
}

std::vector<LessonText> wholeNumbers(int first, int last) {
    std::vector<LessonText> texts;
    texts.reserve(static_cast<std::size_t>(std::max(0, last - first + 1)));
    for (int n = first; n <= last; ++n)
        texts.emplace_back(std::to_string(n));
    return texts;
}

std::string stepsThenAnswer(std::initializer_list<std::string_view> steps, std::string_view answer) {
    std::string message;
    for (const auto step : steps)
        message.append(step).append(" \n ");
    return message.append(answer);
}

namespace {

// A record's code read apart: its line texts with the field cut out of the field line (Text1 left), the
// field's line (1-based), its answer and the code after it (absent when nothing follows). Every part is
// a piece of the record's code, so a code that lasts gives parts that last and nothing is copied.
struct ParsedCode {
    std::array<LessonText, Lesson::kMaxLines> lineTexts;
    std::size_t lineCount = 0;
    int fieldLine = 0;
    LessonText answer;
    std::optional<LessonText> after;
};

ParsedCode parseCode(std::string_view id, const LessonText& code) {
    ParsedCode parsed;
    std::size_t start = 0;
    while (true) {
        if (parsed.lineCount == parsed.lineTexts.size())
            throw std::invalid_argument(std::string(id) + ": more than ten code lines");
        const auto end = std::min(code.find('\n', start), code.size());
        LessonText line = code.substr(start, end - start);
        const auto open = line.find(kOpen);
        if (open != std::string_view::npos) {
            const auto close = line.find(kClose, open);
            if (parsed.fieldLine != 0 || close == std::string_view::npos)
                throw std::invalid_argument(std::string(id) + ": the code needs exactly one «answer» field");
            parsed.fieldLine = static_cast<int>(parsed.lineCount) + 1;
            parsed.answer = line.substr(open + kOpen.size(), close - open - kOpen.size());
            if (close + kClose.size() < line.size()) parsed.after = line.substr(close + kClose.size());
            line = line.substr(0, open);
        }
        parsed.lineTexts[parsed.lineCount++] = std::move(line);
        if (end == code.size()) break;
        start = end + 1;
    }
    if (parsed.fieldLine == 0)
        throw std::invalid_argument(std::string(id) + ": the code needs exactly one «answer» field");
    return parsed;
}

// The automatic rules of a record's code (and, with a colour count, of its prose) followed by its own
// rules. The texts are the lesson's, which are the record's as made by makeLesson: the hint is the first
// error entry, the wrong-answer hints the others, and the outputs' success texts the success dictionary.
std::vector<ColorRule> automaticThenOwn(const Lesson& lesson, const LessonText& code,
                                        const std::vector<ColorRule>& own, std::optional<int> colorCount) {
    const ParsedCode parsed = parseCode(lesson.lessonID, code);
    const int fieldLine = parsed.fieldLine;
    const int shownCount = static_cast<int>(std::min<std::int64_t>(lesson.lines, parsed.lineCount));
    // A shown line as the learner reads it: the code after the field joins the code before it.
    auto shown = [&](int k) {
        std::string text(parsed.lineTexts[k - 1]);
        if (k == fieldLine && parsed.after) text += " " + *parsed.after;
        return text;
    };
    const auto& hint = lesson.errors.front();
    const auto wrong = std::span(lesson.errors).subspan(1);
    std::vector<ColorRule> automatic;
    auto names = declaredNames(code);
    for (int k = 1; k <= shownCount; ++k)
        for (auto& rule : syntaxColors(k, shown(k), names))
            automatic.push_back(std::move(rule));
    if (colorCount) {
        std::string successTexts = lesson.successMessage.str();
        if (lesson.answerDebugSuccessMessageDictionary)
            for (const auto& [key, success] : *lesson.answerDebugSuccessMessageDictionary)
                successTexts += "\n" + success;
        std::string errorTexts = hint.title + "\n" + hint.message;
        for (const auto& entry : wrong)
            errorTexts += "\n" + entry.title + "\n" + entry.message;
        std::vector<std::pair<CustomStringSection, std::string>> texts = {
            {CustomStringSection::instruction, lesson.instruction.str()},
            {CustomStringSection::success, successTexts},
            {CustomStringSection::error, errorTexts}};
        for (const auto& [section, text] : texts)
            for (auto& rule : proseColors(section, text, names))
                automatic.push_back(std::move(rule));
        // Then the lesson's code vocabulary wherever else it may be shown: first where the text
        // holds it, then (rules that paint nothing today) where it does not.
        for (int k = 1; k <= shownCount; ++k)
            texts.emplace_back(lineSection(k), shown(k));
        std::vector<std::string> vocabularyTexts = {parsed.answer.str()};
        for (int k = 1; k <= shownCount; ++k)
            vocabularyTexts.push_back(shown(k));
        std::vector<ColorRule> vocabulary;
        for (const auto& vocabularyText : vocabularyTexts)
            for (auto& rule : syntaxColors(fieldLine, vocabularyText, names))
                if (std::none_of(vocabulary.begin(), vocabulary.end(),
                                 [&](const ColorRule& v) { return v.rangeOfString == rule.rangeOfString; }))
                    vocabulary.push_back(rule);
        auto known = [&](CustomStringSection section, std::string_view text) {
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
    auto [lineTexts, lineCount, fieldLine, answer, after] = parseCode(form.id, form.code);
    const auto shownLines = form.lines.value_or(static_cast<std::int64_t>(lineCount));
    if (form.padTo > 0) {
        if (form.padTo > Lesson::kMaxLines)
            throw std::invalid_argument(form.id + ": more than ten code lines");
        for (auto k = lineCount; k < static_cast<std::size_t>(form.padTo); ++k)
            lineTexts[k] = LessonText();
        lineCount = static_cast<std::size_t>(form.padTo);
    }

    std::vector<ErrorMessage> errors;
    errors.reserve(1 + form.wrong.size());
    errors.push_back(ErrorMessage{std::move(form.hint.title), std::move(form.hint.message), {}, {}});
    for (auto& wrong : form.wrong)
        errors.push_back(ErrorMessage{std::move(wrong.title), std::move(wrong.message),
                                      std::move(wrong.errorString), wrong.contains});

    auto lesson =
        Lesson::make(std::move(form.id), form.number, std::move(form.title), std::move(form.instruction),
                     std::span(lineTexts.data(), lineCount), std::move(answer), std::move(form.success),
                     shownLines, fieldLine, std::move(errors));
    if (after) lesson->setText2(fieldLine, std::move(after));

    lesson->acceptedAnswers.reserve(1 + form.accepted.size());
    for (auto& extra : form.accepted)
        lesson->acceptedAnswers.push_back(std::move(extra));

    TextFieldFormatting& formatting = lesson->textFieldFormatting;
    formatting.placeholderText = std::move(form.placeholder);
    if (form.inputColor) formatting.inputColor = uiColor(*form.inputColor);

    if (!form.outputs.empty()) {
        OrderedDictionary printed, success;
        printed.reserve(form.outputs.size());
        success.reserve(form.outputs.size());
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
    if (form.words) lesson->inputAccessoryViewTextValues.emplace(form.words->begin(), form.words->end());
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
