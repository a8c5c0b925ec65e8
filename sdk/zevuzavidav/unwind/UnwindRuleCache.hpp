#pragma once
// The frame-rule cache: from a pc to the rule that steps out of its frame, kept in the form most x86_64
// frames take (CFA = rsp or rbp + an offset, the return address at CFA - 8, each callee-saved register
// unchanged or saved at a fixed place below the CFA). A walk over frames seen before then needs no
// unwind table at all: each step is a lookup and a few stack reads. Frames in other forms (expressions,
// signal frames, registers kept in registers) are not kept and always take the full DWARF step.
//
// One process-wide table in static storage (1024 sets of four 16-byte entries, a cache line each),
// shared by every thread and signal handler without locks: a writer claims an entry before writing it
// (one that finds it claimed leaves it alone) and a reader checks the entry's key before and after
// reading its rule, so nobody ever takes the rule of one pc for another's. Entries carry the image
// generation they were made in and a check of their own bits: entries of images unloaded since, or
// scribbled over by a failing program, read as misses. Only pcs below 2^47 (user space) are kept.
// Signal-safe, no allocation.
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"

#include <atomic>
#include <cstdint>

namespace zevuzavidav {

struct UnwindFrameRule {
    enum Kind : std::uint8_t {
        kNone = 0,
        kFromStackPointer = 1, // CFA = rsp + cfaOffset
        kFromFramePointer = 2, // CFA = rbp + cfaOffset (the frame-pointer step when the offset is 16)
        kOutermost = 3,        // no caller: the return address is undefined
    };
    static constexpr int kSavedCount = 6; // rbx, rbp, r12, r13, r14, r15
    static constexpr int kFramePointerIndex = 1;
    static constexpr unsigned kMaxSlot = 31;

    Kind kind = kNone;
    std::uint32_t cfaOffset = 0;          // bytes
    std::uint8_t saved[kSavedCount] = {}; // 0: unchanged; n: saved at CFA - 8n
    std::uint8_t span = 1;                // words below the CFA the step reads, the return address's included
};

// A rule as the cache keeps it, one word read on the fast path with few shifts: the CFA offset in
// words (the low 16 bits), whether the CFA is found from rbp and whether the frame is the outermost (a
// bit each), the span less one (5 bits), where rbp is saved (5 bits: the index of its word among the
// kMaxSpan words below the CFA; that of the return address when it is not saved), which of rbx,
// r12..r15 are saved (5 bits) and their save slots (5 bits each); the top 5 bits check the rest with the
// entry's key.
struct PackedUnwindFrameRule {
    static constexpr int kOffsetBits = 16;
    static constexpr int kFromFramePointerBit = 16;
    static constexpr int kOutermostBit = 17;
    static constexpr int kSlotBits = 5;
    static constexpr int kSpanShift = 18;
    static constexpr int kFramePointerShift = kSpanShift + kSlotBits;
    static constexpr int kOthers = 5; // rbx, r12, r13, r14, r15
    static constexpr int kOthersMaskShift = kFramePointerShift + kSlotBits;
    static constexpr int kOthersShift = kOthersMaskShift + kOthers;
    static constexpr int kCheckShift = 59;
    static constexpr std::uint64_t kSlotMask = (1U << kSlotBits) - 1;
    static constexpr unsigned kMaxSpan = 1U << kSlotBits;

