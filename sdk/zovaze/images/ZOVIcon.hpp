#pragma once
// The app icon as the SDK sends it: PNG bytes, the SHA-1 of the icon file as stored in the bundle (40
// lower-case hexadecimal digits), the size in pixels, and whether the icon set marked it prerendered.
//
// The PNG data of an icon made from a file is the file's image encoded anew. Only the onboarding request
// sends it, and most launches never onboard, so the encoding is made from the file's bytes (as read when
// the icon was made) on the first call of data(), not when the icon is made. Copies share that work;
// data() is safe from any thread.
//
// Failure contract: initWithPNGImageAtPath answers nothing when the file cannot be read or cannot be
// decoded as an image. An image that decodes always encodes (both run through libpng's simplified
// interface at 8-bit RGBA, within the same size limits), so "no PNG encoding" can only mean memory ran
// out: data() then answers empty bytes, which the onboarding request treats as no icon. The hash is
// always that of the file's own bytes, never of the re-encoded data.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zovaze {
struct IconSize {
    double width = 0;
    double height = 0;
    bool operator==(const IconSize&) const = default;
};
} // namespace zovaze

class ZOVIcon {
  public:
    static constexpr double maximumSurfaceArea = 23104.0; // 152 x 152 pixels
    // An icon file is read only up to this length: a 1024 x 1024 PNG with its colour profile stays far
    // below it.
    static constexpr std::size_t maximumFileLength = 8 * 1024 * 1024;

    ZOVIcon(std::vector<std::uint8_t> data, std::string dataHash, zovaze::IconSize size, bool prerendered);
    // Hash computed over the data.
    ZOVIcon(std::vector<std::uint8_t> data, zovaze::IconSize size, bool prerendered = true);

    static std::optional<ZOVIcon> initWithPNGImageAtPath(const std::string& path, zovaze::IconSize size,
                                                         bool prerendered);
    // The same from the bytes of a PNG file already read and known to decode (the icon lookup decodes
    // every candidate to learn its size).
    static ZOVIcon initWithDecodablePNGFile(std::vector<std::uint8_t> file, zovaze::IconSize size,
                                            bool prerendered);

    bool prerendered() const { return prerendered_; }
    const std::vector<std::uint8_t>& data() const;
    const std::string& dataHash() const { return dataHash_; }
    zovaze::IconSize size() const { return size_; }

    double surfaceArea() const { return size_.width * size_.height; }
    bool isWithinMaxSurfaceArea() const { return surfaceArea() <= maximumSurfaceArea; }
    bool largerThanSize(zovaze::IconSize other) const { return surfaceArea() > other.width * other.height; }
    static bool isWithinMaxSurfaceAreaWithImage(zovaze::IconSize pixelSize) {
        return pixelSize.width * pixelSize.height <= maximumSurfaceArea;
    }

  private:
    struct PNGData;
    ZOVIcon(std::shared_ptr<PNGData> data, std::string dataHash, zovaze::IconSize size, bool prerendered);

    bool prerendered_;
    std::shared_ptr<PNGData> data_;
    std::string dataHash_;
    zovaze::IconSize size_;
};
