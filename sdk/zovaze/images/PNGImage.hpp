#pragma once
// A decoded image as the icon lookup needs it: its pixel size, and its pixels re-encoded as PNG bytes.
// Decoding and encoding go through libpng's simplified interface, so any PNG the library reads (palette,
// grey, 16-bit, interlaced) comes out as 8-bit RGBA.
//
// Failure contract: decodePNG answers nothing for bytes that are not a PNG libpng can read, or
// whose dimensions would need more than 64 MiB of pixels; encodePNG answers nothing when
// libpng refuses to write. Never throws except std::bad_alloc; safe from any thread.
#include <cstdint>
#include <optional>
#include <vector>

namespace zovaze {

struct PNGImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgba; // width * height * 4 bytes, rows top to bottom
};

std::optional<PNGImage> decodePNG(const std::vector<std::uint8_t>& bytes);
std::optional<std::vector<std::uint8_t>> encodePNG(const PNGImage& image);

} // namespace zovaze
