#include "platform/terminal/MemoryCanvas.hpp"

namespace term {

MemoryCanvas::MemoryCanvas(int width, int height)
    : width_(width < 0 ? 0 : width), height_(height < 0 ? 0 : height),
      slots_(static_cast<std::size_t>(width_ * height_)) {}

void MemoryCanvas::clear() {
    for (auto& slot : slots_)
        slot = Slot{};
    caret_.reset();
}

void MemoryCanvas::put(int x, int y, std::string_view cluster, int columns, const Style& style) {
    auto& slot = slots_[static_cast<std::size_t>(y * width_ + x)];
    slot = Slot{std::string(cluster), style, false};
    if (columns == 2 && x + 1 < width_)
        slots_[static_cast<std::size_t>(y * width_ + x + 1)] = Slot{"", style, true};
}

std::string MemoryCanvas::row(int y) const {
    if (y < 0 || y >= height_) return "";
    std::string out;
    for (int x = 0; x < width_; ++x)
        out += slots_[static_cast<std::size_t>(y * width_ + x)].text;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string MemoryCanvas::screen() const {
    std::string out;
    for (int y = 0; y < height_; ++y)
        out += row(y) + "\n";
    return out;
}

std::optional<Cell> MemoryCanvas::find(std::string_view text) const {
    for (int y = 0; y < height_; ++y) {
        // Walk columns so the answer is a cell position, not a byte offset.
        for (int x = 0; x < width_; ++x) {
            std::string rest;
            for (int c = x; c < width_; ++c)
                rest += slots_[static_cast<std::size_t>(y * width_ + c)].text;
            if (rest.compare(0, text.size(), text) == 0) return Cell{x, y};
        }
    }
    return std::nullopt;
}

const Style& MemoryCanvas::styleAt(int x, int y) const {
    static const Style none;
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return none;
    return slots_[static_cast<std::size_t>(y * width_ + x)].style;
}

} // namespace term
