#include "platform/foundation/Text.hpp"

#include <algorithm>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

namespace ns {

// --- Scalars ---------------------------------------------------------------------------------------

Scalar decodeScalarAt(std::string_view text, std::size_t offset) {
    Scalar s;
    s.offset = offset;
    if (offset >= text.size()) return s;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + offset;
    const std::size_t avail = text.size() - offset;
    const unsigned char b0 = p[0];
    auto invalid = [&] {
        s.value = replacementCharacter;
        s.length = 1;
        s.valid = false;
        return s;
    };
    if (b0 < 0x80) {
        s.value = b0;
        s.length = 1;
        return s;
    }
    std::size_t need;
    char32_t value;
    char32_t minimum;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
        value = b0 & 0x1F;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        value = b0 & 0x0F;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        value = b0 & 0x07;
        minimum = 0x10000;
    } else {
        return invalid();
    }
    if (avail < need) return invalid();
    for (std::size_t i = 1; i < need; ++i) {
        if ((p[i] & 0xC0) != 0x80) return invalid();
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return invalid();
    s.value = value;
    s.length = need;
    return s;
}

std::u32string decodeScalars(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    forEachScalar(text, [&](const Scalar& s) { out.push_back(s.value); });
    return out;
}

void appendScalar(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = replacementCharacter;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

unsigned char maxByte(std::string_view text) {
    // One pass without an early exit: the compiler makes it a vector loop.
    unsigned char top = 0;
    for (char c : text)
        top = std::max(top, static_cast<unsigned char>(c));
    return top;
}

bool isValidUtf8(std::string_view text) {
    std::size_t offset = 0;
    while (offset < text.size()) {
        if (static_cast<unsigned char>(text[offset]) < 0x80) {
            ++offset;
            continue;
        }
        Scalar s = decodeScalarAt(text, offset);
        if (!s.valid) return false;
        offset += s.length;
    }
    return true;
}

// --- Characters ------------------------------------------------------------------------------------
namespace {

// Whether every byte lies below 0xCC, i.e. every scalar of the (valid) text below U+0300: ASCII,
// Latin-1 and the Latin Extended and IPA blocks. No such scalar extends, joins or prepends to another,
// so each is a character of its own (CR LF aside), and each is its own NFC form and composes with
// nothing before it, so such text is in NFC.
bool belowCombiningMarks(std::string_view text) {
    return maxByte(text) < 0xCC;
}

// Whether no scalar of the (possibly invalid) text can join a neighbour into one character: the
// grapheme-cluster break property of each is Other, Control, CR or LF, and between two such scalars the
// rules always break, CR LF aside. (Extended pictographs count as Other: they join only through a ZWJ,
// which is not.) Symbols, arrows, box drawing and CJK text qualify; marks, joiners, Hangul jamo and
// regional indicators send the text to ICU. Invalid bytes are characters of their own either way.
bool breaksAroundEveryScalar(std::string_view text) {
    for (std::size_t offset = 0; offset < text.size();) {
        const Scalar s = decodeScalarAt(text, offset);
        offset += s.length;
        if (!s.valid || s.value < 0x300) continue;
        switch (u_getIntPropertyValue(static_cast<UChar32>(s.value), UCHAR_GRAPHEME_CLUSTER_BREAK)) {
        case U_GCB_OTHER:
        case U_GCB_CONTROL:
        case U_GCB_CR:
        case U_GCB_LF:
            continue;
        default:
            return false;
        }
    }
    return true;
}

// One grapheme-cluster break iterator per thread: making one costs far more than using it.
icu::BreakIterator* characterIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) it.reset();
        return it;
    }();
    return iterator.get();
}

// Calls fn(start, end) for each character of a valid UTF-8 run that starts at byte `base` of the
// caller's text; stops early when fn returns false. Returns false when stopped.
template <typename Fn> bool walkValidRun(std::string_view run, std::size_t base, Fn& fn) {
    icu::BreakIterator* it = characterIterator();
    if (!it) {
        // No ICU data: degrade to one character per scalar rather than failing.
        std::size_t offset = 0;
        while (offset < run.size()) {
            Scalar s = decodeScalarAt(run, offset);
            if (!fn(base + offset, base + offset + s.length)) return false;
            offset += s.length;
        }
        return true;
    }
    UErrorCode status = U_ZERO_ERROR;
    UText ut = UTEXT_INITIALIZER;
    utext_openUTF8(&ut, run.data(), static_cast<int64_t>(run.size()), &status);
    it->setText(&ut, status);
    bool keepGoing = true;
    if (U_SUCCESS(status)) {
        int32_t start = it->first();
        for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
            if (!fn(base + static_cast<std::size_t>(start), base + static_cast<std::size_t>(end))) {
                keepGoing = false;
                break;
            }
        }
    }
    // Detach the iterator from the stack UText before it goes away.
    UErrorCode ignored = U_ZERO_ERROR;
    UText empty = UTEXT_INITIALIZER;
    utext_openUTF8(&empty, "", 0, &ignored);
    it->setText(&empty, ignored);
    utext_close(&empty);
    utext_close(&ut);
    return keepGoing;
}

