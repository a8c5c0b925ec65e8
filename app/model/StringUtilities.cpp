#include "app/model/StringUtilities.hpp"

#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

bool isAsciiBytes(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isBlankScalar(UChar32 c) {
    if (c == '\t' || c == ' ') return true;
    if (c < 0x80) return false;
    return u_charType(c) == U_SPACE_SEPARATOR;
}

bool isBlankOrLineBreakScalar(UChar32 c) {
    if (c >= 0x0A && c <= 0x0D) return true;
    if (c == 0x85) return true;
    if (isBlankScalar(c)) return true;
    if (c < 0x80) return false;
    auto type = u_charType(c);
    return type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

// Walks the scalars of UTF-8 text; an undecodable byte is reported as a negative scalar of length 1.
template <typename F> void forEachScalar(std::string_view text, F&& f) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (!f(c, static_cast<std::size_t>(start), static_cast<std::size_t>(i))) return;
    }
}

template <typename IsSeparator> std::string splitAndJoin(std::string_view text, IsSeparator isSeparator) {
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    auto add = [&](std::string_view piece) {
        if (pendingSpace && !out.empty()) out.push_back(' ');
        pendingSpace = false;
        out.append(piece);
    };
    if (isAsciiBytes(text)) {
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            if (i == text.size() || isSeparator(static_cast<unsigned char>(text[i]))) {
                if (i > start) add(text.substr(start, i - start));
                pendingSpace = true;
                start = i + 1;
            }
        }
        return out;
    }
    std::size_t pieceStart = 0;
    forEachScalar(text, [&](UChar32 c, std::size_t begin, std::size_t end) {
        if (c >= 0 && isSeparator(c)) {
            if (begin > pieceStart) add(text.substr(pieceStart, begin - pieceStart));
            pendingSpace = true;
            pieceStart = end;
        }
        return true;
    });
    if (text.size() > pieceStart) add(text.substr(pieceStart));
    return out;
}

// One character iterator per thread, made on first use: opening one costs far more than a check.
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

// Calls f(boundary) for every character boundary after the start, in order, until f returns false.
template <typename F> void forEachBoundary(std::string_view text, F&& f) {
    icu::BreakIterator* it = characterIterator();
    UErrorCode status = U_ZERO_ERROR;
    UText* ut =
        it ? utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status) : nullptr;
    if (!it || !ut || U_FAILURE(status)) {
        // Without ICU's help, fall back to scalars: still safe, only less precise for combined marks.
        if (ut) utext_close(ut);
        forEachScalar(text, [&](UChar32, std::size_t, std::size_t end) { return f(end); });
        return;
    }
    it->setText(ut, status);
    for (int32_t b = it->next(); b != icu::BreakIterator::DONE; b = it->next())
        if (!f(static_cast<std::size_t>(b))) break;
    // Leave the shared iterator pointing at nothing that is about to go away.
    it->setText(icu::UnicodeString());
    utext_close(ut);
}

std::string nfc(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    std::string out;
    icu::StringByteSink<std::string> sink(&out);
    normalizer->normalizeUTF8(0, icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), sink,
                              nullptr, status);
    if (U_FAILURE(status)) return std::string(text);
    return out;
}

} // namespace

bool isPlainAscii(std::string_view text) {
    return isAsciiBytes(text) && std::memchr(text.data(), '\r', text.size()) == nullptr;
}

bool containsEmoji(std::string_view text) {
    if (isAsciiBytes(text)) return false;
    bool found = false;
    forEachScalar(text, [&](UChar32 c, std::size_t, std::size_t) {
        found = (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F680 && c <= 0x1F6FF) ||
                (c >= 0x1F1E6 && c <= 0x1F1FF) || (c >= 0x2600 && c <= 0x26FF) ||
                (c >= 0x2700 && c <= 0x27BF) || (c >= 0xFE00 && c <= 0xFE0F) ||
                (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20D0 && c <= 0x20FF);
        return !found;
    });
    return found;
}

std::string collapsingWhitespace(std::string_view text) {
    return splitAndJoin(text, [](UChar32 c) { return isBlankOrLineBreakScalar(c); });
}

std::string joiningBlankSeparated(std::string_view text) {
    return splitAndJoin(text, [](UChar32 c) { return isBlankScalar(c); });
}

std::string trimmingBlanks(std::string_view text) {
    std::size_t begin = text.size();
    std::size_t end = 0;
    forEachScalar(text, [&](UChar32 c, std::size_t from, std::size_t to) {
        if (c < 0 || !isBlankScalar(c)) {
            begin = std::min(begin, from);
            end = to;
        }
        return true;
    });
    if (begin >= end) return {};
    return std::string(text.substr(begin, end - begin));
}

std::size_t characterCount(std::string_view text) {
    if (isPlainAscii(text)) return text.size();
    std::size_t count = 0;
    forEachBoundary(text, [&](std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::size_t characterOffset(std::string_view text, std::size_t count) {
    if (isPlainAscii(text)) return std::min(count, text.size());
    if (count == 0) return 0;
    std::size_t offset = text.size();
    std::size_t seen = 0;
    forEachBoundary(text, [&](std::size_t boundary) {
        if (++seen == count) {
            offset = boundary;
            return false;
        }
        return true;
    });
    return offset;
}

std::string droppingLastCharacter(std::string_view text) {
    if (text.empty()) return {};
    if (isPlainAscii(text)) return std::string(text.substr(0, text.size() - 1));
    std::size_t previous = 0;
    std::size_t last = 0;
    forEachBoundary(text, [&](std::size_t boundary) {
        previous = last;
        last = boundary;
        return true;
    });
    return std::string(text.substr(0, previous));
}

bool sameText(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (isAsciiBytes(a) && isAsciiBytes(b)) return false;
    return nfc(a) == nfc(b);
}

bool startsWithShorter(std::string_view text, std::string_view prefix) {
    if (isPlainAscii(text) && isPlainAscii(prefix))
        return text.size() > prefix.size() && text.substr(0, prefix.size()) == prefix;
    const std::size_t n = characterCount(prefix);
    const std::size_t cut = characterOffset(text, n);
    if (cut >= text.size()) return false; // as long as the prefix or shorter
    return sameText(text.substr(0, cut), prefix);
}

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}
