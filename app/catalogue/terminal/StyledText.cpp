#include "app/catalogue/terminal/StyledText.hpp"

#include "platform/foundation/Text.hpp"

#include <algorithm>
#include <vector>

namespace {
struct Glyph {
    std::string text;
    ui::Color color;
    int columns;
};
} // namespace

int drawAttributed(term::Canvas& canvas, int x, int y, int width, int maxLines,
                   const ui::AttributedString& text, ui::Color defaultColor,
                   std::optional<ui::Color> background) {
    if (width <= 0 || maxLines <= 0) return 0;
    // Lines of words; each word a run of coloured glyphs with the blanks written before it. Blanks are
    // kept as written (code is indented and aligned with them), except where a line wraps.
    struct Word {
        int gap = 0;
        std::vector<Glyph> glyphs;
    };
    std::vector<std::vector<Word>> paragraphs(1);
    Word word;
    auto endWord = [&] {
        if (!word.glyphs.empty()) paragraphs.back().push_back(std::move(word));
        word = Word{};
    };
    std::size_t offset = 0;
    for (const auto& cluster : ns::splitCharacters(text.text())) {
        ui::Color color = text.colorAt(offset).value_or(defaultColor);
        offset += cluster.size();
        if (cluster == "\n" || cluster == "\r\n") {
            endWord();
            paragraphs.emplace_back();
            continue;
        }
        if (cluster == " " || cluster == "\t") {
            if (!word.glyphs.empty()) endWord();
            word.gap += cluster == "\t" ? 4 : 1;
            continue;
        }
        word.glyphs.push_back(Glyph{cluster, color, term::columnsOf(cluster)});
    }
    endWord();

    int line = 0;
    for (const auto& paragraph : paragraphs) {
        if (line >= maxLines) break;
        int column = 0;
        bool first = true;
        for (const auto& w : paragraph) {
            int wordColumns = 0;
            for (const auto& g : w.glyphs)
                wordColumns += g.columns;
            // The indentation of a paragraph stays while it leaves room for some text.
            int gap = first ? std::min(w.gap, std::max(0, width - 1)) : std::max(1, w.gap);
            if (!first && column + gap + wordColumns > width) {
                if (++line >= maxLines) return line;
                column = 0;
            } else {
                column += gap;
            }
            first = false;
            for (const auto& g : w.glyphs) {
                if (column + g.columns > width) { // a word longer than the line continues below
                    if (++line >= maxLines) return line;
                    column = 0;
                }
                term::Style style = term::Style::fg(g.color);
                style.background = background;
                canvas.text(x + column, y + line, g.text, style);
                column += g.columns;
            }
        }
        ++line;
    }
    return line;
}

int drawLabel(term::Canvas& canvas, int x, int y, int width, int maxLines, const ui::Label& label,
              std::optional<ui::Color> background) {
    return drawAttributed(canvas, x, y, width, maxLines, label.attributedText(), label.textColor(),
                          background);
}
