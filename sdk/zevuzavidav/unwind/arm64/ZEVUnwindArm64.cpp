#include "sdk/zevuzavidav/unwind/arm64/ZEVUnwindArm64.hpp"

#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfRegisters.hpp"

#include <cstring>

using namespace zevuzavidav;

namespace arm64 {
namespace {

bool valid(const void* pointer) {
    return !darwin::isNullAddress(pointer);
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
    if (darwin::isNullAddress(image.unwindInfo)) {
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

} // namespace

bool ZEVUnwindInit(ZEVUnwindContext* context, const ZEVMachineContextArm64* machineContext,
                   ZEVArm64ImageFinder finder) {
    if (!valid(context) || !valid(machineContext)) return false;
    std::memset(static_cast<void*>(context), 0, sizeof *context);
    context->machineContext = *machineContext;
    context->findImage = finder;
    initUnwindMemory(&context->memory);
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

std::uint64_t ZEVDwarfUnwindGetRegisterValue(const RegistersArm64* registers, std::uint64_t number) {
    if (number <= 28) return registers->x[number];
    switch (number) {
    case 29:
        return registers->fp;
    case 30:
        return registers->lr;
    case 31:
        return registers->sp;
    default:
        ZEVSDKLog("%s: Error: Unrecognized get register number %llu\n", "ZEVDwarfUnwindGetRegisterValue",
                  static_cast<unsigned long long>(number));
        return 0;
    }
}

bool ZEVDwarfUnwindSetRegisterValue(RegistersArm64* registers, std::uint64_t number, std::uint64_t value) {
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
        ZEVSDKLog("%s: Unrecognized set register number %llu\n", "ZEVDwarfUnwindSetRegisterValue",
                  static_cast<unsigned long long>(number));
        return false;
    }
}

std::uint64_t ZEVUnwindCallerStackPointer(std::uint64_t framePointer) {
    return framePointer + 16;
}

bool ZEVUnwindWithLRRegister(ZEVUnwindContext* context) {
    std::uint64_t lr = context->machineContext.ss.lr;
    if (darwin::isNullAddress(lr)) {
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
    if (!readUnwindMemory(&context->memory, fp, record, sizeof record)) {
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
    RegistersArm64& r = context->machineContext.ss;
    if (darwin::isNullAddress(r.pc) || darwin::isNullAddress(r.sp)) {
        ZEVSDKLog(context->frameCount == 0 ? "%s: Cancelling unwind for thread with invalid PC/SP\n"
                                           : "%s: Error: thread PC/SP invalid before unwind\n",
                  "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount >= kUnwindMaxFrames) {
        ZEVSDKLog("%s: Error: failed to advance to the next frame\n", "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount > 0) {
        // Every step, the first included, looks up pc - 1: a return address may be the first byte
        // after the function that made the call.
        std::uint64_t target = r.pc - 1;
        if (darwin::isNullAddress(target)) {
            ZEVSDKLog("%s: Error: failed to advance to the next frame\n", "ZEVUnwindNextFrame");
            return false;
        }
        RegistersArm64 before = r;
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
    if (darwin::isNullAddress(r.pc)) return false;
    if (darwin::isNullAddress(r.sp)) {
        ZEVSDKLog("%s: Error: SP (%p) isn't a valid pointer\n", "ZEVUnwindNextFrame",
                  reinterpret_cast<void*>(r.sp));
        return false;
    }
    context->frameCount += 1;
    return true;
}

bool ZEVCompactUnwindLookupAndCompute(ZEVCompactUnwindContext* compact, ZEVUnwindContext* context) {
    std::uint64_t pc = ZEVUnwindContextGetPC(context);
    if (pc < compact->loadAddress) return false;
    ZEVCompactUnwindEntry entry;
    if (!ZEVCompactUnwindLookup(compact, pc, &entry, &context->memory)) {
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
    ZEVSDKLog("%s: Trying to read dwarf data with offset %lx\n", "ZEVCompactUnwindDwarfFrame",
              static_cast<unsigned long>(fdeOffset));
    ZEVDwarfCFIRecord cfi;
    if (darwin::isNullAddress(compact->ehFrame) ||
        !ZEVDwarfInitFromFDE(&cfi, compact->ehFrame, fdeOffset, compact->ehFrame + compact->ehFrameSize,
                             &context->memory)) {
        ZEVSDKLog("%s: Error: Unable to init FDE\n", "ZEVCompactUnwindDwarfFrame");
        return false;
    }
    if (!ZEVDwarfUnwindComputeRegisters(&cfi, context)) {
        ZEVSDKLog("%s: Error: failed to compute DWARF registers\n", "ZEVCompactUnwindDwarfFrame");
        return false;
    }
    return true;
}

bool ZEVDwarfUnwindComputeRegisters(const ZEVDwarfCFIRecord* cfi, ZEVUnwindContext* context) {
    if (!valid(cfi) || !valid(context)) return false;
    ZEVDwarfRegisterRules rules;
    return computeDwarfRules(cfi, context->machineContext.ss.pc, &rules, &context->memory,
                             kDwarfDialectMachO) &&
           restoreDwarfRegisters<DwarfRegistersArm64>(rules, &context->machineContext.ss, &context->memory,
                                                      kDwarfDialectMachO);
}

} // namespace arm64
