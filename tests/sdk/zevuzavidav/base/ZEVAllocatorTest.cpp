#include "sdk/zevuzavidav/base/ZEVAllocator.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/context/ZEVHost.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace {

TEST(Allocator, RegionSizesRoundUpToOneMorePage) {
    struct Case {
        std::uint64_t request, page, expected;
    } cases[] = {{544856, 16384, 557056}, {17104, 16384, 32768}, {544856, 4096, 548864},
                 {17104, 4096, 20480},    {8192, 4096, 12288},   {0, 4096, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(zevuzavidav::allocatorRoundedSize(c.request, c.page), c.expected) << c.request;
}

TEST(Allocator, PageSizeIsClampedTo4096Through16384) {
    EXPECT_EQ(zevuzavidav::clampPageSize(65536, true), 16384u);
    EXPECT_EQ(zevuzavidav::clampPageSize(1024, true), 4096u);
    EXPECT_EQ(zevuzavidav::clampPageSize(8192, true), 8192u);
    EXPECT_EQ(zevuzavidav::clampPageSize(0, false), 16384u);
    EXPECT_EQ(zevuzavidav::osVersionNumberForMajor(6), 60000u);
    EXPECT_EQ(zevuzavidav::osVersionNumberForMajor(9), 90000u);
    EXPECT_EQ(zevuzavidav::osVersionNumberForMajor(10), 0u);
}

TEST(Allocator, AllocatesAlignedFromRegionsThenFallsBackToTheHeap) {
    ZEVAllocator* allocator = ZEVAllocatorCreate(100, 100);
    ASSERT_NE(allocator, nullptr);
    void* a = ZEVAllocatorSafeAllocate(allocator, 3, zevuzavidav::kAllocationWritable);
    void* b = ZEVAllocatorSafeAllocate(allocator, 5, zevuzavidav::kAllocationWritable);
    void* r = ZEVAllocatorSafeAllocate(allocator, 7, zevuzavidav::kAllocationReadOnly);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 16, 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 16, 0u);
    EXPECT_EQ(static_cast<char*>(b) - static_cast<char*>(a), 16);
    EXPECT_TRUE(zevuzavidav::allocatorOwns(allocator, a));
    EXPECT_TRUE(zevuzavidav::allocatorOwns(allocator, r));
    EXPECT_EQ(ZEVAllocatorSafeAllocate(allocator, 8, 7), nullptr);

    char* before = allocator->writable.next.load();
    void* big = ZEVAllocatorSafeAllocate(allocator, 1 << 20, zevuzavidav::kAllocationWritable);
    ASSERT_NE(big, nullptr);
    EXPECT_FALSE(zevuzavidav::allocatorOwns(allocator, big));
    EXPECT_EQ(allocator->writable.next.load(), before);
    std::free(big);

    ASSERT_TRUE(ZEVAllocatorProtect(allocator));
    EXPECT_TRUE(ZEVAllocatorProtect(allocator));
    void* after = ZEVAllocatorSafeAllocate(allocator, 8, zevuzavidav::kAllocationReadOnly);
    EXPECT_FALSE(zevuzavidav::allocatorOwns(allocator, after));
    std::free(after);
    EXPECT_FALSE(ZEVAllocatorProtect(nullptr));
    void* noAllocator = ZEVAllocatorSafeAllocate(nullptr, 8, zevuzavidav::kAllocationReadOnly);
    EXPECT_NE(noAllocator, nullptr);
    std::free(noAllocator);
}

// A string copied for the crash handlers lies in the read-only region of the allocator it was given.
TEST(AllocatorDeathTest, ProtectedRegionRejectsWrites) {
    ZEVAllocator* allocator = ZEVAllocatorCreate(100, 100);
    ASSERT_NE(allocator, nullptr);
    char* text = ZEVDuplicateString(allocator, "signal.zevrecord");
    ASSERT_TRUE(zevuzavidav::allocatorOwns(allocator, text));
    EXPECT_STREQ(text, "signal.zevrecord");
    ASSERT_TRUE(ZEVAllocatorProtect(allocator));
    EXPECT_DEATH(*static_cast<volatile char*>(text) = 'x', "");
}

} // namespace
