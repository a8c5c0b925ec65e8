#include "app/catalogue/terminal/StyledText.hpp"

#include "platform/foundation/Text.hpp"

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
    // Lines of words; each word a run of coloured glyphs.
    std::vector<std::vector<std::vector<Glyph>>> paragraphs(1);
    std::vector<Glyph> word;
    auto endWord = [&] {
        if (!word.empty()) paragraphs.back().push_back(std::move(word));
        word.clear();
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
            endWord();
            continue;
        }
        word.push_back(Glyph{cluster, color, term::columnsOf(cluster)});
    }
    endWord();

    int line = 0;
    for (const auto& paragraph : paragraphs) {
        if (line >= maxLines) break;
        int column = 0;
        for (const auto& w : paragraph) {
            int wordColumns = 0;
            for (const auto& g : w)
                wordColumns += g.columns;
            if (column > 0 && column + 1 + wordColumns > width) {
                if (++line >= maxLines) return line;
                column = 0;
            } else if (column > 0) {
                column += 1;
            }
            for (const auto& g : w) {
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