    // The rule's bits, without the check (a kind of kNone packs as kFromStackPointer).
    static std::uint64_t pack(const UnwindFrameRule& rule);
    static UnwindFrameRule::Kind kind(std::uint64_t packed) {
        if (isOutermost(packed)) return UnwindFrameRule::kOutermost;
        return fromFramePointer(packed) ? UnwindFrameRule::kFromFramePointer
                                        : UnwindFrameRule::kFromStackPointer;
    }
    static bool isOutermost(std::uint64_t packed) { return (packed >> kOutermostBit & 1) != 0; }
    static bool fromFramePointer(std::uint64_t packed) { return (packed >> kFromFramePointerBit & 1) != 0; }
    static std::uint64_t cfaOffset(std::uint64_t packed) { return (packed & ((1U << kOffsetBits) - 1)) * 8; }
    // 1 to kMaxSpan: a packed rule always spans the return address's word.
    static unsigned span(std::uint64_t packed) { return ((packed >> kSpanShift) & kSlotMask) + 1; }
    // n: rbp is saved at CFA - 8n; 0: it is not saved.
    static unsigned framePointerSlot(std::uint64_t packed) {
        const unsigned index = framePointerIndex(packed);
        return index == kReturnAddressIndex ? 0 : kMaxSpan - index;
    }
    // The index of rbp's word among the kMaxSpan words below the CFA (CFA - 8 kMaxSpan + 8i); when rbp
    // is not saved, that of the return address's word (kReturnAddressIndex), which holds no register.
    static unsigned framePointerIndex(std::uint64_t packed) {
        return (packed >> kFramePointerShift) & kSlotMask;
    }
    static constexpr unsigned kReturnAddressIndex = kMaxSpan - 1;
    static constexpr unsigned framePointerIndexOf(unsigned slot) {
        return slot == 0 ? kReturnAddressIndex : (kMaxSpan - slot) & kSlotMask;
    }
    // Bit i: the i-th of rbx, r12..r15 is saved.
    static unsigned othersMask(std::uint64_t packed) {
        return (packed >> kOthersMaskShift) & ((1U << kOthers) - 1);
    }
    static unsigned otherSlot(std::uint64_t packed, int index) {
        return (packed >> (kOthersShift + index * kSlotBits)) & kSlotMask;
    }
};
static_assert(PackedUnwindFrameRule::kOthersShift + PackedUnwindFrameRule::kOthers * 5 <=
                  PackedUnwindFrameRule::kCheckShift,
              "the check takes the top 5 bits");

// A frame's rule as a walk restores it, before it is packed: the CFA's register (a DWARF number) and
// offset, and a slot for each of rbx, r12..r15 (in the packed rule's order), rbp and the return address.
// A callee-saved register's slot is n when it is saved at CFA - 8n (2 to UnwindFrameRule::kMaxSlot),
// 0 when it is left as it is; the return address's is 1 (at CFA - 8), kUndefinedReturn (the outermost
// frame) or 0 (left unchanged, which no kept rule can step).
struct UnwindRuleSlots {
    static constexpr int kFramePointer = PackedUnwindFrameRule::kOthers;
    static constexpr int kReturnAddress = kFramePointer + 1;
    static constexpr std::uint8_t kUndefinedReturn = 0xFF;

