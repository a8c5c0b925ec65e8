#pragma once
// The frame-rule cache: from a pc to the rule that steps out of its frame, kept in the form most x86_64
// frames take (CFA = rsp or rbp + an offset, the return address at CFA - 8, each callee-saved register
// unchanged or saved at a fixed place below the CFA). A walk over frames seen before then needs no
// unwind table at all: each step is a lookup and a few stack reads. Frames in other forms (expressions,
// signal frames, registers kept in registers) are not kept and always take the full DWARF step.
//
// One process-wide table in static storage (1024 sets of two 16-byte entries), shared by every thread
// and signal handler without locks: a writer claims an entry before writing it (one that finds it
// claimed leaves it alone) and a reader checks the entry's key before and after reading its rule, so
// nobody ever takes the rule of one pc for another's. Entries carry the image generation they were made in
// and a check of their own bits: entries of images unloaded since, or scribbled over by a failing
// program, read as misses. Signal-safe, no allocation.
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

// A rule as the cache keeps it, one word read by shifts on the fast path: kind (2 bits), CFA offset in
// words (16 bits), span (5 bits), rbp's save slot (5 bits), which of rbx, r12..r15 are saved (5 bits)
// and their save slots (5 bits each); the top 5 bits check the others.
struct PackedUnwindFrameRule {
    static constexpr int kOffsetShift = 2;
    static constexpr int kOffsetBits = 16;
    static constexpr int kSlotBits = 5;
    static constexpr int kSpanShift = kOffsetShift + kOffsetBits;
    static constexpr int kFramePointerShift = kSpanShift + kSlotBits;
    static constexpr int kOthers = 5; // rbx, r12, r13, r14, r15
    static constexpr int kOthersMaskShift = kFramePointerShift + kSlotBits;
    static constexpr int kOthersShift = kOthersMaskShift + kOthers;
    static constexpr int kCheckShift = 59;
    static constexpr std::uint64_t kSlotMask = (1U << kSlotBits) - 1;

    static std::uint64_t pack(const UnwindFrameRule& rule);
    static UnwindFrameRule::Kind kind(std::uint64_t packed) {
        return static_cast<UnwindFrameRule::Kind>(packed & 3);
    }
    static std::uint64_t cfaOffset(std::uint64_t packed) {
        return ((packed >> kOffsetShift) & ((1U << kOffsetBits) - 1)) * 8;
    }
    static unsigned span(std::uint64_t packed) { return (packed >> kSpanShift) & kSlotMask; }
    static unsigned framePointerSlot(std::uint64_t packed) {
        return (packed >> kFramePointerShift) & kSlotMask;
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

// The frame rule equal to `rules` for the registers an x86_64 walk restores; false when the rules take
// another form.
bool unwindFrameRuleFromRules(const ZEVDwarfRegisterRules& rules, bool signalFrame, UnwindFrameRule* out);

// The rule kept for `pc` in image generation `generation`, packed (PackedUnwindFrameRule); false on
// a miss. A rule found spans at least one word.
bool findCachedUnwindRule(std::uint64_t pc, std::uint64_t generation, std::uint64_t* packed);
// Keeps `rule` for `pc` unless the entry is being written by someone else.
void storeUnwindRule(std::uint64_t pc, std::uint64_t generation, const UnwindFrameRule& rule);
// Forgets every rule (tests and benchmarks that want a cold start).
void clearUnwindRuleCache();

// ---- the lookup, inline: it is the whole cost of a step over a known frame ----

namespace ruleCacheDetail {

// The key of an entry: its pc (48 bits) and image generation (8 bits), which a lookup matches, and a
// count of the entry's writes (8 bits), which tells a reader that the entry was written while it read,
// even when the same pc was written back.
struct Entry {
    std::atomic<std::uint64_t> key;  // 0 empty, kBusy being written
    std::atomic<std::uint64_t> rule; // the packed rule
};
// Two pcs that fall on the same set both stay (the older leaves when a third comes), so a walk whose
// pcs happen to collide does not take the full step over and over.
struct alignas(32) Set {
    Entry ways[2];
};
constexpr unsigned kSetBits = 10;
constexpr std::uint64_t kBusy = ~0ULL;
constexpr std::uint64_t kMatched = (1ULL << 56) - 1;
constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;
constexpr std::uint64_t kPayloadMask = (1ULL << PackedUnwindFrameRule::kCheckShift) - 1;
extern Set sets[1U << kSetBits];

inline std::uint64_t keyOf(std::uint64_t pc, std::uint64_t generation) {
    return pc | (generation & 0xFF) << 48;
}
inline Set& setOf(std::uint64_t pc) {
    return sets[(pc * kGolden) >> (64 - kSetBits)];
}
inline std::uint64_t checkOf(std::uint64_t key, std::uint64_t payload) {
    return ((key ^ payload) * kGolden) >> PackedUnwindFrameRule::kCheckShift;
}
// The entry's rule when it is kept for `key` (pc and generation), read whole: false when the entry was
// written meanwhile. `seen` is the entry's whole key.
inline bool read(const Entry& entry, std::uint64_t key, std::uint64_t* rule, std::uint64_t* seen) {
    const std::uint64_t before = entry.key.load(std::memory_order_acquire);
    if (before == kBusy || (before & kMatched) != key) return false;
    *rule = entry.rule.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    *seen = before;
    return entry.key.load(std::memory_order_relaxed) == before;
}

} // namespace ruleCacheDetail

inline bool findCachedUnwindRule(std::uint64_t pc, std::uint64_t generation, std::uint64_t* packed) {
    using namespace ruleCacheDetail;
    if (pc >> 48 != 0) return false;
    const std::uint64_t key = keyOf(pc, generation);
    Set& set = setOf(pc);
    std::uint64_t rule = 0;
    std::uint64_t seen = 0;
    if (!read(set.ways[0], key, &rule, &seen) && !read(set.ways[1], key, &rule, &seen)) return false;
    *packed = rule;
    return rule >> PackedUnwindFrameRule::kCheckShift == checkOf(key, rule & kPayloadMask) &&
           PackedUnwindFrameRule::kind(rule) != UnwindFrameRule::kNone &&
           PackedUnwindFrameRule::span(rule) != 0;
}

} // namespace zevuzavidav
