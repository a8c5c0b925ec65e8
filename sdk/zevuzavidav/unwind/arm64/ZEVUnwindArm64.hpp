#pragma once
// The arm64 unwinder of recorded Mach-O images: a cursor over one thread's arm64 machine context,
// stepped by the image's compact unwind information (which may hand over to its DWARF call-frame
// information) and then by the frame-pointer chain and the link register.
//
// Reads go through the guarded read; compact-unwind reads are bounds-checked against the section's
// size; the DWARF reader refuses an eh_frame address below 4096 and keeps the strict instruction set.
// A step that moves nothing, or a frame pointer that does not move up the stack, ends the walk. At
// most 512 frames. Signal-safe: no allocation.
#include "sdk/zevuzavidav/unwind/ZEVMachineContext.hpp"
#include "sdk/zevuzavidav/unwind/ZEVReadablePages.hpp"

#include <cstddef>
#include <cstdint>

namespace arm64 {

// The platform's arm64 machine context: exception state, thread state, NEON state.
struct ZEVMachineContextArm64 {
    std::uint64_t faultAddress;
    std::uint32_t esr;
    std::uint32_t exception;
    ZEVRegistersArm64 ss;
    std::uint8_t neon[528];
};
static_assert(sizeof(ZEVMachineContextArm64) == 816, "the arm64 machine context is 816 bytes");
static_assert(offsetof(ZEVMachineContextArm64, ss) == 16, "the thread state follows the exception state");

// A loaded image as the unwinder sees it.
struct ZEVArm64Image {
    std::uint64_t base = 0; // address of the Mach-O header
    std::uint64_t size = 0;
    std::uint64_t ehFrame = 0;
    std::uint64_t ehFrameSize = 0;
    std::uint64_t unwindInfo = 0;
    std::uint64_t unwindInfoSize = 0;
};
using ZEVArm64ImageFinder = bool (*)(std::uint64_t address, ZEVArm64Image* out);

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

struct ZEVUnwindContext {
    ZEVMachineContextArm64 machineContext;
    std::uint32_t frameCount;
    ZEVCompactUnwindContext compactUnwind;
    ZEVArm64ImageFinder findImage;
    ZEVReadablePages pages;
};

bool ZEVUnwindInit(ZEVUnwindContext* context, const ZEVMachineContextArm64* machineContext,
                   ZEVArm64ImageFinder finder);
bool ZEVUnwindNextFrame(ZEVUnwindContext* context);
std::uint64_t ZEVUnwindGetPC(const ZEVUnwindContext* context);
std::uint64_t ZEVUnwindContextGetPC(const ZEVUnwindContext* context);
bool ZEVUnwindContextSetPC(ZEVUnwindContext* context, std::uint64_t value);
std::uint64_t ZEVUnwindContextGetStackPointer(const ZEVUnwindContext* context);
bool ZEVUnwindContextSetStackPointer(ZEVUnwindContext* context, std::uint64_t value);
std::uint64_t ZEVUnwindContextGetFramePointer(const ZEVUnwindContext* context);
bool ZEVUnwindContextSetFramePointer(ZEVUnwindContext* context, std::uint64_t value);
// Registers 0..28 = x0..x28, 29 = fp, 30 = lr (setting it sets pc too), 31 = sp.
std::uint64_t ZEVDwarfUnwindGetRegisterValue(const ZEVRegistersArm64* registers, std::uint64_t number);
bool ZEVDwarfUnwindSetRegisterValue(ZEVRegistersArm64* registers, std::uint64_t number, std::uint64_t value);
bool ZEVUnwindWithFramePointer(ZEVUnwindContext* context, bool tryLRFirst);
bool ZEVUnwindWithLRRegister(ZEVUnwindContext* context);
std::uint64_t ZEVUnwindCallerStackPointer(std::uint64_t framePointer);

bool ZEVCompactUnwindInit(ZEVCompactUnwindContext* context, const ZEVArm64Image& image);
bool ZEVCompactUnwindLookup(ZEVCompactUnwindContext* context, std::uint64_t pc, ZEVCompactUnwindEntry* entry,
                            ZEVReadablePages* pages = nullptr);
bool ZEVCompactUnwindLookupAndCompute(ZEVCompactUnwindContext* compact, ZEVUnwindContext* context);
bool ZEVCompactUnwindComputeRegisters(ZEVCompactUnwindContext* compact, std::uint32_t encoding,
                                      ZEVUnwindContext* context);
bool ZEVCompactUnwindDwarfFrame(ZEVCompactUnwindContext* compact, std::uint32_t fdeOffset,
                                ZEVUnwindContext* context);
// Applies the FDE at `fde` (with its CIE) to the context's registers.
bool ZEVDwarfUnwindComputeRegisters(std::uint64_t fde, std::uint64_t ehFrameEnd, ZEVUnwindContext* context);

} // namespace arm64
