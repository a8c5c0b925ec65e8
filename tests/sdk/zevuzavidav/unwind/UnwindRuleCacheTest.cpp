// The frame-rule cache: which call-frame rows it keeps and how, and that what it gives back is always
// a rule stored for that pc, in that image generation, even with writers racing and entries damaged.
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <latch>
#include <stop_token>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zevuzavidav;

namespace {

using Packed = PackedUnwindFrameRule;

constexpr int kRsp = 7, kRbp = 6, kRbx = 3, kR12 = 12, kR15 = 15, kReturnAddress = 16;

ZEVDwarfRegisterRules rulesWithCfa(std::uint64_t reg, std::int64_t offset) {
    ZEVDwarfRegisterRules rules;
    std::memset(&rules, 0, sizeof rules);
    rules.cfaRegister = reg;
    rules.cfaOffset = offset;
    rules.registers[kReturnAddress] = {kDwarfRuleOffset, -8};
    return rules;
}

TEST(UnwindFrameRule, KeepsTheCommonFormsOfFrame) {
    // After push rbp; push rbx; sub 24: CFA = rsp + 48, rbp at CFA-16, rbx at CFA-24.
    ZEVDwarfRegisterRules pushed = rulesWithCfa(kRsp, 48);
    pushed.registers[kRbp] = {kDwarfRuleOffset, -16};
    pushed.registers[kRbx] = {kDwarfRuleOffset, -24};
    UnwindFrameRule rule;
    ASSERT_TRUE(unwindFrameRuleFromRules(pushed, false, &rule));
    EXPECT_EQ(rule.kind, UnwindFrameRule::kFromStackPointer);
    EXPECT_EQ(rule.cfaOffset, 48u);
    EXPECT_EQ(rule.saved[0], 3); // rbx
    EXPECT_EQ(rule.saved[UnwindFrameRule::kFramePointerIndex], 2);
    EXPECT_EQ(rule.span, 3);
    // Made straight from the rules, the packed rule is the one the rule packs into.
    std::uint64_t packed = 0;
    ASSERT_TRUE(packedUnwindRuleFromRules(pushed, false, ~0ULL, &packed));
    EXPECT_EQ(packed, Packed::pack(rule));
    // The frame-pointer frame: CFA = rbp + 16.
    ZEVDwarfRegisterRules framed = rulesWithCfa(kRbp, 16);
    framed.registers[kRbp] = {kDwarfRuleOffset, -16};
    ASSERT_TRUE(unwindFrameRuleFromRules(framed, false, &rule));
    EXPECT_EQ(rule.kind, UnwindFrameRule::kFromFramePointer);
    // The outermost frame: the return address is undefined.
    ZEVDwarfRegisterRules outermost = rulesWithCfa(kRsp, 8);
    outermost.registers[kReturnAddress] = {kDwarfRuleUndefined, 0};
    ASSERT_TRUE(unwindFrameRuleFromRules(outermost, false, &rule));
    EXPECT_EQ(rule.kind, UnwindFrameRule::kOutermost);
}

TEST(UnwindFrameRule, LooksOnlyAtTheRegistersTheRulesMayRule) {
    // rax saved would refuse the frame, and rbx saved would be kept: neither counts once left out.
    ZEVDwarfRegisterRules rules = rulesWithCfa(kRsp, 32);
    rules.registers[0] = {kDwarfRuleOffset, -16};
    rules.registers[kRbx] = {kDwarfRuleOffset, -24};
    const std::uint64_t returnAddress = 1ULL << kReturnAddress;
    UnwindFrameRule rule;
    EXPECT_FALSE(unwindFrameRuleFromRules(rules, false, &rule, returnAddress | 1ULL << 0 | 1ULL << kRbx));
    ASSERT_TRUE(unwindFrameRuleFromRules(rules, false, &rule, returnAddress | 1ULL << kRbx));
    EXPECT_EQ(rule.saved[0], 3);
    ASSERT_TRUE(unwindFrameRuleFromRules(rules, false, &rule, returnAddress));
    EXPECT_EQ(rule.saved[0], 0);
    EXPECT_EQ(rule.span, 1);
    // A return address the rules leave unchanged is not at CFA - 8.
    EXPECT_FALSE(unwindFrameRuleFromRules(rules, false, &rule, 1ULL << kRbx));
}

TEST(UnwindFrameRule, LeavesEveryOtherFormToTheFullStep) {
    struct Case {
        const char* what;
        ZEVDwarfRegisterRules rules;
        bool signalFrame;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, auto change, bool signalFrame = false) {
        ZEVDwarfRegisterRules rules = rulesWithCfa(kRsp, 32);
        change(rules);
        cases.push_back({what, rules, signalFrame});
    };
    add("a CFA from another register", [](auto& r) { r.cfaRegister = kRbx; });
    add("a CFA expression", [](auto& r) { r.cfaExpression = 0x1000; });
    add("a CFA offset not in words", [](auto& r) { r.cfaOffset = 36; });
    add("a negative CFA offset", [](auto& r) { r.cfaOffset = -16; });
    add("a CFA offset of a megabyte", [](auto& r) { r.cfaOffset = 1 << 20; });
    add("the return address elsewhere", [](auto& r) { r.registers[kReturnAddress].value = -16; });
    add("the return address in a register", [](auto& r) {
        r.registers[kReturnAddress] = {kDwarfRuleRegister, 0};
    });
    add("a rule for rsp", [](auto& r) { r.registers[kRsp] = {kDwarfRuleValOffset, 0}; });
    add("a saved call-clobbered register", [](auto& r) { r.registers[0] = {kDwarfRuleOffset, -16}; });
    add("a register saved above the CFA", [](auto& r) { r.registers[kR12] = {kDwarfRuleOffset, 8}; });
    add("a register saved too far below", [](auto& r) { r.registers[kR15] = {kDwarfRuleOffset, -8 * 32}; });
    add("rbp saved over the return address", [](auto& r) { r.registers[kRbp] = {kDwarfRuleOffset, -8}; });
    add("rbx saved over the return address", [](auto& r) { r.registers[kRbx] = {kDwarfRuleOffset, -8}; });
    add("a register kept in a register", [](auto& r) { r.registers[kRbx] = {kDwarfRuleRegister, 12}; });
    add("a register saved by an expression", [](auto& r) {
        r.registers[kRbx] = {kDwarfRuleExpression, 0x1000};
    });
    add(
        "a signal frame", [](auto&) {}, true);
    for (const Case& c : cases) {
        UnwindFrameRule rule;
        EXPECT_FALSE(unwindFrameRuleFromRules(c.rules, c.signalFrame, &rule)) << c.what;
    }
}

class UnwindRuleCache : public ::testing::Test {
  protected:
    void SetUp() override { clearUnwindRuleCache(); }
    void TearDown() override { clearUnwindRuleCache(); }

