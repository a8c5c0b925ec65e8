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
// The callee-saved registers a kept rule restores other than rbp, in the order of its slots: rbx,
// r12..r15.
constexpr int kOthers[Packed::kOthers] = {3, 12, 13, 14, 15};
constexpr std::uint64_t kOthersRegisters = 1ULL << 3 | 1ULL << 12 | 1ULL << 13 | 1ULL << 14 | 1ULL << 15;
// The registers below the return address that keep no saved place: the stack pointer, which becomes
// the CFA, and those a call may clobber.
constexpr std::uint64_t kLeftAlone =
    ((1ULL << kReturnAddress) - 1) & ~kOthersRegisters & ~(1ULL << kFramePointer);

// The slot (n: saved at CFA - 8n) of a callee-saved register's rule: 0 when it is unchanged or
// undefined (left as it is), -1 when it takes a form a kept rule cannot hold (saved anywhere but
// below the return address's word, within kMaxSlot words).
int slotOf(const DwarfRule& rule) {
    if (rule.kind == kDwarfRuleUnchanged || rule.kind == kDwarfRuleUndefined) return 0;
    return rule.kind == kDwarfRuleOffset ? unwindRuleSlotOfOffset(rule.value) : -1;
}

} // namespace

bool packUnwindRuleSlots(const UnwindRuleSlots& rule, std::uint64_t* out) {
    if (rule.cfaOffset < 0 || rule.cfaOffset % 8 != 0 ||
        rule.cfaOffset >= std::int64_t{1} << (Packed::kOffsetBits + 3)) {
        return false;
    }
    const bool fromFramePointer = rule.cfaRegister == kFramePointer;
    if (!fromFramePointer && rule.cfaRegister != kStackPointer) return false;
    const std::uint8_t returnAddress = rule.slots[UnwindRuleSlots::kReturnAddress];
    const bool outermost = returnAddress == UnwindRuleSlots::kUndefinedReturn;
    if (!outermost && returnAddress != 1) return false;
    // A slot is 0 (not saved) or 2 to kMaxSlot: below the return address's word, within the span.
    auto usable = [](unsigned slot) { return slot - 2 <= UnwindFrameRule::kMaxSlot - 2; };
    const unsigned framePointerSlot = rule.slots[UnwindRuleSlots::kFramePointer];
    if (framePointerSlot != 0 && !usable(framePointerSlot)) return false;
    std::uint64_t packed = static_cast<std::uint64_t>(rule.cfaOffset) / 8 |
                           std::uint64_t{fromFramePointer && !outermost} << Packed::kFromFramePointerBit |
                           std::uint64_t{outermost} << Packed::kOutermostBit;
    unsigned span = framePointerSlot > 1 ? framePointerSlot : 1;
    for (int role = 0; role < Packed::kOthers; ++role) {
        const unsigned slot = rule.slots[role];
        if (slot == 0) continue;
        if (!usable(slot)) return false;
        span = slot > span ? slot : span;
        packed |= (1ULL << role) << Packed::kOthersMaskShift |
                  std::uint64_t{slot} << (Packed::kOthersShift + role * Packed::kSlotBits);
    }
    *out = packed | std::uint64_t{span - 1} << Packed::kSpanShift |
           std::uint64_t{Packed::framePointerIndexOf(framePointerSlot)} << Packed::kFramePointerShift;
    return true;
}

bool unwindRuleSlotsFromRules(const ZEVDwarfRegisterRules& rules, std::uint64_t ruled, UnwindRuleSlots* out) {
    if (rules.cfaExpression != 0) return false;
    *out = UnwindRuleSlots{rules.cfaRegister, rules.cfaOffset, {}};
    if (ruled >> kReturnAddress & 1) {
        const DwarfRule& returnAddress = rules.registers[kReturnAddress];
        if (returnAddress.kind == kDwarfRuleUndefined) {
            out->slots[UnwindRuleSlots::kReturnAddress] = UnwindRuleSlots::kUndefinedReturn;
        } else if (returnAddress.kind == kDwarfRuleOffset && returnAddress.value == -8) {
            out->slots[UnwindRuleSlots::kReturnAddress] = 1;
        } else if (returnAddress.kind != kDwarfRuleUnchanged) {
            return false;
        }
    }
    // The registers a call may clobber are left alone (their rules are never applied), but only
    // when the rules do not say where they were saved; the stack pointer has only the CFA's rule.
    for (std::uint64_t left = ruled & kLeftAlone; left != 0; left &= left - 1) {
        const int reg = __builtin_ctzll(left);
        const std::uint32_t kind = rules.registers[reg].kind;
        if (kind != kDwarfRuleUnchanged && (reg == kStackPointer || kind != kDwarfRuleUndefined))
            return false;
    }
    // Each callee-saved register is unchanged or saved below the return address's word (CFA - 8).
    auto slotFor = [&](int reg, int role) {
        if ((ruled >> reg & 1) == 0) return true;
        const int slot = slotOf(rules.registers[reg]);
        out->slots[role] = static_cast<std::uint8_t>(slot);
        return slot >= 0;
    };
    if (!slotFor(kFramePointer, UnwindRuleSlots::kFramePointer)) return false;
    for (int role = 0; role < Packed::kOthers; ++role) {
        if (!slotFor(kOthers[role], role)) return false;
    }
    return true;
}

bool packedUnwindRuleFromRules(const ZEVDwarfRegisterRules& rules, bool signalFrame, std::uint64_t ruled,
                               std::uint64_t* out) {
    // A signal frame's pc is exact, not a return address: such frames keep the full step.
    UnwindRuleSlots slots;
    return !signalFrame && unwindRuleSlotsFromRules(rules, ruled, &slots) && packUnwindRuleSlots(slots, out);
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
