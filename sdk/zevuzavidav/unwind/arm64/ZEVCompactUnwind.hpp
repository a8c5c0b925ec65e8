#pragma once
// The compact unwind reader: finds the compact unwind encoding of the function holding a pc in a
// Mach-O image's "__TEXT","__unwind_info" section (a first-level index of pages, then a compressed
// second-level page searched by binary search). Regular second-level pages are not read.
//
// Only the 28-byte header is copied at set-up; the index, pages and encodings are read where they lie,
// each read bounded by the section's size and made through the unwind memory, so a damaged section
// gives false, never a fault. Signal-safe, no allocation.
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"

#include <cstdint>

namespace arm64 {

// A loaded image as the unwinder sees it.
struct ZEVArm64Image {
    std::uint64_t base = 0; // address of the Mach-O header
    std::uint64_t size = 0;
    std::uint64_t ehFrame = 0;
    std::uint64_t ehFrameSize = 0;
    std::uint64_t unwindInfo = 0;
    std::uint64_t unwindInfoSize = 0;
};

struct ZEVCompactUnwindContext {
    std::uint64_t unwindInfo;
    std::uint64_t unwindInfoSize;
    std::uint64_t ehFrame;
    std::uint64_t ehFrameSize;
    std::uint64_t loadAddress;
    std::uint32_t header[7];
    std::uint32_t firstLevelFunctionOffset;
    std::uint32_t secondLevelPageOffset;
    std::uint32_t lsdaIndexOffset;
    std::uint32_t firstLevelEndOffset;
};

struct ZEVCompactUnwindEntry {
    std::uint32_t encoding;
    std::uint64_t functionStart;
    std::uint64_t functionEnd;
};

// Copies the section header of `image`; false for a section that cannot be read or of a version
// other than 1.
bool ZEVCompactUnwindInit(ZEVCompactUnwindContext* context, const ZEVArm64Image& image);
// The entry of the function holding `pc`.
bool ZEVCompactUnwindLookup(ZEVCompactUnwindContext* context, std::uint64_t pc, ZEVCompactUnwindEntry* entry,
                            zevuzavidav::UnwindMemory* memory = nullptr);

} // namespace arm64
