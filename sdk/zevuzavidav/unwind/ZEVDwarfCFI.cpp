#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "sdk/zevuzavidav/support/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCursor.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfExpression.hpp"

#include <cstring>

namespace {

std::uint64_t* registerSlot(ZEVMachineContext* r, std::uint64_t number) {
    switch (number) {
    case 0:
        return &r->rax;
    case 1:
        return &r->rdx;
    case 2:
        return &r->rcx;
    case 3:
        return &r->rbx;
    case 4:
        return &r->rsi;
    case 5:
        return &r->rdi;
    case 6:
        return &r->rbp;
    case 7:
        return &r->rsp;
    case 8:
        return &r->r8;
    case 9:
        return &r->r9;
    case 10:
        return &r->r10;
    case 11:
        return &r->r11;
    case 12:
        return &r->r12;
    case 13:
        return &r->r13;
    case 14:
        return &r->r14;
    case 15:
        return &r->r15;
    case 16:
        return &r->rip;
    default:
        return nullptr;
    }
}

bool readRegisterForExpression(const void* registers, std::uint64_t number, std::uint64_t* value) {
    return ZEVDwarfUnwindGetRegisterValue(static_cast<const ZEVMachineContext*>(registers), number, value);
}

// Length-prefixed block at the cursor: returns its address and skips it.
std::uintptr_t skipBlock(ZEVDwarfCursor* cursor) {
    std::uintptr_t start = cursor->at;
    std::uint64_t length = ZEVDwarfReadULEB128(cursor);
    if (cursor->failed || length > cursor->end - cursor->at) {
        cursor->failed = true;
        return 0;
    }
    cursor->at += length;
    return start;
}

// A factored offset; damaged tables may overflow it, which wraps instead of being undefined.
std::int64_t factored(std::uint64_t value, std::int64_t factor) {
    return static_cast<std::int64_t>(value * static_cast<std::uint64_t>(factor));
}

void setRule(ZEVDwarfRegisterRules* rules, std::uint64_t reg, std::uint32_t kind, std::int64_t value,
             int registerCount = ZEVDwarfRegisterCount) {
    if (reg >= static_cast<std::uint64_t>(registerCount)) return; // registers we do not track keep no rule
    rules->registers[reg].kind = kind;
    rules->registers[reg].value = value;
}

// Mach-O tables name registers 0..31 only; a larger register operand is refused, as is a
// DW_CFA_register whose second register is out of range. The cursor is not moved.
bool strictOperandsValid(std::uint8_t opcode, const ZEVDwarfCursor& at) {
    ZEVDwarfCursor peek = at;
    auto tooLarge = [](std::uint64_t reg) { return reg >= static_cast<std::uint64_t>(ZEVDwarfMaxRegisters); };
    switch (opcode & 0xC0) {
    case 0x80:
        return !tooLarge(opcode & 0x3F) ||
               (ZEVSDKLog("%s: Error: Found an invalid DW_CFA_offset register number\n",
                          "ZEVDwarfInstructionsEnumerate"),
                false);
    case 0x40:
        return true;
    default:
        break;
    }
    const char* message = nullptr;
    switch (opcode) {
    case 0x08:
        message = "%s: Error: Found an invalid DW_CFA_same_value register number\n";
        break;
    case 0x09: {
        if (tooLarge(ZEVDwarfReadULEB128(&peek))) {
            ZEVSDKLog("%s: Error: Found an invalid DW_CFA_register number\n",
                      "ZEVDwarfInstructionsEnumerate");
            return false;
        }
        if (tooLarge(ZEVDwarfReadULEB128(&peek))) {
            ZEVSDKLog("%s: Error: Found an invalid DW_CFA_register value\n", "ZEVDwarfInstructionsEnumerate");
            return false;
        }
        return true;
    }
    case 0x0C:
        message = "%s: Error: Found an invalid DW_CFA_def_cfa register number\n";
        break;
    case 0x0D:
        message = "%s: Error: Found an invalid DW_CFA_def_cfa_register register number\n";
        break;
    case 0x10:
        message = "%s: Error: Found an invalid DW_CFA_expression register number\n";
        break;
    case 0x16:
        message = "%s: Error: Found an invalid DW_CFA_val_expression register number\n";
        break;
    default:
        return true;
    }
    if (tooLarge(ZEVDwarfReadULEB128(&peek))) {
        ZEVSDKLog(message, "ZEVDwarfInstructionsEnumerate");
        return false;
    }
    return true;
}

} // namespace

