#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"

#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/unwind/DwarfCursor.hpp"

#include <cstring>

using namespace zevuzavidav;

namespace {

using enum DwarfCFA;

constexpr const char* kFunction = "ZEVDwarfInstructionsEnumerate";

// A length-prefixed block at the cursor: returns its address and skips it.
std::uintptr_t skipBlock(DwarfCursor* cursor) {
    std::uintptr_t start = cursor->at;
    return skipDwarfBytes(cursor, ZEVDwarfReadULEB128(cursor)) ? start : 0;
}

// A factored offset; damaged tables may overflow it, which wraps instead of being undefined.
std::int64_t factored(std::uint64_t value, std::int64_t factor) {
    return static_cast<std::int64_t>(value * static_cast<std::uint64_t>(factor));
}

// Operands of the instructions the strict reading refuses, and of those it does not know.
bool strictlyUnimplemented(std::uint8_t opcode) {
    if ((opcode & 0xC0) == static_cast<std::uint8_t>(DW_CFA_restore)) return true;
    switch (static_cast<DwarfCFA>(opcode)) {
    case DW_CFA_offset_extended:
    case DW_CFA_restore_extended:
    case DW_CFA_undefined:
    case DW_CFA_remember_state:
    case DW_CFA_restore_state:
    case DW_CFA_offset_extended_sf:
    case DW_CFA_def_cfa_sf:
    case DW_CFA_def_cfa_offset_sf:
    case DW_CFA_val_offset:
    case DW_CFA_val_offset_sf:
    case DW_CFA_GNU_window_save:
    case DW_CFA_GNU_args_size:
    case DW_CFA_GNU_negative_offset_extended:
        return true;
    default:
        return false;
    }
}

// Mach-O tables name registers 0..31 only; a larger register operand is refused, as is a
// DW_CFA_register whose second register is out of range. The cursor is not moved.
bool strictOperandsValid(std::uint8_t opcode, const DwarfCursor& at) {
    DwarfCursor peek = at;
    auto tooLarge = [](std::uint64_t reg) { return reg >= static_cast<std::uint64_t>(kDwarfRegistersArm64); };
    if ((opcode & 0xC0) == static_cast<std::uint8_t>(DW_CFA_offset)) {
        if (!tooLarge(opcode & 0x3F)) return true;
        ZEVSDKLog("%s: Error: Found an invalid DW_CFA_offset register number\n", kFunction);
        return false;
    }
    if ((opcode & 0xC0) != 0) return true;
    const char* message = nullptr;
    switch (static_cast<DwarfCFA>(opcode)) {
    case DW_CFA_same_value:
        message = "%s: Error: Found an invalid DW_CFA_same_value register number\n";
        break;
    case DW_CFA_register:
        if (tooLarge(ZEVDwarfReadULEB128(&peek))) {
            ZEVSDKLog("%s: Error: Found an invalid DW_CFA_register number\n", kFunction);
            return false;
        }
        if (tooLarge(ZEVDwarfReadULEB128(&peek))) {
            ZEVSDKLog("%s: Error: Found an invalid DW_CFA_register value\n", kFunction);
            return false;
        }
        return true;
    case DW_CFA_def_cfa:
        message = "%s: Error: Found an invalid DW_CFA_def_cfa register number\n";
        break;
    case DW_CFA_def_cfa_register:
        message = "%s: Error: Found an invalid DW_CFA_def_cfa_register register number\n";
        break;
    case DW_CFA_expression:
        message = "%s: Error: Found an invalid DW_CFA_expression register number\n";
        break;
    case DW_CFA_val_expression:
        message = "%s: Error: Found an invalid DW_CFA_val_expression register number\n";
        break;
    default:
        return true;
    }
    if (tooLarge(ZEVDwarfReadULEB128(&peek))) {
        ZEVSDKLog(message, kFunction);
        return false;
    }
    return true;
}

// One run of a block: the rules it writes, the row location and the remembered states.
class Interpreter {
  public:
    Interpreter(const ZEVDwarfCIERecord* cie, ZEVDwarfRegisterRules* rules,
                const ZEVDwarfRegisterRules* initial, std::uint64_t pcBegin, const DwarfDialect& dialect)
        : cie_(cie), rules_(rules), initial_(initial), pcBegin_(pcBegin), dialect_(dialect),
          factor_(static_cast<std::uint64_t>(cie->codeAlignment)) {}

    std::uint64_t location() const { return location_; }

