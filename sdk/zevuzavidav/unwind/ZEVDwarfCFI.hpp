#pragma once
// DWARF call-frame information of ELF images: the .eh_frame_hdr index, CIE/FDE parsing, the
// call-frame instruction interpreter and the register restorer, for the x86_64 register set.
//
// Parsing is bounded and reads through the guarded read: a damaged table gives false, never a fault.
// Besides the basic instructions, the ones compilers emit routinely are accepted (remember/restore
// state to a fixed depth, restore, offset_extended, def_cfa_sf, undefined, GNU_args_size); rules for
// registers outside the tracked set are ignored. Signal-safe, no allocation.
#include "sdk/zevuzavidav/unwind/ZEVMachineContext.hpp"
#include "sdk/zevuzavidav/unwind/ZEVReadablePages.hpp"

#include <cstdint>

constexpr int ZEVDwarfRegisterCount = 17; // x86_64: rax..r15 and the return-address column (16)
constexpr int ZEVDwarfReturnAddressColumn = 16;
constexpr int ZEVDwarfMaxRegisters = 32; // arm64: x0..x28, fp, lr, sp

// How call-frame instructions are read. ELF images get the instructions compilers emit routinely and
// ignore registers outside the tracked set; Mach-O images keep the strict subset, refusing the rest,
// use only the low 32 bits of a block's length, and log each instruction to the SDK log. The live
// host's unwinding (every frame of every thread at a crash) logs only its errors, so a crash does
// not fill the SDK log with progress lines.
struct ZEVDwarfDialect {
    int registerCount;
    bool strict;
    bool traces;
};
constexpr ZEVDwarfDialect ZEVDwarfDialectELF{ZEVDwarfRegisterCount, false, false};
constexpr ZEVDwarfDialect ZEVDwarfDialectMachO{ZEVDwarfMaxRegisters, true, true};
constexpr int ZEVDwarfStateStackDepth = 8;

struct ZEVDwarfCIERecord {
    std::uint64_t length;
    std::uint64_t version;
    std::uintptr_t augmentation;
    std::uint8_t fdePointerEncoding;
    std::uint8_t lsdaEncoding;
    std::uint8_t personalityEncoding;
    std::uint64_t personality;
    std::uint64_t codeAlignment;
    std::int64_t dataAlignment;
    std::uint64_t returnAddressRegister;
    bool signalFrame;
    std::uint64_t instructionsLength;
    std::uintptr_t instructions;
};

struct ZEVDwarfFDERecord {
    std::uint64_t length;
    std::uint64_t ciePointer;
    std::uint64_t pcBegin;
    std::uint64_t pcRange;
    std::uint64_t instructionsLength;
    std::uintptr_t instructions;
};

struct ZEVDwarfCFIRecord {
    ZEVDwarfCIERecord cie;
    ZEVDwarfFDERecord fde;
};

enum ZEVDwarfRuleKind : std::uint32_t {
    ZEVDwarfRuleUnchanged = 0,
    ZEVDwarfRuleOffset = 1,     // saved at CFA + value
    ZEVDwarfRuleValOffset = 2,  // value is CFA + value
    ZEVDwarfRuleRegister = 3,   // held in register `value`
    ZEVDwarfRuleExpression = 4, // saved at the address an expression computes
    ZEVDwarfRuleValExpression = 5,
    ZEVDwarfRuleUndefined = 6,
};

struct ZEVDwarfRule {
    std::uint32_t kind;
    std::int64_t value;
};

struct ZEVDwarfRegisterRules {
    std::uint64_t cfaRegister;
    std::int64_t cfaOffset;
    std::uintptr_t cfaExpression;
    ZEVDwarfRule registers[ZEVDwarfMaxRegisters];
};

// Parses the CIE at `address`; `end` bounds every read.
bool ZEVDwarfParseCIERecord(ZEVDwarfCIERecord* cie, std::uintptr_t address, std::uintptr_t end,
                            ZEVReadablePages* pages = nullptr);
// Parses the FDE at `address` and its CIE.
bool ZEVDwarfParseFDERecord(ZEVDwarfFDERecord* fde, ZEVDwarfCIERecord* cie, std::uintptr_t address,
                            std::uintptr_t end, ZEVReadablePages* pages = nullptr);
// Finds the FDE covering `pc` through the .eh_frame_hdr at `hdr` (binary search of its table).
bool ZEVDwarfFindFDE(std::uintptr_t hdr, std::uint64_t pc, ZEVDwarfCFIRecord* out,
                     ZEVReadablePages* pages = nullptr);
// Runs an instruction block up to `limit` (an offset from the FDE's pc begin). `initial` holds the
// CIE's rules for DW_CFA_restore (null while running the CIE itself).
bool ZEVDwarfInstructionsEnumerate(std::uintptr_t instructions, std::uint64_t length,
                                   const ZEVDwarfCIERecord* cie, ZEVDwarfRegisterRules* rules,
                                   const ZEVDwarfRegisterRules* initial, std::uint64_t pcBegin,
                                   std::int64_t limit, ZEVReadablePages* pages = nullptr,
                                   const ZEVDwarfDialect& dialect = ZEVDwarfDialectELF);
// Replaces `registers` by the caller's registers for a frame executing at `pc`. False (registers
// unchanged) when the rules cannot be applied or nothing would move.
bool ZEVDwarfUnwindComputeRegisters(const ZEVDwarfCFIRecord* cfi, std::uint64_t pc,
                                    ZEVMachineContext* registers, ZEVReadablePages* pages = nullptr);

// Register access in DWARF numbering (0 rax, 1 rdx, 2 rcx, 3 rbx, 4 rsi, 5 rdi, 6 rbp, 7 rsp,
// 8..15 r8..r15, 16 return address = rip).
bool ZEVDwarfUnwindGetRegisterValue(const ZEVMachineContext* registers, std::uint64_t number,
                                    std::uint64_t* value);
bool ZEVDwarfUnwindSetRegisterValue(ZEVMachineContext* registers, std::uint64_t number, std::uint64_t value);
