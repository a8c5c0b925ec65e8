#include "sdk/zevuzavidav/unwind/DwarfWalkCache.hpp"

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
        if (!usableDwarfCIE(record, ZEVDwarfParseCIERecord(&record, address, end, memory, false)))
            return nullptr;
        slot.kept.recordEnd = record.instructions + record.instructionsLength;
        slot.initialKept = false;
    }
    cache->nextCIE = (cache->nextCIE + 1) % DwarfWalkCache::kCIEs;
    slot.address = address;
    return &slot;
}

} // namespace

void initDwarfWalkCache(DwarfWalkCache* cache) {
    cache->imageKnown = false;
    cache->indexKnown = false;
    cache->nextCIE = 0;
    for (DwarfWalkCache::CIE& cie : cache->cies)
        cie.address = 0;
}

bool computeDwarfRulesForWalk(DwarfWalkCache* cache, std::uintptr_t hdr, std::uintptr_t base,
                              std::uint64_t pc, ZEVDwarfRegisterRules* rules, bool* signalFrame,
                              std::uint64_t* ruled, UnwindMemory* memory) {
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
    ZEVDwarfFDERecord fde;
    DwarfFDEHead head;
    if (!readDwarfFDEHead(&fde, address, end, memory, cache->index.ehFrame, &head, inPlace)) return false;
    DwarfWalkCache::CIE* cie = cieAt(cache, head.cie, end, memory, inPlace);
    if (cie == nullptr) return false;
    DwarfKeptCIE& kept = cie->kept;
    if (!readDwarfFDEBody(&fde, kept.record, head, memory)) return false;
    if (pc < fde.pcBegin || pc - fde.pcBegin >= fde.pcRange) return false;
    if (!cie->initialKept) {
        bool dependsOnFDE = false;
        if (!computeDwarfInitialRules(kept.record, fde.pcBegin, &kept.initial, memory, kDwarfDialectELF,
                                      &dependsOnFDE, &kept.initialRuled)) {
            return false;
        }
        cie->initialKept = !dependsOnFDE;
        if (cie->initialKept && inPlace) keepDwarfCIE(head.cie, kept);
    }
    *signalFrame = kept.record.signalFrame;
    *ruled = kept.initialRuled;
    return computeDwarfRulesFromInitial(fde, kept.record, kept.initial, pc, rules, memory, kDwarfDialectELF,
                                        ruled, inPlace, true);
}

} // namespace zevuzavidav
