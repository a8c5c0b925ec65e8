#pragma once
// Text with foreground-colour runs, for labels and placeholders.
//
// Ranges are UTF-8 byte offsets into text(). Searching the UTF-8 text for a substring finds the same
// first occurrence a UTF-16 search finds (both encodings preserve order and boundaries of scalar
// values), so a colouring rule located with std::string::find paints exactly what it paints on the
// phone. The terminal draws cluster by cluster and takes a cluster's colour from its first byte.
//
// Attributes apply in the order added; where two ranges overlap, the later one wins on the overlap.
// A range that reaches past the end of the text is clipped to it; an empty one is ignored.
#include "platform/uikit/Color.hpp"
#include "platform/uikit/Range.hpp"

#include <optional>
#include <string>
#include <vector>

namespace ui {

class AttributedString {
  public:
    struct Run {
        Range range; // bytes
        Color color;
        friend bool operator==(const Run&, const Run&) = default;
    };

    // A stretch of text drawn in one colour; nullopt: the view's own text colour.
    struct Segment {
        Range range; // bytes
        std::optional<Color> color;
        friend bool operator==(const Segment&, const Segment&) = default;
    };

    AttributedString() = default;
    explicit AttributedString(std::string text);

    const std::string& text() const { return text_; }

    void addForegroundColor(Color color, Range bytes);
    // The runs in the order added (after clipping).
    const std::vector<Run>& runs() const { return runs_; }

    // Colour at one byte, the last run covering it winning.
    std::optional<Color> colorAt(std::size_t byteOffset) const;
    // The whole text cut into maximal single-colour segments, in text order.
    std::vector<Segment> segments() const;

    bool hasAttributes() const { return !runs_.empty(); }

    friend bool operator==(const AttributedString&, const AttributedString&) = default;

  private:
    std::string text_;
    std::vector<Run> runs_;
};

} // namespace ui