    // Runs the instruction at the cursor; false when it cannot be run (with the reader's line).
    bool step(DwarfCursor* cursor) {
        std::uint8_t opcode = ZEVDwarfReadUInt8(cursor);
        if (dialect_.strict && !strictlyAccepted(opcode, *cursor)) return false;
        if (!run(opcode, cursor) || cursor->failed) {
            ZEVSDKLog("%s: Error: Failed to execute dwarf instruction 0x%x\n", kFunction,
                      static_cast<unsigned>(opcode));
            return false;
        }
        return true;
    }

  private:
    bool strictlyAccepted(std::uint8_t opcode, const DwarfCursor& cursor) {
        if (strictlyUnimplemented(opcode)) {
            if ((opcode & 0xC0) == static_cast<std::uint8_t>(DW_CFA_restore)) {
                ZEVSDKLog("%s: Error: Unimplemented DWARF instruction with operand 0x%x\n", kFunction,
                          static_cast<unsigned>(opcode & 0x3F));
            } else {
                ZEVSDKLog("%s: Error: Unimplemented DWARF instruction 0x%x\n", kFunction,
                          static_cast<unsigned>(opcode));
            }
            return false;
        }
        if (!strictOperandsValid(opcode, cursor)) {
            ZEVSDKLog("%s: Error: Failed to execute dwarf instruction 0x%x\n", kFunction,
                      static_cast<unsigned>(opcode));
            return false;
        }
        return true;
    }

    void setRule(std::uint64_t reg, std::uint32_t kind, std::int64_t value) {
        // Registers outside the tracked set keep no rule.
        if (reg >= static_cast<std::uint64_t>(dialect_.registerCount)) return;
        rules_->registers[reg].kind = kind;
        rules_->registers[reg].value = value;
    }

    bool restore(std::uint64_t reg) {
        if (initial_ == nullptr) return false;
        if (reg < static_cast<std::uint64_t>(dialect_.registerCount))
            rules_->registers[reg] = initial_->registers[reg];
        return true;
    }

    bool run(std::uint8_t opcode, DwarfCursor* cursor);

