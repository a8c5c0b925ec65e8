#pragma once
// Unicode text helpers on UTF-8 std::string, backed by ICU.
//
// "Characters" are extended grapheme clusters, as a person sees them: "e" + U+0301 is one character,
// a flag (two regional indicators) is one, a family emoji joined by ZWJ is one, CR LF is one.
// Every function here accepts any bytes: invalid UTF-8 never crashes; each invalid byte decodes as
// U+FFFD and counts as one character of its own. ASCII text takes fast paths that do not touch ICU,
// because the answer check runs these helpers on every keystroke.
//
// Failure contract: no function throws or fails; out-of-range positions clamp to the text's ends.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

// --- Unicode scalars -------------------------------------------------------------------------------

inline constexpr char32_t replacementCharacter = U'\uFFFD';

// One decoded scalar: its value, where it starts and how many bytes it covers. An invalid or truncated
// sequence yields U+FFFD with valid == false and length 1 (the decoder resumes at the next byte).
struct Scalar {
    char32_t value = 0;
    std::size_t offset = 0;
    std::size_t length = 0;
    bool valid = true;
};

// Decodes the scalar at byte `offset`. At or past the end it returns a Scalar of length 0.
Scalar decodeScalarAt(std::string_view text, std::size_t offset);

// All scalars of the text, in order (invalid bytes as U+FFFD).
std::u32string decodeScalars(std::string_view text);

// Calls fn(const Scalar&) for each scalar, in order.
template <typename Fn> void forEachScalar(std::string_view text, Fn&& fn) {
    std::size_t offset = 0;
    while (offset < text.size()) {
        // ASCII bytes, the most of any answer, are decoded here rather than by a call.
        const auto byte = static_cast<unsigned char>(text[offset]);
        const Scalar s = byte < 0x80 ? Scalar{byte, offset, 1, true} : decodeScalarAt(text, offset);
        fn(s);
        offset += s.length;
    }
}

// Appends the UTF-8 form of a scalar; surrogates and values above U+10FFFF append U+FFFD.
void appendScalar(std::string& out, char32_t scalar);

// The largest byte of the text (0 for the empty text): below 0x80 the text is ASCII, below 0xE2 it
// holds no scalar from U+2000 on.
unsigned char maxByte(std::string_view text);
// True when every byte is below 0x80: the fast path of every text helper, asked on each keystroke. It is
// inline, and one pass without an early exit, which the compiler makes a vector loop.
inline bool isAscii(std::string_view text) {
    unsigned char any = 0;
    for (char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}
// True when the bytes are well-formed UTF-8 (no surrogates, no overlong forms).
bool isValidUtf8(std::string_view text);

// --- Characters (extended grapheme clusters) -------------------------------------------------------

// Number of characters.
std::size_t characterCount(std::string_view text);

// Byte offset where character `n` starts; text.size() when n >= characterCount(text).
std::size_t byteOffsetOfCharacter(std::string_view text, std::size_t n);

// The first n characters (the whole text when it has fewer).
std::string characterPrefix(std::string_view text, std::size_t n);

// `length` characters starting at character `start`, clamped to the text.
std::string characterSubstring(std::string_view text, std::size_t start, std::size_t length);

// The text from character `start` to its end.
std::string characterSuffixFrom(std::string_view text, std::size_t start);

// Each character as its own string; joining them gives the text back byte for byte.
std::vector<std::string> splitCharacters(std::string_view text);

// --- Comparison and case ---------------------------------------------------------------------------

// True when the texts are canonically equivalent ("é" precomposed equals "e" + U+0301). Bytewise
// equality and pure ASCII take a fast path. Text with invalid UTF-8 compares bytewise, so two different
// broken byte runs are never called equal just because both decode to U+FFFD.
bool canonicallyEqual(std::string_view a, std::string_view b);

// The NFC form of the text (invalid bytes become U+FFFD).
std::string normalizedNFC(std::string_view text);
// The NFD form of the text (invalid bytes become U+FFFD).
std::string normalizedNFD(std::string_view text);

// Unicode lower-casing with the root locale (no locale-specific rules such as the Turkish dotless i).
std::string lowercased(std::string_view text);

// --- Whitespace classes ----------------------------------------------------------------------------

// Blanks: horizontal whitespace, i.e. TAB and every space separator (general category Zs: SPACE,
// NO-BREAK SPACE, the EN/EM spaces, IDEOGRAPHIC SPACE, ...).
bool isBlank(char32_t scalar);

// Blanks and line breaks: the blanks plus LF, VT, FF, CR, NEL (U+0085), LINE SEPARATOR (U+2028) and
// PARAGRAPH SEPARATOR (U+2029).
bool isBlankOrLineBreak(char32_t scalar);

} // namespace ns
