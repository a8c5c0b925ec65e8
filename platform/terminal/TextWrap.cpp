#include "platform/terminal/TextWrap.hpp"

#include "platform/foundation/Text.hpp"
#include "platform/terminal/Canvas.hpp"

#include <algorithm>

namespace term {

std::vector<std::string> wrapText(std::string_view text, int width) {
    std::vector<std::string> lines;
    if (width <= 0) return lines;
    auto paragraphs = std::string(text);
    std::size_t start = 0;
    while (start <= paragraphs.size()) {
        std::size_t stop = paragraphs.find('\n', start);
        if (stop == std::string::npos) stop = paragraphs.size();
        std::string_view paragraph(paragraphs.data() + start, stop - start);
        std::string line;
        int used = 0;
        int blanks = 0; // blanks seen since the last word: kept inside a line, dropped at a break
        std::size_t wordStart = 0;
        while (wordStart <= paragraph.size()) {
            std::size_t wordEnd = paragraph.find(' ', wordStart);
            if (wordEnd == std::string_view::npos) wordEnd = paragraph.size();
            std::string word(paragraph.substr(wordStart, wordEnd - wordStart));
            bool blankFollows = wordEnd < paragraph.size();
            wordStart = wordEnd + 1;
            if (word.empty()) {
                blanks += blankFollows ? 1 : 0;
                continue;
            }
            int w = columnsOfText(word);
            int gap = used > 0 ? std::max(1, blanks) : 0;
            if (used > 0 && used + gap + w > width) {
                lines.push_back(line);
                line.clear();
                used = 0;
                gap = 0;
            }
            // A word longer than a whole line is cut where the line ends, or after its last "/" that
            // fits, so that a file path breaks between folder names rather than inside one.
            while (w > width) {
                std::string head;
                int hw = 0;
                auto clusters = ns::splitCharacters(word);
                std::size_t taken = 0;
                std::size_t afterSlash = 0;
                for (; taken < clusters.size() && hw + columnsOf(clusters[taken]) <= width; ++taken) {
                    head += clusters[taken];
                    hw += columnsOf(clusters[taken]);
                    if (clusters[taken] == "/") afterSlash = head.size();
                }
                if (taken == 0) break;
                if (afterSlash > 1 && afterSlash < head.size()) head.resize(afterSlash);
                lines.push_back(head);
                word = word.substr(head.size());
                w = columnsOfText(word);
            }
            line.append(static_cast<std::size_t>(gap), ' ');
            line += word;
            used += gap + w;
            blanks = blankFollows ? 1 : 0;
        }
        lines.push_back(line);
        start = stop + 1;
    }
    return lines;
}

std::string fitText(std::string_view text, int columns) {
    if (columns <= 0) return {};
    if (columnsOfText(text) <= columns) return std::string(text);
    std::string out;
    int used = 0;
    for (const auto& cluster : ns::splitCharacters(text)) {
        const int w = columnsOf(cluster);
        if (used + w > columns - 1) break;
        out += cluster;
        used += w;
    }
    // A blank before the mark would read as a word that ended.
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out + kCutMark;
}

} // namespace term
