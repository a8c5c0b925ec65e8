#pragma once
// The arm64 unwinder of recorded Mach-O images: a cursor over one thread's arm64 machine context,
// stepped by the image's compact unwind information (which may hand over to its DWARF call-frame
// information, read in the strict reading) and then by the frame-pointer chain and the link register.
//
// Memory is read through checked copies (zevuzavidav::UnwindMemory: the context is not of the walking
// thread); compact-unwind reads are bounds-checked against the section's size; the DWARF reader refuses an
// eh_frame address below 4096.
// A step that moves nothing, or a frame pointer that does not move up the stack, ends the walk. At
// most 512 frames. Signal-safe: no allocation.
#include "sdk/zevuzavidav/unwind/MachineContext.hpp"
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"
#include "sdk/zevuzavidav/unwind/arm64/ZEVCompactUnwind.hpp"

#include <cstddef>
#include <cstdint>

namespace arm64 {

constexpr std::uint32_t kUnwindMaxFrames = 512;

// The platform's arm64 machine context: exception state, thread state, NEON state.
struct ZEVMachineContextArm64 {
    std::uint64_t faultAddress;
    std::uint32_t esr;
    std::uint32_t exception;
    zevuzavidav::RegistersArm64 ss;
    std::uint8_t neon[528];
};
static_assert(sizeof(ZEVMachineContextArm64) == 816, "the arm64 machine context is 816 bytes");
static_assert(offsetof(ZEVMachineContextArm64, ss) == 16, "the thread state follows the exception state");

using ZEVArm64ImageFinder = bool (*)(std::uint64_t address, ZEVArm64Image* out);

struct ZEVUnwindContext {
    ZEVMachineContextArm64 machineContext;
    std::uint32_t frameCount;
    ZEVCompactUnwindContext compactUnwind;
    ZEVArm64ImageFinder findImage;
    zevuzavidav::UnwindMemory memory;
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
std::uint64_t ZEVDwarfUnwindGetRegisterValue(const zevuzavidav::RegistersArm64* registers,
                                             std::uint64_t number);
bool ZEVDwarfUnwindSetRegisterValue(zevuzavidav::RegistersArm64* registers, std::uint64_t number,
                                    std::uint64_t value);
bool ZEVUnwindWithFramePointer(ZEVUnwindContext* context, bool tryLRFirst);
bool ZEVUnwindWithLRRegister(ZEVUnwindContext* context);
std::uint64_t ZEVUnwindCallerStackPointer(std::uint64_t framePointer);

bool ZEVCompactUnwindLookupAndCompute(ZEVCompactUnwindContext* compact, ZEVUnwindContext* context);
bool ZEVCompactUnwindComputeRegisters(ZEVCompactUnwindContext* compact, std::uint32_t encoding,
                                      ZEVUnwindContext* context);
bool ZEVCompactUnwindDwarfFrame(ZEVCompactUnwindContext* compact, std::uint32_t fdeOffset,
                                ZEVUnwindContext* context);
// Applies the FDE of `cfi` (with its CIE) to the context's registers, in the strict reading.
bool ZEVDwarfUnwindComputeRegisters(const ZEVDwarfCFIRecord* cfi, ZEVUnwindContext* context);

} // namespace arm64
