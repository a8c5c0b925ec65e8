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
    bool locationSet() const { return locationSet_; }
    // The registers given a rule (or given back the initial one) by the run.
    std::uint64_t ruled() const { return ruled_; }

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

    // The ELF reading (nothing traced) of a block read in place, up to the limit: the instructions of
    // nearly every row compilers write are decoded here from the bytes themselves, with the row's
    // location and the set of registers ruled kept in locals; any other instruction, or one whose
    // operands run past the block, goes through step() from its first byte. Each runs exactly as
    // step() would run it. False when an instruction cannot be run.
    bool runInPlace(DwarfCursor* cursor, std::int64_t limit) {
        const auto* at = reinterpret_cast<const std::uint8_t*>(cursor->at);
        const auto* const end = reinterpret_cast<const std::uint8_t*>(cursor->end);
        const std::uint64_t factor = factor_;
        const std::int64_t dataAlignment = cie_->dataAlignment;
        const auto tracked = static_cast<std::uint64_t>(dialect_.registerCount);
        ZEVDwarfRegisterRules* const rules = rules_;
        std::uint64_t location = location_;
        std::uint64_t ruled = ruled_;
        while (at < end && static_cast<std::int64_t>(location) <= limit) {
            const std::uint8_t opcode = *at;
            const std::uint8_t* p = at + 1;
            std::uint64_t a = 0;
            std::uint64_t b = 0;
            bool quick = true;
            if (opcode >= 0x40) {
                const unsigned reg = opcode & 0x3F;
                if (opcode < 0x80) { // DW_CFA_advance_loc
                    location += reg * factor;
                } else if (opcode < 0xC0) { // DW_CFA_offset
                    quick = quickULEB(p, end, &a);
                    if (quick && reg < tracked) {
                        rules->registers[reg].kind = kDwarfRuleOffset;
                        rules->registers[reg].value = factored(a, dataAlignment);
                        ruled |= 1ULL << reg;
                    }
                } else { // DW_CFA_restore
                    quick = initial_ != nullptr;
                    if (quick && reg < tracked) {
                        rules->registers[reg] = initial_->registers[reg];
                        ruled |= 1ULL << reg;
                    }
                }
            } else {
                switch (static_cast<DwarfCFA>(opcode)) {
                case DW_CFA_nop:
                    break;
                case DW_CFA_advance_loc1:
                    quick = p < end;
                    if (quick) location += *p++ * factor;
                    break;
                case DW_CFA_advance_loc2: {
                    std::uint16_t delta = 0;
                    quick = end - p >= 2;
                    if (quick) {
                        std::memcpy(&delta, p, sizeof delta);
                        p += sizeof delta;
                        location += delta * factor;
                    }
                    break;
                }
                case DW_CFA_def_cfa_offset:
                    quick = quickULEB(p, end, &a);
                    if (quick) rules->cfaOffset = static_cast<std::int64_t>(a);
                    break;
                case DW_CFA_def_cfa_register:
                    quick = quickULEB(p, end, &a);
                    if (quick) {
                        rules->cfaRegister = a;
                        rules->cfaExpression = 0;
                    }
                    break;
                case DW_CFA_def_cfa:
                    quick = quickULEB(p, end, &a) && quickULEB(p, end, &b);
                    if (quick) {
                        rules->cfaRegister = a;
                        rules->cfaOffset = static_cast<std::int64_t>(b);
                        rules->cfaExpression = 0;
                    }
                    break;
                case DW_CFA_remember_state:
                    quick = savedCount_ < kDwarfStateStackDepth;
                    if (quick) copyRow(&saved_[savedCount_++], *rules);
                    break;
                case DW_CFA_restore_state:
                    quick = savedCount_ > 0;
                    if (quick) copyRow(rules, saved_[--savedCount_]);
                    break;
                case DW_CFA_GNU_args_size:
                    quick = quickULEB(p, end, &a);
                    break;
                default:
                    quick = false;
                    break;
                }
            }
            if (quick) {
                at = p;
                continue;
            }
            location_ = location;
            ruled_ = ruled;
            cursor->at = reinterpret_cast<std::uintptr_t>(at);
            if (!step(cursor)) return false;
            at = reinterpret_cast<const std::uint8_t*>(cursor->at);
            location = location_;
            ruled = ruled_;
        }
        location_ = location;
        ruled_ = ruled;
        cursor->at = reinterpret_cast<std::uintptr_t>(at);
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
        ruled_ |= 1ULL << reg;
    }

    bool restore(std::uint64_t reg) {
        if (initial_ == nullptr) return false;
        if (reg < static_cast<std::uint64_t>(dialect_.registerCount)) {
            rules_->registers[reg] = initial_->registers[reg];
            ruled_ |= 1ULL << reg;
        }
        return true;
    }

    bool run(std::uint8_t opcode, DwarfCursor* cursor);

    // An unsigned LEB128 operand at `p`, decoded as ZEVDwarfReadULEB128 decodes it (at most 8 bytes);
    // false when it runs past `end`. `p` moves past it.
    static bool quickULEB(const std::uint8_t*& p, const std::uint8_t* end, std::uint64_t* value) {
        if (p < end && *p < 0x80) {
            *value = *p++;
            return true;
        }
        std::uint64_t v = 0;
        unsigned shift = 0;
        for (int i = 0; i < 8; ++i, shift += 7) {
            if (p >= end) return false;
            const std::uint8_t byte = *p++;
            v |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
            if ((byte & 0x80) == 0) break;
        }
        *value = v;
        return true;
    }

    // A row's CFA rule and the rules of the registers the reading tracks: a run never writes the others,
    // so a remembered row need not carry them.
    void copyRow(ZEVDwarfRegisterRules* to, const ZEVDwarfRegisterRules& from) const {
        to->cfaRegister = from.cfaRegister;
        to->cfaOffset = from.cfaOffset;
        to->cfaExpression = from.cfaExpression;
        const int count =
            dialect_.registerCount < kDwarfMaxRegisters ? dialect_.registerCount : kDwarfMaxRegisters;
        std::memcpy(to->registers, from.registers,
                    static_cast<std::size_t>(count) * sizeof from.registers[0]);
    }

    const ZEVDwarfCIERecord* cie_;
    ZEVDwarfRegisterRules* rules_;
    const ZEVDwarfRegisterRules* initial_;
    std::uint64_t pcBegin_;
    const DwarfDialect& dialect_;
    std::uint64_t factor_;
    std::uint64_t location_ = 0;
    bool locationSet_ = false;
    std::uint64_t ruled_ = 0;
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
        locationSet_ = true;
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
        copyRow(&saved_[savedCount_++], *rules_);
        return true;
    case DW_CFA_restore_state: // the whole row, CFA rule included
        if (savedCount_ == 0) return false;
        copyRow(rules_, saved_[--savedCount_]);
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

