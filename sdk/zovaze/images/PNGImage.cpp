#include "sdk/zovaze/images/PNGImage.hpp"

#include <png.h>

namespace {
// Icons are small; a header claiming more is hostile or broken, and must not make us allocate it.
constexpr std::uint64_t kMaximumPixelBytes = 64ull << 20;
} // namespace

std::optional<zovaze::PNGImage> zovaze::decodePNG(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return std::nullopt;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGBA;
    const std::uint64_t needed = std::uint64_t{image.width} * image.height * 4;
    if (image.width == 0 || image.height == 0 || needed > kMaximumPixelBytes) {
        png_image_free(&image);
        return std::nullopt;
    }
    zovaze::PNGImage decoded;
    decoded.width = image.width;
    decoded.height = image.height;
    decoded.rgba.resize(static_cast<std::size_t>(needed));
    if (!png_image_finish_read(&image, nullptr, decoded.rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    png_image_free(&image);
    return decoded;
}

std::optional<std::vector<std::uint8_t>> zovaze::encodePNG(const zovaze::PNGImage& source) {
    if (source.width == 0 || source.height == 0 ||
        source.rgba.size() != std::size_t{source.width} * source.height * 4) {
        return std::nullopt;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = source.width;
    image.height = source.height;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, source.rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    std::vector<std::uint8_t> encoded(size);
    if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, source.rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    png_image_free(&image);
    encoded.resize(size);
    return encoded;
}