    const ZEVDwarfCIERecord* cie_;
    ZEVDwarfRegisterRules* rules_;
    const ZEVDwarfRegisterRules* initial_;
    std::uint64_t pcBegin_;
    const DwarfDialect& dialect_;
    std::uint64_t factor_;
    std::uint64_t location_ = 0;
    ZEVDwarfRegisterRules saved_[kDwarfStateStackDepth];
    int savedCount_ = 0;
};

bool Interpreter::run(std::uint8_t opcode, DwarfCursor* cursor) {
    const std::int64_t dataAlignment = cie_->dataAlignment;
    const std::uint8_t operand = opcode & 0x3F;
    switch (static_cast<DwarfCFA>(opcode & 0xC0)) {
    case DW_CFA_advance_loc:
        location_ += operand * factor_;
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_advance_loc %u\n", kFunction, static_cast<unsigned>(operand));
        return true;
    case DW_CFA_offset: {
        std::int64_t offset = factored(ZEVDwarfReadULEB128(cursor), dataAlignment);
        setRule(operand, kDwarfRuleOffset, offset);
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_offset %u, %lld\n", kFunction, static_cast<unsigned>(operand),
                      static_cast<long long>(offset));
        return true;
    }
    case DW_CFA_restore:
        return restore(operand);
    default:
        break;
    }
    std::uint64_t reg = 0;
    switch (static_cast<DwarfCFA>(opcode)) {
    case DW_CFA_nop:
        if (dialect_.traces) ZEVSDKLog("%s: DW_CFA_nop\n", kFunction);
        return true;
    case DW_CFA_set_loc: { // absolute, made relative to the FDE's start
        std::uint64_t address = ZEVParseAddressWithEncodingAndAdvance(cursor, cie_->fdePointerEncoding);
        if (address == kDwarfInvalidAddress || address < pcBegin_) return false;
        location_ = address - pcBegin_;
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_set_loc %lu\n", kFunction, static_cast<unsigned long>(location_));
        return true;
    }
    case DW_CFA_advance_loc1:
        location_ += ZEVDwarfReadUInt8(cursor) * factor_;
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_advance_loc1 %lld\n", kFunction, static_cast<long long>(location_));
        return true;
    case DW_CFA_advance_loc2:
        location_ += ZEVDwarfReadUInt16(cursor) * factor_;
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_advance_loc2 %lld\n", kFunction, static_cast<long long>(location_));
        return true;
    case DW_CFA_advance_loc4:
        location_ += ZEVDwarfReadUInt32(cursor) * factor_;
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_advance_loc4 %lld\n", kFunction, static_cast<long long>(location_));
        return true;
    case DW_CFA_offset_extended:
        reg = ZEVDwarfReadULEB128(cursor);
        setRule(reg, kDwarfRuleOffset, factored(ZEVDwarfReadULEB128(cursor), dataAlignment));
        return true;
    case DW_CFA_restore_extended:
        return restore(ZEVDwarfReadULEB128(cursor));
    case DW_CFA_undefined:
        setRule(ZEVDwarfReadULEB128(cursor), kDwarfRuleUndefined, 0);
        return true;
    case DW_CFA_same_value:
        reg = ZEVDwarfReadULEB128(cursor);
        setRule(reg, kDwarfRuleUnchanged, 0);
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_same_value %llu\n", kFunction, static_cast<unsigned long long>(reg));
        return true;
    case DW_CFA_register: {
        reg = ZEVDwarfReadULEB128(cursor);
        std::uint64_t other = ZEVDwarfReadULEB128(cursor);
        if (other >= static_cast<std::uint64_t>(dialect_.registerCount)) {
            setRule(reg, kDwarfRuleUndefined, 0);
        } else {
            setRule(reg, kDwarfRuleRegister, static_cast<std::int64_t>(other));
        }
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_register %llu %llu\n", kFunction, static_cast<unsigned long long>(reg),
                      static_cast<unsigned long long>(other));
        return true;
    }
    case DW_CFA_remember_state:
        if (savedCount_ >= kDwarfStateStackDepth) return false;
        saved_[savedCount_++] = *rules_;
        return true;
    case DW_CFA_restore_state: // the whole row, CFA rule included
        if (savedCount_ == 0) return false;
        *rules_ = saved_[--savedCount_];
        return true;
    case DW_CFA_def_cfa:
        rules_->cfaRegister = ZEVDwarfReadULEB128(cursor);
        rules_->cfaOffset = static_cast<std::int64_t>(ZEVDwarfReadULEB128(cursor));
        rules_->cfaExpression = 0;
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_def_cfa %llu, %lld\n", kFunction,
                      static_cast<unsigned long long>(rules_->cfaRegister),
                      static_cast<long long>(rules_->cfaOffset));
        return true;
    case DW_CFA_def_cfa_register:
        rules_->cfaRegister = ZEVDwarfReadULEB128(cursor);
        rules_->cfaExpression = 0;
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_def_cfa_register %llu\n", kFunction,
                      static_cast<unsigned long long>(rules_->cfaRegister));
        return true;
    case DW_CFA_def_cfa_offset:
        rules_->cfaOffset = static_cast<std::int64_t>(ZEVDwarfReadULEB128(cursor));
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_def_cfa_offset %lld\n", kFunction,
                      static_cast<long long>(rules_->cfaOffset));
        return true;
    case DW_CFA_def_cfa_expression:
        rules_->cfaExpression = skipBlock(cursor);
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_def_cfa_expression %llu\n", kFunction,
                      static_cast<unsigned long long>(rules_->cfaExpression));
        return true;
    case DW_CFA_expression: {
        reg = ZEVDwarfReadULEB128(cursor);
        std::uintptr_t block = skipBlock(cursor);
        setRule(reg, kDwarfRuleExpression, static_cast<std::int64_t>(block));
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_expression %llu %llu\n", kFunction, static_cast<unsigned long long>(reg),
                      static_cast<unsigned long long>(block));
        return true;
    }
    case DW_CFA_offset_extended_sf:
        reg = ZEVDwarfReadULEB128(cursor);
        setRule(reg, kDwarfRuleOffset,
                factored(static_cast<std::uint64_t>(ZEVDwarfReadSLEB128(cursor)), dataAlignment));
        return true;
    case DW_CFA_def_cfa_sf:
        rules_->cfaRegister = ZEVDwarfReadULEB128(cursor);
        rules_->cfaOffset = factored(static_cast<std::uint64_t>(ZEVDwarfReadSLEB128(cursor)), dataAlignment);
        rules_->cfaExpression = 0;
        return true;
    case DW_CFA_def_cfa_offset_sf:
        rules_->cfaOffset = factored(static_cast<std::uint64_t>(ZEVDwarfReadSLEB128(cursor)), dataAlignment);
        return true;
    case DW_CFA_val_offset:
        reg = ZEVDwarfReadULEB128(cursor);
        setRule(reg, kDwarfRuleValOffset, factored(ZEVDwarfReadULEB128(cursor), dataAlignment));
        return true;
    case DW_CFA_val_offset_sf:
        reg = ZEVDwarfReadULEB128(cursor);
        setRule(reg, kDwarfRuleValOffset,
                factored(static_cast<std::uint64_t>(ZEVDwarfReadSLEB128(cursor)), dataAlignment));
        return true;
    case DW_CFA_val_expression: {
        reg = ZEVDwarfReadULEB128(cursor);
        std::uintptr_t block = skipBlock(cursor);
        setRule(reg, kDwarfRuleValExpression, static_cast<std::int64_t>(block));
        if (dialect_.traces)
            ZEVSDKLog("%s: DW_CFA_val_expression %llu %llu\n", kFunction,
                      static_cast<unsigned long long>(reg), static_cast<unsigned long long>(block));
        return true;
    }
    case DW_CFA_GNU_args_size: // only matters to landing pads
        ZEVDwarfReadULEB128(cursor);
        return true;
    case DW_CFA_GNU_negative_offset_extended:
        reg = ZEVDwarfReadULEB128(cursor);
        setRule(reg, kDwarfRuleOffset, factored(0 - ZEVDwarfReadULEB128(cursor), dataAlignment));
        return true;
    default:
        ZEVSDKLog("%s: Error: Unrecognized DWARF instruction 0x%x\n", kFunction,
                  static_cast<unsigned>(opcode));
        return false;
    }
}

} // namespace

