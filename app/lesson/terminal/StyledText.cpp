#include "app/lesson/terminal/StyledText.hpp"

#include "platform/foundation/Text.hpp"
#include "platform/terminal/Presenter.hpp"
#include "platform/terminal/TextWrap.hpp"

#include <algorithm>

std::vector<StyledLine> layOutAttributed(const ui::AttributedString& text, ui::Color defaultColor,
                                         int width) {
    std::vector<StyledLine> lines;
    if (width <= 0) return lines;
    // Lines of words; each word a run of coloured glyphs with the blanks written before it. Blanks are
    // kept as written (code is indented and aligned with them), except where a line wraps.
    struct Glyph {
        std::string text;
        ui::Color color;
        int columns;
    };
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

    for (const auto& paragraph : paragraphs) {
        lines.emplace_back();
        int column = 0;
        bool first = true;
        for (const auto& w : paragraph) {
            int wordColumns = 0;
            for (const auto& g : w.glyphs)
                wordColumns += g.columns;
            // The indentation of a paragraph stays while it leaves room for some text.
            int gap = first ? std::min(w.gap, std::max(0, width - 1)) : std::max(1, w.gap);
            if (!first && column + gap + wordColumns > width) {
                lines.emplace_back();
                column = 0;
            } else {
                column += gap;
            }
            first = false;
            for (const auto& g : w.glyphs) {
                if (column + g.columns > width && column > 0) { // a word longer than the line continues below
                    lines.emplace_back();
                    column = 0;
                }
                lines.back().push_back(StyledGlyph{g.text, g.color, column});
                column += g.columns;
            }
        }
    }
    return lines;
}

std::vector<StyledLine> layOutLabel(const ui::Label& label, int width) {
    return layOutAttributed(label.attributedText(), label.textColor(), width);
}

void drawStyledLines(term::Canvas& canvas, int x, int y, const std::vector<StyledLine>& lines, int first,
                     int count, std::optional<ui::Color> background) {
    for (int i = 0; i < count; ++i) {
        const int index = first + i;
        if (index < 0 || index >= static_cast<int>(lines.size())) continue;
        for (const auto& g : lines[static_cast<std::size_t>(index)]) {
            term::Style style = term::Style::fg(g.color);
            style.background = background;
            canvas.text(x + g.column, y + i, g.text, style);
        }
    }
}

int drawAttributed(term::Canvas& canvas, int x, int y, int width, int maxLines,
                   const ui::AttributedString& text, ui::Color defaultColor,
                   std::optional<ui::Color> background) {
    if (maxLines <= 0) return 0;
    const auto lines = layOutAttributed(text, defaultColor, width);
    const int used = std::min(maxLines, static_cast<int>(lines.size()));
    drawStyledLines(canvas, x, y, lines, 0, used, background);
    return used;
}

int drawLabel(term::Canvas& canvas, int x, int y, int width, int maxLines, const ui::Label& label,
              std::optional<ui::Color> background) {
    return drawAttributed(canvas, x, y, width, maxLines, label.attributedText(), label.textColor(),
                          background);
}

int drawLabelInOneRow(term::Canvas& canvas, int x, int y, int maxColumns, const ui::Label& label) {
    if (maxColumns <= 0) return 0;
    const int whole = term::columnsOfText(label.text());
    // Laid out far wider than any terminal, so that only a line break makes a second line.
    constexpr int kUnwrapped = 1 << 16;
    const auto lines = layOutLabel(label, kUnwrapped);
    if (lines.empty()) return 0;
    // Blanks after the last character carry nothing to mark: they take what room is left.
    const int written =
        lines.front().empty() ? 0 : lines.front().back().column + term::columnsOf(lines.front().back().text);
    const bool cut = written > maxColumns || lines.size() > 1;
    // A cut text keeps a column for its mark, which follows the last character drawn.
    const int room = cut ? maxColumns - 1 : maxColumns;
    int end = 0;
    for (const auto& g : lines.front()) {
        const int next = g.column + term::columnsOf(g.text);
        if (next > room) break;
        canvas.text(x + g.column, y, g.text, term::Style::fg(g.color));
        end = next;
    }
    if (!cut) return std::min(whole, maxColumns);
    canvas.text(x + end, y, term::kCutMark, term::Style::fg(term::palette::muted));
    return end + 1;
}
