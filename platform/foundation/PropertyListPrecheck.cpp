#include "platform/foundation/PropertyListPrecheck.hpp"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

namespace ns::plistcheck {
namespace {

std::uint64_t bigEndian(const std::uint8_t* p, unsigned n) {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i)
        v = v << 8 | p[i];
    return v;
}

// The object table of a binary property list, read from its 32-byte trailer. Both checks below walk
// it; neither trusts a number in it before bounding it against the bytes.
struct BinaryTable {
    std::span<const std::uint8_t> bytes;
    unsigned offsetSize = 0;
    unsigned refSize = 0;
    std::uint64_t numObjects = 0;
    std::uint64_t topObject = 0;
    std::uint64_t tableOffset = 0;
    std::uint64_t dataEnd = 0;

    // nullopt for anything malformed: libplist then rejects the bytes on its own terms.
    static std::optional<BinaryTable> read(std::span<const std::uint8_t> bytes) {
        if (bytes.size() < 8 + 32) return std::nullopt;
        const std::uint8_t* trailer = bytes.data() + bytes.size() - 32;
        BinaryTable t;
        t.bytes = bytes;
        t.offsetSize = trailer[6];
        t.refSize = trailer[7];
        t.numObjects = bigEndian(trailer + 8, 8);
        t.topObject = bigEndian(trailer + 16, 8);
        t.tableOffset = bigEndian(trailer + 24, 8);
        t.dataEnd = bytes.size() - 32;
        if (t.offsetSize == 0 || t.offsetSize > 8 || t.tableOffset >= t.dataEnd ||
            t.numObjects > (t.dataEnd - t.tableOffset) / t.offsetSize)
            return std::nullopt;
        return t;
    }

    std::uint64_t objectOffset(std::uint64_t index) const {
        return bigEndian(bytes.data() + tableOffset + index * offsetSize, offsetSize);
    }

    // An object's kind (the marker's high nibble), its element count and where its payload starts;
    // nullopt when the object or its extended count lies outside the data.
    struct Header {
        unsigned kind;
        std::uint64_t count;
        std::uint64_t payload;
    };
    std::optional<Header> header(std::uint64_t index) const {
        const std::uint64_t off = objectOffset(index);
        if (off >= dataEnd) return std::nullopt;
        Header h{static_cast<unsigned>(bytes[off] >> 4), static_cast<std::uint64_t>(bytes[off] & 0x0F),
                 off + 1};
        if (h.count == 0x0F) {
            if (h.payload >= dataEnd || (bytes[h.payload] >> 4) != 0x1) return std::nullopt;
            const unsigned width = 1u << (bytes[h.payload] & 0x0F);
            if (width > 8 || h.payload + 1 + width > dataEnd) return std::nullopt;
            h.count = bigEndian(bytes.data() + h.payload + 1, width);
            h.payload += 1 + width;
        }
        return h;
    }
};

} // namespace

