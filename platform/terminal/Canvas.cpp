#include "platform/terminal/Canvas.hpp"

#include "platform/foundation/Text.hpp"

#include <algorithm>
#include <cwchar>

namespace term {

std::optional<std::string> controlPicture(std::string_view cluster) {
    if (cluster.size() != 1) return std::nullopt;
    const auto byte = static_cast<unsigned char>(cluster.front());
    if (byte == 0x7F) return "\u2421";
    if (byte >= 0x20 || byte == '\n' || byte == '\r' || byte == '\t') return std::nullopt;
    // U+2400 ... U+241F, one for each of the first 32 code points; three bytes in UTF-8.
    const auto picture = 0x2400u + byte;
    return std::string{static_cast<char>(0xE0 | (picture >> 12)),
                       static_cast<char>(0x80 | ((picture >> 6) & 0x3F)),
                       static_cast<char>(0x80 | (picture & 0x3F))};
}

int columnsOf(std::string_view cluster) {
    if (cluster.size() == 1 && cluster.front() >= 0x20 && cluster.front() < 0x7F) return 1; // printable ASCII
    if (controlPicture(cluster)) return 1;
    // A cluster is as wide as its base character; an emoji presentation selector makes it wide.
    int width = 0;
    bool base = true;
    ns::forEachScalar(cluster, [&](const ns::Scalar& decoded) {
        char32_t scalar = decoded.value;
        if (base) {
            base = false;
            int w = ::wcwidth(static_cast<wchar_t>(scalar));
            if (scalar >= 0x1F000 && scalar <= 0x1FAFF)
                w = 2; // pictographs are wide in every terminal we meet
            width = w < 0 ? 1 : w;
        } else if (scalar == 0xFE0F) {
            width = 2;
        }
    });
    return width;
}

int columnsOfText(std::string_view text) {
    int total = 0;
    for (const auto& cluster : ns::splitCharacters(text))
        total += columnsOf(cluster);
    return total;
}

Style Canvas::resolved(const Style& style) const {
    if (style.background || !defaultBackground_) return style;
    return style.withBackground(*defaultBackground_);
}

int Canvas::text(int x, int y, std::string_view text, const Style& given, int maxColumns) {
    const Style style = resolved(given);
    int used = 0;
    if (y < 0 || y >= height()) return 0;
    // Draws one character; false once the line is full.
    auto draw = [&](std::string_view cluster) {
        bool lineBreak = cluster == "\n" || cluster == "\r\n" || cluster == "\r" || cluster == "\t";
        int w = lineBreak ? 1 : columnsOf(cluster);
        if (w == 0) return true;
        if (maxColumns >= 0 && used + w > maxColumns) return false;
        if (x + used + w > width()) return false;
        const auto picture = controlPicture(cluster);
        if (x + used >= 0)
            put(x + used, y, lineBreak ? " " : picture ? std::string_view(*picture) : cluster, w, style);
        used += w;
        return true;
    };
    if (ns::isAscii(text)) {
        // Every byte is a character of its own but CR LF: no splitting into strings needed.
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t n = text.compare(i, 2, "\r\n") == 0 ? 2 : 1;
            if (!draw(text.substr(i, n))) break;
            i += n;
        }
        return used;
    }
    for (const auto& cluster : ns::splitCharacters(text))
        if (!draw(cluster)) break;
    return used;
}

void Canvas::fill(int x, int y, int w, int h, const Style& given) {
    const Style style = resolved(given);
    const int left = std::max(x, 0), right = std::min(x + w, width());
    if (left >= right) return;
    for (int row = std::max(y, 0); row < std::min(y + h, height()); ++row)
        putBlanks(left, row, right - left, style);
}

void Canvas::putBlanks(int x, int y, int count, const Style& style) {
    for (int column = x; column < x + count; ++column)
        put(column, y, " ", 1, style);
}

} // namespace term