bool ZEVDwarfUnwindGetRegisterValue(const ZEVMachineContext* registers, std::uint64_t number,
                                    std::uint64_t* value) {
    std::uint64_t* slot = registerSlot(const_cast<ZEVMachineContext*>(registers), number);
    if (slot == nullptr || value == nullptr) {
        ZEVSDKLog("%s: Error: Unrecognized get register number %llu\n", "ZEVDwarfUnwindGetRegisterValue");
        return false;
    }
    *value = *slot;
    return true;
}

bool ZEVDwarfUnwindSetRegisterValue(ZEVMachineContext* registers, std::uint64_t number, std::uint64_t value) {
    std::uint64_t* slot = registerSlot(registers, number);
    if (slot == nullptr) {
        ZEVSDKLog("%s: Unrecognized set register number %llu\n", "ZEVDwarfUnwindSetRegisterValue");
        return false;
    }
    *slot = value;
    return true;
}

bool ZEVDwarfParseCIERecord(ZEVDwarfCIERecord* cie, std::uintptr_t address, std::uintptr_t end,
                            ZEVReadablePages* pages) {
    std::memset(cie, 0, sizeof *cie);
    ZEVDwarfCursor cursor;
    ZEVDwarfCursorInit(&cursor, address, end, pages);
    std::uint64_t length = ZEVDwarfReadInitialLength(&cursor);
    if (cursor.failed || length == 0) {
        ZEVSDKLog("%s: Error: CIE length invalid\n", "ZEVDwarfParseCIERecord");
        return false;
    }
    std::uintptr_t recordEnd = cursor.at + length;
    if (recordEnd < cursor.at || recordEnd > end) return false;
    cursor.end = recordEnd;
    cie->length = length;
    if (ZEVDwarfReadUInt32(&cursor) != 0)
        ZEVSDKLog("%s: Error: CIE flag not found\n", "ZEVDwarfParseCIERecord");
    cie->version = ZEVDwarfReadUInt8(&cursor);
    if (cie->version != 1 && cie->version != 3) {
        ZEVSDKLog("%s: Error: CIE version %u unsupported\n", "ZEVDwarfParseCIERecord",
                  static_cast<unsigned>(cie->version));
        return false;
    }
    cie->augmentation = ZEVDwarfReadString(&cursor);
    cie->codeAlignment = ZEVDwarfReadULEB128(&cursor);
    cie->dataAlignment = ZEVDwarfReadSLEB128(&cursor);
    cie->returnAddressRegister =
        cie->version == 1 ? ZEVDwarfReadUInt8(&cursor) : ZEVDwarfReadULEB128(&cursor);
    if (cursor.failed) return false;
    const char* augmentation = reinterpret_cast<const char*>(cie->augmentation);
    if (augmentation[0] != '\0') {
        if (augmentation[0] != 'z') {
            ZEVSDKLog("%s: Error: Unimplemented: augmentation string %s\n",
                      "ZEVDwarfParseAndProcessAugmentation", augmentation);
            return false;
        }
        std::uint64_t dataLength = ZEVDwarfReadULEB128(&cursor);
        std::uintptr_t dataEnd = cursor.at + dataLength;
        if (cursor.failed || dataEnd < cursor.at || dataEnd > recordEnd) return false;
        for (const char* letter = augmentation + 1; *letter != '\0'; ++letter) {
            switch (*letter) {
            case 'L':
                cie->lsdaEncoding = ZEVDwarfReadUInt8(&cursor);
                break;
            case 'P':
                cie->personalityEncoding = ZEVDwarfReadUInt8(&cursor);
                cie->personality = ZEVParseAddressWithEncodingAndAdvance(&cursor, cie->personalityEncoding);
                if (cie->personality == ZEVDwarfInvalidAddress) {
                    ZEVSDKLog("%s: Error: Found an invalid start address\n",
                              "ZEVDwarfParseAndProcessAugmentation");
                    return false;
                }
                break;
            case 'R':
                cie->fdePointerEncoding = ZEVDwarfReadUInt8(&cursor);
                break;
            case 'S':
                cie->signalFrame = true;
                break;
            default:
                ZEVSDKLog("%s: Error: Unhandled augmentation string entry %c\n",
                          "ZEVDwarfParseAndProcessAugmentation");
                return false;
            }
            if (cursor.failed || cursor.at > dataEnd) return false;
        }
        cursor.at = dataEnd;
    }
    cie->instructions = cursor.at;
    cie->instructionsLength = recordEnd - cursor.at;
    return !cursor.failed;
}

