#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"

namespace zevuzavidav {

namespace ruleCacheDetail {

Set sets[1U << kSetBits];

} // namespace ruleCacheDetail

namespace {

using namespace ruleCacheDetail;
using Packed = PackedUnwindFrameRule;

constexpr int kStackPointer = 7;
constexpr int kFramePointer = 6;
constexpr int kReturnAddress = 16;
// What a kept rule does with each register below the return address: a callee-saved one other than rbp
// is unchanged or restored (its index among rbx, r12..r15); rbp has its own place (kSavesFramePointer);
// the others (the stack pointer, which becomes the CFA, and the registers a call may clobber) keep no
// saved place (kLeftAlone).
constexpr int kLeftAlone = -1;
constexpr int kSavesFramePointer = -2;
constexpr int kRoles[kReturnAddress] = {kLeftAlone, kLeftAlone,         kLeftAlone, 0,          kLeftAlone,
                                        kLeftAlone, kSavesFramePointer, kLeftAlone, kLeftAlone, kLeftAlone,
                                        kLeftAlone, kLeftAlone,         1,          2,          3,
                                        4};

} // namespace

bool packedUnwindRuleFromRules(const ZEVDwarfRegisterRules& rules, bool signalFrame, std::uint64_t ruled,
                               std::uint64_t* out) {
    // A signal frame's pc is exact, not a return address: such frames keep the full step.
    if (signalFrame || rules.cfaExpression != 0 || rules.cfaOffset < 0 || rules.cfaOffset % 8 != 0 ||
        rules.cfaOffset >= std::int64_t{1} << (Packed::kOffsetBits + 3)) {
        return false;
    }
    const bool fromFramePointer = rules.cfaRegister == kFramePointer;
    if (!fromFramePointer && rules.cfaRegister != kStackPointer) return false;
    if ((ruled >> kReturnAddress & 1) == 0) return false; // the return address left unchanged
    const DwarfRule& returnAddress = rules.registers[kReturnAddress];
    const bool outermost = returnAddress.kind == kDwarfRuleUndefined;
    if (!outermost && (returnAddress.kind != kDwarfRuleOffset || returnAddress.value != -8)) return false;
    std::uint64_t packed = static_cast<std::uint64_t>(rules.cfaOffset) / 8 |
                           std::uint64_t{fromFramePointer && !outermost} << Packed::kFromFramePointerBit |
                           std::uint64_t{outermost} << Packed::kOutermostBit;
    // Each callee-saved register is unchanged or saved below the return address's word (CFA - 8).
    unsigned span = 1;
    unsigned framePointerIndex = Packed::kReturnAddressIndex;
    for (std::uint64_t left = ruled & ((1ULL << kReturnAddress) - 1); left != 0; left &= left - 1) {
        const int reg = __builtin_ctzll(left);
        const DwarfRule& rule = rules.registers[reg];
        if (rule.kind == kDwarfRuleUnchanged) continue;
        const int role = kRoles[reg];
        if (role == kLeftAlone) {
            if (reg == kStackPointer || rule.kind != kDwarfRuleUndefined) return false;
            continue;
        }
        if (rule.kind == kDwarfRuleUndefined) continue;
        if (rule.kind != kDwarfRuleOffset || rule.value >= -8 || rule.value % 8 != 0 ||
            rule.value < -8 * static_cast<std::int64_t>(UnwindFrameRule::kMaxSlot)) {
            return false;
        }
        const auto slot = static_cast<unsigned>(-rule.value / 8);
        span = slot > span ? slot : span;
        if (role == kSavesFramePointer) {
            framePointerIndex = Packed::framePointerIndexOf(slot);
        } else {
            packed |= (1ULL << role) << Packed::kOthersMaskShift |
                      std::uint64_t{slot} << (Packed::kOthersShift + role * Packed::kSlotBits);
        }
    }
    *out = packed | std::uint64_t{span - 1} << Packed::kSpanShift |
           std::uint64_t{framePointerIndex} << Packed::kFramePointerShift;
    return true;
}

bool unwindFrameRuleFromRules(const ZEVDwarfRegisterRules& rules, bool signalFrame, UnwindFrameRule* out,
                              std::uint64_t ruled) {
    *out = UnwindFrameRule{};
    std::uint64_t packed = 0;
    if (!packedUnwindRuleFromRules(rules, signalFrame, ruled, &packed)) return false;
    out->kind = Packed::kind(packed);
    out->cfaOffset = static_cast<std::uint32_t>(Packed::cfaOffset(packed));
    out->span = static_cast<std::uint8_t>(Packed::span(packed));
    for (int i = 0, other = 0; i < UnwindFrameRule::kSavedCount; ++i) {
        out->saved[i] = static_cast<std::uint8_t>(i == UnwindFrameRule::kFramePointerIndex
                                                      ? Packed::framePointerSlot(packed)
                                                      : Packed::otherSlot(packed, other++));
    }
    return true;
}

std::uint64_t PackedUnwindFrameRule::pack(const UnwindFrameRule& rule) {
    std::uint64_t packed = std::uint64_t{rule.cfaOffset / 8} |
                           std::uint64_t{rule.kind == UnwindFrameRule::kFromFramePointer}
                               << kFromFramePointerBit |
                           std::uint64_t{rule.kind == UnwindFrameRule::kOutermost} << kOutermostBit |
                           std::uint64_t{rule.span > 0 ? rule.span - 1U : 0U} << kSpanShift |
                           std::uint64_t{framePointerIndexOf(rule.saved[UnwindFrameRule::kFramePointerIndex])}
                               << kFramePointerShift;
    for (int i = 0, other = 0; i < UnwindFrameRule::kSavedCount; ++i) {
        if (i == UnwindFrameRule::kFramePointerIndex) continue;
        if (rule.saved[i] != 0) packed |= (1ULL << other) << kOthersMaskShift;
        packed |= std::uint64_t{rule.saved[i]} << (kOthersShift + other * kSlotBits);
        ++other;
    }
    return packed;
}

namespace {

// The rule word for `key`: the packed rule with the check that makes it whole (see checks()). The check
// sits above every bit of the packed rule and the key, so setting it adds check * kGolden << kCheckShift
// to the product: its top bits move by check * (kGolden mod 32), and kGolden being odd, one check
// brings them to 0.
constexpr std::uint64_t kGoldenLow = kGolden & 31;
constexpr std::uint64_t kGoldenLowInverse = [] {
    std::uint64_t inverse = 1;
    while ((inverse * kGoldenLow & 31) != 1)
        inverse += 2;
    return inverse;
}();
std::uint64_t withCheck(std::uint64_t key, std::uint64_t packed) {
    const std::uint64_t top = ((packed ^ key) * kGolden) >> Packed::kCheckShift;
    const std::uint64_t check = ((32 - top) * kGoldenLowInverse) & 31;
    return packed | check << Packed::kCheckShift;
}

// Writes the entry unless someone else is writing it; its count of writes goes up by one.
void write(Entry& entry, std::uint64_t key, std::uint64_t rule) {
    std::uint64_t seen = entry.key.load(std::memory_order_relaxed);
    if (seen == kBusy || !entry.key.compare_exchange_strong(seen, kBusy, std::memory_order_acquire)) return;
    // Readers that saw the old key and read the new rule see the claim when they check again.
    std::atomic_thread_fence(std::memory_order_release);
    entry.rule.store(rule, std::memory_order_relaxed);
    entry.key.store(key | ((seen >> 56) + 1) << 56, std::memory_order_release);
}

// Which way a new pc evicts when its set is full: each in turn, shared by every set. Round the ways
// rather than by age: a walk that cycles through five pcs of one set then misses on one of them per
// turn, not on all five.
std::atomic<unsigned> nextEvicted{0};

} // namespace

void storeUnwindRule(std::uint64_t pc, std::uint64_t generation, const UnwindFrameRule& rule) {
    if (rule.kind != UnwindFrameRule::kNone) storePackedUnwindRule(pc, generation, Packed::pack(rule));
}

void storePackedUnwindRule(std::uint64_t pc, std::uint64_t generation, std::uint64_t packed) {
    if (pc == 0 || pc >= kRuleCachePcLimit) return;
    const std::uint64_t key = keyOf(pc, generation);
    const std::uint64_t word = withCheck(key, packed);
    Set& set = setOf(pc);
    // The pc's own entry when it has one, else an empty one or one of an older image generation, else
    // the next in turn.
    Entry* free = nullptr;
    for (Entry& entry : set.ways) {
        const std::uint64_t seen = entry.key.load(std::memory_order_relaxed);
        if (seen == kBusy) continue;
        if ((seen & kMatched) == key) {
            write(entry, key, word);
            return;
        }
        if (free == nullptr && (seen == 0 || (seen >> 48 & 0xFF) != (generation & 0xFF))) free = &entry;
    }
    if (free == nullptr) free = &set.ways[nextEvicted.fetch_add(1, std::memory_order_relaxed) % kWays];
    write(*free, key, word);
}

void clearUnwindRuleCache() {
    for (Set& set : sets) {
        for (Entry& entry : set.ways) {
            std::uint64_t seen = entry.key.load(std::memory_order_relaxed);
            if (seen != kBusy) entry.key.compare_exchange_strong(seen, 0, std::memory_order_acq_rel);
        }
    }
}

void makeUnwindRuleCacheResident() {
    constexpr std::uintptr_t kPage = 4096;
    for (Set& set : sets) {
        // One write to each page, of the value already there, which no concurrent writer can lose.
        const auto address = reinterpret_cast<std::uintptr_t>(&set);
        if (&set == &sets[0] || address % kPage < sizeof(Set))
            set.ways[0].key.fetch_or(0, std::memory_order_relaxed);
    }
}

} // namespace zevuzavidav
