#pragma once
// One element of a crash record's "threads" array: the thread's registers under the keys of its
// architecture, its unwound stack ("stacktrace", first entry the thread's pc), "crashed": true on
// the crashed thread only, and, when given, the thread's "name" (the crashed thread's, so that a record
// cut short before "thread_names" still names it).
//
// The live host writes x86_64 states with the machine's own register keys (rax ... gs) and unwinds them
// with the host unwinder; arm64 machine contexts (recorded or synthetic) are written with exactly the
// arm64 keys x0 ... x28, fp, sp, lr, pc, cpsr and unwound with the arm64 unwinder. A null state still
// writes the element, with empty registers and stack, so every per-thread array of the record stays
// aligned with "threads". Signal-safe: nothing is allocated.
#include "sdk/zevuzavidav/unwind/MachineContext.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"
#include "sdk/zevuzavidav/unwind/arm64/ZEVUnwindArm64.hpp"

#include <cstdint>

struct ZEVFile;

namespace zevuzavidav {
// [stackLow, stackHigh), when given, is the thread's stack, stopped and readable in place while the
// walk runs (a suspended thread's, as the thread proved it): the walk reads it directly rather than
// through checked copies when the state's stack pointer lies on it. At most `maxFrames` of the stack are
// written (the walk's own limit, kUnwindMaxFrames, when that is less). `name`, when not null, is
// written as the element's "name".
void writeThreadRegisters(ZEVFile* file, const RegistersX86_64* state, bool crashed,
                          std::uintptr_t stackLow = 0, std::uintptr_t stackHigh = 0,
                          std::uint32_t maxFrames = kUnwindMaxFrames, const char* name = nullptr);
// The stack writeThreadRegisters would write of `state` (null: none), walked the same way without
// writing it: its frames (at most kUnwindMaxFrames), the bytes they take written whole, and the most
// one of them takes with its comma, so that any first frames of it take at most that much a frame.
struct StackMeasure {
    std::uint32_t frames = 0;
    std::uint64_t bytes = 0;
    std::uint32_t widestFrame = 0;
};
StackMeasure measureThreadStack(const RegistersX86_64* state, std::uintptr_t stackLow = 0,
                                std::uintptr_t stackHigh = 0);
// The bytes of the element writeThreadRegisters writes for `state` (null: none) without frames, not
// crashed and without a name.
std::uint64_t threadElementBytesWithoutFrames(const RegistersX86_64* state);
// `finder` locates the Mach-O images holding return addresses; null walks by frame pointer and link
// register alone.
void writeThreadRegisters(ZEVFile* file, const arm64::ZEVMachineContextArm64* state,
                          arm64::ZEVArm64ImageFinder finder, bool crashed);
} // namespace zevuzavidav
