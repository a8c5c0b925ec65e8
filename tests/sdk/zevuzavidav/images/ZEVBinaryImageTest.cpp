// Image details read from headers in memory (the crash-time way) agree with what the dynamic linker
// describes, for every loaded image.
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "tests/sdk/zevuzavidav/support/FakeContext.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

TEST(BinaryImage, DetailsFromAHeaderAgreeWithTheLinkersDescriptionOfEveryImage) {
    std::vector<darwin::ImageInfo> images;
    darwin::forEachImage(
        [](const darwin::ImageInfo& image, void* context) {
            static_cast<std::vector<darwin::ImageInfo>*>(context)->push_back(image);
            return true;
        },
        &images);
    ASSERT_GE(images.size(), 3u);
    for (const auto& image : images) {
        ZEVBinaryImageDetails details{};
        details.slice = ZOVMachOSliceFromHeader(reinterpret_cast<const std::uint8_t*>(image.base), 0);
        ZEVBinaryImageFillInDetails(&details);
        SCOPED_TRACE(image.path != nullptr ? image.path : "");
        EXPECT_EQ(details.node.base, image.base);
        EXPECT_EQ(details.node.size, image.size);
        EXPECT_EQ(details.node.eh_frame, image.ehFrameHdr);
        EXPECT_EQ(details.node.unwind_info, 0u);
        EXPECT_EQ(ZEVBinaryImageHasUnwindInfo(&details.node), image.ehFrameHdr != 0);
        char uuid[33] = {};
        if (image.hasUuid) zevuzavidav::binaryImageUUIDText(image, uuid);
        EXPECT_STREQ(details.uuid, uuid);
        EXPECT_FALSE(details.encrypted);
    }
}

TEST(BinaryImage, WhatIsNotAnImageGivesNoDetailsAndNoFileIsRefused) {
    FakeContext context;
    static const std::uint8_t notAnImage[256] = {0x7f, 'E', 'L', 'F'};
    for (const std::uint8_t* header : {notAnImage, static_cast<const std::uint8_t*>(nullptr),
                                       reinterpret_cast<const std::uint8_t*>(std::uintptr_t{16})}) {
        ZEVBinaryImageDetails details{};
        details.slice = ZOVMachOSliceFromHeader(header, sizeof notAnImage);
        ZEVBinaryImageFillInDetails(&details);
        EXPECT_EQ(details.node.size, 0u);
        EXPECT_STREQ(details.uuid, "");
        std::uint64_t address = 0;
        EXPECT_FALSE(
            ZEVBinaryImageGetSection(&details.slice, "__TEXT", "__eh_frame", &address, nullptr, nullptr));
    }
    ZEVBinaryImageDetails details{};
    EXPECT_FALSE(ZEVBinaryImageRecordDetails(nullptr, &details));
    std::ifstream log(context.dir() + "/sdk.log");
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("ZEVBinaryImageRecordDetails: Error: file is invalid\n"), std::string::npos);
}

// Crash-time lines follow whatever the file holds: a line the binary-images queue was stopped in the
// middle of is ended first, so every line written at crash time reads back whole.
TEST(BinaryImage, CrashTimeLinesStartOnALineOfTheirOwn) {
    FakeContext context;
    const std::string path = context.dir() + "/binary_images.zevrecord";
    context.readOnly().binaryImagePath = path.c_str();
    const std::string cut = R"({"load":{"path":"/lib/stopped.so","base":)";
    std::ofstream(path) << "{\"load\":{}}\n" << cut;
    zevuzavidav::syncBinaryImagesWithLoadedObjects(); // the table is empty: every loaded image gets a line
    std::ifstream in(path);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], cut);
    for (std::size_t i = 2; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind("{\"load\":{\"path\":", 0), 0u) << lines[i];
}

} // namespace
