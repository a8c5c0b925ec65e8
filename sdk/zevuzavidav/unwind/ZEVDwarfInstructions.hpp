#pragma once
// The CFA instruction interpreter: runs blocks of DWARF call-frame instructions (a CIE's initial
// instructions, then an FDE's up to a pc) into the rules of one row of the call-frame table: how to
// find the canonical frame address (CFA) and where each register of the caller was saved.
//
// Two readings exist. ELF images get the instructions compilers emit routinely (remember/restore state
// to a fixed depth, restore, offset_extended, def_cfa_sf, undefined, GNU_args_size, ...) and ignore
// registers outside the tracked set. Mach-O images keep the strict subset, refuse the rest and any
// register operand of 32 or more, use only the low 32 bits of a block's length and log each
// instruction to the SDK log. The live host's unwinding (every frame of every thread at a crash) logs
// only its errors, so a crash does not fill the SDK log with progress lines. A damaged block gives
// false, never a fault. Rules live on the caller's stack; signal-safe, no allocation.
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"

#include <cstdint>

namespace zevuzavidav {
enum class DwarfCFA : std::uint8_t {
    DW_CFA_nop = 0x00,
    DW_CFA_set_loc = 0x01,
    DW_CFA_advance_loc1 = 0x02,
    DW_CFA_advance_loc2 = 0x03,
    DW_CFA_advance_loc4 = 0x04,
    DW_CFA_offset_extended = 0x05,
    DW_CFA_restore_extended = 0x06,
    DW_CFA_undefined = 0x07,
    DW_CFA_same_value = 0x08,
    DW_CFA_register = 0x09,
    DW_CFA_remember_state = 0x0A,
    DW_CFA_restore_state = 0x0B,
    DW_CFA_def_cfa = 0x0C,
    DW_CFA_def_cfa_register = 0x0D,
    DW_CFA_def_cfa_offset = 0x0E,
    DW_CFA_def_cfa_expression = 0x0F,
    DW_CFA_expression = 0x10,
    DW_CFA_offset_extended_sf = 0x11,
    DW_CFA_def_cfa_sf = 0x12,
    DW_CFA_def_cfa_offset_sf = 0x13,
    DW_CFA_val_offset = 0x14,
    DW_CFA_val_offset_sf = 0x15,
    DW_CFA_val_expression = 0x16,
    DW_CFA_GNU_window_save = 0x2D,
    DW_CFA_GNU_args_size = 0x2E,
    DW_CFA_GNU_negative_offset_extended = 0x2F,
    // The three with an operand in their low six bits.
    DW_CFA_advance_loc = 0x40,
    DW_CFA_offset = 0x80,
    DW_CFA_restore = 0xC0,
};

// The registers a row of rules tracks, in DWARF numbering: on x86_64 rax..r15 and the return address,
// on arm64 x0..x28, fp, lr and sp. A row has room for either set.
constexpr int kDwarfRegistersX86_64 = 17;
constexpr int kDwarfRegistersArm64 = 32;
constexpr int kDwarfMaxRegisters =
    kDwarfRegistersX86_64 > kDwarfRegistersArm64 ? kDwarfRegistersX86_64 : kDwarfRegistersArm64;
constexpr int kDwarfStateStackDepth = 8;

// How call-frame instructions are read (see above).
struct DwarfDialect {
    int registerCount;
    bool strict;
    bool traces;
};
constexpr DwarfDialect kDwarfDialectELF{kDwarfRegistersX86_64, false, false};
constexpr DwarfDialect kDwarfDialectMachO{kDwarfRegistersArm64, true, true};

enum DwarfRuleKind : std::uint32_t {
    kDwarfRuleUnchanged = 0,
    kDwarfRuleOffset = 1,     // saved at CFA + value
    kDwarfRuleValOffset = 2,  // value is CFA + value
    kDwarfRuleRegister = 3,   // held in register `value`
    kDwarfRuleExpression = 4, // saved at the address an expression computes
    kDwarfRuleValExpression = 5,
    kDwarfRuleUndefined = 6,
};

struct DwarfRule {
    std::uint32_t kind;
    std::int64_t value;
};
} // namespace zevuzavidav

struct ZEVDwarfRegisterRules {
    std::uint64_t cfaRegister;
    std::int64_t cfaOffset;
    std::uintptr_t cfaExpression; // address of the expression block; 0 = register + offset
    zevuzavidav::DwarfRule registers[zevuzavidav::kDwarfMaxRegisters];
};

// Runs an instruction block up to `limit` (an offset from the FDE's pc begin). `initial` holds the
// CIE's rules for DW_CFA_restore (null while running the CIE itself).
bool ZEVDwarfInstructionsEnumerate(std::uintptr_t instructions, std::uint64_t length,
                                   const ZEVDwarfCIERecord* cie, ZEVDwarfRegisterRules* rules,
                                   const ZEVDwarfRegisterRules* initial, std::uint64_t pcBegin,
                                   std::int64_t limit, zevuzavidav::UnwindMemory* memory = nullptr,
                                   const zevuzavidav::DwarfDialect& dialect = zevuzavidav::kDwarfDialectELF);
namespace zevuzavidav {
// The rules in force at `pc`: the CIE's initial instructions, then the FDE's up to the pc. False (with
// the reader's line) when either block cannot be run or the pc lies before the FDE.
bool computeDwarfRules(const ZEVDwarfCFIRecord* cfi, std::uint64_t pc, ZEVDwarfRegisterRules* rules,
                       UnwindMemory* memory, const DwarfDialect& dialect);
// computeDwarfRules in its two steps, so that a walk runs each CIE's instructions once. Each may also
// tell which registers may have a rule other than "unchanged" (bit n: register n), so that applying the
// rules need not look at the others.
//
// The rules of the CIE's initial instructions for an FDE beginning at `pcBegin`; `dependsOnFDE`, when
// given, is set when they hold for that FDE only (they ran a DW_CFA_set_loc, which is checked against
// the pc begin). `ruled`, when given, receives the registers they rule. `inPlace`: the caller knows the
// CIE's instructions are read in place.
bool computeDwarfInitialRules(const ZEVDwarfCIERecord& cie, std::uint64_t pcBegin,
                              ZEVDwarfRegisterRules* initial, UnwindMemory* memory,
                              const DwarfDialect& dialect, bool* dependsOnFDE, std::uint64_t* ruled = nullptr,
                              bool inPlace = false);
// The rules at `pc` from the CIE's `initial` rules and the FDE's instructions. `ruled`, when given,
// holds the registers the initial rules rule and receives those of the result. `inPlace`: the caller
// knows the FDE's instructions are read in place. `trackedOnly`: the caller looks only at the
// registers the dialect tracks; the row's others are left as they were.
bool computeDwarfRulesFromInitial(const ZEVDwarfFDERecord& fde, const ZEVDwarfCIERecord& cie,
                                  const ZEVDwarfRegisterRules& initial, std::uint64_t pc,
                                  ZEVDwarfRegisterRules* rules, UnwindMemory* memory,
                                  const DwarfDialect& dialect, std::uint64_t* ruled = nullptr,
                                  bool inPlace = false, bool trackedOnly = false);
} // namespace zevuzavidav
