#include "sdk/zevuzavidav/unwind/arm64/ZEVUnwindArm64.hpp"

#include "sdk/zevuzavidav/support/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfExpression.hpp"

#include <cstring>

namespace arm64 {
namespace {

constexpr std::uint64_t kNullLimit = 4096;

bool valid(const void* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer) >= kNullLimit;
}

// Expressions read x0..x28, fp and lr (DW_OP_breg0 to breg30); DW_OP_breg31 is refused.
bool readRegisterForExpression(const void* registers, std::uint64_t number, std::uint64_t* value) {
    if (number >= 31) return false;
    *value = ZEVDwarfUnwindGetRegisterValue(static_cast<const ZEVRegistersArm64*>(registers), number);
    return true;
}

// The value a rule gives a register in the caller; failures give 0, as the rules are applied anyway.
std::uint64_t savedRegister(const ZEVRegistersArm64* registers, std::uint64_t cfa, const ZEVDwarfRule& rule,
                            ZEVReadablePages* pages) {
    ZEVSDKLog("%s: Getting register %x\n", "ZEVDwarfGetSavedRegister", rule.kind);
    std::uint64_t value = 0;
    switch (rule.kind) {
    case ZEVDwarfRuleOffset:
        if (!ZEVReadGuarded(pages, cfa + static_cast<std::uint64_t>(rule.value), &value, 8)) {
            ZEVSDKLog("%s: Error: Unable to read CFA value\n", "ZEVDwarfGetSavedRegister");
            return 0;
        }
        return value;
    case ZEVDwarfRuleValOffset:
        ZEVSDKLog("%s: Error: OffsetFromCFA unhandled\n", "ZEVDwarfGetSavedRegister");
        return 0;
    case ZEVDwarfRuleRegister:
        return ZEVDwarfUnwindGetRegisterValue(registers, static_cast<std::uint64_t>(rule.value));
    case ZEVDwarfRuleExpression: {
        std::uint64_t address = 0;
        if (!ZEVDwarfEvalulateExpression(static_cast<std::uintptr_t>(rule.value), registers,
                                         readRegisterForExpression, cfa, &address, pages)) {
            ZEVSDKLog("%s: Error: unable to evaluate expression\n", "ZEVDwarfGetSavedRegister");
            return 0;
        }
        if (!ZEVReadGuarded(pages, address, &value, 8)) {
            ZEVSDKLog("%s: Error: Unable to read memory computed from expression\n",
                      "ZEVDwarfGetSavedRegister");
            return 0;
        }
        return value;
    }
    case ZEVDwarfRuleValExpression:
        if (!ZEVDwarfEvalulateExpression(static_cast<std::uintptr_t>(rule.value), registers,
                                         readRegisterForExpression, cfa, &value, pages)) {
            ZEVSDKLog("%s: Error: unable to evaluate expression\n", "ZEVDwarfGetSavedRegister");
            return 0;
        }
        return value;
    default:
        ZEVSDKLog("%s: Error: Unrecognized register save location 0x%x\n", "ZEVDwarfGetSavedRegister",
                  rule.kind);
        return 0;
    }
}

// The CFA of the rules: their expression evaluated with initial value 0, or register + offset.
bool getCFA(const ZEVDwarfRegisterRules* rules, const ZEVRegistersArm64* registers, std::uint64_t* cfa,
            ZEVReadablePages* pages) {
    if (!valid(rules) || !valid(registers) || !valid(cfa)) {
        ZEVSDKLog("%s: Error: invalid input\n", "ZEVDwarfGetCFA");
        return false;
    }
    if (rules->cfaExpression != 0) {
        if (!ZEVDwarfEvalulateExpression(rules->cfaExpression, registers, readRegisterForExpression, 0, cfa,
                                         pages)) {
            ZEVSDKLog("%s: Error: failed to compute CFA expression\n", "ZEVDwarfGetCFA");
            return false;
        }
        return true;
    }
    *cfa = ZEVDwarfUnwindGetRegisterValue(registers, rules->cfaRegister) +
           static_cast<std::uint64_t>(rules->cfaOffset);
    return true;
}

bool stepWithCompactUnwind(ZEVUnwindContext* context, std::uint64_t target) {
    ZEVArm64Image image;
    if (context->findImage == nullptr || !context->findImage(target, &image)) {
        ZEVSDKLog("%s: Unable to find binary for %p\n", "ZEVUnwindWithCompactUnwindInfo",
                  reinterpret_cast<void*>(target));
        return false;
    }
    ZEVSDKLog("%s: Binary image for %p at %p\n", "ZEVUnwindWithCompactUnwindInfo",
              reinterpret_cast<void*>(target), reinterpret_cast<void*>(image.base));
    if (image.unwindInfo < kNullLimit) {
        ZEVSDKLog("%s: Binary image at %p has no unwind info\n", "ZEVUnwindWithCompactUnwindInfo",
                  reinterpret_cast<void*>(image.base));
        return false;
    }
    if (!ZEVCompactUnwindInit(&context->compactUnwind, image)) {
        ZEVSDKLog("%s: Error: Unable to read unwind info\n", "ZEVUnwindWithCompactUnwindInfo");
        return false;
    }
    return ZEVCompactUnwindLookupAndCompute(&context->compactUnwind, context);
}

bool readU32(const ZEVCompactUnwindContext* c, std::uint64_t offset, std::uint32_t* out,
             ZEVReadablePages* pages) {
    if (offset > c->unwindInfoSize || 4 > c->unwindInfoSize - offset) return false;
    return ZEVReadGuarded(pages, c->unwindInfo + offset, out, 4);
}

bool readU16(const ZEVCompactUnwindContext* c, std::uint64_t offset, std::uint16_t* out,
             ZEVReadablePages* pages) {
    if (offset > c->unwindInfoSize || 2 > c->unwindInfoSize - offset) return false;
    return ZEVReadGuarded(pages, c->unwindInfo + offset, out, 2);
}

bool lookupCompressedPage(ZEVCompactUnwindContext* c, std::uint64_t pc, ZEVCompactUnwindEntry* entry,
                          ZEVReadablePages* pages) {
    std::uint64_t page = c->secondLevelPageOffset;
    if (page == 0) return false;
    std::uint16_t entriesOffset = 0, entryCount = 0, encodingsOffset = 0, encodingsCount = 0;
    if (!readU16(c, page + 4, &entriesOffset, pages) || !readU16(c, page + 6, &entryCount, pages) ||
        !readU16(c, page + 8, &encodingsOffset, pages) || !readU16(c, page + 10, &encodingsCount, pages)) {
        return false;
    }
    std::uint64_t base = c->loadAddress + c->firstLevelFunctionOffset;
    std::uint64_t offset = 0;
    if (pc <= base) {
        ZEVSDKLog("%s: Error: PC is invalid\n", "ZEVCompactUnwindLookupSecondLevelCompressed");
    } else {
        offset = pc - base;
    }
    // The last entry whose function offset (low 24 bits) is <= offset.
    std::uint32_t low = 0, high = entryCount;
    bool found = false;
    std::uint32_t index = 0;
    while (low < high) {
        std::uint32_t mid = low + (high - low) / 2;
        std::uint32_t value = 0;
        if (!readU32(c, page + entriesOffset + 4ULL * mid, &value, pages)) return false;
        if ((value & 0x00FFFFFF) <= offset) {
            index = mid;
            found = true;
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    if (!found) {
        ZEVSDKLog("%s: Unable to find PC in second level\n", "ZEVCompactUnwindLookupSecondLevelCompressed");
        return false;
    }
    std::uint32_t value = 0;
    if (!readU32(c, page + entriesOffset + 4ULL * index, &value, pages)) return false;
    entry->functionStart = base + (value & 0x00FFFFFF);
    if (index + 1U == entryCount) {
        entry->functionEnd = c->loadAddress + c->firstLevelEndOffset;
    } else {
        std::uint32_t next = 0;
        if (!readU32(c, page + entriesOffset + 4ULL * (index + 1), &next, pages)) return false;
        entry->functionEnd = base + (next & 0x00FFFFFF);
    }
    if (!(entry->functionStart <= pc && pc < entry->functionEnd)) {
        ZEVSDKLog("%s: PC does not match computed function range\n",
                  "ZEVCompactUnwindLookupSecondLevelCompressed");
        return false;
    }
    std::uint32_t encodingIndex = value >> 24;
    std::uint32_t commonCount = c->header[2];
    std::uint32_t encoding = 0;
    bool read =
        encodingIndex < commonCount
            ? readU32(c, c->header[1] + 4ULL * encodingIndex, &encoding, pages)
            : (encodingIndex - commonCount < encodingsCount &&
               readU32(c, page + encodingsOffset + 4ULL * (encodingIndex - commonCount), &encoding, pages));
    if (!read) return false;
    if (encoding == 0) {
        ZEVSDKLog("%s: Entry has has no unwind info\n", "ZEVCompactUnwindLookupSecondLevelCompressed");
        return false;
    }
    entry->encoding = encoding;
    return true;
}

} // namespace

bool ZEVUnwindInit(ZEVUnwindContext* context, const ZEVMachineContextArm64* machineContext,
                   ZEVArm64ImageFinder finder) {
    if (!valid(context) || !valid(machineContext)) return false;
    std::memset(static_cast<void*>(context), 0, sizeof *context);
    context->machineContext = *machineContext;
    context->findImage = finder;
    return true;
}

std::uint64_t ZEVUnwindGetPC(const ZEVUnwindContext* context) {
    return ZEVUnwindContextGetPC(context);
}
std::uint64_t ZEVUnwindContextGetPC(const ZEVUnwindContext* context) {
    return valid(context) ? context->machineContext.ss.pc : 0;
}
bool ZEVUnwindContextSetPC(ZEVUnwindContext* context, std::uint64_t value) {
    if (context == nullptr) return false;
    context->machineContext.ss.pc = value;
    return true;
}
std::uint64_t ZEVUnwindContextGetStackPointer(const ZEVUnwindContext* context) {
    return valid(context) ? context->machineContext.ss.sp : 0;
}
bool ZEVUnwindContextSetStackPointer(ZEVUnwindContext* context, std::uint64_t value) {
    if (!valid(context)) return false;
    context->machineContext.ss.sp = value;
    return true;
}
std::uint64_t ZEVUnwindContextGetFramePointer(const ZEVUnwindContext* context) {
    return valid(context) ? context->machineContext.ss.fp : 0;
}
bool ZEVUnwindContextSetFramePointer(ZEVUnwindContext* context, std::uint64_t value) {
    if (!valid(context)) return false;
    context->machineContext.ss.fp = value;
    return true;
}

std::uint64_t ZEVDwarfUnwindGetRegisterValue(const ZEVRegistersArm64* registers, std::uint64_t number) {
    if (number <= 28) return registers->x[number];
    switch (number) {
    case 29:
        return registers->fp;
    case 30:
        return registers->lr;
    case 31:
        return registers->sp;
    default:
        ZEVSDKLog("%s: Error: Unrecognized get register number %llu\n", "ZEVDwarfUnwindGetRegisterValue");
        return 0;
    }
}

bool ZEVDwarfUnwindSetRegisterValue(ZEVRegistersArm64* registers, std::uint64_t number, std::uint64_t value) {
    if (number <= 28) {
        registers->x[number] = value;
        return true;
    }
    switch (number) {
    case 29:
        registers->fp = value;
        return true;
    case 30:
        registers->lr = value;
        registers->pc = value; // the return address is where the caller resumes
        return true;
    case 31:
        registers->sp = value;
        return true;
    default:
        ZEVSDKLog("%s: Unrecognized set register number %llu\n", "ZEVDwarfUnwindSetRegisterValue");
        return false;
    }
}

std::uint64_t ZEVUnwindCallerStackPointer(std::uint64_t framePointer) {
    return framePointer + 16;
}

bool ZEVUnwindWithLRRegister(ZEVUnwindContext* context) {
    std::uint64_t lr = context->machineContext.ss.lr;
    if (lr < kNullLimit) {
        ZEVSDKLog("%s: Error: LR value is invalid\n", "ZEVUnwindWithLRRegister");
        return false;
    }
    return ZEVUnwindContextSetPC(context, lr);
}

bool ZEVUnwindWithFramePointer(ZEVUnwindContext* context, bool tryLRFirst) {
    if (tryLRFirst) {
        if (ZEVUnwindWithLRRegister(context)) return true;
        ZEVSDKLog("%s: Unable to use LR, skipping\n", "ZEVUnwindWithFramePointer");
    }
    std::uint64_t fp = context->machineContext.ss.fp;
    std::uint64_t record[2];
    if (!ZEVReadGuarded(&context->pages, fp, record, sizeof record)) {
        ZEVSDKLog("%s: Error: failed to read memory at address %p\n", "ZEVUnwindWithFramePointer",
                  reinterpret_cast<void*>(fp));
        return false;
    }
    if (record[0] != 0 && record[0] <= fp) return false; // the chain must move up the stack
    return ZEVUnwindContextSetPC(context, record[1]) && ZEVUnwindContextSetFramePointer(context, record[0]) &&
           ZEVUnwindContextSetStackPointer(context, ZEVUnwindCallerStackPointer(fp));
}

bool ZEVUnwindNextFrame(ZEVUnwindContext* context) {
    if (!valid(context)) {
        ZEVSDKLog("%s: Error: invalid inputs\n", "ZEVUnwindNextFrame");
        return false;
    }
    ZEVRegistersArm64& r = context->machineContext.ss;
    if (r.pc < kNullLimit || r.sp < kNullLimit) {
        ZEVSDKLog(context->frameCount == 0 ? "%s: Cancelling unwind for thread with invalid PC/SP\n"
                                           : "%s: Error: thread PC/SP invalid before unwind\n",
                  "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount >= 512) {
        ZEVSDKLog("%s: Error: failed to advance to the next frame\n", "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount > 0) {
        // Every step, the first included, looks up pc - 1: a return address may be the first byte
        // after the function that made the call.
        std::uint64_t target = r.pc - 1;
        if (target < kNullLimit) {
            ZEVSDKLog("%s: Error: failed to advance to the next frame\n", "ZEVUnwindNextFrame");
            return false;
        }
        ZEVRegistersArm64 before = r;
        r.pc = target;
        if (!stepWithCompactUnwind(context, target)) {
            r = before;
            r.pc = target;
            if (r.fp == 0) {
                ZEVSDKLog("%s: FP is zero, aborting unwind\n", "ZEVUnwindNextFrameUsingAllStrategies");
                r.pc = 0;
            } else if (!ZEVUnwindWithFramePointer(context, context->frameCount == 1)) {
                ZEVSDKLog("%s: Error: Unable to use frame pointer\n", "ZEVUnwindNextFrameUsingAllStrategies");
                ZEVSDKLog("%s: Error: failed to advance to the next frame\n", "ZEVUnwindNextFrame");
                return false;
            }
        }
        // A step that moved nothing would repeat forever.
        if (r.pc == before.pc && r.sp == before.sp && r.fp == before.fp) return false;
    }
    if (r.pc < kNullLimit) return false;
    if (r.sp < kNullLimit) {
        ZEVSDKLog("%s: Error: SP (%p) isn't a valid pointer\n", "ZEVUnwindNextFrame",
                  reinterpret_cast<void*>(r.sp));
        return false;
    }
    context->frameCount += 1;
    return true;
}

bool ZEVCompactUnwindInit(ZEVCompactUnwindContext* context, const ZEVArm64Image& image) {
    if (!valid(context)) {
        ZEVSDKLog("%s: Error: invalid context passed to compact unwind init", "ZEVCompactUnwindInit");
        return false;
    }
    if (image.unwindInfo < kNullLimit) {
        ZEVSDKLog("%s: Error: invalid unwind info passed to compact unwind init", "ZEVCompactUnwindInit");
        return false;
    }
    if (image.base < kNullLimit) {
        ZEVSDKLog("%s: Error: invalid load address passed to compact unwind init", "ZEVCompactUnwindInit");
        return false;
    }
    std::memset(context, 0, sizeof *context);
    if (image.unwindInfoSize < sizeof context->header ||
        !ZEVReadGuarded(nullptr, image.unwindInfo, context->header, sizeof context->header)) {
        ZEVSDKLog("%s: Error: could not read memory contents of unwindInfo\n", "ZEVCompactUnwindInit");
        return false;
    }
    if (context->header[0] != 1) {
        ZEVSDKLog("%s: Error: bad unwind_info structure version (%d != %d)\n", "ZEVCompactUnwindInit",
                  static_cast<int>(context->header[0]), 1);
        return false;
    }
    context->unwindInfo = image.unwindInfo;
    context->unwindInfoSize = image.unwindInfoSize;
    context->ehFrame = image.ehFrame;
    context->ehFrameSize = image.ehFrameSize;
    context->loadAddress = image.base;
    return true;
}

bool ZEVCompactUnwindLookup(ZEVCompactUnwindContext* c, std::uint64_t pc, ZEVCompactUnwindEntry* entry,
                            ZEVReadablePages* pages) {
    if (!valid(c) || entry == nullptr) return false;
    std::memset(entry, 0, sizeof *entry);
    std::uint32_t count = c->header[6];
    if (count < 2 || pc < c->loadAddress) return false;
    std::uint64_t pcOffset = pc - c->loadAddress;
    std::uint64_t index = c->header[5];
    bool found = false;
    for (std::uint32_t i = 0; i + 1 < count; ++i) {
        std::uint32_t function = 0, next = 0;
        if (!readU32(c, index + 12ULL * i, &function, pages) ||
            !readU32(c, index + 12ULL * (i + 1), &next, pages)) {
            return false;
        }
        if (function <= pcOffset && pcOffset < next) {
            c->firstLevelFunctionOffset = function;
            c->firstLevelEndOffset = next;
            if (!readU32(c, index + 12ULL * i + 4, &c->secondLevelPageOffset, pages) ||
                !readU32(c, index + 12ULL * i + 8, &c->lsdaIndexOffset, pages)) {
                return false;
            }
            found = true;
            break;
        }
    }
    if (!found) {
        ZEVSDKLog("%s: Unable to find pc in first level\n", "ZEVCompactUnwindLookup");
        return false;
    }
    ZEVSDKLog("%s: Found first level (second => %u)\n", "ZEVCompactUnwindLookup", c->secondLevelPageOffset);
    std::uint32_t kind = 0;
    if (!readU32(c, c->secondLevelPageOffset, &kind, pages)) return false;
    bool ok = false;
    if (kind == 3) {
        ZEVSDKLog("%s: Found a second level compressed header\n", "ZEVCompactUnwindLookupSecondLevel");
        ok = lookupCompressedPage(c, pc, entry, pages);
    } else if (kind == 2) {
        ZEVSDKLog("%s: Found a second level regular header\n", "ZEVCompactUnwindLookupSecondLevel");
        ZEVSDKLog("%s: Encountered a regular second-level page\n", "ZEVCompactUnwindLookupSecondLevel");
    } else {
        ZEVSDKLog("%s: Unrecognized header kind - unable to continue\n", "ZEVCompactUnwindLookupSecondLevel");
    }
    if (!ok) ZEVSDKLog("%s: Second-level PC lookup failed\n", "ZEVCompactUnwindLookup");
    return ok;
}

bool ZEVCompactUnwindLookupAndCompute(ZEVCompactUnwindContext* compact, ZEVUnwindContext* context) {
    std::uint64_t pc = ZEVUnwindContextGetPC(context);
    if (pc < compact->loadAddress) return false;
    ZEVCompactUnwindEntry entry;
    if (!ZEVCompactUnwindLookup(compact, pc, &entry, &context->pages)) {
        ZEVSDKLog("%s: Unable to lookup compact unwind for pc %p\n", "ZEVCompactUnwindLookupAndCompute",
                  reinterpret_cast<void*>(pc));
        return false;
    }
    if (!ZEVCompactUnwindComputeRegisters(compact, entry.encoding, context)) {
        ZEVSDKLog("%s: Error: failed to compute registers\n", "ZEVCompactUnwindLookupAndCompute");
        return false;
    }
    return true;
}

bool ZEVCompactUnwindComputeRegisters(ZEVCompactUnwindContext* compact, std::uint32_t encoding,
                                      ZEVUnwindContext* context) {
    if (compact == nullptr || context == nullptr) return false;
    switch (encoding & 0x0F000000) {
    case 0x04000000:
        return ZEVUnwindWithFramePointer(context, false);
    case 0x03000000:
        return ZEVCompactUnwindDwarfFrame(compact, encoding & 0x00FFFFFF, context);
    case 0x02000000:
        return ZEVUnwindWithLRRegister(context);
    default:
        ZEVSDKLog("%s: Invalid encoding 0x%x\n", "ZEVCompactUnwindComputeRegisters", encoding);
        return false;
    }
}

bool ZEVCompactUnwindDwarfFrame(ZEVCompactUnwindContext* compact, std::uint32_t fdeOffset,
                                ZEVUnwindContext* context) {
    ZEVSDKLog("%s: Trying to read dwarf data with offset %lx\n", "ZEVCompactUnwindDwarfFrame");
    if (compact->ehFrame < kNullLimit || fdeOffset >= compact->ehFrameSize) {
        ZEVSDKLog("%s: Error: Unable to init FDE\n", "ZEVCompactUnwindDwarfFrame");
        return false;
    }
    if (!ZEVDwarfUnwindComputeRegisters(compact->ehFrame + fdeOffset, compact->ehFrame + compact->ehFrameSize,
                                        context)) {
        ZEVSDKLog("%s: Error: failed to compute DWARF registers\n", "ZEVCompactUnwindDwarfFrame");
        return false;
    }
    return true;
}

bool ZEVDwarfUnwindComputeRegisters(std::uint64_t fde, std::uint64_t ehFrameEnd, ZEVUnwindContext* context) {
    ZEVDwarfCFIRecord cfi;
    if (fde < kNullLimit || !ZEVDwarfParseFDERecord(&cfi.fde, &cfi.cie, fde, ehFrameEnd, &context->pages)) {
        ZEVSDKLog("%s: Error: Unable to init FDE\n", "ZEVCompactUnwindDwarfFrame");
        return false;
    }
    ZEVDwarfRegisterRules initial;
    std::memset(&initial, 0, sizeof initial);
    if (!ZEVDwarfInstructionsEnumerate(cfi.cie.instructions, cfi.cie.instructionsLength, &cfi.cie, &initial,
                                       nullptr, cfi.fde.pcBegin, INT64_MAX, &context->pages,
                                       ZEVDwarfDialectMachO)) {
        ZEVSDKLog("%s: Error: Unable to run CIE instructions\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    const ZEVRegistersArm64 old = context->machineContext.ss;
    auto pcOffset = static_cast<std::int64_t>(old.pc - cfi.fde.pcBegin);
    if (pcOffset < 0) {
        ZEVSDKLog("%s: Error: The FDE pcOffset value cannot be negative\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    ZEVDwarfRegisterRules rules = initial;
    if (!ZEVDwarfInstructionsEnumerate(cfi.fde.instructions, cfi.fde.instructionsLength, &cfi.cie, &rules,
                                       &initial, cfi.fde.pcBegin, pcOffset, &context->pages,
                                       ZEVDwarfDialectMachO)) {
        ZEVSDKLog("%s: Error: Unable to run FDE instructions\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    std::uint64_t cfa = 0;
    if (!getCFA(&rules, &old, &cfa, &context->pages)) {
        ZEVSDKLog("%s: Error: failed to get CFA\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    ZEVRegistersArm64 next = old;
    for (int reg = 0; reg <= 30; ++reg) {
        if (rules.registers[reg].kind == ZEVDwarfRuleUnchanged) continue;
        std::uint64_t value = savedRegister(&old, cfa, rules.registers[reg], &context->pages);
        if (!ZEVDwarfUnwindSetRegisterValue(&next, static_cast<std::uint64_t>(reg), value)) {
            ZEVSDKLog("%s: Error: Unable to restore register value\n", "ZEVDwarfUnwindComputeRegisters");
            return false;
        }
    }
    if (!ZEVDwarfUnwindSetRegisterValue(&next, 31, cfa)) {
        ZEVSDKLog("%s: Error: Unable to restore SP value\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    if (next.sp == old.sp) {
        ZEVSDKLog("%s: Error: Stack pointer hasn't changed\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    if (next.lr == old.lr) {
        ZEVSDKLog("%s: Error: PC hasn't changed\n", "ZEVDwarfUnwindComputeRegisters");
        return false;
    }
    context->machineContext.ss = next;
    return true;
}

} // namespace arm64