// Calls fn(start, end) for each character of any text, in order, until fn returns false.
template <typename Fn> void walkCharacters(std::string_view text, Fn&& fn) {
    if (belowCombiningMarks(text)) {
        // Every scalar is a character of its own (CR LF aside), and so is every invalid byte; the only
        // sequences to recognise are the two-byte ones, lead 0xC2 to 0xCB and one continuation byte.
        for (std::size_t i = 0; i < text.size();) {
            const auto b = static_cast<unsigned char>(text[i]);
            std::size_t len = 1;
            if (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                len = 2;
            else if (b >= 0xC2 && i + 1 < text.size() &&
                     (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80)
                len = 2;
            if (!fn(i, i + len)) return;
            i += len;
        }
        return;
    }
    if (breaksAroundEveryScalar(text)) {
        for (std::size_t i = 0; i < text.size();) {
            std::size_t len = decodeScalarAt(text, i).length; // 1 for an invalid byte
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') len = 2;
            if (!fn(i, i + len)) return;
            i += len;
        }
        return;
    }
    // Runs of valid UTF-8 go through ICU; each invalid byte is a character of its own.
    std::size_t runStart = 0, offset = 0;
    while (offset < text.size()) {
        Scalar s = decodeScalarAt(text, offset);
        if (s.valid) {
            offset += s.length;
            continue;
        }
        if (offset > runStart && !walkValidRun(text.substr(runStart, offset - runStart), runStart, fn))
            return;
        if (!fn(offset, offset + 1)) return;
        offset += 1;
        runStart = offset;
    }
    if (offset > runStart) walkValidRun(text.substr(runStart, offset - runStart), runStart, fn);
}

} // namespace

std::size_t characterCount(std::string_view text) {
    if (isAscii(text)) {
        std::size_t crlf = 0;
        for (auto cr = text.find('\r'); cr != std::string_view::npos; cr = text.find('\r', cr + 1))
            if (cr + 1 < text.size() && text[cr + 1] == '\n') ++crlf;
        return text.size() - crlf;
    }
    std::size_t count = 0;
    walkCharacters(text, [&](std::size_t, std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::size_t byteOffsetOfCharacter(std::string_view text, std::size_t n) {
    if (n == 0) return 0;
    std::size_t index = 0, result = text.size();
    walkCharacters(text, [&](std::size_t start, std::size_t) {
        if (index == n) {
            result = start;
            return false;
        }
        ++index;
        return true;
    });
    return result;
}

std::string characterPrefix(std::string_view text, std::size_t n) {
    return std::string(text.substr(0, byteOffsetOfCharacter(text, n)));
}

std::string characterSubstring(std::string_view text, std::size_t start, std::size_t length) {
    std::size_t from = byteOffsetOfCharacter(text, start);
    std::string_view rest = text.substr(from);
    return std::string(rest.substr(0, byteOffsetOfCharacter(rest, length)));
}

std::string characterSuffixFrom(std::string_view text, std::size_t start) {
    return std::string(text.substr(byteOffsetOfCharacter(text, start)));
}

std::vector<std::string> splitCharacters(std::string_view text) {
    std::vector<std::string> out;
    walkCharacters(text, [&](std::size_t start, std::size_t end) {
        out.emplace_back(text.substr(start, end - start));
        return true;
    });
    return out;
}

// --- Comparison and case ---------------------------------------------------------------------------
namespace {

std::string normalizeWith(const icu::Normalizer2* normalizer, std::string_view text) {
    if (!normalizer || isAscii(text)) return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    icu::UnicodeString result = normalizer->normalize(source, status);
    if (U_FAILURE(status)) return std::string(text);
    std::string out;
    result.toUTF8String(out);
    return out;
}

const icu::Normalizer2* nfc() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
    return U_SUCCESS(status) ? n : nullptr;
}

const icu::Normalizer2* nfd() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFDInstance(status);
    return U_SUCCESS(status) ? n : nullptr;
}

} // namespace

std::string normalizedNFC(std::string_view text) {
    if (belowCombiningMarks(text) && isValidUtf8(text)) return std::string(text);
    return normalizeWith(nfc(), text);
}
std::string normalizedNFD(std::string_view text) {
    return normalizeWith(nfd(), text);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    // ASCII text is its own normal form. Only both sides ASCII settles it: a few non-ASCII characters
    // decompose to ASCII (KELVIN SIGN to "K", GREEK QUESTION MARK to ";").
    if (isAscii(a) && isAscii(b)) return false;
    if (!isValidUtf8(a) || !isValidUtf8(b)) return false;
    // NFD of both sides: decomposed forms are equal exactly when the texts are canonically equivalent.
    return normalizedNFD(a) == normalizedNFD(b);
}

std::string lowercased(std::string_view text) {
    if (isAscii(text)) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    icu::UnicodeString s =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    s.toLower(icu::Locale::getRoot());
    std::string out;
    s.toUTF8String(out);
    return out;
}

// --- Whitespace classes ----------------------------------------------------------------------------

bool isBlank(char32_t c) {
    if (c < 0x80) return c == U' ' || c == U'\t';
    return u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool isBlankOrLineBreak(char32_t c) {
    switch (c) {
    case 0x0A:   // LF
    case 0x0B:   // VT
    case 0x0C:   // FF
    case 0x0D:   // CR
    case 0x85:   // NEL
    case 0x2028: // LINE SEPARATOR
    case 0x2029: // PARAGRAPH SEPARATOR
        return true;
    default:
        return isBlank(c);
    }
}

} // namespace ns
