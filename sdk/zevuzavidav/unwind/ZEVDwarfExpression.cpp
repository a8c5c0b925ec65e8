#include "sdk/zevuzavidav/unwind/ZEVDwarfExpression.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "sdk/zevuzavidav/support/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCursor.hpp"

#include <cstring>

namespace {

bool push(ZEVDwarfExpressionMachine* m, std::uint64_t value) {
    if (m->stackPointer == nullptr || m->stackPointer >= m->stack + 100) {
        m->stackPointer = nullptr;
        return false;
    }
    *m->stackPointer++ = value;
    return true;
}

bool pop(ZEVDwarfExpressionMachine* m, std::uint64_t* value) {
    if (m->stackPointer == nullptr || m->stackPointer <= m->stack) {
        m->stackPointer = nullptr;
        *value = 0;
        return false;
    }
    *value = *--m->stackPointer;
    return true;
}

bool executeNext(ZEVDwarfExpressionMachine* m) {
    ZEVDwarfCursor cursor;
    ZEVDwarfCursorInit(&cursor, m->cursor, m->end, m->pages);
    std::uint8_t opcode = ZEVDwarfReadUInt8(&cursor);
    if (cursor.failed) return false;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    bool ok = true;
    switch (opcode) {
    case 0x06: // DW_OP_deref
        ok = pop(m, &a) && ZEVReadGuarded(m->pages, a, &b, 8) && push(m, b);
        if (!ok)
            ZEVSDKLog("%s: Error: DW_OP_deref failed to read memory\n",
                      "ZEVDwarfExpressionMachineExecuteNextOpcode");
        break;
    case 0x12: // DW_OP_dup
        ok = m->stackPointer != nullptr && m->stackPointer > m->stack && push(m, m->stackPointer[-1]);
        break;
    case 0x16: // DW_OP_swap
        ok = pop(m, &a) && pop(m, &b) && push(m, a) && push(m, b);
        break;
    case 0x1A: // DW_OP_and
        ok = pop(m, &a) && pop(m, &b) && push(m, a & b);
        break;
    case 0x22: // DW_OP_plus
        ok = pop(m, &a) && pop(m, &b) && push(m, a + b);
        break;
    case 0x23: { // DW_OP_plus_uconst
        std::uint64_t constant = ZEVDwarfReadULEB128(&cursor);
        ok = !cursor.failed && pop(m, &a) && push(m, a + constant);
        break;
    }
    case 0x2E: // DW_OP_ne
        ok = pop(m, &a) && pop(m, &b) && push(m, a != b ? 1 : 0);
        break;
    case 0x94: { // DW_OP_deref_size
        std::uint8_t size = ZEVDwarfReadUInt8(&cursor);
        if (cursor.failed || (size != 1 && size != 2 && size != 4 && size != 8)) {
            ZEVSDKLog("%s: Error: unrecognized DW_OP_deref_size argument %x\n",
                      "ZEVDwarfExpressionMachineExecuteNextOpcode", static_cast<unsigned>(size));
            return false;
        }
        std::uint64_t value = 0;
        ok = pop(m, &a) && ZEVReadGuarded(m->pages, a, &value, size) && push(m, value);
        break;
    }
    default:
        if (opcode >= 0x30 && opcode <= 0x4F) {
            ok = push(m, static_cast<std::uint64_t>(opcode - 0x30));
        } else if (opcode >= 0x70 && opcode <= 0x8F) {
            std::int64_t offset = ZEVDwarfReadSLEB128(&cursor);
            std::uint64_t value = 0;
            if (cursor.failed || m->readRegister == nullptr ||
                !m->readRegister(m->registers, opcode - 0x70U, &value)) {
                ZEVSDKLog("%s: Error: DW_OP_breg invalid register number\n",
                          "ZEVDwarfExpressionMachineExecuteNextOpcode");
                return false;
            }
            ok = push(m, value + static_cast<std::uint64_t>(offset));
        } else {
            ZEVSDKLog("%s: Error: Unrecognized DWARF expression opcode 0x%x\n",
                      "ZEVDwarfExpressionMachineExecuteNextOpcode", static_cast<unsigned>(opcode));
            return false;
        }
    }
    m->cursor = cursor.at;
    return ok;
}

} // namespace

bool ZEVDwarfEvalulateExpression(std::uintptr_t expression, const void* registers,
                                 ZEVDwarfRegisterReader reader, std::uint64_t initialValue,
                                 std::uint64_t* result, ZEVReadablePages* pages) {
    if (expression < 4096 || result == nullptr) {
        ZEVSDKLog("%s: Error: inputs invalid\n", "ZEVDwarfEvalulateExpression");
        return false;
    }
    ZEVDwarfExpressionMachine machine;
    std::memset(&machine, 0, sizeof machine);
    machine.stackPointer = machine.stack;
    machine.registers = registers;
    machine.readRegister = reader;
    machine.pages = pages;
    push(&machine, initialValue);
    ZEVDwarfCursor cursor;
    ZEVDwarfCursorInit(&cursor, expression, expression + 16, pages);
    std::uint64_t length = ZEVDwarfReadULEB128(&cursor);
    if (cursor.failed || length == 0) {
        ZEVSDKLog("%s: Error: DWARF expression length is zero\n",
                  "ZEVDwarfExpressionMachinePrepareForExecution");
        return false;
    }
    machine.cursor = cursor.at;
    machine.end = cursor.at + length;
    if (machine.end < machine.cursor) return false;
    while (machine.cursor < machine.end) {
        if (!executeNext(&machine)) {
            ZEVSDKLog("%s: Error: failed to execute DWARF machine opcode\n", "ZEVDwarfEvalulateExpression");
            return false;
        }
    }
    if (machine.cursor != machine.end || machine.stackPointer == nullptr ||
        machine.stackPointer <= machine.stack) {
        ZEVSDKLog("%s: Error: failed to get DWARF expression result\n", "ZEVDwarfEvalulateExpression");
        return false;
    }
    *result = machine.stackPointer[-1];
    return true;
}
