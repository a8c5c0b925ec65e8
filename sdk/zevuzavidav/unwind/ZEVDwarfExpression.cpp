#include "sdk/zevuzavidav/unwind/ZEVDwarfExpression.hpp"

#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/unwind/DwarfCursor.hpp"

#include <cstring>

using namespace zevuzavidav;

namespace {

// The operations the machine knows, by their DWARF names.
enum ZEVDwarfOp : std::uint8_t {
    DW_OP_deref = 0x06,
    DW_OP_dup = 0x12,
    DW_OP_swap = 0x16,
    DW_OP_and = 0x1A,
    DW_OP_plus = 0x22,
    DW_OP_plus_uconst = 0x23,
    DW_OP_ne = 0x2E,
    DW_OP_lit0 = 0x30,
    DW_OP_lit31 = 0x4F,
    DW_OP_breg0 = 0x70,
    DW_OP_breg31 = 0x8F,
    DW_OP_deref_size = 0x94,
};

constexpr const char* kFunction = "ZEVDwarfExpressionMachineExecuteNextOpcode";
bool valid(const void* pointer) {
    return !darwin::isNullAddress(pointer);
}

bool push(ZEVDwarfExpressionMachine* m, std::uint64_t value) {
    if (m->stackPointer == nullptr || m->stackPointer >= m->stack + kDwarfExpressionStackSize) {
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

bool executeNextOpcode(ZEVDwarfExpressionMachine* m) {
    DwarfCursor cursor;
    initDwarfCursor(&cursor, m->cursor, m->end, m->memory);
    std::uint8_t opcode = ZEVDwarfReadUInt8(&cursor);
    if (cursor.failed) return false;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    bool ok = true;
    switch (opcode) {
    case DW_OP_deref:
        ok = pop(m, &a) && readUnwindMemory(m->memory, a, &b, 8) && push(m, b);
        if (!ok) {
            ZEVSDKLog("%s: Error: DW_OP_deref failed to read memory\n", kFunction);
        } else {
            ZEVSDKLog("%s: DW_OP_deref value %p\n", kFunction, reinterpret_cast<void*>(b));
        }
        break;
    case DW_OP_dup:
        ok = m->stackPointer != nullptr && m->stackPointer > m->stack && push(m, m->stackPointer[-1]);
        if (ok) ZEVSDKLog("%s: DW_OP_dup value %lu\n", kFunction, m->stackPointer[-1]);
        break;
    case DW_OP_swap:
        ZEVSDKLog("%s: DW_OP_swap\n", kFunction);
        ok = pop(m, &a) && pop(m, &b) && push(m, a) && push(m, b);
        break;
    case DW_OP_and:
        ZEVSDKLog("%s: DW_OP_plus_and\n", kFunction);
        ok = pop(m, &a) && pop(m, &b) && push(m, a & b);
        break;
    case DW_OP_plus:
        ZEVSDKLog("%s: DW_OP_plus\n", kFunction);
        ok = pop(m, &a) && pop(m, &b) && push(m, a + b);
        break;
    case DW_OP_plus_uconst: {
        std::uint64_t constant = ZEVDwarfReadULEB128(&cursor);
        ZEVSDKLog("%s: DW_OP_plus_uconst value %lu\n", kFunction, constant);
        ok = !cursor.failed && pop(m, &a) && push(m, a + constant);
        break;
    }
    case DW_OP_ne:
        ZEVSDKLog("%s: DW_OP_ne\n", kFunction);
        ok = pop(m, &a) && pop(m, &b) && push(m, a != b ? 1 : 0);
        break;
    case DW_OP_deref_size: {
        std::uint8_t size = ZEVDwarfReadUInt8(&cursor);
        if (cursor.failed || (size != 1 && size != 2 && size != 4 && size != 8)) {
            ZEVSDKLog("%s: Error: unrecognized DW_OP_deref_size argument %x\n", kFunction,
                      static_cast<unsigned>(size));
            return false;
        }
        std::uint64_t value = 0;
        ok = pop(m, &a) && readUnwindMemory(m->memory, a, &value, size) && push(m, value);
        ZEVSDKLog("%s: DW_OP_deref_size %p size %u\n", kFunction, reinterpret_cast<void*>(a),
                  static_cast<unsigned>(size));
        break;
    }
    default:
        if (opcode >= DW_OP_lit0 && opcode <= DW_OP_lit31) {
            ZEVSDKLog("%s: DW_OP_lit %u\n", kFunction, static_cast<unsigned>(opcode - DW_OP_lit0));
            ok = push(m, static_cast<std::uint64_t>(opcode - DW_OP_lit0));
        } else if (opcode >= DW_OP_breg0 && opcode <= DW_OP_breg31) {
            std::int64_t offset = ZEVDwarfReadSLEB128(&cursor);
            std::uint64_t value = 0;
            if (cursor.failed || m->readRegister == nullptr ||
                !m->readRegister(m->registers, opcode - DW_OP_breg0, &value)) {
                ZEVSDKLog("%s: Error: DW_OP_breg invalid register number\n", kFunction);
                return false;
            }
            ZEVSDKLog("%s: DW_OP_breg %d value %lu\n", kFunction, opcode - DW_OP_breg0,
                      value + static_cast<std::uint64_t>(offset));
            ok = push(m, value + static_cast<std::uint64_t>(offset));
        } else {
            ZEVSDKLog("%s: Error: Unrecognized DWARF expression opcode 0x%x\n", kFunction,
                      static_cast<unsigned>(opcode));
            return false;
        }
    }
    m->cursor = cursor.at;
    return ok;
}

} // namespace

bool ZEVDwarfExpressionMachineExecuteNextOpcode(ZEVDwarfExpressionMachine* m) {
    if (!valid(m)) {
        ZEVSDKLog("%s: Error: invalid inputs\n", kFunction);
        return false;
    }
    // A machine whose operation failed half-way holds no result worth giving: it is broken.
    if (!executeNextOpcode(m)) {
        m->stackPointer = nullptr;
        return false;
    }
    return true;
}

bool ZEVDwarfExpressionMachineInit(ZEVDwarfExpressionMachine* m, std::uintptr_t expression,
                                   const void* registers, DwarfRegisterReader reader,
                                   std::uint64_t initialValue, UnwindMemory* memory) {
    if (!valid(m) || darwin::isNullAddress(expression)) return false;
    std::memset(m, 0, sizeof *m);
    m->stackPointer = m->stack;
    m->cursor = expression;
    m->registers = registers;
    m->readRegister = reader;
    m->memory = memory;
    return push(m, initialValue);
}

bool ZEVDwarfExpressionMachinePrepareForExecution(ZEVDwarfExpressionMachine* m) {
    if (!valid(m)) {
        ZEVSDKLog("%s: Error: invalid inputs\n", "ZEVDwarfExpressionMachinePrepareForExecution");
        return false;
    }
    DwarfCursor cursor;
    initDwarfCursor(&cursor, m->cursor, m->cursor + 16, m->memory);
    std::uint64_t length = ZEVDwarfReadULEB128(&cursor);
    if (cursor.failed || length == 0) {
        ZEVSDKLog("%s: Error: DWARF expression length is zero\n",
                  "ZEVDwarfExpressionMachinePrepareForExecution");
        return false;
    }
    m->cursor = cursor.at;
    m->end = cursor.at + length;
    return m->end >= m->cursor;
}

bool ZEVDwarfExpressionMachineIsFinished(const ZEVDwarfExpressionMachine* m) {
    if (!valid(m)) {
        ZEVSDKLog("%s: Error: invalid inputs\n", "ZEVDwarfExpressionMachineIsFinished");
        return true;
    }
    if (darwin::isNullAddress(m->cursor) || darwin::isNullAddress(m->end)) {
        ZEVSDKLog("%s: Error: DWARF machine pointers invalid\n", "ZEVDwarfExpressionMachineIsFinished");
        return true;
    }
    if (m->stackPointer == nullptr || m->stackPointer < m->stack ||
        m->stackPointer > m->stack + kDwarfExpressionStackSize) {
        ZEVSDKLog("%s: Error: DWARF machine stack invalid\n", "ZEVDwarfExpressionMachineIsFinished");
        return true;
    }
    return m->cursor >= m->end;
}

bool ZEVDwarfExpressionMachineGetResult(const ZEVDwarfExpressionMachine* m, std::uint64_t* result) {
    if (!valid(m) || result == nullptr) return false;
    if (m->cursor != m->end) {
        ZEVSDKLog("%s: Error: DWARF expression hasn't completed execution\n",
                  "ZEVDwarfExpressionMachineGetResult");
        return false;
    }
    if (m->stackPointer == nullptr || m->stackPointer <= m->stack) {
        *result = 0;
        return false;
    }
    *result = m->stackPointer[-1];
    return true;
}

bool ZEVDwarfEvalulateExpression(std::uintptr_t expression, const void* registers, DwarfRegisterReader reader,
                                 std::uint64_t initialValue, std::uint64_t* result, UnwindMemory* memory) {
    ZEVSDKLog("%s: starting at %p with initial value %lx\n", "ZEVDwarfEvalulateExpression",
              reinterpret_cast<void*>(expression), initialValue);
    if (darwin::isNullAddress(expression) || result == nullptr) {
        ZEVSDKLog("%s: Error: inputs invalid\n", "ZEVDwarfEvalulateExpression");
        return false;
    }
    ZEVDwarfExpressionMachine machine;
    if (!ZEVDwarfExpressionMachineInit(&machine, expression, registers, reader, initialValue, memory)) {
        ZEVSDKLog("%s: Error: unable to init DWARF expression machine\n", "ZEVDwarfEvalulateExpression");
        return false;
    }
    if (!ZEVDwarfExpressionMachinePrepareForExecution(&machine)) {
        ZEVSDKLog("%s: Error: unable to prepare for execution\n", "ZEVDwarfEvalulateExpression");
        return false;
    }
    while (!ZEVDwarfExpressionMachineIsFinished(&machine)) {
        if (!ZEVDwarfExpressionMachineExecuteNextOpcode(&machine)) {
            ZEVSDKLog("%s: Error: failed to execute DWARF machine opcode\n", "ZEVDwarfEvalulateExpression");
            return false;
        }
    }
    if (!ZEVDwarfExpressionMachineGetResult(&machine, result)) {
        ZEVSDKLog("%s: Error: failed to get DWARF expression result\n", "ZEVDwarfEvalulateExpression");
        return false;
    }
    ZEVSDKLog("%s: successfully computed expression result\n", "ZEVDwarfEvalulateExpression");
    return true;
}
