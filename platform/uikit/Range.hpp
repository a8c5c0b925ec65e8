#pragma once
// A range of text positions: a location and a length, in the unit stated by whoever hands it out
// (characters for text-field edits, UTF-8 bytes for attributed-string runs).
#include <cstddef>

namespace ui {

struct Range {
    std::size_t location = 0;
    std::size_t length = 0;

    constexpr std::size_t end() const { return location + length; }
    constexpr bool contains(std::size_t position) const { return position >= location && position < end(); }
    friend constexpr bool operator==(const Range&, const Range&) = default;
};

} // namespace ui
