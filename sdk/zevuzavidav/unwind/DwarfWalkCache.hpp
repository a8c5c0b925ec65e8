#pragma once
// What one walk has read of the images' call-frame information, so that each full step pays only for
// its own frame: the image of the last step, the FDE index of the last image, and the CIEs met so far,
// parsed, with the rules their initial instructions give (from the process-wide table of CIEs when an
// earlier walk parsed them). A step then finds its FDE by the index's binary search, reads the FDE's
// own fields and runs its own instructions; the CIE it shares with most frames of its image is not
// read again.
//
// What is kept answers exactly as reading it again would: a CIE is taken only where its whole record
// lies within the reads the FDE allows, and initial rules that depend on the FDE (a DW_CFA_set_loc in
// the CIE) are computed again for each. It lasts one walk, as the proven ranges of the unwind memory
// do, so an image closed since an earlier walk is never read through it. Lives in the walk's context on
// the caller's stack (about 3 KB, nothing zeroed at set-up); signal-safe, no allocation.
#include "sdk/zevuzavidav/context/ZEVBinaryImageNode.hpp"
#include "sdk/zevuzavidav/unwind/DwarfCIETable.hpp"
#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"

#include <cstdint>

namespace zevuzavidav {

struct DwarfWalkCache {
    static constexpr unsigned kCIEs = 4;
    struct CIE {
        std::uintptr_t address; // 0: the slot holds nothing
        bool initialKept;       // `kept.initial` holds for every FDE of the CIE
        DwarfKeptCIE kept;
        // The slots of `kept.initial` when `slotsRead`, if they have any (`slotsUsable`).
        bool slotsRead;
        bool slotsUsable;
        UnwindRuleSlots initialSlots;
    };

    bool imageKnown;
    BinaryImageNodeCopy image; // the image of the last step
    bool indexKnown;
    bool indexRead; // the index below could be read
    std::uintptr_t indexHeader;
    std::uintptr_t indexBase;
    DwarfFDEIndex index;
    unsigned nextCIE; // the slot the next CIE takes
    CIE cies[kCIEs];
};

// Nothing read yet.
void initDwarfWalkCache(DwarfWalkCache* cache);

// The image holding `address` when it is the last step's; false when it must be looked up.
inline bool knownWalkImage(const DwarfWalkCache* cache, std::uint64_t address, BinaryImageNodeCopy* out) {
    if (!cache->imageKnown || address - cache->image.base >= cache->image.size) return false;
    *out = cache->image;
    return true;
}
inline void keepWalkImage(DwarfWalkCache* cache, const BinaryImageNodeCopy& image) {
    cache->image = image;
    cache->imageKnown = true;
}

// The rules in force at `pc` under the FDE found for it through the index at `hdr` (of the image whose
// ELF header is at `base`), with `signalFrame` from its CIE and `ruled`, the registers the rules may
// rule (see computeDwarfRulesFromInitial): what findDwarfFDE and computeDwarfRules (ELF reading) give,
// with what the walk read before, for the x86_64 registers (the row's others are left as they were).
// False when either would fail.
bool computeDwarfRulesForWalk(DwarfWalkCache* cache, std::uintptr_t hdr, std::uintptr_t base,
                              std::uint64_t pc, ZEVDwarfRegisterRules* rules, bool* signalFrame,
                              std::uint64_t* ruled, UnwindMemory* memory);

// What packedDwarfRuleForWalk found.
enum class DwarfWalkRule {
    failed,   // computeDwarfRulesForWalk fails too
    packed,   // the rule, packed
    declined, // the frame is left to computeDwarfRulesForWalk
};
// The same frame's rule in the form the frame-rule cache keeps (PackedUnwindFrameRule::pack, without
// its check), read straight from the FDE's instructions: what packedUnwindRuleFromRules gives for the
// rules computeDwarfRulesForWalk gives, or `declined` when the rule, or the FDE's instructions, take
// another form.
DwarfWalkRule packedDwarfRuleForWalk(DwarfWalkCache* cache, std::uintptr_t hdr, std::uintptr_t base,
                                     std::uint64_t pc, std::uint64_t* packed, UnwindMemory* memory);

} // namespace zevuzavidav
