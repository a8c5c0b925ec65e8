#include "sdk/zevuzavidav/support/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"
#include "tests/sdk/zevuzavidav/FakeContext.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

std::string read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SDKLogTest, FormatsOnlyItsOwnConversionsAndKeepsErrno) {
    FakeContext context;
    errno = 42;
    ZEVSDKLog("%s: %d %u %x %p %s|", "f", -5, 7u, 255u, reinterpret_cast<void*>(0x1000), nullptr);
    ZEVSDKLog("%lu %zu %% end\n", 99UL);
    EXPECT_EQ(errno, 42);
    EXPECT_EQ(read(context.dir() + "/sdk.log"), "f: -5 7 ff 0x1000 (null)|%lu %zu %% end\n");
}

TEST(SDKLogTest, WritesNothingWithoutAContextAndRetriesAFailedOpen) {
    ZEVSDKLog("%s: nothing\n", "f");
    FakeContext context;
    std::string path = context.dir() + "/missing-folder/sdk.log";
    context.readOnly().sdkLogPath = path.c_str();
    ZEVSDKLog("%s: lost\n", "f");
    EXPECT_EQ(context.writable().sdkLogDescriptor, -1);
    std::filesystem::create_directory(context.dir() + "/missing-folder");
    ZEVSDKLog("%s: kept\n", "f");
    EXPECT_EQ(read(path), "f: kept\n");
}

TEST(SDKLogTest, ImageTableFindsLiveRangesAndClearsTheLiveSlotOnUnload) {
    FakeContext context;
    darwin::ImageInfo first;
    first.base = 0x100000;
    first.size = 0x1000;
    first.ehFrameHdr = 0x100800;
    ZEVBinaryImageStoreNode(true, first);
    ZEVBinaryImageNodeCopy found;
    EXPECT_TRUE(ZEVBinaryImageSafeFindImageForAddress(0x100000, &found));
    EXPECT_EQ(found.eh_frame, 0x100800u);
    EXPECT_TRUE(ZEVBinaryImageSafeFindImageForAddress(0x100fff, &found));
    EXPECT_FALSE(ZEVBinaryImageSafeFindImageForAddress(0x101000, &found));

    // Unloaded, reloaded at the same base, unloaded again: the second unload must clear the live
    // slot, not the dead one left by the first.
    ZEVBinaryImageStoreNode(false, first);
    EXPECT_FALSE(ZEVBinaryImageSafeFindImageForAddress(0x100010, &found));
    ZEVBinaryImageStoreNode(true, first);
    EXPECT_TRUE(ZEVBinaryImageSafeFindImageForAddress(0x100010, &found));
    ZEVBinaryImageStoreNode(false, first);
    EXPECT_FALSE(ZEVBinaryImageSafeFindImageForAddress(0x100010, &found));

    // The table holds 512 load events; the 513th is not tracked and says so.
    for (int i = 0; i < ZEVBinaryImageTableSize; ++i) {
        darwin::ImageInfo image;
        image.base = 0x200000 + static_cast<std::uintptr_t>(i) * 0x1000;
        image.size = 0x1000;
        ZEVBinaryImageStoreNode(true, image);
    }
    EXPECT_NE(read(context.dir() + "/sdk.log")
                  .find("ZEVBinaryImageStoreNode: Error: Unable to track a loaded node 0x"),
              std::string::npos);
}

} // namespace