bool ZEVDwarfParseFDERecord(ZEVDwarfFDERecord* fde, ZEVDwarfCIERecord* cie, std::uintptr_t address,
                            std::uintptr_t end, ZEVReadablePages* pages) {
    std::memset(fde, 0, sizeof *fde);
    ZEVDwarfCursor cursor;
    ZEVDwarfCursorInit(&cursor, address, end, pages);
    std::uint64_t length = ZEVDwarfReadInitialLength(&cursor);
    if (cursor.failed || length == 0) {
        ZEVSDKLog("%s: Error: FDE has zero length\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    std::uintptr_t recordEnd = cursor.at + length;
    if (recordEnd < cursor.at || recordEnd > end) return false;
    cursor.end = recordEnd;
    fde->length = length;
    std::uintptr_t pointerField = cursor.at;
    fde->ciePointer = ZEVDwarfReadUInt32(&cursor);
    if (cursor.failed || fde->ciePointer == 0 || fde->ciePointer > pointerField) {
        ZEVSDKLog("%s: Error: CIE offset invalid\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    std::uintptr_t cieAddress = pointerField - fde->ciePointer;
    bool parsed = ZEVDwarfParseCIERecord(cie, cieAddress, end, pages);
    if (!parsed) ZEVSDKLog("%s: Error: Unable to parse CIE record\n", "ZEVDwarfParseFDERecord");
    // A CIE parsed only in part is no more usable than one with a bad length or version.
    if (!parsed || cie->length == 0 || (cie->version != 1 && cie->version != 3)) {
        ZEVSDKLog("%s: Error: CIE invalid\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    fde->pcBegin = ZEVParseAddressWithEncodingAndAdvance(&cursor, cie->fdePointerEncoding);
    if (fde->pcBegin == ZEVDwarfInvalidAddress) {
        ZEVSDKLog("%s: Error: Found an invalid start address\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    fde->pcRange = ZEVParseAddressWithEncodingAndAdvance(&cursor, cie->fdePointerEncoding & 0x0F);
    if (fde->pcRange == ZEVDwarfInvalidAddress) {
        ZEVSDKLog("%s: Error: Found an invalid address range\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    const char* augmentation = reinterpret_cast<const char*>(cie->augmentation);
    if (augmentation[0] == 'z') {
        std::uint64_t skip = ZEVDwarfReadULEB128(&cursor);
        if (cursor.failed || skip > recordEnd - cursor.at) return false;
        cursor.at += skip;
    }
    fde->instructions = cursor.at;
    fde->instructionsLength = recordEnd - cursor.at;
    return !cursor.failed;
}

bool ZEVDwarfFindFDE(std::uintptr_t hdr, std::uint64_t pc, ZEVDwarfCFIRecord* out, ZEVReadablePages* pages) {
    ZEVDwarfCursor cursor;
    ZEVDwarfCursorInit(&cursor, hdr, hdr + 4096, pages);
    std::uint8_t version = ZEVDwarfReadUInt8(&cursor);
    std::uint8_t ehFramePointerEncoding = ZEVDwarfReadUInt8(&cursor);
    std::uint8_t countEncoding = ZEVDwarfReadUInt8(&cursor);
    std::uint8_t tableEncoding = ZEVDwarfReadUInt8(&cursor);
    if (cursor.failed || version != 1 || tableEncoding != 0x3B) return false;
    std::uint64_t ehFrame = ZEVParseAddressWithEncodingAndAdvance(&cursor, ehFramePointerEncoding, hdr);
    std::uint64_t count = ZEVParseAddressWithEncodingAndAdvance(&cursor, countEncoding, hdr);
    if (ehFrame < 4096 || ehFrame == ZEVDwarfInvalidAddress || count == ZEVDwarfInvalidAddress ||
        count == 0 || count > (1ULL << 28)) {
        return false;
    }
    std::uintptr_t table = cursor.at;
    std::uint64_t low = 0;
    std::uint64_t high = count;
    std::uint64_t fdeAddress = 0;
    bool found = false;
    while (low < high) { // last entry whose start is <= pc
        std::uint64_t mid = low + (high - low) / 2;
        std::int32_t entry[2];
        if (!ZEVReadGuarded(pages, table + mid * 8, entry, sizeof entry)) return false;
        std::uint64_t start = hdr + static_cast<std::uint64_t>(static_cast<std::int64_t>(entry[0]));
        if (start <= pc) {
            fdeAddress = hdr + static_cast<std::uint64_t>(static_cast<std::int64_t>(entry[1]));
            found = true;
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    if (!found || fdeAddress < ehFrame) return false;
    if (!ZEVDwarfParseFDERecord(&out->fde, &out->cie, fdeAddress, fdeAddress + 0x100000, pages)) return false;
    return pc >= out->fde.pcBegin && pc - out->fde.pcBegin < out->fde.pcRange;
}

bool ZEVDwarfInstructionsEnumerate(std::uintptr_t instructions, std::uint64_t length,
                                   const ZEVDwarfCIERecord* cie, ZEVDwarfRegisterRules* rules,
                                   const ZEVDwarfRegisterRules* initial, std::uint64_t pcBegin,
                                   std::int64_t limit, ZEVReadablePages* pages,
                                   const ZEVDwarfDialect& dialect) {
    // Mach-O tables give the block length in 32 bits; only those are used.
    if (dialect.strict) length = static_cast<std::uint32_t>(length);
    if (length == 0 || limit < 0) return true;
    const auto count = static_cast<std::uint64_t>(dialect.registerCount);
    // Progress lines of the traced dialect; their conversions are those the SDK log writes as they
    // stand, as the format has them.
    auto trace = [&dialect](const char* format, auto... arguments) {
        if (dialect.traces) ZEVSDKLog(format, "ZEVDwarfInstructionsEnumerate", arguments...);
    };
    trace("%s: Running instructions from %p to %p\n", reinterpret_cast<void*>(instructions),
          reinterpret_cast<void*>(instructions + length));
    ZEVDwarfCursor cursor;
    ZEVDwarfCursorInit(&cursor, instructions, instructions + length, pages);
    ZEVDwarfRegisterRules saved[ZEVDwarfStateStackDepth];
    int savedCount = 0;
    std::uint64_t location = 0;
    const auto factor = static_cast<std::uint64_t>(cie->codeAlignment);
    // The strict reading stops before the row that starts at the limit; the ELF reading applies it,
    // since a frame interrupted exactly there is already in that row.
    while (cursor.at < cursor.end && (dialect.strict ? static_cast<std::int64_t>(location) < limit
                                                     : static_cast<std::int64_t>(location) <= limit)) {
        std::uint8_t opcode = ZEVDwarfReadUInt8(&cursor);
        if (dialect.strict) {
            bool unimplemented = (opcode & 0xC0) == 0xC0 || opcode == 0x05 || opcode == 0x06 ||
                                 opcode == 0x07 || opcode == 0x0A || opcode == 0x0B ||
                                 (opcode >= 0x11 && opcode <= 0x15) || (opcode >= 0x2D && opcode <= 0x2F);
            if (unimplemented) {
                if ((opcode & 0xC0) == 0xC0) {
                    ZEVSDKLog("%s: Error: Unimplemented DWARF instruction with operand 0x%x\n",
                              "ZEVDwarfInstructionsEnumerate", static_cast<unsigned>(opcode & 0x3F));
                } else {
                    ZEVSDKLog("%s: Error: Unimplemented DWARF instruction 0x%x\n",
                              "ZEVDwarfInstructionsEnumerate", static_cast<unsigned>(opcode));
                }
                return false;
            }
            if (!strictOperandsValid(opcode, cursor)) {
                ZEVSDKLog("%s: Error: Failed to execute dwarf instruction 0x%x\n",
                          "ZEVDwarfInstructionsEnumerate", static_cast<unsigned>(opcode));
                return false;
            }
        }
        std::uint8_t operand = opcode & 0x3F;
        switch (opcode & 0xC0) {
        case 0x40:
            location += operand * factor;
            trace("%s: DW_CFA_advance_loc %u\n", static_cast<unsigned>(operand));
            continue;
        case 0x80: {
            std::int64_t offset = factored(ZEVDwarfReadULEB128(&cursor), cie->dataAlignment);
            setRule(rules, operand, ZEVDwarfRuleOffset, offset, dialect.registerCount);
            trace("%s: DW_CFA_offset %u, %lld\n", static_cast<unsigned>(operand), offset);
            continue;
        }
        case 0xC0:
            if (initial == nullptr) return false;
            if (operand < count) rules->registers[operand] = initial->registers[operand];
            continue;
        default:
            break;
        }
        std::uint64_t reg = 0;
        switch (opcode) {
        case 0x00: // nop
            trace("%s: DW_CFA_nop\n");
            break;
        case 0x01: { // set_loc: absolute, made relative to the FDE's start
            std::uint64_t address = ZEVParseAddressWithEncodingAndAdvance(&cursor, cie->fdePointerEncoding);
            if (address == ZEVDwarfInvalidAddress || address < pcBegin) return false;
            location = address - pcBegin;
            trace("%s: DW_CFA_set_loc %lu\n", location);
            break;
        }
        case 0x02:
            location += ZEVDwarfReadUInt8(&cursor) * factor;
            trace("%s: DW_CFA_advance_loc1 %lld\n", location);
            break;
        case 0x03:
            location += ZEVDwarfReadUInt16(&cursor) * factor;
            trace("%s: DW_CFA_advance_loc2 %lld\n", location);
            break;
        case 0x04:
            location += ZEVDwarfReadUInt32(&cursor) * factor;
            trace("%s: DW_CFA_advance_loc4 %lld\n", location);
            break;
        case 0x05: // offset_extended
            reg = ZEVDwarfReadULEB128(&cursor);
            setRule(rules, reg, ZEVDwarfRuleOffset,
                    factored(ZEVDwarfReadULEB128(&cursor), cie->dataAlignment), dialect.registerCount);
            break;
        case 0x06: // restore_extended
            reg = ZEVDwarfReadULEB128(&cursor);
            if (initial == nullptr) return false;
            if (reg < count) rules->registers[reg] = initial->registers[reg];
            break;
        case 0x07: // undefined
            setRule(rules, ZEVDwarfReadULEB128(&cursor), ZEVDwarfRuleUndefined, 0, dialect.registerCount);
            break;
        case 0x08: // same_value
            reg = ZEVDwarfReadULEB128(&cursor);
            setRule(rules, reg, ZEVDwarfRuleUnchanged, 0, dialect.registerCount);
            trace("%s: DW_CFA_same_value %llu\n", reg);
            break;
        case 0x09: { // register
            reg = ZEVDwarfReadULEB128(&cursor);
            std::uint64_t other = ZEVDwarfReadULEB128(&cursor);
            if (other >= count) {
                setRule(rules, reg, ZEVDwarfRuleUndefined, 0, dialect.registerCount);
            } else {
                setRule(rules, reg, ZEVDwarfRuleRegister, static_cast<std::int64_t>(other),
                        dialect.registerCount);
            }
            trace("%s: DW_CFA_register %llu %llu\n", reg, other);
            break;
        }
        case 0x0A: // remember_state
            if (savedCount >= ZEVDwarfStateStackDepth) return false;
            saved[savedCount++] = *rules;
            break;
        case 0x0B: // restore_state: the whole row, CFA rule included
            if (savedCount == 0) return false;
            *rules = saved[--savedCount];
            break;
        case 0x0C: // def_cfa
            rules->cfaRegister = ZEVDwarfReadULEB128(&cursor);
            rules->cfaOffset = static_cast<std::int64_t>(ZEVDwarfReadULEB128(&cursor));
            rules->cfaExpression = 0;
            trace("%s: DW_CFA_def_cfa %llu, %lld\n", rules->cfaRegister, rules->cfaOffset);
            break;
        case 0x0D: // def_cfa_register
            rules->cfaRegister = ZEVDwarfReadULEB128(&cursor);
            rules->cfaExpression = 0;
            trace("%s: DW_CFA_def_cfa_register %llu\n", rules->cfaRegister);
            break;
        case 0x0E: // def_cfa_offset
            rules->cfaOffset = static_cast<std::int64_t>(ZEVDwarfReadULEB128(&cursor));
            trace("%s: DW_CFA_def_cfa_offset %lld\n", rules->cfaOffset);
            break;
        case 0x0F: // def_cfa_expression
            rules->cfaExpression = skipBlock(&cursor);
            trace("%s: DW_CFA_def_cfa_expression %llu\n", rules->cfaExpression);
            break;
        case 0x10: { // expression
            reg = ZEVDwarfReadULEB128(&cursor);
            std::uintptr_t block = skipBlock(&cursor);
            setRule(rules, reg, ZEVDwarfRuleExpression, static_cast<std::int64_t>(block),
                    dialect.registerCount);
            trace("%s: DW_CFA_expression %llu %llu\n", reg, block);
            break;
        }
        case 0x11: // offset_extended_sf
            reg = ZEVDwarfReadULEB128(&cursor);
            setRule(rules, reg, ZEVDwarfRuleOffset,
                    factored(static_cast<std::uint64_t>(ZEVDwarfReadSLEB128(&cursor)), cie->dataAlignment),
                    dialect.registerCount);
            break;
        case 0x12: // def_cfa_sf
            rules->cfaRegister = ZEVDwarfReadULEB128(&cursor);
            rules->cfaOffset =
                factored(static_cast<std::uint64_t>(ZEVDwarfReadSLEB128(&cursor)), cie->dataAlignment);
            rules->cfaExpression = 0;
            break;
        case 0x13: // def_cfa_offset_sf
            rules->cfaOffset =
                factored(static_cast<std::uint64_t>(ZEVDwarfReadSLEB128(&cursor)), cie->dataAlignment);
            break;
        case 0x14: // val_offset
            reg = ZEVDwarfReadULEB128(&cursor);
            setRule(rules, reg, ZEVDwarfRuleValOffset,
                    factored(ZEVDwarfReadULEB128(&cursor), cie->dataAlignment), dialect.registerCount);
            break;
        case 0x15: // val_offset_sf
            reg = ZEVDwarfReadULEB128(&cursor);
            setRule(rules, reg, ZEVDwarfRuleValOffset,
                    factored(static_cast<std::uint64_t>(ZEVDwarfReadSLEB128(&cursor)), cie->dataAlignment),
                    dialect.registerCount);
            break;
        case 0x16: { // val_expression
            reg = ZEVDwarfReadULEB128(&cursor);
            std::uintptr_t block = skipBlock(&cursor);
            setRule(rules, reg, ZEVDwarfRuleValExpression, static_cast<std::int64_t>(block),
                    dialect.registerCount);
            trace("%s: DW_CFA_val_expression %llu %llu\n", reg, block);
            break;
        }
        case 0x2E: // GNU_args_size: only matters to landing pads
            ZEVDwarfReadULEB128(&cursor);
            break;
        case 0x2F: // GNU_negative_offset_extended
            reg = ZEVDwarfReadULEB128(&cursor);
            setRule(rules, reg, ZEVDwarfRuleOffset,
                    factored(0 - ZEVDwarfReadULEB128(&cursor), cie->dataAlignment), dialect.registerCount);
            break;
        default:
            ZEVSDKLog("%s: Error: Unrecognized DWARF instruction 0x%x\n", "ZEVDwarfInstructionsEnumerate",
                      static_cast<unsigned>(opcode));
            return false;
        }
        if (cursor.failed) {
            ZEVSDKLog("%s: Error: Failed to execute dwarf instruction 0x%x\n",
                      "ZEVDwarfInstructionsEnumerate", static_cast<unsigned>(opcode));
            return false;
        }
    }
    return !cursor.failed;
}

bool ZEVDwarfUnwindComputeRegisters(const ZEVDwarfCFIRecord* cfi, std::uint64_t pc,
                                    ZEVMachineContext* registers, ZEVReadablePages* pages) {
    if (cfi == nullptr || registers == nullptr) return false;
    ZEVDwarfRegisterRules initial;
    std::memset(&initial, 0, sizeof initial);
    if (!ZEVDwarfInstructionsEnumerate(cfi->cie.instructions, cfi->cie.instructionsLength, &cfi->cie,
                                       &initial, nullptr, cfi->fde.pcBegin, INT64_MAX, pages)) {
        ZEVSDKLog("%s: Error: Unable to run CIE instructions\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    if (pc < cfi->fde.pcBegin) {
        ZEVSDKLog("%s: Error: The FDE pcOffset value cannot be negative\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    ZEVDwarfRegisterRules rules = initial;
    if (!ZEVDwarfInstructionsEnumerate(cfi->fde.instructions, cfi->fde.instructionsLength, &cfi->cie, &rules,
                                       &initial, cfi->fde.pcBegin,
                                       static_cast<std::int64_t>(pc - cfi->fde.pcBegin), pages)) {
        ZEVSDKLog("%s: Error: Unable to run FDE instructions\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    std::uint64_t cfa = 0;
    if (rules.cfaExpression != 0) {
        if (!ZEVDwarfEvalulateExpression(rules.cfaExpression, registers, readRegisterForExpression, 0,
                                         &cfa)) {
            ZEVSDKLog("%s: Error: failed to compute CFA expression\n", "ZEVDwarfGetCFA");
            return false;
        }
    } else {
        std::uint64_t base = 0;
        if (!ZEVDwarfUnwindGetRegisterValue(registers, rules.cfaRegister, &base)) return false;
        cfa = base + static_cast<std::uint64_t>(rules.cfaOffset);
    }
    ZEVMachineContext next = *registers;
    std::uint64_t returnAddress = registers->rip;
    bool returnAddressSet = false;
    for (int reg = 0; reg < ZEVDwarfRegisterCount; ++reg) {
        const ZEVDwarfRule& rule = rules.registers[reg];
        std::uint64_t value = 0;
        switch (rule.kind) {
        case ZEVDwarfRuleUnchanged:
            continue;
        case ZEVDwarfRuleUndefined:
            if (reg == ZEVDwarfReturnAddressColumn) {
                returnAddress = 0; // the outermost frame
                returnAddressSet = true;
            }
            continue;
        case ZEVDwarfRuleOffset:
            if (!ZEVReadGuarded(pages, cfa + static_cast<std::uint64_t>(rule.value), &value, 8)) {
                ZEVSDKLog("%s: Error: Unable to read CFA value\n", "ZEVDwarfGetSavedRegister");
                return false;
            }
            break;
        case ZEVDwarfRuleValOffset:
            value = cfa + static_cast<std::uint64_t>(rule.value);
            break;
        case ZEVDwarfRuleRegister:
            if (!ZEVDwarfUnwindGetRegisterValue(registers, static_cast<std::uint64_t>(rule.value), &value))
                return false;
            break;
        case ZEVDwarfRuleExpression: {
            std::uint64_t address = 0;
            if (!ZEVDwarfEvalulateExpression(static_cast<std::uintptr_t>(rule.value), registers,
                                             readRegisterForExpression, cfa, &address, pages) ||
                !ZEVReadGuarded(pages, address, &value, 8)) {
                ZEVSDKLog("%s: Error: Unable to read memory computed from expression\n",
                          "ZEVDwarfGetSavedRegister");
                return false;
            }
            break;
        }
        case ZEVDwarfRuleValExpression:
            if (!ZEVDwarfEvalulateExpression(static_cast<std::uintptr_t>(rule.value), registers,
                                             readRegisterForExpression, cfa, &value, pages)) {
                ZEVSDKLog("%s: Error: unable to evaluate expression\n", "ZEVDwarfGetSavedRegister");
                return false;
            }
            break;
        default:
            ZEVSDKLog("%s: Error: Unrecognized register save location 0x%x\n", "ZEVDwarfGetSavedRegister",
                      rule.kind);
            return false;
        }
        if (reg == ZEVDwarfReturnAddressColumn) {
            returnAddress = value;
            returnAddressSet = true;
        } else {
            ZEVDwarfUnwindSetRegisterValue(&next, static_cast<std::uint64_t>(reg), value);
        }
    }
    if (!returnAddressSet) {
        ZEVSDKLog("%s: Error: PC hasn't changed\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    if (rules.registers[7].kind == ZEVDwarfRuleUnchanged) next.rsp = cfa;
    next.rip = returnAddress;
    if (next.rsp == registers->rsp && next.rip == registers->rip) {
        ZEVSDKLog("%s: Error: Stack pointer hasn't changed\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    *registers = next;
    return true;
}