bool ZEVDwarfInstructionsEnumerate(std::uintptr_t instructions, std::uint64_t length,
                                   const ZEVDwarfCIERecord* cie, ZEVDwarfRegisterRules* rules,
                                   const ZEVDwarfRegisterRules* initial, std::uint64_t pcBegin,
                                   std::int64_t limit, UnwindMemory* memory, const DwarfDialect& dialect) {
    // Mach-O tables give the block length in 32 bits; only those are used.
    if (dialect.strict) length = static_cast<std::uint32_t>(length);
    if (length == 0 || limit < 0) return true;
    if (dialect.traces) {
        ZEVSDKLog("%s: Running instructions from %p to %p\n", kFunction,
                  reinterpret_cast<void*>(instructions), reinterpret_cast<void*>(instructions + length));
    }
    DwarfCursor cursor;
    initDwarfCursor(&cursor, instructions, instructions + length, memory);
    Interpreter interpreter(cie, rules, initial, pcBegin, dialect);
    // The strict reading stops before the row that starts at the limit; the ELF reading applies it,
    // since a frame interrupted exactly there is already in that row.
    auto withinLimit = [&] {
        auto location = static_cast<std::int64_t>(interpreter.location());
        return dialect.strict ? location < limit : location <= limit;
    };
    while (cursor.at < cursor.end && withinLimit()) {
        if (!interpreter.step(&cursor)) return false;
    }
    return !cursor.failed;
}

bool zevuzavidav::computeDwarfRules(const ZEVDwarfCFIRecord* cfi, std::uint64_t pc,
                                    ZEVDwarfRegisterRules* rules, UnwindMemory* memory,
                                    const DwarfDialect& dialect) {
    ZEVDwarfRegisterRules initial;
    std::memset(&initial, 0, sizeof initial);
    if (!ZEVDwarfInstructionsEnumerate(cfi->cie.instructions, cfi->cie.instructionsLength, &cfi->cie,
                                       &initial, nullptr, cfi->fde.pcBegin, INT64_MAX, memory, dialect)) {
        ZEVSDKLog("%s: Error: Unable to run CIE instructions\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    if (pc < cfi->fde.pcBegin) {
        ZEVSDKLog("%s: Error: The FDE pcOffset value cannot be negative\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    *rules = initial;
    if (!ZEVDwarfInstructionsEnumerate(cfi->fde.instructions, cfi->fde.instructionsLength, &cfi->cie, rules,
                                       &initial, cfi->fde.pcBegin,
                                       static_cast<std::int64_t>(pc - cfi->fde.pcBegin), memory, dialect)) {
        ZEVSDKLog("%s: Error: Unable to run FDE instructions\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    return true;
}
