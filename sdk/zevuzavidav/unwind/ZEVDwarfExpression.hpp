#pragma once
// The expression machine: a small stack machine for the DWARF expressions that call-frame rules name
// (a CFA computed by an expression, registers saved at or valued by an expression).
//
// Supports DW_OP_deref, dup, swap, and, plus, plus_uconst, ne, lit0..31, breg0..31 (as far as the
// register reader knows the register) and deref_size; refuses everything else. The stack holds 100
// values; popping an empty stack or pushing onto a full one breaks the machine (its stack pointer
// becomes null) and every later operation fails. Memory is read through the unwind memory. Lives on the
// caller's stack; signal-safe, no allocation. Failures give false with a line in the SDK log.
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"

#include <cstdint>

namespace zevuzavidav {
// Reads register `number` of the caller's register set; false for a register it does not give.
using DwarfRegisterReader = bool (*)(const void* registers, std::uint64_t number, std::uint64_t* value);

constexpr int kDwarfExpressionStackSize = 100;
} // namespace zevuzavidav

struct ZEVDwarfExpressionMachine {
    std::uint64_t stack[zevuzavidav::kDwarfExpressionStackSize];
    std::uint64_t* stackPointer; // the next free slot; null for a broken machine
    std::uintptr_t cursor;       // the next opcode
    std::uintptr_t end;          // the end of the expression
    const void* registers;
    zevuzavidav::DwarfRegisterReader readRegister;
    zevuzavidav::UnwindMemory* memory;
};

// Zeroes the machine, points it at the expression block at `expression` (its ULEB128 length first)
// and pushes `initialValue`. False for a machine or an expression address below 4096.
bool ZEVDwarfExpressionMachineInit(ZEVDwarfExpressionMachine* machine, std::uintptr_t expression,
                                   const void* registers, zevuzavidav::DwarfRegisterReader reader,
                                   std::uint64_t initialValue, zevuzavidav::UnwindMemory* memory = nullptr);
// Reads the block's length: the expression runs from after it to that many bytes on. False for a zero
// length or an invalid machine.
bool ZEVDwarfExpressionMachinePrepareForExecution(ZEVDwarfExpressionMachine* machine);
// True at the end of the expression, and for a machine that cannot go on.
bool ZEVDwarfExpressionMachineIsFinished(const ZEVDwarfExpressionMachine* machine);
// Runs one operation; false when it cannot be run, which breaks the machine (it gives no result).
bool ZEVDwarfExpressionMachineExecuteNextOpcode(ZEVDwarfExpressionMachine* machine);
// The top of the stack (not popped), once the expression has run exactly to its end.
bool ZEVDwarfExpressionMachineGetResult(const ZEVDwarfExpressionMachine* machine, std::uint64_t* result);

// Evaluates the expression block at `expression` with `initialValue` pushed first; the result is the
// top of the stack.
bool ZEVDwarfEvalulateExpression(std::uintptr_t expression, const void* registers,
                                 zevuzavidav::DwarfRegisterReader reader, std::uint64_t initialValue,
                                 std::uint64_t* result, zevuzavidav::UnwindMemory* memory = nullptr);
