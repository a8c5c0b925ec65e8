#include "platform/foundation/PropertyListPrecheck.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

namespace ns::plistcheck {

// Binary property lists nest by object references; libplist parses them recursively, so refuse
// trees deeper than we accept before handing them over. Scans the binary format's object table
// iteratively (no recursion on hostile input); anything it cannot follow is left to libplist, which
// validates offsets and references itself.
bool binaryNestingWithinLimit(std::span<const std::uint8_t> bytes, int maxDepth) {
    if (bytes.size() < 8 + 32) return true;
    const std::uint8_t* trailer = bytes.data() + bytes.size() - 32;
    const unsigned offsetSize = trailer[6];
    const unsigned refSize = trailer[7];
    auto be = [](const std::uint8_t* p, unsigned n) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < n; ++i)
            v = v << 8 | p[i];
        return v;
    };
    const std::uint64_t numObjects = be(trailer + 8, 8);
    const std::uint64_t topObject = be(trailer + 16, 8);
    const std::uint64_t tableOffset = be(trailer + 24, 8);
    const std::uint64_t dataEnd = bytes.size() - 32;
    if (offsetSize == 0 || offsetSize > 8 || refSize == 0 || refSize > 8 || numObjects == 0 ||
        topObject >= numObjects || tableOffset >= dataEnd ||
        numObjects > (dataEnd - tableOffset) / offsetSize)
        return true; // malformed: libplist rejects it on its own terms
    auto objectOffset = [&](std::uint64_t index) -> std::uint64_t {
        return be(bytes.data() + tableOffset + index * offsetSize, offsetSize);
    };
    // Depth of each object, computed by an explicit stack (post-order). 0 = not yet known.
    std::vector<std::uint32_t> depth(static_cast<std::size_t>(numObjects), 0);
    std::vector<std::uint8_t> state(static_cast<std::size_t>(numObjects), 0); // 0 new, 1 open, 2 done
    struct Frame {
        std::uint64_t object;
        std::uint64_t next; // next child index
    };
    auto children = [&](std::uint64_t object, std::uint64_t& first, std::uint64_t& count, bool& isDict) {
        count = 0;
        std::uint64_t off = objectOffset(object);
        if (off >= dataEnd) return;
        const std::uint8_t marker = bytes[off];
        const unsigned kind = marker >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD) return;
        isDict = kind == 0xD;
        std::uint64_t n = marker & 0x0F;
        std::uint64_t pos = off + 1;
        if (n == 0x0F) {
            if (pos >= dataEnd || (bytes[pos] >> 4) != 0x1) return;
            const unsigned width = 1u << (bytes[pos] & 0x0F);
            if (width > 8 || pos + 1 + width > dataEnd) return;
            n = be(bytes.data() + pos + 1, width);
            pos += 1 + width;
        }
        const std::uint64_t refs = isDict ? 2 * n : n;
        if (n > dataEnd || refs > (dataEnd - pos) / refSize) return;
        first = pos;
        count = n;
    };
    std::vector<Frame> stack;
    stack.push_back({topObject, 0});
    state[topObject] = 1;
    while (!stack.empty()) {
        Frame& f = stack.back();
        std::uint64_t first = 0, count = 0;
        bool isDict = false;
        children(f.object, first, count, isDict);
        if (f.next < count) {
            // Dictionary values follow the keys; only containers matter, keys are strings.
            std::uint64_t refPos = first + (isDict ? count + f.next : f.next) * refSize;
            std::uint64_t child = be(bytes.data() + refPos, refSize);
            ++f.next;
            if (child >= numObjects || state[child] == 1)
                return true; // bad reference or cycle: libplist reports it
            if (state[child] == 0) {
                state[child] = 1;
                stack.push_back({child, 0});
                if (stack.size() > static_cast<std::size_t>(maxDepth) + 1) return false;
            }
            continue;
        }
        std::uint32_t d = 0;
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint64_t refPos = first + (isDict ? count + i : i) * refSize;
            std::uint64_t child = be(bytes.data() + refPos, refSize);
            if (child < numObjects) d = std::max(d, depth[child] + 1);
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
    if (bytes.size() < 8 + 32) return true;
    const std::uint8_t* trailer = bytes.data() + bytes.size() - 32;
    const unsigned offsetSize = trailer[6];
    auto be = [](const std::uint8_t* p, unsigned n) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < n; ++i)
            v = v << 8 | p[i];
        return v;
    };
    const std::uint64_t numObjects = be(trailer + 8, 8);
    const std::uint64_t tableOffset = be(trailer + 24, 8);
    const std::uint64_t dataEnd = bytes.size() - 32;
    if (offsetSize == 0 || offsetSize > 8 || tableOffset >= dataEnd ||
        numObjects > (dataEnd - tableOffset) / offsetSize)
        return true; // malformed: libplist rejects it on its own terms
    for (std::uint64_t i = 0; i < numObjects; ++i) {
        const std::uint64_t off = be(bytes.data() + tableOffset + i * offsetSize, offsetSize);
        if (off >= dataEnd) continue;
        const unsigned kind = bytes[off] >> 4;
        if (kind != 0x5 && kind != 0x6) continue;
        std::uint64_t n = bytes[off] & 0x0F;
        std::uint64_t pos = off + 1;
        if (n == 0x0F) {
            if (pos >= dataEnd || (bytes[pos] >> 4) != 0x1) continue;
            const unsigned width = 1u << (bytes[pos] & 0x0F);
            if (width > 8 || pos + 1 + width > dataEnd) continue;
            n = be(bytes.data() + pos + 1, width);
            pos += 1 + width;
        }
        const std::uint64_t unit = kind == 0x6 ? 2 : 1;
        if (n > dataEnd || n * unit > dataEnd - pos) continue;
        for (std::uint64_t j = 0; j < n; ++j) {
            const std::uint8_t* c = bytes.data() + pos + j * unit;
            if (c[0] == 0 && (unit == 1 || c[1] == 0)) return false;
        }
    }
    return true;
}

// XML nests by elements; count the deepest <array>/<dict> nesting before libplist recurses into it.
bool xmlNestingWithinLimit(std::span<const std::uint8_t> bytes, int maxDepth) {
    long level = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '<') continue;
        std::string_view rest(reinterpret_cast<const char*>(bytes.data()) + i + 1, bytes.size() - i - 1);
        if (rest.starts_with("array>") || rest.starts_with("dict>") || rest.starts_with("array ") ||
            rest.starts_with("dict ")) {
            if (++level > maxDepth) return false;
        } else if (rest.starts_with("/array") || rest.starts_with("/dict")) {
            --level;
        }
    }
    return true;
}

} // namespace ns::plistcheck
