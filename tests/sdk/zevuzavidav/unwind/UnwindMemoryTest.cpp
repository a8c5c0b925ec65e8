// What a walk may read: ranges proven before are read in place, everything else through checked
// copies, and a stack unmapped by another thread in the middle of a walk ends the walk, never the
// process.
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stop_token>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zevuzavidav;

namespace {

const std::uintptr_t kPage = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));

TEST(UnwindMemory, ReadsCopiedLinesAndRefusesUnmappedBytes) {
    auto* pages = static_cast<char*>(
        mmap(nullptr, 2 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    const auto base = reinterpret_cast<std::uintptr_t>(pages);
    for (std::uintptr_t i = 0; i < 2 * kPage; ++i)
        pages[i] = static_cast<char>(i * 7);
    UnwindMemory memory;
    initUnwindMemory(&memory);
    // Across the line (and page) boundary, then inside one line.
    char out[64];
    ASSERT_TRUE(readUnwindMemory(&memory, base + kPage - 20, out, sizeof out));
    EXPECT_EQ(std::memcmp(out, pages + kPage - 20, sizeof out), 0);
    EXPECT_FALSE(isUnwindMemoryInPlace(&memory, base, 8));
    munmap(pages + kPage, kPage);
    // The second page is gone: a read reaching into it fails, one before it still succeeds.
    initUnwindMemory(&memory);
    EXPECT_FALSE(readUnwindMemory(&memory, base + kPage - 4, out, 8));
    EXPECT_TRUE(readUnwindMemory(&memory, base + kPage - 12, out, 8));
    EXPECT_FALSE(readUnwindMemory(&memory, 16, out, 8)); // below 4096
    EXPECT_FALSE(readUnwindMemory(nullptr, base + kPage, out, 8));
    EXPECT_TRUE(readUnwindMemory(nullptr, base, out, 8));
    // A range is read in place only once the kernel has confirmed every page of it.
    EXPECT_FALSE(proveUnwindMemoryRange(&memory, base, base + 2 * kPage));
    EXPECT_FALSE(isUnwindMemoryInPlace(&memory, base, 8));
    EXPECT_TRUE(proveUnwindMemoryRange(&memory, base, base + kPage));
    EXPECT_TRUE(isUnwindMemoryInPlace(&memory, base + 8, 8));
    EXPECT_FALSE(isUnwindMemoryInPlace(&memory, base + kPage - 4, 8));
    munmap(pages, kPage);
}

TEST(UnwindMemory, TheWalkingThreadsOwnStackIsReadInPlace) {
    UnwindMemory memory;
    initUnwindMemoryForCurrentThread(&memory, 0);
    std::uint64_t local = 0x5eed;
    EXPECT_TRUE(isUnwindMemoryInPlace(&memory, reinterpret_cast<std::uintptr_t>(&local), sizeof local));
    std::vector<std::uint64_t> heap(4);
    EXPECT_FALSE(isUnwindMemoryInPlace(&memory, reinterpret_cast<std::uintptr_t>(heap.data()), 8));
}

// A stack of another thread's kind (not the walker's own), one frame per page, in a mapping of its
// own: each caller's pc is the word below a CFA one page up. Its pcs lie in no image, so it is walked
// by its frame-pointer chain, or by rules kept for its pcs as for frames seen before.
class UnmappedMidWalk : public ::testing::TestWithParam<bool> {
  protected:
    static constexpr int kFrames = 200;

    void SetUp() override {
        void* memory =
            mmap(nullptr, (kFrames + 1) * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(memory, MAP_FAILED);
        stack_ = reinterpret_cast<std::uintptr_t>(memory);
        tailUnmapped_ = false;
        for (int i = 0; i < kFrames; ++i) {
            // Frame i: sp at the start of page i, its caller's frame record (saved fp, pc) at the end.
            auto* record = reinterpret_cast<std::uint64_t*>(spOf(i + 1) - 16);
            record[0] = i + 1 < kFrames ? spOf(i + 2) - 16 : 0;
            record[1] = i + 1 < kFrames ? pcOf(i + 1) : 0;
        }
        if (GetParam()) {
            UnwindFrameRule rule; // CFA = sp + one page; the pc below it; fp saved below that
            rule.kind = UnwindFrameRule::kFromStackPointer;
            rule.cfaOffset = static_cast<std::uint32_t>(kPage);
            rule.saved[UnwindFrameRule::kFramePointerIndex] = 2;
            rule.span = 2;
            for (int i = 0; i < kFrames; ++i)
                storeUnwindRule(pcOf(i) - 1, zevuzavidav::binaryImageGeneration(), rule);
        }
    }
    // Once the unmapping thread has taken the pages above the first, the space may hold someone else's
    // mapping (the sanitizers' own, say): only the first page is still the test's to unmap.
    void TearDown() override {
        munmap(reinterpret_cast<void*>(stack_), tailUnmapped_ ? kPage : (kFrames + 1) * kPage);
        clearUnwindRuleCache();
    }

    std::uintptr_t spOf(int frame) const { return stack_ + static_cast<std::uintptr_t>(frame) * kPage; }
    static std::uint64_t pcOf(int frame) { return 0x7000000 + 0x40 * static_cast<std::uint64_t>(frame); }

    // Walks the stack; `pause(delivered)` runs after each frame delivered.
    template <typename Pause> std::vector<std::uint64_t> walk(Pause pause) {
        MachineContext registers{};
        registers.rip = pcOf(0);
        registers.rsp = spOf(0);
        registers.rbp = spOf(1) - 16;
        ZEVUnwindContext context;
        initUnwindWithImageFinder(&context, &registers,
                                  [](std::uint64_t, zevuzavidav::BinaryImageNodeCopy*) { return false; });
        // The frame-0 pc is exact; the others are return addresses, so the rule of frame 0 is not kept.
        if (GetParam()) context.pcIsExact = false;
        std::vector<std::uint64_t> pcs;
        while (ZEVUnwindNextFrame(&context)) {
            pcs.push_back(ZEVUnwindGetPC(&context));
            pause(pcs.size());
        }
        return pcs;
    }

    // Walks the stack while another thread unmaps every page but the first once `before` frames are
    // out; the walk waits for the unmapping before it goes on, so the walker always meets the gap.
    std::vector<std::uint64_t> walkUnmappedByAnotherThreadAfter(std::size_t before) {
        std::atomic<std::size_t> delivered{0};
        std::atomic<bool> unmapped{false};
        std::vector<std::uint64_t> pcs;
        {
            std::jthread unmapper([&](std::stop_token stop) {
                std::stop_callback wake(stop, [&] {
                    delivered = before;
                    delivered.notify_one();
                });
                for (std::size_t now = delivered.load(); now < before; now = delivered.load())
                    delivered.wait(now);
                munmap(reinterpret_cast<void*>(spOf(1)), kFrames * kPage);
                tailUnmapped_ = true;
                unmapped = true;
                unmapped.notify_one();
            });
            pcs = walk([&](std::size_t count) {
                delivered = count;
                delivered.notify_one();
                if (count == before) unmapped.wait(false);
            });
        }
        return pcs;
    }

    void expectPrefixOfTheStack(const std::vector<std::uint64_t>& pcs) {
        ASSERT_LE(pcs.size(), static_cast<std::size_t>(kFrames));
        for (std::size_t i = 0; i < pcs.size(); ++i)
            ASSERT_EQ(pcs[i], pcOf(static_cast<int>(i))) << "frame " << i;
    }

    std::uintptr_t stack_ = 0;
    std::atomic<bool> tailUnmapped_{false};
};

TEST_P(UnmappedMidWalk, TheWholeStackIsWalkedWhileItStaysMapped) {
    auto pcs = walk([](std::size_t) {});
    EXPECT_EQ(pcs.size(), static_cast<std::size_t>(kFrames));
    expectPrefixOfTheStack(pcs);
}

TEST_P(UnmappedMidWalk, AStackUnmappedByAnotherThreadMidWalkEndsTheWalkCleanly) {
    // The unmapping thread takes the stack away once 40 frames are out; the walk then meets pages that
    // are gone and must stop there, not fault.
    constexpr std::size_t kBefore = 40;
    auto pcs = walkUnmappedByAnotherThreadAfter(kBefore);
    EXPECT_EQ(pcs.size(), kBefore); // the next record lies on a page already gone
    expectPrefixOfTheStack(pcs);
}

TEST_P(UnmappedMidWalk, StacksUnmappedAtAnyMomentNeverFaultTheWalker) {
    // After each number of frames in turn: the walk ends exactly where the stack went away. (The first
    // page stays, and with it the record of the second frame: from two frames on, every frame counts.)
    for (std::size_t before = 2; before < static_cast<std::size_t>(kFrames); before += 6) {
        auto pcs = walkUnmappedByAnotherThreadAfter(before);
        EXPECT_EQ(pcs.size(), before);
        expectPrefixOfTheStack(pcs);
        // Map the stack again for the next round.
        TearDown();
        SetUp();
    }
}

INSTANTIATE_TEST_SUITE_P(FramePointerChainAndKeptRules, UnmappedMidWalk, ::testing::Bool());

} // namespace
