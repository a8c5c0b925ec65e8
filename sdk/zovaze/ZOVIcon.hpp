#pragma once
// The app icon as the SDK sends it: PNG bytes, the SHA-1 of the icon file as stored in the bundle (40
// lower-case hexadecimal digits), the size in pixels, and whether the icon set marked it prerendered.
//
// Failure contract: initWithPNGImageAtPath answers nothing when the file cannot be read, cannot be
// decoded as an image, or yields no PNG encoding. The hash is always that of the file's own bytes, never
// of the re-encoded data.
#include <optional>
#include <string>
#include <vector>

struct ZOVIconSize {
    double width = 0;
    double height = 0;
    bool operator==(const ZOVIconSize&) const = default;
};

class ZOVIcon {
  public:
    static constexpr double maximumSurfaceArea = 23104.0; // 152 x 152 pixels

    ZOVIcon(std::vector<std::uint8_t> data, std::string dataHash, ZOVIconSize size, bool prerendered);
    // Hash computed over the data.
    ZOVIcon(std::vector<std::uint8_t> data, ZOVIconSize size, bool prerendered = true);

    static std::optional<ZOVIcon> initWithPNGImageAtPath(const std::string& path, ZOVIconSize size,
                                                         bool prerendered);

    bool prerendered() const { return prerendered_; }
    const std::vector<std::uint8_t>& data() const { return data_; }
    const std::string& dataHash() const { return dataHash_; }
    ZOVIconSize size() const { return size_; }

    double surfaceArea() const { return size_.width * size_.height; }
    bool isWithinMaxSurfaceArea() const { return surfaceArea() <= maximumSurfaceArea; }
    bool largerThanSize(ZOVIconSize other) const { return surfaceArea() > other.width * other.height; }
    static bool isWithinMaxSurfaceAreaWithImage(ZOVIconSize pixelSize) {
        return pixelSize.width * pixelSize.height <= maximumSurfaceArea;
    }

  private:
    bool prerendered_;
    std::vector<std::uint8_t> data_;
    std::string dataHash_;
    ZOVIconSize size_;
};
