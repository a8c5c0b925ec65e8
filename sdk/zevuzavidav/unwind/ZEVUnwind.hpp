#pragma once
// The stack unwinder: a cursor over one thread's registers, stepped frame by frame.
//
// Each step looks the pc up in the image table and applies the image's DWARF call-frame information
// (found through .eh_frame_hdr); when that fails it follows the frame-pointer chain, which stops when
// the frame pointer does not move up the stack. Frame 0 (from a fault or a suspended thread) and
// frames interrupted by a signal are looked up at their own pc, return addresses at pc - 1. At most
// 512 frames. Signal-safe: the context lives on the caller's stack and memory is read guarded.
#include "sdk/zevuzavidav/images/ZEVBinaryImageNode.hpp"
#include "sdk/zevuzavidav/unwind/ZEVMachineContext.hpp"
#include "sdk/zevuzavidav/unwind/ZEVReadablePages.hpp"

#include <cstdint>

constexpr std::uint32_t ZEVUnwindMaxFrames = 512;

// Finds the image holding an address; the crash context's table by default.
using ZEVUnwindImageFinder = bool (*)(std::uint64_t address, ZEVBinaryImageNodeCopy* out);

struct ZEVUnwindContext {
    ZEVMachineContext registers;
    std::uint32_t frameCount;
    bool pcIsExact; // the current pc was interrupted, not a return address
    ZEVUnwindImageFinder findImage;
    ZEVReadablePages pages;
};

bool ZEVUnwindInit(ZEVUnwindContext* context, const ZEVMachineContext* machineContext);
bool ZEVUnwindInitWithImageFinder(ZEVUnwindContext* context, const ZEVMachineContext* machineContext,
                                  ZEVUnwindImageFinder finder);
// True when the context now describes one more frame; the first call delivers the initial pc.
bool ZEVUnwindNextFrame(ZEVUnwindContext* context);
std::uint64_t ZEVUnwindGetPC(const ZEVUnwindContext* context);
// One frame-pointer step; false when the chain is unreadable or does not move up the stack.
bool ZEVUnwindWithFramePointer(ZEVUnwindContext* context);
std::uint64_t ZEVUnwindCallerStackPointer(std::uint64_t framePointer);

// An image finder over the dynamic linker's list (for normal threads, tests and benchmarks).
bool ZEVUnwindFindImageWithDynamicLinker(std::uint64_t address, ZEVBinaryImageNodeCopy* out);

// Captures the caller's registers as frame 0 (its pc is the return address of this call).
__attribute__((noinline)) void ZEVUnwindCaptureCurrent(ZEVMachineContext* out);