// What a run of a block tells besides its rules: whether it ran a DW_CFA_set_loc, the one instruction
// whose effect depends on the FDE's pc begin, and the registers it gave a rule.
struct BlockRun {
    bool locationSet = false;
    std::uint64_t ruled = 0;
};

// Runs an instruction block (see ZEVDwarfInstructionsEnumerate), telling `run` what it did.
bool runBlock(std::uintptr_t instructions, std::uint64_t length, const ZEVDwarfCIERecord* cie,
              ZEVDwarfRegisterRules* rules, const ZEVDwarfRegisterRules* initial, std::uint64_t pcBegin,
              std::int64_t limit, UnwindMemory* memory, const DwarfDialect& dialect, BlockRun* run,
              bool inPlace = false) {
    // Mach-O tables give the block length in 32 bits; only those are used.
    if (dialect.strict) length = static_cast<std::uint32_t>(length);
    if (length == 0 || limit < 0) return true;
    if (dialect.traces) {
        ZEVSDKLog("%s: Running instructions from %p to %p\n", kFunction,
                  reinterpret_cast<void*>(instructions), reinterpret_cast<void*>(instructions + length));
    }
    DwarfCursor cursor;
    if (inPlace) {
        initDwarfCursorKnown(&cursor, instructions, instructions + length, memory, true);
    } else {
        initDwarfCursor(&cursor, instructions, instructions + length, memory);
    }
    Interpreter interpreter(cie, rules, initial, pcBegin, dialect);
    // The strict reading stops before the row that starts at the limit; the ELF reading applies it,
    // since a frame interrupted exactly there is already in that row.
    auto withinLimit = [&] {
        auto location = static_cast<std::int64_t>(interpreter.location());
        return dialect.strict ? location < limit : location <= limit;
    };
    bool ran = true;
    if (!dialect.strict && !dialect.traces && cursor.inPlace && !cursor.failed) {
        ran = interpreter.runInPlace(&cursor, limit);
    } else {
        while (cursor.at < cursor.end && withinLimit()) {
            if (!interpreter.step(&cursor)) {
                ran = false;
                break;
            }
        }
    }
    if (run != nullptr) *run = BlockRun{interpreter.locationSet(), interpreter.ruled()};
    return ran && !cursor.failed;
}

} // namespace