// Binary property lists nest by object references; libplist parses them recursively, so refuse
// trees deeper than we accept before handing them over. Scans the binary format's object table
// iteratively (no recursion on hostile input); anything it cannot follow is left to libplist, which
// validates offsets and references itself.
bool binaryNestingWithinLimit(std::span<const std::uint8_t> bytes, int maxDepth) {
    const auto table = BinaryTable::read(bytes);
    if (!table || table->refSize == 0 || table->refSize > 8 || table->numObjects == 0 ||
        table->topObject >= table->numObjects)
        return true; // malformed: libplist rejects it on its own terms
    const BinaryTable& t = *table;
    // The references of a container (arrays, sets, dictionaries); count 0 for anything else.
    auto children = [&](std::uint64_t object, std::uint64_t& first, std::uint64_t& count, bool& isDict) {
        count = 0;
        const auto h = t.header(object);
        if (!h || (h->kind != 0xA && h->kind != 0xC && h->kind != 0xD)) return;
        isDict = h->kind == 0xD;
        const std::uint64_t refs = isDict ? 2 * h->count : h->count;
        if (h->count > t.dataEnd || refs > (t.dataEnd - h->payload) / t.refSize) return;
        first = h->payload;
        count = h->count;
    };
    auto child = [&](std::uint64_t first, std::uint64_t count, bool isDict, std::uint64_t i) {
        // Dictionary values follow the keys; only containers matter, keys are strings.
        return bigEndian(bytes.data() + first + (isDict ? count + i : i) * t.refSize, t.refSize);
    };
    // Depth of each object, computed by an explicit stack (post-order). 0 = not yet known.
    std::vector<std::uint32_t> depth(static_cast<std::size_t>(t.numObjects), 0);
    std::vector<std::uint8_t> state(static_cast<std::size_t>(t.numObjects), 0); // 0 new, 1 open, 2 done
    struct Frame {
        std::uint64_t object;
        std::uint64_t next; // next child index
    };
    std::vector<Frame> stack;
    stack.push_back({t.topObject, 0});
    state[t.topObject] = 1;
    while (!stack.empty()) {
        Frame& f = stack.back();
        std::uint64_t first = 0, count = 0;
        bool isDict = false;
        children(f.object, first, count, isDict);
        if (f.next < count) {
            const std::uint64_t next = child(first, count, isDict, f.next++);
            if (next >= t.numObjects || state[next] == 1)
                return true; // bad reference or cycle: libplist reports it
            if (state[next] == 0) {
                state[next] = 1;
                stack.push_back({next, 0});
                if (stack.size() > static_cast<std::size_t>(maxDepth) + 1) return false;
            }
            continue;
        }
        std::uint32_t d = 0;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t c = child(first, count, isDict, i);
            if (c < t.numObjects) d = std::max(d, depth[c] + 1);
        }
        if (d > static_cast<std::uint32_t>(maxDepth)) return false;
        depth[f.object] = d;
        state[f.object] = 2;
        stack.pop_back();
    }
    return true;
}

// libplist aborts (an assertion) when a dictionary key holds a NUL character, so refuse any string
// object with one before it is parsed. Strings with NUL cannot be written by us either.
bool binaryStringsFreeOfNul(std::span<const std::uint8_t> bytes) {
    const auto table = BinaryTable::read(bytes);
    if (!table) return true; // malformed: libplist rejects it on its own terms
    for (std::uint64_t i = 0; i < table->numObjects; ++i) {
        const auto h = table->header(i);
        if (!h || (h->kind != 0x5 && h->kind != 0x6)) continue; // ASCII and UTF-16 strings only
        const std::uint64_t unit = h->kind == 0x6 ? 2 : 1;
        if (h->count > table->dataEnd || h->count * unit > table->dataEnd - h->payload) continue;
        for (std::uint64_t j = 0; j < h->count; ++j) {
            const std::uint8_t* c = bytes.data() + h->payload + j * unit;
            if (c[0] == 0 && (unit == 1 || c[1] == 0)) return false;
        }
    }
    return true;
}

// Binary integers are big-endian, 1, 2 or 4 bytes unsigned, 8 bytes two's complement, and 16 bytes for
// values beyond: signed 128 bits, of which libplist keeps only the low 64. Such a value fits when its
// high half is only the sign of the low one.
bool binaryIntegersFitInt64(std::span<const std::uint8_t> bytes) {
    const auto table = BinaryTable::read(bytes);
    if (!table) return true; // malformed: libplist rejects it on its own terms
    for (std::uint64_t i = 0; i < table->numObjects; ++i) {
        const std::uint64_t off = table->objectOffset(i);
        if (off >= table->dataEnd || bytes[off] != 0x14) continue; // 16-byte integers only
        if (off + 1 + 16 > table->dataEnd) continue;
        const std::uint64_t high = bigEndian(bytes.data() + off + 1, 8);
        const std::uint64_t low = bigEndian(bytes.data() + off + 9, 8);
        if (high != ((low >> 63) != 0 ? ~std::uint64_t{0} : 0)) return false;
    }
    return true;
}

