#pragma once
// The FDE index: an ELF image's .eh_frame_hdr, whose table lists every FDE of the image's .eh_frame by
// the first address it covers, sorted, so that the FDE of a pc is found by binary search.
//
// Given the image's ELF header, the index proves the read-only segments that hold it and .eh_frame
// (from the image's program headers) to the unwind memory, which reads them in place from then on;
// without it every read is a checked copy. A damaged index or header gives false, never a fault.
// Signal-safe, no allocation.
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"

#include <cstdint>

namespace zevuzavidav {

struct DwarfFDEIndex {
    std::uintptr_t header = 0;     // the .eh_frame_hdr
    std::uintptr_t ehFrame = 0;    // the .eh_frame it indexes
    std::uintptr_t ehFrameEnd = 0; // end of the segment holding .eh_frame; 0 when not known
    std::uintptr_t table = 0;      // (initial location, FDE) pairs of 4-byte offsets from the header
    std::uint64_t count = 0;
};

// Reads the index at `hdr`. `base` is the address of the image's ELF header (0 when unknown).
bool initDwarfFDEIndex(DwarfFDEIndex* index, std::uintptr_t base, std::uintptr_t hdr, UnwindMemory* memory);
// The FDE of the last table entry whose initial location is at or below `pc`.
bool searchDwarfFDEIndex(const DwarfFDEIndex* index, std::uint64_t pc, std::uintptr_t* fde,
                         UnwindMemory* memory);
// How far the reads of the FDE at `fde`, found through `index`, may go: the end of the segment holding
// .eh_frame; when that is not known, the end of the range read in place the FDE starts in (.eh_frame
// lies whole in one segment); else a generous span.
std::uintptr_t dwarfFDEReadEnd(const DwarfFDEIndex* index, std::uintptr_t fde, const UnwindMemory* memory);
// The FDE covering `pc` (and its CIE), found through the index at `hdr`: false when the index cannot
// be read or no FDE covers the pc.
bool findDwarfFDE(std::uintptr_t hdr, std::uint64_t pc, ZEVDwarfCFIRecord* out,
                  UnwindMemory* memory = nullptr, std::uintptr_t base = 0);

// Forgets where every image's segments were found (tests and benchmarks that want a cold start).
void clearProvenDwarfImages();

} // namespace zevuzavidav
