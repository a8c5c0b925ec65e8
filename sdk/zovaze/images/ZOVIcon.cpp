#include "sdk/zovaze/images/ZOVIcon.hpp"

#include "platform/foundation/FileContents.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"
#include "sdk/zovaze/images/PNGImage.hpp"

#include <mutex>

// The PNG bytes, or the file they are to be encoded from until the first call of data().
struct ZOVIcon::PNGData {
    std::mutex mutex;
    std::optional<std::vector<std::uint8_t>> file;
    std::vector<std::uint8_t> png;
};

ZOVIcon::ZOVIcon(std::shared_ptr<PNGData> data, std::string dataHash, zovaze::IconSize size, bool prerendered)
    : prerendered_(prerendered), data_(std::move(data)), dataHash_(std::move(dataHash)), size_(size) {}

ZOVIcon::ZOVIcon(std::vector<std::uint8_t> data, std::string dataHash, zovaze::IconSize size,
                 bool prerendered)
    : ZOVIcon(std::make_shared<PNGData>(), std::move(dataHash), size, prerendered) {
    data_->png = std::move(data);
}

ZOVIcon::ZOVIcon(std::vector<std::uint8_t> data, zovaze::IconSize size, bool prerendered)
    : ZOVIcon(std::make_shared<PNGData>(), ZOVSHA1HexFromData(data), size, prerendered) {
    data_->png = std::move(data);
}

std::optional<ZOVIcon> ZOVIcon::initWithPNGImageAtPath(const std::string& path, zovaze::IconSize size,
                                                       bool prerendered) {
    auto file = ns::readFileBytes(path, maximumFileLength);
    if (!file || !zovaze::decodePNG(*file)) return std::nullopt;
    return initWithDecodablePNGFile(std::move(*file), size, prerendered);
}

ZOVIcon ZOVIcon::initWithDecodablePNGFile(std::vector<std::uint8_t> file, zovaze::IconSize size,
                                          bool prerendered) {
    auto data = std::make_shared<PNGData>();
    std::string hash = ZOVSHA1HexFromData(file);
    data->file = std::move(file);
    return ZOVIcon(std::move(data), std::move(hash), size, prerendered);
}

const std::vector<std::uint8_t>& ZOVIcon::data() const {
    std::lock_guard lock(data_->mutex);
    if (data_->file) {
        auto image = zovaze::decodePNG(*data_->file);
        auto png = image ? zovaze::encodePNG(*image) : std::nullopt;
        if (png) data_->png = std::move(*png);
        data_->file.reset();
    }
    return data_->png;
}