    std::uint64_t cfaRegister;
    std::int64_t cfaOffset;
    std::uint8_t slots[kReturnAddress + 1];
};
// The slot of a callee-saved register saved at CFA + `offset`: n for CFA - 8n, from 2 (below the
// return address's word) to UnwindFrameRule::kMaxSlot; -1 anywhere else.
inline int unwindRuleSlotOfOffset(std::int64_t offset) {
    const std::uint64_t below = 0 - static_cast<std::uint64_t>(offset); // bytes below the CFA
    if ((below & 7) != 0 || below - 16 > 8 * (UnwindFrameRule::kMaxSlot - 2)) return -1;
    return static_cast<int>(below / 8);
}
// The slots of `rules` for the registers an x86_64 walk restores, `ruled` naming those that may have a
// rule other than "unchanged" (see packedUnwindRuleFromRules); false when a rule takes a form no slot
// holds (a CFA expression, a register a call may clobber or the stack pointer saved, a callee-saved
// register kept elsewhere than below the return address, a return address elsewhere than at CFA - 8).
bool unwindRuleSlotsFromRules(const ZEVDwarfRegisterRules& rules, std::uint64_t ruled, UnwindRuleSlots* out);
// The slots packed (PackedUnwindFrameRule::pack, without its check); false when the CFA or the return
// address takes a form a kept rule cannot hold.
bool packUnwindRuleSlots(const UnwindRuleSlots& rule, std::uint64_t* packed);

// The frame rule equal to `rules` for the registers an x86_64 walk restores; false when the rules take
// another form. `ruled`: the registers that may have a rule other than "unchanged" (bit n: register n,
// as computeDwarfRulesFromInitial gives them); the others are not looked at.
bool unwindFrameRuleFromRules(const ZEVDwarfRegisterRules& rules, bool signalFrame, UnwindFrameRule* out,
                              std::uint64_t ruled = ~0ULL);
// The same rule packed (PackedUnwindFrameRule::pack, without its check), made straight from the rules.
bool packedUnwindRuleFromRules(const ZEVDwarfRegisterRules& rules, bool signalFrame, std::uint64_t ruled,
                               std::uint64_t* packed);

// Pcs the cache keeps: user-space addresses, below 2^47.
constexpr std::uint64_t kRuleCachePcLimit = 1ULL << 47;

// The rule kept for `pc` in image generation `generation`, packed (PackedUnwindFrameRule); false on
// a miss.
bool findCachedUnwindRule(std::uint64_t pc, std::uint64_t generation, std::uint64_t* packed);
// Keeps `rule` for `pc` unless the entry is being written by someone else.
void storeUnwindRule(std::uint64_t pc, std::uint64_t generation, const UnwindFrameRule& rule);
// The same for a rule already packed (PackedUnwindFrameRule::pack, without its check).
void storePackedUnwindRule(std::uint64_t pc, std::uint64_t generation, std::uint64_t packed);
// Forgets every rule (tests and benchmarks that want a cold start).
void clearUnwindRuleCache();
// Makes the cache's memory (64 KiB) the process's own now, at start: otherwise the first rules a crash
// keeps each fault in a page of it, at several microseconds apiece.
void makeUnwindRuleCacheResident();

// ---- the lookup, inline: it is the whole cost of a step over a known frame ----

namespace ruleCacheDetail {

// The key of an entry: its pc (48 bits) and image generation (8 bits), which a lookup matches, and a
// count of the entry's writes (8 bits, the top ones), which tells a reader that the entry was written
// while it read, even when the same pc was written back.
struct Entry {
    std::atomic<std::uint64_t> key;  // 0 empty, kBusy being written
    std::atomic<std::uint64_t> rule; // the packed rule and its check
};
// Four pcs that fall on the same set all stay (a fifth takes the place of one), so a walk whose pcs
// happen to collide does not take the full step over and over. A set is one cache line.
constexpr unsigned kWays = 4;
struct alignas(64) Set {
    Entry ways[kWays];
};
constexpr unsigned kSetBits = 10;
constexpr std::uint64_t kBusy = ~0ULL;
constexpr std::uint64_t kMatched = (1ULL << 56) - 1;
constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;
extern Set sets[1U << kSetBits];

// The part of a key a lookup matches; `pc` is below kRuleCachePcLimit.
inline std::uint64_t keyOf(std::uint64_t pc, std::uint64_t generation) {
    return pc | (generation & 0xFF) << 48;
}
// The set of a pc, chosen by pc + 1: a return address, looked up at pc - 1, then chooses its set
// itself, one instruction sooner in a walk, where every step waits on the one before.
inline Set& setOf(std::uint64_t pc) {
    return sets[((pc + 1) * kGolden) >> (64 - kSetBits)];
}
// A kept rule word (rule and check) is whole for its key when the top bits of this product are 0: the
// writer chose the check so. A single changed bit almost always breaks it, and a rule written for
// another key fails it 31 times in 32.
inline bool checks(std::uint64_t key, std::uint64_t word) {
    return ((word ^ key) * kGolden) >> PackedUnwindFrameRule::kCheckShift == 0;
}
// The rule kept for `pc` under `key` (keyOf(pc, generation)), when a way of its set holds it whole.
inline __attribute__((always_inline)) bool lookUp(std::uint64_t pc, std::uint64_t key,
                                                  std::uint64_t* packed) {
    const Set& set = setOf(pc);
    for (const Entry& entry : set.ways) {
        const std::uint64_t before = entry.key.load(std::memory_order_acquire);
        // Neither kBusy nor an empty entry matches a key: the key of a pc from 1 to below 2^48 - 1 is
        // neither 0 nor all ones.
        if (((before ^ key) << 8) != 0) continue;
        const std::uint64_t rule = entry.rule.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (entry.key.load(std::memory_order_relaxed) != before || !checks(key, rule)) return false;
        *packed = rule;
        return true;
    }
    return false;
}

} // namespace ruleCacheDetail

inline bool findCachedUnwindRule(std::uint64_t pc, std::uint64_t generation, std::uint64_t* packed) {
    if (pc == 0 || pc >= kRuleCachePcLimit) return false;
    return ruleCacheDetail::lookUp(pc, ruleCacheDetail::keyOf(pc, generation), packed);
}

} // namespace zevuzavidav