    static UnwindFrameRule ruleWithOffset(std::uint32_t offset) {
        UnwindFrameRule rule;
        rule.kind = UnwindFrameRule::kFromStackPointer;
        rule.cfaOffset = offset;
        rule.saved[0] = 2;
        rule.span = 2;
        return rule;
    }
};

TEST_F(UnwindRuleCache, GivesBackWhatWasStoredForThePcInItsGenerationOnly) {
    const std::uint64_t pc = 0x55550000abcdULL;
    std::uint64_t packed = 0;
    EXPECT_FALSE(findCachedUnwindRule(pc, 1, &packed));
    storeUnwindRule(pc, 1, ruleWithOffset(96));
    ASSERT_TRUE(findCachedUnwindRule(pc, 1, &packed));
    EXPECT_EQ(Packed::kind(packed), UnwindFrameRule::kFromStackPointer);
    EXPECT_EQ(Packed::cfaOffset(packed), 96u);
    EXPECT_EQ(Packed::span(packed), 2u);
    EXPECT_EQ(Packed::othersMask(packed), 1u); // rbx
    EXPECT_EQ(Packed::otherSlot(packed, 0), 2u);
    EXPECT_FALSE(findCachedUnwindRule(pc, 2, &packed)) << "an image left the table since";
    EXPECT_FALSE(findCachedUnwindRule(pc + 1, 1, &packed));
    for (std::uint64_t beyond : {1ULL << 47, 1ULL << 48, ~0ULL}) { // beyond user addresses: not kept
        storeUnwindRule(beyond, 1, ruleWithOffset(96));
        EXPECT_FALSE(findCachedUnwindRule(beyond, 1, &packed)) << std::hex << beyond;
    }
    clearUnwindRuleCache();
    EXPECT_FALSE(findCachedUnwindRule(pc, 1, &packed));
}

// Every page of the cache is in memory afterwards (run alone, as ctest runs it, nothing had touched
// them before), and what was kept stays.
TEST(UnwindRuleCacheResidence, EveryPageIsInMemoryAndKeptRulesStay) {
    const std::uint64_t pc = 0x55550000abcdULL;
    UnwindFrameRule rule;
    rule.kind = UnwindFrameRule::kFromStackPointer;
    rule.cfaOffset = 16;
    storeUnwindRule(pc, 1, rule);
    makeUnwindRuleCacheResident();
    const long page = sysconf(_SC_PAGESIZE);
    const auto first = reinterpret_cast<std::uintptr_t>(&ruleCacheDetail::sets[0]) & ~(page - 1UL);
    const auto end = reinterpret_cast<std::uintptr_t>(std::end(ruleCacheDetail::sets));
    std::vector<unsigned char> resident((end - first + page - 1) / page);
    ASSERT_EQ(mincore(reinterpret_cast<void*>(first), end - first, resident.data()), 0);
    for (std::size_t i = 0; i < resident.size(); ++i)
        EXPECT_NE(resident[i] & 1, 0) << "page " << i;
    std::uint64_t packed = 0;
    ASSERT_TRUE(findCachedUnwindRule(pc, 1, &packed));
    EXPECT_EQ(Packed::cfaOffset(packed), 16u);
    clearUnwindRuleCache();
}

TEST_F(UnwindRuleCache, DamagedEntriesReadAsMisses) {
    const std::uint64_t pc = 0x55550000abcdULL;
    storeUnwindRule(pc, 1, ruleWithOffset(96));
    auto& entry = ruleCacheDetail::setOf(pc).ways[0];
    const std::uint64_t stored = entry.rule.load();
    // Every single-bit change of the rule: the check catches nearly all; what it lets through is at
    // least well formed.
    int caught = 0;
    for (int bit = 0; bit < 64; ++bit) {
        entry.rule.store(stored ^ (1ULL << bit));
        std::uint64_t packed = 0;
        if (!findCachedUnwindRule(pc, 1, &packed)) {
            ++caught;
        } else {
            EXPECT_NE(Packed::span(packed), 0u) << bit;
        }
    }
    EXPECT_GE(caught, 56);
    entry.rule.store(stored);
    entry.key.store(entry.key.load() ^ 0x10);
    std::uint64_t packed = 0;
    EXPECT_FALSE(findCachedUnwindRule(pc, 1, &packed));
}

// Pcs that fall on one set, the set of `first`.
std::vector<std::uint64_t> pcsSharingASet(std::size_t count, std::uint64_t first = 0x400000) {
    std::vector<std::uint64_t> pcs;
    const auto& set = ruleCacheDetail::setOf(first);
    for (std::uint64_t pc = first + 1; pcs.size() < count; ++pc) {
        if (&ruleCacheDetail::setOf(pc) == &set) pcs.push_back(pc);
    }
    return pcs;
}

// The pcs of `pcs` whose rule (offset 8 (i + 1)) is found, in `generation`.
std::vector<std::size_t> kept(const std::vector<std::uint64_t>& pcs, std::uint64_t generation) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < pcs.size(); ++i) {
        std::uint64_t packed = 0;
        if (!findCachedUnwindRule(pcs[i], generation, &packed)) continue;
        EXPECT_EQ(Packed::cfaOffset(packed), 8 * (i + 1)) << "pc " << i;
        found.push_back(i);
    }
    return found;
}