bool ZEVDwarfInstructionsEnumerate(std::uintptr_t instructions, std::uint64_t length,
                                   const ZEVDwarfCIERecord* cie, ZEVDwarfRegisterRules* rules,
                                   const ZEVDwarfRegisterRules* initial, std::uint64_t pcBegin,
                                   std::int64_t limit, UnwindMemory* memory, const DwarfDialect& dialect) {
    return runBlock(instructions, length, cie, rules, initial, pcBegin, limit, memory, dialect, nullptr);
}

bool zevuzavidav::computeDwarfInitialRules(const ZEVDwarfCIERecord& cie, std::uint64_t pcBegin,
                                           ZEVDwarfRegisterRules* initial, UnwindMemory* memory,
                                           const DwarfDialect& dialect, bool* dependsOnFDE,
                                           std::uint64_t* ruled, bool inPlace) {
    std::memset(initial, 0, sizeof *initial);
    BlockRun run;
    if (!runBlock(cie.instructions, cie.instructionsLength, &cie, initial, nullptr, pcBegin, INT64_MAX,
                  memory, dialect, &run, inPlace)) {
        ZEVSDKLog("%s: Error: Unable to run CIE instructions\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    if (dependsOnFDE != nullptr) *dependsOnFDE = run.locationSet;
    if (ruled != nullptr) *ruled = run.ruled;
    return true;
}

bool zevuzavidav::computeDwarfRulesFromInitial(const ZEVDwarfFDERecord& fde, const ZEVDwarfCIERecord& cie,
                                               const ZEVDwarfRegisterRules& initial, std::uint64_t pc,
                                               ZEVDwarfRegisterRules* rules, UnwindMemory* memory,
                                               const DwarfDialect& dialect, std::uint64_t* ruled,
                                               bool inPlace, bool trackedOnly) {
    if (pc < fde.pcBegin) {
        ZEVSDKLog("%s: Error: The FDE pcOffset value cannot be negative\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    // A run never reads or writes the registers past those the dialect tracks: when the caller does
    // not look at them either, only the tracked ones are copied (for the ELF reading, about half a row).
    if (trackedOnly && dialect.registerCount == kDwarfRegistersX86_64) {
        rules->cfaRegister = initial.cfaRegister;
        rules->cfaOffset = initial.cfaOffset;
        rules->cfaExpression = initial.cfaExpression;
        std::memcpy(rules->registers, initial.registers, kDwarfRegistersX86_64 * sizeof initial.registers[0]);
    } else {
        *rules = initial;
    }
    BlockRun run;
    if (!runBlock(fde.instructions, fde.instructionsLength, &cie, rules, &initial, fde.pcBegin,
                  static_cast<std::int64_t>(pc - fde.pcBegin), memory, dialect, &run, inPlace)) {
        ZEVSDKLog("%s: Error: Unable to run FDE instructions\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    if (ruled != nullptr) *ruled |= run.ruled;
    return true;
}

bool zevuzavidav::computeDwarfRules(const ZEVDwarfCFIRecord* cfi, std::uint64_t pc,
                                    ZEVDwarfRegisterRules* rules, UnwindMemory* memory,
                                    const DwarfDialect& dialect) {
    ZEVDwarfRegisterRules initial;
    return computeDwarfInitialRules(cfi->cie, cfi->fde.pcBegin, &initial, memory, dialect, nullptr) &&
           computeDwarfRulesFromInitial(cfi->fde, cfi->cie, initial, pc, rules, memory, dialect);
}
