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
constexpr int kSavedRegisters[UnwindFrameRule::kSavedCount] = {3, 6, 12, 13, 14, 15};

bool leftAsIs(const DwarfRule& rule) {
    return rule.kind == kDwarfRuleUnchanged || rule.kind == kDwarfRuleUndefined;
}

} // namespace

bool unwindFrameRuleFromRules(const ZEVDwarfRegisterRules& rules, bool signalFrame, UnwindFrameRule* out) {
    *out = UnwindFrameRule{};
    // A signal frame's pc is exact, not a return address: such frames keep the full step.
    if (signalFrame || rules.cfaExpression != 0 || rules.cfaOffset < 0 || rules.cfaOffset % 8 != 0 ||
        rules.cfaOffset >= std::int64_t{1} << (Packed::kOffsetBits + 3)) {
        return false;
    }
    if (rules.cfaRegister == kStackPointer) {
        out->kind = UnwindFrameRule::kFromStackPointer;
    } else if (rules.cfaRegister == kFramePointer) {
        out->kind = UnwindFrameRule::kFromFramePointer;
    } else {
        return false;
    }
    out->cfaOffset = static_cast<std::uint32_t>(rules.cfaOffset);
    const DwarfRule& returnAddress = rules.registers[kReturnAddress];
    if (returnAddress.kind == kDwarfRuleUndefined) {
        out->kind = UnwindFrameRule::kOutermost;
    } else if (returnAddress.kind != kDwarfRuleOffset || returnAddress.value != -8) {
        return false;
    }
    // The stack pointer becomes the CFA; the registers a call may clobber keep no saved place.
    if (rules.registers[kStackPointer].kind != kDwarfRuleUnchanged) return false;
    for (int reg : {0, 1, 2, 4, 5, 8, 9, 10, 11}) {
        if (!leftAsIs(rules.registers[reg])) return false;
    }
    for (int i = 0; i < UnwindFrameRule::kSavedCount; ++i) {
        const DwarfRule& rule = rules.registers[kSavedRegisters[i]];
        if (leftAsIs(rule)) continue;
        if (rule.kind != kDwarfRuleOffset || rule.value >= 0 || rule.value % 8 != 0 ||
            -rule.value / 8 > UnwindFrameRule::kMaxSlot) {
            return false;
        }
        out->saved[i] = static_cast<std::uint8_t>(-rule.value / 8);
        out->span = out->saved[i] > out->span ? out->saved[i] : out->span;
    }
    return true;
}

std::uint64_t PackedUnwindFrameRule::pack(const UnwindFrameRule& rule) {
    std::uint64_t packed = rule.kind | std::uint64_t{rule.cfaOffset / 8} << kOffsetShift |
                           std::uint64_t{rule.span} << kSpanShift |
                           std::uint64_t{rule.saved[UnwindFrameRule::kFramePointerIndex]}
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

// Writes the entry unless someone else is writing it; its count of writes goes up by one.
void write(Entry& entry, std::uint64_t key, std::uint64_t rule) {
    std::uint64_t seen = entry.key.load(std::memory_order_relaxed);
    if (seen == kBusy || !entry.key.compare_exchange_strong(seen, kBusy, std::memory_order_acquire)) return;
    // Readers that saw the old key and read the new rule see the claim when they check again.
    std::atomic_thread_fence(std::memory_order_release);
    entry.rule.store(rule, std::memory_order_relaxed);
    entry.key.store(key | ((seen >> 56) + 1) << 56, std::memory_order_release);
}

} // namespace

void storeUnwindRule(std::uint64_t pc, std::uint64_t generation, const UnwindFrameRule& rule) {
    if (pc >> 48 != 0 || rule.kind == UnwindFrameRule::kNone) return;
    const std::uint64_t key = keyOf(pc, generation);
    const std::uint64_t payload = Packed::pack(rule);
    const std::uint64_t packed = payload | checkOf(key, payload) << Packed::kCheckShift;
    Set& set = setOf(pc);
    // The newest rule is in the first way: a pc already kept is updated where it is, a new one comes
    // first and the one there moves to the second way, over the oldest.
    const std::uint64_t first = set.ways[0].key.load(std::memory_order_relaxed);
    if ((first & kMatched) == key) {
        write(set.ways[0], key, packed);
    } else if ((set.ways[1].key.load(std::memory_order_relaxed) & kMatched) == key) {
        write(set.ways[1], key, packed);
    } else {
        std::uint64_t moved = 0;
        std::uint64_t seen = 0;
        if (first != 0 && read(set.ways[0], first & kMatched, &moved, &seen)) {
            write(set.ways[1], seen & kMatched, moved);
        }
        write(set.ways[0], key, packed);
    }
}

void clearUnwindRuleCache() {
    for (Set& set : sets) {
        for (Entry& entry : set.ways) {
            std::uint64_t seen = entry.key.load(std::memory_order_relaxed);
            if (seen != kBusy) entry.key.compare_exchange_strong(seen, 0, std::memory_order_acq_rel);
        }
    }
}

} // namespace zevuzavidav
