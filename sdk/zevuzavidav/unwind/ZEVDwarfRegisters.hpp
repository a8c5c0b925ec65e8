#pragma once
// The register restorer: applies one row of call-frame rules (ZEVDwarfInstructions) to a thread's
// registers, giving its caller's registers. Written once over a register set, the type through which
// an architecture names its registers in DWARF numbering; x86_64 and arm64 each provide one.
//
// The two readings of the rules differ here too. The ELF reading (the live host) gives up on the first
// rule it cannot apply and keeps the stack pointer's own rule when there is one. The strict Mach-O
// reading applies every rule, taking 0 for a value it cannot get, always sets the stack pointer to the
// CFA, and traces each register it restores. Either leaves the registers unchanged when it fails, and
// fails when the step would not move the frame. Memory is read through the unwind memory: signal-safe,
// no allocation.
#include "sdk/zevuzavidav/unwind/MachineContext.hpp"
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"

#include <cstdint>

namespace zevuzavidav {
// x86_64: 0 rax, 1 rdx, 2 rcx, 3 rbx, 4 rsi, 5 rdi, 6 rbp, 7 rsp, 8..15 r8..r15, 16 the return
// address (rip).
struct DwarfRegistersX86_64 {
    using State = RegistersX86_64;
    static constexpr int kCount = kDwarfRegistersX86_64;
    static constexpr int kStackPointer = 7;
    static constexpr int kReturnAddress = 16;
    static bool get(const State& state, std::uint64_t number, std::uint64_t* value);
    static bool set(State& state, std::uint64_t number, std::uint64_t value);
    // Registers an expression may name (DW_OP_bregN).
    static bool readForExpression(const void* state, std::uint64_t number, std::uint64_t* value);
};

// arm64: 0..28 x0..x28, 29 fp, 30 lr (the return address: setting it moves pc too), 31 sp.
struct DwarfRegistersArm64 {
    using State = RegistersArm64;
    static constexpr int kCount = kDwarfRegistersArm64;
    static constexpr int kStackPointer = 31;
    static constexpr int kReturnAddress = 30;
    static bool get(const State& state, std::uint64_t number, std::uint64_t* value);
    static bool set(State& state, std::uint64_t number, std::uint64_t value);
    // x0..x28, fp and lr (DW_OP_breg0 to breg30); DW_OP_breg31 is refused.
    static bool readForExpression(const void* state, std::uint64_t number, std::uint64_t* value);
};
} // namespace zevuzavidav

// The CFA of the rules: their expression evaluated with initial value 0, or register + offset. False
// (with a line) for an argument below 4096 or a CFA that cannot be computed.
template <typename Registers>
bool ZEVDwarfGetCFA(const ZEVDwarfRegisterRules* rules, const typename Registers::State* registers,
                    std::uint64_t* cfa, zevuzavidav::UnwindMemory* memory);
// The caller's value of a register saved by `rule`; false (with a line, the value 0) when it cannot
// be had.
template <typename Registers>
bool ZEVDwarfGetSavedRegister(const typename Registers::State& registers, std::uint64_t cfa,
                              const zevuzavidav::DwarfRule& rule, std::uint64_t* value,
                              zevuzavidav::UnwindMemory* memory, const zevuzavidav::DwarfDialect& dialect);
namespace zevuzavidav {
// Replaces `registers` by the caller's registers under `rules`; false (registers unchanged) when the
// rules cannot be applied or nothing would move. `ruled`, when known, holds every register whose rule
// may be other than "unchanged" (bit n: register n); the others are not looked at.
template <typename Registers>
bool restoreDwarfRegisters(const ZEVDwarfRegisterRules& rules, typename Registers::State* registers,
                           UnwindMemory* memory, const DwarfDialect& dialect, std::uint64_t ruled = ~0ULL);
} // namespace zevuzavidav

// The x86_64 host: register access in DWARF numbering, and one whole step for a frame executing at `pc`
// under the FDE of `cfi` (ELF reading).
bool ZEVDwarfUnwindGetRegisterValue(const zevuzavidav::MachineContext* registers, std::uint64_t number,
                                    std::uint64_t* value);
bool ZEVDwarfUnwindSetRegisterValue(zevuzavidav::MachineContext* registers, std::uint64_t number,
                                    std::uint64_t value);
bool ZEVDwarfUnwindComputeRegisters(const ZEVDwarfCFIRecord* cfi, std::uint64_t pc,
                                    zevuzavidav::MachineContext* registers,
                                    zevuzavidav::UnwindMemory* memory = nullptr);

// Every full step of a walk reads and writes registers by number: the tracked ones inline, anything
// else through the calls above, which log it.
namespace zevuzavidav {
namespace dwarfRegistersDetail {
using Slot = std::uint64_t RegistersX86_64::*;
inline constexpr Slot kSlotsX86_64[DwarfRegistersX86_64::kCount] = {
    &RegistersX86_64::rax, &RegistersX86_64::rdx, &RegistersX86_64::rcx, &RegistersX86_64::rbx,
    &RegistersX86_64::rsi, &RegistersX86_64::rdi, &RegistersX86_64::rbp, &RegistersX86_64::rsp,
    &RegistersX86_64::r8,  &RegistersX86_64::r9,  &RegistersX86_64::r10, &RegistersX86_64::r11,
    &RegistersX86_64::r12, &RegistersX86_64::r13, &RegistersX86_64::r14, &RegistersX86_64::r15,
    &RegistersX86_64::rip};
} // namespace dwarfRegistersDetail

inline bool DwarfRegistersX86_64::get(const State& state, std::uint64_t number, std::uint64_t* value) {
    if (number < static_cast<std::uint64_t>(kCount)) {
        *value = state.*dwarfRegistersDetail::kSlotsX86_64[number];
        return true;
    }
    return ZEVDwarfUnwindGetRegisterValue(&state, number, value);
}

inline bool DwarfRegistersX86_64::set(State& state, std::uint64_t number, std::uint64_t value) {
    if (number < static_cast<std::uint64_t>(kCount)) {
        state.*dwarfRegistersDetail::kSlotsX86_64[number] = value;
        return true;
    }
    return ZEVDwarfUnwindSetRegisterValue(&state, number, value);
}
} // namespace zevuzavidav