// XML elements as libplist reads them. A start tag is '<', the element's name, then anything up to the
// first '>' outside double quotes (white space and attributes included); a '/' just before that '>'
// makes the element empty. A number's text runs to the next tag, leaving comments out and taking CDATA
// sections in, so "1<!---->8" reads as 18. The checks below find every element libplist finds this way;
// one they take for an element that libplist refuses costs nothing, since libplist then refuses the list.
namespace {

bool continuesName(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '-' || c == '.' || c == ':' || c >= 0x80;
}

// libplist takes a sign from a number's first character, hands the rest to strtoull (base 0: white
// space, its own sign, then decimal, 0x hexadecimal or 0 octal) and negates for the first '-', so two
// minus signs cancel. Read the same way, a number fits when its magnitude fits with the sign both give.
class NumberReading {
  public:
    // Takes the next character; false once the number has ended before it.
    bool take(char c) {
        switch (step_) {
        case Step::first:
            step_ = Step::space;
            if (c == '-' || c == '+') {
                negative_ = c == '-';
                return true;
            }
            [[fallthrough]];
        case Step::space:
            if (std::isspace(static_cast<unsigned char>(c))) return true;
            step_ = Step::sign;
            if (c == '-' || c == '+') {
                negative_ ^= c == '-';
                return true;
            }
            [[fallthrough]];
        case Step::sign:
            step_ = Step::digits;
            if (c == '0') {
                step_ = Step::zero;
                return true;
            }
            break;
        case Step::zero:
            step_ = Step::digits;
            base_ = c == 'x' || c == 'X' ? 16 : 8;
            if (base_ == 16) return true;
            break;
        case Step::digits:
            break;
        }
        unsigned digit = base_;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        if (digit >= base_) return false;
        // Saturated just past what a signed 64-bit integer holds either way.
        constexpr std::uint64_t beyond = std::uint64_t{1} << 63 | 1;
        magnitude_ = magnitude_ > (beyond - digit) / base_ ? beyond : magnitude_ * base_ + digit;
        return true;
    }

    bool fitsInt64() const {
        return magnitude_ <= (negative_ ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1);
    }

  private:
    enum class Step { first, space, sign, zero, digits } step_ = Step::first;
    bool negative_ = false;
    unsigned base_ = 10;
    std::uint64_t magnitude_ = 0;
};

// Reads tags and numbers at '<' positions visited in increasing order. Hostile text may hold a million
// tags that all end at one far '>' or comments that all end at one far "-->": each search remembers
// what it found, so the whole text is read a bounded number of times rather than once per tag.
class XmlReader {
  public:
    explicit XmlReader(std::string_view text) : text_(text) {}

    // The element named `name` starts at `at` (a '<'): where its start tag ends (one past the '>', or
    // the text's end when it never does) and whether it is empty.
    struct StartTag {
        std::size_t end;
        bool empty;
    };
    std::optional<StartTag> startTag(std::size_t at, std::string_view name) {
        const std::size_t afterName = at + 1 + name.size();
        if (text_.substr(at + 1, name.size()) != name || afterName >= text_.size() ||
            continuesName(static_cast<unsigned char>(text_[afterName])))
            return std::nullopt;
        const std::size_t close = closingBracket(afterName);
        if (close == text_.size()) return StartTag{close, false};
        return StartTag{close + 1, text_[close - 1] == '/'};
    }

    bool endTag(std::size_t at, std::string_view name) const {
        const std::size_t afterName = at + 2 + name.size();
        return text_.substr(at, 2) == "</" && text_.substr(at + 2, name.size()) == name &&
               afterName < text_.size() && !continuesName(static_cast<unsigned char>(text_[afterName]));
    }

    // Where the piece of markup at `at` ends for libplist: a comment, CDATA section or processing
    // instruction at its closing mark, a tag or declaration at the first '>' outside double quotes. A
    // declaration with an internal subset ('[') is not followed: it is taken to run to the end.
    std::size_t markupEnd(std::size_t at) {
        const std::string_view rest = text_.substr(at);
        if (rest.starts_with(commentOpen)) return past(comments_, at + commentOpen.size());
        if (rest.starts_with(cdataOpen)) return past(cdata_, at + cdataOpen.size());
        if (rest.starts_with("<?")) return past(instructions_, at + 2);
        const std::size_t close = closingBracket(at + 1);
        if (rest.starts_with("<!") && text_.substr(at, close - at).find('[') != std::string_view::npos)
            return text_.size();
        return std::min(close + 1, text_.size());
    }

