#pragma once
// A throw-away bundle folder for one test: an Info.plist written from a dictionary, and PNG files of
// chosen pixel sizes.
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "sdk/zovaze/images/PNGImage.hpp"
#include "tests/support/TempHome.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <png.h>
#include <string>

namespace zovtest {

class TempBundle : public velotest::TempFolder {
  public:
    void writeInfo(const ns::PropertyList::Dictionary& info) const {
        auto bytes = ns::writePropertyList(ns::PropertyList(info), ns::PropertyListFormat::xml);
        writeFile("Info.plist", bytes.value());
    }

    // An RGBA PNG whose pixels depend on the seed, so different files have different bytes.
    std::vector<std::uint8_t> writePNG(const std::string& name, std::uint32_t width, std::uint32_t height,
                                       std::uint8_t seed = 7) const {
        zovaze::PNGImage image;
        image.width = width;
        image.height = height;
        image.rgba.resize(std::size_t{width} * height * 4);
        for (std::size_t i = 0; i < image.rgba.size(); ++i)
            image.rgba[i] = static_cast<std::uint8_t>(i * seed);
        auto bytes = *zovaze::encodePNG(image);
        writeFile(name, bytes);
        return bytes;
    }

    // A grey PNG: decodes to the same pixels as RGBA but its re-encoding has other bytes.
    std::vector<std::uint8_t> writeGreyPNG(const std::string& name, std::uint32_t width,
                                           std::uint32_t height) const {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = width;
        image.height = height;
        image.format = PNG_FORMAT_GRAY;
        std::vector<std::uint8_t> pixels(std::size_t{width} * height, 0x80);
        png_alloc_size_t size = 0;
        png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
        std::vector<std::uint8_t> bytes(size);
        png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr);
        bytes.resize(size);
        writeFile(name, bytes);
        return bytes;
    }

    void writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::filesystem::create_directories((path() / name).parent_path());
        std::ofstream out(path() / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

} // namespace zovtest
