#include "sdk/zevuzavidav/unwind/DwarfWalkCache.hpp"

#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/unwind/DwarfCursor.hpp"
#include "sdk/zevuzavidav/unwind/DwarfPackedRule.hpp"

#include <cstring>

namespace zevuzavidav {

namespace {

// The walk's CIE at `address` whose record ends within `end`: one met earlier in the walk, else (when
// the CIE is read in place) one an earlier walk kept in the process-wide table, else parsed now (into
// the next slot in turn); null when it cannot be used.
DwarfWalkCache::CIE* cieAt(DwarfWalkCache* cache, std::uintptr_t address, std::uintptr_t end,
                           UnwindMemory* memory, bool inPlace) {
    for (DwarfWalkCache::CIE& cie : cache->cies) {
        if (cie.address == address && cie.kept.recordEnd <= end) return &cie;
    }
    DwarfWalkCache::CIE& slot = cache->cies[cache->nextCIE];
    slot.address = 0;
    if (inPlace && findKeptDwarfCIE(address, end, &slot.kept)) {
        slot.initialKept = true;
    } else {
        ZEVDwarfCIERecord& record = slot.kept.record;
        if (!(inPlace && readCommonDwarfCIE(&record, address, end)) &&
            !usableDwarfCIE(record, ZEVDwarfParseCIERecord(&record, address, end, memory, false)))
            return nullptr;
        slot.kept.recordEnd = record.instructions + record.instructionsLength;
        slot.initialKept = false;
    }
    cache->nextCIE = (cache->nextCIE + 1) % DwarfWalkCache::kCIEs;
    slot.address = address;
    slot.slotsRead = false;
    return &slot;
}

// An FDE read in place, in the form nearly every one takes (a 32-bit length, its pc begin and range
// in 4 bytes each, an augmentation shorter than 128 bytes), read straight from its bytes in one pass:
// its head, then, once its CIE is known, its body. Each gives what readDwarfFDEHead and readDwarfFDEBody
// give for such a record; anything else (another form, a record they would refuse) is left to them.
std::uint32_t wordAt(std::uintptr_t address) {
    std::uint32_t word = 0;
    std::memcpy(&word, reinterpret_cast<const void*>(address), sizeof word);
    return word;
}

bool quickFDEHead(std::uintptr_t address, std::uintptr_t end, std::uintptr_t start, ZEVDwarfFDERecord* fde,
                  DwarfFDEHead* head) {
    if (darwin::isNullAddress(address) || end < address || end - address < 8) return false;
    const std::uint32_t length = wordAt(address);
    const std::uintptr_t pointerField = address + 4;
    const std::uint32_t ciePointer = wordAt(pointerField);
    if (length < 4 || length == 0xFFFFFFFFU || length > end - pointerField || ciePointer == 0 ||
        start > pointerField || ciePointer > pointerField - start) {
        return false;
    }
    fde->length = length;
    fde->ciePointer = ciePointer;
    *head = DwarfFDEHead{pointerField - ciePointer, pointerField + 4, pointerField + length, true};
    return true;
}

bool quickFDEBody(ZEVDwarfFDERecord* fde, const ZEVDwarfCIERecord& cie, const DwarfFDEHead& head) {
    constexpr std::uint8_t kPcRelative = 0x10, kSigned4 = 0x0B, kUnsigned4 = 0x03;
    const std::uint8_t format = cie.fdePointerEncoding & 0x0F;
    const std::uint8_t application = cie.fdePointerEncoding & 0xF0;
    if (!head.inPlace || (format != kSigned4 && format != kUnsigned4) ||
        (application != 0 && application != kPcRelative) || head.recordEnd - head.body < 9) {
        return false;
    }
    auto fieldAt = [&](std::uintptr_t at) -> std::uint64_t {
        const std::uint32_t bits = wordAt(at);
        return format == kSigned4 ? static_cast<std::uint64_t>(static_cast<std::int32_t>(bits)) : bits;
    };
    const std::uint64_t pcBegin = fieldAt(head.body) + (application == kPcRelative ? head.body : 0);
    const std::uint64_t pcRange = fieldAt(head.body + 4);
    std::uintptr_t at = head.body + 8;
    if (cie.augmentationData) {
        const std::uint8_t skipped = *reinterpret_cast<const std::uint8_t*>(at);
        if (skipped >= 0x80 || skipped >= head.recordEnd - at) return false;
        at += 1 + skipped;
    }
    if (pcBegin == kDwarfInvalidAddress || pcRange == kDwarfInvalidAddress) return false;
    fde->pcBegin = pcBegin;
    fde->pcRange = pcRange;
    fde->instructions = at;
    fde->instructionsLength = head.recordEnd - at;
    return true;
}

} // namespace

void initDwarfWalkCache(DwarfWalkCache* cache) {
    cache->imageKnown = false;
    cache->indexKnown = false;
    cache->nextCIE = 0;
    for (DwarfWalkCache::CIE& cie : cache->cies)
        cie.address = 0;
}

namespace {

// The FDE a walk's step finds for its pc, and its CIE with the initial rules that hold for the FDE.
struct WalkFDE {
    ZEVDwarfFDERecord fde;
    DwarfWalkCache::CIE* cie;
    bool inPlace; // the FDE's instructions are read in place
};

bool findFDEForWalk(DwarfWalkCache* cache, std::uintptr_t hdr, std::uintptr_t base, std::uint64_t pc,
                    UnwindMemory* memory, WalkFDE* out) {
    if (!cache->indexKnown || cache->indexHeader != hdr || cache->indexBase != base) {
        cache->indexKnown = true;
        cache->indexHeader = hdr;
        cache->indexBase = base;
        cache->indexRead = initDwarfFDEIndex(&cache->index, base, hdr, memory);
    }
    std::uintptr_t address = 0;
    if (!cache->indexRead || !searchDwarfFDEIndex(&cache->index, pc, &address, memory)) return false;
    const std::uintptr_t end = dwarfFDEReadEnd(&cache->index, address, memory);
    // The index found the FDE within .eh_frame: when the segment holding .eh_frame is proven, the FDE
    // and its instructions lie in it, up to the end of the reads it allows.
    const bool inPlace = cache->index.ehFrameEnd > address;
    ZEVDwarfFDERecord& fde = out->fde;
    DwarfFDEHead head;
    if (!(inPlace && quickFDEHead(address, end, cache->index.ehFrame, &fde, &head)) &&
        !readDwarfFDEHead(&fde, address, end, memory, cache->index.ehFrame, &head, inPlace)) {
        return false;
    }
    DwarfWalkCache::CIE* cie = cieAt(cache, head.cie, end, memory, inPlace);
    if (cie == nullptr) return false;
    DwarfKeptCIE& kept = cie->kept;
    if (!quickFDEBody(&fde, kept.record, head) && !readDwarfFDEBody(&fde, kept.record, head, memory))
        return false;
    if (pc < fde.pcBegin || pc - fde.pcBegin >= fde.pcRange) return false;
    if (!cie->initialKept) {
        bool dependsOnFDE = false;
        if (!computeDwarfInitialRules(kept.record, fde.pcBegin, &kept.initial, memory, kDwarfDialectELF,
                                      &dependsOnFDE, &kept.initialRuled, inPlace)) {
            return false;
        }
        cie->initialKept = !dependsOnFDE;
        cie->slotsRead = false;
        if (cie->initialKept && inPlace) keepDwarfCIE(head.cie, kept);
    }
    out->cie = cie;
    out->inPlace = inPlace;
    return true;
}

} // namespace

bool computeDwarfRulesForWalk(DwarfWalkCache* cache, std::uintptr_t hdr, std::uintptr_t base,
                              std::uint64_t pc, ZEVDwarfRegisterRules* rules, bool* signalFrame,
                              std::uint64_t* ruled, UnwindMemory* memory) {
    WalkFDE found;
    if (!findFDEForWalk(cache, hdr, base, pc, memory, &found)) return false;
    const DwarfKeptCIE& kept = found.cie->kept;
    *signalFrame = kept.record.signalFrame;
    *ruled = kept.initialRuled;
    return computeDwarfRulesFromInitial(found.fde, kept.record, kept.initial, pc, rules, memory,
                                        kDwarfDialectELF, ruled, found.inPlace, true);
}

DwarfWalkRule packedDwarfRuleForWalk(DwarfWalkCache* cache, std::uintptr_t hdr, std::uintptr_t base,
                                     std::uint64_t pc, std::uint64_t* packed, UnwindMemory* memory) {
    WalkFDE found;
    if (!findFDEForWalk(cache, hdr, base, pc, memory, &found)) return DwarfWalkRule::failed;
    DwarfWalkCache::CIE& cie = *found.cie;
    if (!cie.slotsRead) {
        cie.slotsUsable =
            unwindRuleSlotsFromRules(cie.kept.initial, cie.kept.initialRuled, &cie.initialSlots);
        cie.slotsRead = true;
    }
    return found.inPlace && cie.slotsUsable &&
                   packedRuleFromInstructions(found.fde, cie.kept.record, cie.initialSlots, pc, packed)
               ? DwarfWalkRule::packed
               : DwarfWalkRule::declined;
}

} // namespace zevuzavidav