TEST_F(UnwindRuleCache, FourPcsOfASetStayAndAFifthTakesThePlaceOfOne) {
    constexpr std::size_t kWays = ruleCacheDetail::kWays;
    const auto pcs = pcsSharingASet(kWays + 1);
    for (std::size_t i = 0; i < kWays; ++i)
        storeUnwindRule(pcs[i], 1, ruleWithOffset(static_cast<std::uint32_t>(8 * (i + 1))));
    EXPECT_EQ(kept(pcs, 1), (std::vector<std::size_t>{0, 1, 2, 3}));
    // Written again, a pc keeps its own entry: nobody leaves.
    storeUnwindRule(pcs[2], 1, ruleWithOffset(24));
    EXPECT_EQ(kept(pcs, 1).size(), kWays);
    storeUnwindRule(pcs[kWays], 1, ruleWithOffset(8 * (kWays + 1)));
    const std::vector<std::size_t> after = kept(pcs, 1);
    EXPECT_EQ(after.size(), kWays);
    EXPECT_EQ(after.back(), kWays) << "the newest is kept";
}

TEST_F(UnwindRuleCache, RulesOfAnOlderImageGenerationMakeRoomFirst) {
    constexpr std::size_t kWays = ruleCacheDetail::kWays;
    const auto pcs = pcsSharingASet(kWays + 1);
    auto elsewhere = pcsSharingASet(kWays + 1, 0x500000);
    ASSERT_NE(&ruleCacheDetail::setOf(elsewhere[0]), &ruleCacheDetail::setOf(pcs[0]));
    // With the turn of eviction at each of the ways: a full set with one rule of an older generation
    // (pc 0) gives that entry to a new pc, never one of this generation.
    for (std::size_t round = 0; round < kWays; ++round) {
        clearUnwindRuleCache();
        storeUnwindRule(pcs[0], 6, ruleWithOffset(8));
        for (std::size_t i = 1; i <= kWays; ++i)
            storeUnwindRule(pcs[i], 7, ruleWithOffset(static_cast<std::uint32_t>(8 * (i + 1))));
        EXPECT_EQ(kept(pcs, 7), (std::vector<std::size_t>{1, 2, 3, 4})) << "round " << round;
        for (std::uint64_t pc : elsewhere) // one eviction there moves the turn on
            storeUnwindRule(pc, 7, ruleWithOffset(8));
    }
}

