#pragma once
// The stack unwinder of the live host (x86_64): a cursor over one thread's registers, stepped frame by
// frame.
//
// A step looks the frame's pc up in the frame-rule cache and, for a frame seen before, applies the
// kept rule: a few reads of stack words and no unwind table at all (the frame-pointer step is the rule
// CFA = rbp + 16 and is taken only where the frame's own rule says so). Otherwise it finds the image
// holding the pc, the FDE through the image's .eh_frame_hdr index, runs its call-frame instructions
// and restores the caller's registers; the rule is then kept for the next walk when it has the common
// form. When no call-frame information is found it follows the frame-pointer chain, which ends when
// the frame pointer does not move up the stack. Frame 0 (from a fault or a suspended thread) and frames
// interrupted by a signal are looked up at their own pc, return addresses at pc - 1. Such an
// interrupted pc in no image at all (a call through a null, freed or garbage pointer faults at its
// target) is stepped over by the return address its call left at sp, when that word is one: in an
// image, right after a call instruction. Frame 0 is delivered even at a pc below 4096 (a null target);
// any later pc there ends the walk. At most 512 frames.
//
// Memory is read as zevuzavidav::UnwindMemory says: the walking thread's own stack and the proven segments of
// the images' unwind tables in place, anything else (another thread's stack, a damaged pointer) through
// checked copies, so a page unmapped even in the middle of the walk ends it cleanly. Over frames already
// known a walk makes no system call. Signal-safe: the context lives on the caller's stack and nothing
// is allocated.
#include "sdk/zevuzavidav/context/ZEVBinaryImageNode.hpp"
#include "sdk/zevuzavidav/unwind/DwarfWalkCache.hpp"
#include "sdk/zevuzavidav/unwind/MachineContext.hpp"
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"

#include <cstdint>

namespace zevuzavidav {
constexpr std::uint32_t kUnwindMaxFrames = 512;

// Finds the image holding an address; the crash context's table by default.
using UnwindImageFinder = bool (*)(std::uint64_t address, zevuzavidav::BinaryImageNodeCopy* out);
} // namespace zevuzavidav

struct ZEVUnwindContext {
    zevuzavidav::MachineContext registers;
    std::uint32_t frameCount;
    bool pcIsExact;    // the current pc was interrupted, not a return address
    bool nullPcToStep; // frame 0 was delivered at a pc below 4096 (a call's null target) and not stepped from
    bool useRuleCache; // off: every step takes the full DWARF step (tests compare the two)
    std::uint64_t imageGeneration;
    std::uint64_t lastLookup; // the pc whose kept rule the walk used last (recursion repeats it)
    std::uint64_t lastRule;
    zevuzavidav::UnwindImageFinder findImage;
    zevuzavidav::DwarfWalkCache dwarf; // what the walk's full steps have read of the images' tables
    zevuzavidav::UnwindMemory memory;
};

// `machineContext` may be the context's own `registers` (zevuzavidav::captureCurrentRegisters straight into
// the cursor, the quickest start of a walk of the current thread).
bool ZEVUnwindInit(ZEVUnwindContext* context, const zevuzavidav::MachineContext* machineContext);
namespace zevuzavidav {
bool initUnwindWithImageFinder(ZEVUnwindContext* context, const MachineContext* machineContext,
                               UnwindImageFinder finder);
} // namespace zevuzavidav
// True when the context now describes one more frame; the first call delivers the initial pc.
bool ZEVUnwindNextFrame(ZEVUnwindContext* context);
std::uint64_t ZEVUnwindGetPC(const ZEVUnwindContext* context);
namespace zevuzavidav {
// ZEVUnwindNextFrame and ZEVUnwindGetPC in a loop, into `pcs`: the number of frames delivered (at most
// `capacity`); 0 once the walk has ended. The cursor stands at the last frame delivered, so the walk
// may go on with either call. Faster than the loop over frames seen before, since it keeps the
// registers out of memory between them.
std::uint32_t unwindNextFrames(ZEVUnwindContext* context, std::uint64_t* pcs, std::uint32_t capacity);
} // namespace zevuzavidav
// One frame-pointer step; false when the chain is unreadable or does not move up the stack.
bool ZEVUnwindWithFramePointer(ZEVUnwindContext* context);
std::uint64_t ZEVUnwindCallerStackPointer(std::uint64_t framePointer);

namespace zevuzavidav {
// An image finder over the dynamic linker's list (for normal threads, tests and benchmarks).
bool findImageWithDynamicLinker(std::uint64_t address, zevuzavidav::BinaryImageNodeCopy* out);

// Captures the caller's registers as frame 0 (its pc is the return address of this call).
__attribute__((noinline)) void captureCurrentRegisters(MachineContext* out);
} // namespace zevuzavidav
