#include "sdk/zovaze/ZOVIcon.hpp"

#include "platform/foundation/FileContents.hpp"
#include "sdk/zovaze/ZOVApplicationFacts.hpp"
#include "sdk/zovaze/ZOVPNGImage.hpp"

ZOVIcon::ZOVIcon(std::vector<std::uint8_t> data, std::string dataHash, ZOVIconSize size, bool prerendered)
    : prerendered_(prerendered), data_(std::move(data)), dataHash_(std::move(dataHash)), size_(size) {}

ZOVIcon::ZOVIcon(std::vector<std::uint8_t> data, ZOVIconSize size, bool prerendered)
    : prerendered_(prerendered), data_(std::move(data)), size_(size) {
    dataHash_ = ZOVSHA1HexFromData(data_);
}

std::optional<ZOVIcon> ZOVIcon::initWithPNGImageAtPath(const std::string& path, ZOVIconSize size,
                                                       bool prerendered) {
    const auto file = ns::readFileBytes(path);
    if (!file) return std::nullopt;
    auto image = ZOVPNGImageDecode(*file);
    if (!image) return std::nullopt;
    auto png = ZOVPNGImageEncode(*image);
    if (!png) return std::nullopt;
    return ZOVIcon(std::move(*png), ZOVSHA1HexFromData(*file), size, prerendered);
}
