#include "sdk/zevuzavidav/support/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

// Points the shared crash context at test-owned parts for as long as it lives.
class FakeContext {
  public:
    explicit FakeContext(const std::string& logPath) : path_(logPath) {
        readOnly_ = std::make_unique<ZEVReadOnlyContext>();
        writable_ = std::make_unique<ZEVWritableContext>();
        writable_->sdkLogDescriptor = -1;
        readOnly_->sdkLogPath = path_.c_str();
        readOnly_->initialized.store(1);
        saved_ = ZEVContextShared();
        ZEVContextShared().readOnly = readOnly_.get();
        ZEVContextShared().writable = writable_.get();
    }
    ~FakeContext() {
        if (writable_->sdkLogDescriptor >= 0) close(writable_->sdkLogDescriptor);
        ZEVContextShared() = saved_;
    }
    ZEVWritableContext& writable() { return *writable_; }

  private:
    std::string path_;
    std::unique_ptr<ZEVReadOnlyContext> readOnly_;
    std::unique_ptr<ZEVWritableContext> writable_;
    ZEVContext saved_;
};

class SDKLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zevlogXXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string read(const std::string& name) const {
        std::ifstream in(dir_ + "/" + name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_;
};

TEST_F(SDKLogTest, FormatsOnlyItsOwnConversionsAndKeepsErrno) {
    FakeContext context(dir_ + "/sdk.log");
    errno = 42;
    ZEVSDKLog("%s: %d %u %x %p %s|", "f", -5, 7u, 255u, reinterpret_cast<void*>(0x1000), nullptr);
    ZEVSDKLog("%lu %zu %% end\n", 99UL);
    EXPECT_EQ(errno, 42);
    EXPECT_EQ(read("sdk.log"), "f: -5 7 ff 0x1000 (null)|%lu %zu %% end\n");
}

TEST_F(SDKLogTest, WritesNothingWithoutAContextAndRetriesAFailedOpen) {
    ZEVSDKLog("%s: nothing\n", "f");
    FakeContext context(dir_ + "/missing-folder/sdk.log");
    ZEVSDKLog("%s: lost\n", "f");
    EXPECT_EQ(context.writable().sdkLogDescriptor, -1);
    std::filesystem::create_directory(dir_ + "/missing-folder");
    ZEVSDKLog("%s: kept\n", "f");
    EXPECT_EQ(read("missing-folder/sdk.log"), "f: kept\n");
}

TEST_F(SDKLogTest, ImageTableFindsLiveRangesAndClearsTheLiveSlotOnUnload) {
    FakeContext context(dir_ + "/sdk.log");
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
    EXPECT_NE(read("sdk.log").find("ZEVBinaryImageStoreNode: Error: Unable to track a loaded node 0x"),
              std::string::npos);
}

} // namespace
