#pragma once
// Text helpers of the answer check. They run on every keystroke, so each has a fast path for plain
// ASCII text and falls back to the platform's Unicode helpers (grapheme clusters, canonical
// equivalence, whitespace classes) only when the text holds other characters.
//
// "Character" means an extended grapheme cluster, as the learner sees it. "Blanks" are the horizontal
// whitespace characters (tab and the space separators); "blanks and line breaks" add the line and
// paragraph separators and LF, VT, FF, CR and NEL. Invalid UTF-8 is never an error: undecodable bytes
// count as ordinary characters and are kept.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Whether one Unicode scalar of the text lies in one of the emoji ranges (symbols and pictographs,
// emoticons, transport, regional indicators, miscellaneous symbols, dingbats, variation selectors,
// supplemental symbols, combining marks for symbols). False for the empty text.
bool containsEmoji(std::string_view text);

// Split at runs of blanks and line breaks, drop the empty pieces, join with one space. The result
// holds no blank or line break at either end.
std::string collapsingWhitespace(std::string_view text);

// collapsingWhitespace(text) appended to `out`.
void appendCollapsingWhitespace(std::string& out, std::string_view text);

// Split at every blank (line breaks are kept), drop the empty pieces, join with one space.
std::string joiningBlankSeparated(std::string_view text);

// The text without blanks at either end.
std::string trimmingBlanks(std::string_view text);

// Number of characters (extended grapheme clusters).
std::size_t characterCount(std::string_view text);

// Byte offset of the end of the first `count` characters; the text's size when it has fewer.
std::size_t characterOffset(std::string_view text, std::size_t count);

// The text without its last character ("" stays "").
std::string droppingLastCharacter(std::string_view text);

// Exact comparison, case-sensitive, where canonically equivalent texts count as equal.
bool sameText(std::string_view a, std::string_view b);

// Whether `text` has more characters than `prefix` and its first characterCount(prefix) characters
// are the same text as `prefix`.
bool startsWithShorter(std::string_view text, std::string_view prefix);

// The pieces between the separator bytes, empty pieces included ("a""b" split at '"' is 3 pieces).
std::vector<std::string_view> splitAt(std::string_view text, char separator);

// Whether every byte is 7-bit and the text holds no CR (CR LF is one character).
bool isPlainAscii(std::string_view text);

// One text compared with many (the learner's answer with every accepted answer): what the comparisons
// need of it is worked out once. Same rules as sameText and startsWithShorter.
class TextMatcher {
  public:
    explicit TextMatcher(std::string_view text);

    // sameText(text, other).
    bool sameAs(std::string_view other) const;
    // startsWithShorter(other, text): `other` is longer and begins with the text.
    bool isShorterPrefixOf(std::string_view other) const;

  private:
    std::string text_;
    bool plainAscii_ = false;
    bool asciiBytes_ = false;
    bool validUtf8_ = true;
    std::string normalized_; // NFC
    bool normalizedAscii_ = false;
    std::size_t characters_ = 0;
};