// Pcs that share one set, written and read by several threads at once: a reader gets either a miss or
// exactly the rule stored for the pc it asked about. The overlap is made, not hoped for: every thread
// starts at one latch, the writers keep evicting one another until every reader is done, and a reader
// looks again only once some writer has changed the set since its last look. A reader is done after a
// fixed number of hits (it stores its own pc's rule before each look, so hits keep coming however the
// threads are scheduled).
TEST_F(UnwindRuleCache, RacingWritersNeverLendOnePcAnothersRule) {
    constexpr long kHitsPerReader = 200;
    const auto pcs = pcsSharingASet(2 * ruleCacheDetail::kWays);
    const auto ruleOf = [](std::size_t i) { return ruleWithOffset(static_cast<std::uint32_t>(8 * (i + 1))); };
    std::latch start(static_cast<std::ptrdiff_t>(2 * pcs.size()));
    std::atomic<long> writes{0};
    std::atomic<long> wrong{0};
    std::atomic<std::size_t> readersDone{0};
    {
        std::vector<std::jthread> threads; // joined on every way out of this block
        for (std::size_t i = 0; i < pcs.size(); ++i) {
            threads.emplace_back([&, i](std::stop_token stop) {
                start.arrive_and_wait();
                while (readersDone.load() < pcs.size() && !stop.stop_requested()) {
                    storeUnwindRule(pcs[i], 3, ruleOf(i));
                    writes.fetch_add(1);
                }
            });
            threads.emplace_back([&, i](std::stop_token stop) {
                start.arrive_and_wait();
                long hits = 0;
                long seen = -1;
                while (hits < kHitsPerReader && !stop.stop_requested()) {
                    const long now = writes.load();
                    if (now == seen) { // no writer has run since the last look
                        std::this_thread::yield();
                        continue;
                    }
                    seen = now;
                    storeUnwindRule(pcs[i], 3, ruleOf(i));
                    std::uint64_t packed = 0;
                    if (!findCachedUnwindRule(pcs[i], 3, &packed)) continue;
                    ++hits;
                    if (Packed::cfaOffset(packed) != 8 * (i + 1)) wrong.fetch_add(1);
                }
                readersDone.fetch_add(1);
            });
        }
    }
    EXPECT_EQ(readersDone.load(), pcs.size());
    EXPECT_EQ(wrong.load(), 0);
}

} // namespace