    // Whether the number libplist reads from `from` (just past a start tag) fits a signed 64-bit integer.
    bool numberFitsInt64(std::size_t from) {
        for (const auto& known : numbers_)
            if (known.from == from) return known.fits;
        NumberReading number;
        std::size_t i = from;
        bool more = true;
        while (more && i < text_.size()) {
            if (text_[i] != '<') {
                more = number.take(text_[i++]);
                continue;
            }
            const std::string_view rest = text_.substr(i);
            if (rest.starts_with(commentOpen)) {
                i = past(comments_, i + commentOpen.size());
            } else if (rest.starts_with(cdataOpen)) {
                const std::size_t end = past(cdata_, i + cdataOpen.size());
                const std::size_t contentEnd = end == text_.size() ? end : end - cdataClose.size();
                for (i += cdataOpen.size(); more && i < contentEnd; ++i)
                    more = number.take(text_[i]);
                i = end;
            } else {
                more = false;
            }
        }
        numbers_[nextNumber_++ % 2] = {from, number.fitsInt64()};
        return number.fitsInt64();
    }

  private:
    static constexpr std::string_view commentOpen = "<!--", cdataOpen = "<![CDATA[", cdataClose = "]]>";

    // The first occurrence of `mark` at or after a position; the last answer serves every later
    // question it still answers.
    struct Search {
        std::string_view mark;
        std::size_t from = 0, found = 0;
        bool known = false;
    };
    std::size_t past(Search& search, std::size_t from) {
        if (!search.known || from < search.from || from > search.found) {
            search.found = text_.find(search.mark, from);
            if (search.found == std::string_view::npos) search.found = text_.size();
            search.from = from;
            search.known = true;
        }
        return std::min(search.found + search.mark.size(), text_.size());
    }

    // The first '>' at or after `from` with an even number of double quotes between: the first whose
    // quotes before it, counted from the text's start, are as odd as those before `from`. One search per
    // parity serves every later question up to what it found.
    std::size_t closingBracket(std::size_t from) {
        if (from < counted_) { // not in increasing order: search afresh
            bool quoted = false;
            for (std::size_t i = from; i < text_.size(); ++i)
                if (text_[i] == '"')
                    quoted = !quoted;
                else if (text_[i] == '>' && !quoted)
                    return i;
            return text_.size();
        }
        for (; counted_ < from; ++counted_)
            oddQuotes_ ^= text_[counted_] == '"';
        Search& search = brackets_[oddQuotes_ ? 1 : 0];
        if (search.known && from <= search.found) return search.found;
        bool quoted = false;
        search.found = text_.size();
        for (std::size_t i = from; i < text_.size(); ++i)
            if (text_[i] == '"') {
                quoted = !quoted;
            } else if (text_[i] == '>' && !quoted) {
                search.found = i;
                break;
            }
        search.known = true;
        return search.found;
    }

    std::string_view text_;
    Search comments_{"-->"}, cdata_{cdataClose}, instructions_{"?>"};
    Search brackets_[2] = {{">"}, {">"}};
    std::size_t counted_ = 0;
    bool oddQuotes_ = false;
    struct Number {
        std::size_t from = std::string_view::npos;
        bool fits = true;
    };
    Number numbers_[2];
    unsigned nextNumber_ = 0;
};

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

} // namespace

// XML nests by elements; count the deepest <array>/<dict> nesting before libplist builds it (the tree
// it builds is freed recursively, also when it refuses the list half-way). An upper bound is enough:
// every start tag counts, even one inside a comment or an attribute, while an end tag counts only
// where libplist reads markup, so that no comment, attribute or declaration full of end tags lowers it.
bool xmlNestingWithinLimit(std::span<const std::uint8_t> bytes, int maxDepth) {
    const std::string_view text = asText(bytes);
    XmlReader reader(text);
    long level = 0;
    std::size_t markup = 0; // where the next piece of markup libplist reads may start
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        auto tag = reader.startTag(at, "array");
        if (!tag) tag = reader.startTag(at, "dict");
        if (tag && !tag->empty && ++level > maxDepth) return false;
        if (at < markup) continue;
        markup = reader.markupEnd(at);
        if (reader.endTag(at, "array") || reader.endTag(at, "dict")) --level;
    }
    return true;
}

// Every '<' is looked at, so no comment or attribute that hides the start of a real element from a
// reading of the markup can make this check miss it.
bool xmlIntegersFitInt64(std::span<const std::uint8_t> bytes) {
    const std::string_view text = asText(bytes);
    XmlReader reader(text);
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        const auto tag = reader.startTag(at, "integer");
        if (tag && !tag->empty && !reader.numberFitsInt64(tag->end)) return false;
    }
    return true;
}

} // namespace ns::plistcheck
