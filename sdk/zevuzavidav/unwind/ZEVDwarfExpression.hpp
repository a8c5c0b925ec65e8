#pragma once
// A small stack machine for the DWARF expressions named by call-frame rules.
//
// Supports deref, dup, swap, and, plus, plus_uconst, ne, lit0..31, breg0..(registers-1) and
// deref_size; refuses everything else. Fixed storage on the caller's stack; memory read through the
// guarded read. Any failure gives false.
#include "sdk/zevuzavidav/unwind/ZEVReadablePages.hpp"

#include <cstdint>

// Reads register `number` of the caller's register set; false for an unknown register.
using ZEVDwarfRegisterReader = bool (*)(const void* registers, std::uint64_t number, std::uint64_t* value);

struct ZEVDwarfExpressionMachine {
    std::uint64_t stack[100];
    std::uint64_t* stackPointer;
    std::uintptr_t cursor;
    std::uintptr_t end;
    const void* registers;
    ZEVDwarfRegisterReader readRegister;
    ZEVReadablePages* pages;
};

// Evaluates the expression block at `expression` (ULEB128 length, then the bytes) with
// `initialValue` pushed first; the result is the top of the stack.
bool ZEVDwarfEvalulateExpression(std::uintptr_t expression, const void* registers,
                                 ZEVDwarfRegisterReader reader, std::uint64_t initialValue,
                                 std::uint64_t* result, ZEVReadablePages* pages = nullptr);
