#include "model/StringUtilities.hpp"

#include "platform/foundation/Text.hpp"

#include <algorithm>
#include <cstring>

namespace {

// The two whitespace classes on ASCII, where they need no lookup: blanks are space and tab, line
// breaks LF, VT, FF and CR.
constexpr bool isAsciiBlank(char32_t c) {
    return c == U' ' || c == U'\t';
}
constexpr bool isAsciiBlankOrLineBreak(char32_t c) {
    return isAsciiBlank(c) || (c >= U'\n' && c <= U'\r');
}

// Splits at every scalar `isSeparator` accepts, drops empty pieces and appends the rest to `out`,
// joined with one space.
template <typename IsSeparator>
void appendSplitAndJoined(std::string& out, std::string_view text, IsSeparator isSeparator) {
    bool first = true;
    std::size_t pieceStart = 0;
    auto flush = [&](std::size_t end) {
        if (end > pieceStart) {
            if (!first) out.push_back(' ');
            first = false;
            out.append(text.substr(pieceStart, end - pieceStart));
        }
    };
    if (ns::isAscii(text)) {
        for (std::size_t i = 0; i < text.size(); ++i)
            if (isSeparator(static_cast<char32_t>(text[i]))) {
                flush(i);
                pieceStart = i + 1;
            }
    } else {
        ns::forEachScalar(text, [&](const ns::Scalar& s) {
            if (s.valid && isSeparator(s.value)) {
                flush(s.offset);
                pieceStart = s.offset + s.length;
            }
        });
    }
    flush(text.size());
}

// The NFC form, or the bytes themselves when they are not UTF-8 (never equal to anything else then).
std::string comparable(std::string_view text, bool validUtf8) {
    return validUtf8 ? ns::normalizedNFC(text) : std::string(text);
}

// Whether the texts hold the same bytes; the first byte is looked at inline, as most texts compared with
// an answer differ there.
bool sameBytes(std::string_view a, std::string_view b) {
    return a.size() == b.size() && (a.empty() || (a.front() == b.front() && a == b));
}

} // namespace

bool isPlainAscii(std::string_view text) {
    return ns::isAscii(text) && std::memchr(text.data(), '\r', text.size()) == nullptr;
}

bool containsEmoji(std::string_view text) {
    // Every range below starts at U+20D0 or later, whose UTF-8 form starts with 0xE2 or more.
    if (ns::maxByte(text) < 0xE2) return false;
    bool found = false;
    ns::forEachScalar(text, [&](const ns::Scalar& s) {
        const char32_t c = s.value;
        found = found || (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F680 && c <= 0x1F6FF) ||
                (c >= 0x1F1E6 && c <= 0x1F1FF) || (c >= 0x2600 && c <= 0x26FF) ||
                (c >= 0x2700 && c <= 0x27BF) || (c >= 0xFE00 && c <= 0xFE0F) ||
                (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20D0 && c <= 0x20FF);
    });
    return found;
}

void appendCollapsingWhitespace(std::string& out, std::string_view text) {
    appendSplitAndJoined(out, text, [](char32_t c) {
        return c < 0x80 ? isAsciiBlankOrLineBreak(c) : ns::isBlankOrLineBreak(c);
    });
}

std::string collapsingWhitespace(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendCollapsingWhitespace(out, text);
    return out;
}

std::string joiningBlankSeparated(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendSplitAndJoined(out, text, [](char32_t c) { return c < 0x80 ? isAsciiBlank(c) : ns::isBlank(c); });
    return out;
}

std::string trimmingBlanks(std::string_view text) {
    if (ns::isAscii(text)) {
        std::size_t begin = 0, end = text.size();
        while (begin < end && isAsciiBlank(static_cast<unsigned char>(text[begin])))
            ++begin;
        while (end > begin && isAsciiBlank(static_cast<unsigned char>(text[end - 1])))
            --end;
        return std::string(text.substr(begin, end - begin));
    }
    std::size_t begin = text.size();
    std::size_t end = 0;
    ns::forEachScalar(text, [&](const ns::Scalar& s) {
        if (!s.valid || !ns::isBlank(s.value)) {
            begin = std::min(begin, s.offset);
            end = s.offset + s.length;
        }
    });
    if (begin >= end) return {};
    return std::string(text.substr(begin, end - begin));
}

std::size_t characterCount(std::string_view text) {
    return isPlainAscii(text) ? text.size() : ns::characterCount(text);
}

std::size_t characterOffset(std::string_view text, std::size_t count) {
    return isPlainAscii(text) ? std::min(count, text.size()) : ns::byteOffsetOfCharacter(text, count);
}

std::string droppingLastCharacter(std::string_view text) {
    const std::size_t count = characterCount(text);
    return count == 0 ? std::string() : std::string(text.substr(0, characterOffset(text, count - 1)));
}

bool sameText(std::string_view a, std::string_view b) {
    return TextMatcher(a).sameAs(b);
}

bool startsWithShorter(std::string_view text, std::string_view prefix) {
    return TextMatcher(prefix).isShorterPrefixOf(text);
}

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    parts.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), separator)) + 1);
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

TextMatcher::TextMatcher(std::string_view text)
    : text_(text), plainAscii_(isPlainAscii(text)), asciiBytes_(ns::isAscii(text)) {
    if (plainAscii_) {
        normalizedAscii_ = true;
        characters_ = text_.size();
        return;
    }
    validUtf8_ = ns::isValidUtf8(text_);
    normalized_ = comparable(text_, validUtf8_);
    normalizedAscii_ = ns::isAscii(normalized_);
    characters_ = ns::characterCount(text_);
}

bool TextMatcher::sameAs(std::string_view other) const {
    if (sameBytes(other, text_)) return true;
    // A text whose normal form is ASCII text is that text or longer: the only non-ASCII characters
    // that normalise to ASCII (KELVIN SIGN, GREEK QUESTION MARK, ...) take two or more bytes for one.
    // So a different text no longer than ASCII text is never the same; most accepted answers are
    // settled here without reading them.
    if (asciiBytes_ && other.size() <= text_.size()) return false;
    const bool otherAscii = ns::isAscii(other);
    // ASCII is its own normal form; a few other characters do normalise to ASCII, so only both sides
    // being ASCII, or an ASCII side facing a non-ASCII normal form, settles it early.
    if (otherAscii && (asciiBytes_ || !normalizedAscii_)) return false;
    const bool otherValid = otherAscii || ns::isValidUtf8(other);
    if (!validUtf8_ || !otherValid) return false;
    return comparable(other, true) == (asciiBytes_ ? text_ : normalized_);
}

bool TextMatcher::isShorterPrefixOf(std::string_view other) const {
    // No text has more characters than bytes, and plain ASCII has as many.
    if (plainAscii_ && other.size() <= text_.size()) return false;
    if (plainAscii_ && isPlainAscii(other)) return sameBytes(other.substr(0, text_.size()), text_);
    const std::size_t cut = characterOffset(other, characters_);
    if (cut >= other.size()) return false; // as long as the text or shorter
    return sameAs(other.substr(0, cut));
}
