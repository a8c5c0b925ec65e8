#include "app/lesson/AnswerRebuild.hpp"

#include "model/StringUtilities.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace answer {

namespace {

constexpr char kQuote = '"';

bool startsWithSpace(std::string_view s) {
    // A space followed by a combining mark is one character that is not a space.
    return !s.empty() && s.front() == ' ' && characterOffset(s, 1) == 1;
}
bool endsWithSpace(std::string_view s) {
    return !s.empty() && s.back() == ' ';
}

// Appends fold(P2) of a 3-part answer, and of a 5-part answer when `trailing` is set.
void appendMiddlePiece(std::string& out, std::string_view p, bool trailing) {
    if (p.empty()) return;
    if (startsWithSpace(p)) out.push_back(' ');
    appendCollapsingWhitespace(out, p);
    if (trailing && endsWithSpace(p)) out.push_back(' ');
}

} // namespace

std::string applyEdit(std::string_view current, std::size_t location, std::size_t length,
                      std::string_view replacement) {
    const std::size_t from = characterOffset(current, location);
    // A range that reaches past the end (however far) ends at the end; the sum must not wrap round.
    const std::size_t end = length > SIZE_MAX - location ? SIZE_MAX : location + length;
    const std::size_t to = characterOffset(current, end);
    std::string out;
    out.reserve(current.size() + replacement.size());
    out.append(current.substr(0, from));
    out.append(replacement);
    out.append(current.substr(std::max(from, to)));
    return out;
}

std::string quoteGuidedRebuild(std::string_view input, std::size_t answerParts) {
    // The pieces between the quotes, as splitAt gives them; only the first five play a part, and only
    // whether there are one, two, three or four, or five or more of them.
    std::array<std::string_view, 5> p;
    std::size_t pieces = 0;
    for (std::size_t start = 0;;) {
        const std::size_t at = input.find(kQuote, start);
        p[pieces++] = input.substr(start, at == std::string_view::npos ? at : at - start);
        if (at == std::string_view::npos || pieces == p.size()) break;
        start = at + 1;
    }
    // Built in one string, as the keystroke that runs this should allocate as little as it can.
    std::string joined;
    joined.reserve(input.size() + 2);
    appendCollapsingWhitespace(joined, p[0]);
    if (endsWithSpace(p[0])) joined.push_back(' ');
    if (pieces == 1) return joined;
    joined.push_back(kQuote);
    joined.append(p[1]);
    if (pieces == 2) return trimmingBlanks(joined);
    const bool fivePart = answerParts == 5;
    joined.push_back(kQuote);
    appendMiddlePiece(joined, p[2], fivePart);
    if (fivePart && pieces >= 5) {
        joined.push_back(kQuote);
        joined.append(p[3]);
        joined.push_back(kQuote);
        appendMiddlePiece(joined, p[4], false);
    }
    // Collapsed text has no blank at either end: nothing is left to trim.
    return collapsingWhitespace(joined);
}

std::string staticUserAnswer(const Lesson& lesson, std::string_view input) {
    const auto answerParts =
        static_cast<std::size_t>(std::count(lesson.answer.begin(), lesson.answer.end(), kQuote)) + 1;
    if (answerParts == 3 || answerParts == 5) return quoteGuidedRebuild(input, answerParts);
    // Quote-less answers, and the odd answer with another quote count, are judged on the folded text
    // (collapsing leaves no blank at either end).
    return collapsingWhitespace(input);
}

DynamicOutcome dynamicUserAnswer(const Lesson& lesson, std::string_view input) {
    DynamicOutcome out;
    if (input.empty()) return out;
    const std::vector<std::string_view> q = splitAt(input, kQuote);
    const auto qN = lesson.dynamicQuoteComponents;

    if (qN && *qN == 1) {
        const bool opens = input.front() == kQuote;
        const bool closes = input.back() == kQuote;
        if (characterCount(input) < 2)
            out.userAnswer = std::string(input);
        else if (opens && closes) {
            out.userAnswer = "\"\"";
            out.dynamicAnswerString = std::string(q[1]);
        } else if (opens && q.size() <= 2)
            out.userAnswer = "\"";
        else
            out.userAnswer = std::string(input);
        return out;
    }

    const std::vector<std::string_view> s = splitAt(input, ' ');
    const auto sN = lesson.dynamicSpaceComponents;
    const bool closed = qN && static_cast<std::int64_t>(q.size()) == *qN && sN && *sN >= 1 &&
                        static_cast<std::size_t>(*sN) <= s.size() && q.back().empty();
    if (closed) {
        out.dynamicAnswerString = std::string(q[1]);
        out.printed = out.dynamicAnswerString;
        const auto keep = static_cast<std::size_t>(*sN);
        std::string literal;
        for (std::size_t i = keep - 1; i < s.size(); ++i)
            literal.append(s[i]);
        if (characterCount(literal) >= 4 && literal.front() == kQuote && literal.back() == kQuote) {
            std::string joined;
            for (std::size_t i = 0; i + 1 < keep; ++i) {
                joined.append(s[i]);
                joined.push_back(' ');
            }
            joined.append("\"\"");
            out.userAnswer = std::move(joined);
        }
        return out;
    }

    // q.size() + 1 rather than qN - 1: any qN the content holds must be safe to compare.
    if (qN && static_cast<std::int64_t>(q.size()) + 1 == *qN) {
        if (!sameText(q[0], lesson.answer))
            out.userAnswer = std::string(q[0]) + kQuote;
        else
            out.userAnswer = droppingLastCharacter(lesson.answer);
        return out;
    }
    out.userAnswer = std::string(input);
    return out;
}

} // namespace answer
