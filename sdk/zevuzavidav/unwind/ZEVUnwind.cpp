#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"
#include "sdk/zevuzavidav/support/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfRegisters.hpp"

#include <cstring>

namespace {

constexpr std::uint64_t kNullLimit = 4096;

// One full step from the image's call-frame information.
bool stepWithDwarf(ZEVUnwindContext* context, std::uint64_t lookup) {
    ZEVBinaryImageNodeCopy node;
    if (context->findImage == nullptr || !context->findImage(lookup, &node)) {
        ZEVSDKLog("%s: Unable to find binary for %p\n", "ZEVUnwindNextFrameUsingAllStrategies",
                  reinterpret_cast<void*>(lookup));
        return false;
    }
    if (!ZEVBinaryImageHasUnwindInfo(&node) || node.eh_frame < kNullLimit) {
        ZEVSDKLog("%s: Binary image at %p has no unwind info\n", "ZEVUnwindNextFrameUsingAllStrategies",
                  reinterpret_cast<void*>(node.base));
        return false;
    }
    ZEVDwarfCFIRecord cfi;
    ZEVDwarfRegisterRules rules;
    if (!ZEVDwarfFindFDE(node.eh_frame, lookup, &cfi, &context->memory, node.base) ||
        !ZEVDwarfComputeRules(&cfi, lookup, &rules, &context->memory, ZEVDwarfDialectELF)) {
        return false;
    }
    ZEVMachineContext registers = context->registers;
    if (!ZEVDwarfRestoreRegisters<ZEVDwarfRegistersX86_64>(rules, &registers, &context->memory,
                                                           ZEVDwarfDialectELF)) {
        return false;
    }
    context->registers = registers;
    context->pcIsExact = cfi.cie.signalFrame;
    return true;
}

bool step(ZEVUnwindContext* context) {
    ZEVMachineContext& r = context->registers;
    const std::uint64_t lookup = context->pcIsExact ? r.rip : r.rip - 1;
    if (stepWithDwarf(context, lookup)) return true;
    if (r.rbp == 0) {
        ZEVSDKLog("%s: FP is zero, aborting unwind\n", "ZEVUnwindNextFrameUsingAllStrategies");
        r.rip = 0;
        return true;
    }
    if (r.rbp < r.rsp || !ZEVUnwindWithFramePointer(context)) {
        ZEVSDKLog("%s: Error: Unable to use frame pointer\n", "ZEVUnwindNextFrameUsingAllStrategies");
        ZEVSDKLog("%s: Error: failed to advance to the next frame\n", "ZEVUnwindNextFrame");
        return false;
    }
    return true;
}

// The checks that end every step: the walk ends silently at a pc below 4096 (the outermost frame).
__attribute__((noinline)) bool deliver(ZEVUnwindContext* context) {
    const ZEVMachineContext& r = context->registers;
    if (r.rip < kNullLimit) return false;
    if (r.rsp < kNullLimit) {
        ZEVSDKLog("%s: Error: SP (%p) isn't a valid pointer\n", "ZEVUnwindNextFrame",
                  reinterpret_cast<void*>(r.rsp));
        return false;
    }
    context->frameCount += 1;
    return true;
}

} // namespace

bool ZEVUnwindNextFrame(ZEVUnwindContext* context) {
    if (reinterpret_cast<std::uintptr_t>(context) < kNullLimit) {
        ZEVSDKLog("%s: Error: invalid inputs\n", "ZEVUnwindNextFrame");
        return false;
    }
    ZEVMachineContext& r = context->registers;
    if (r.rip < kNullLimit || r.rsp < kNullLimit) {
        ZEVSDKLog(context->frameCount == 0 ? "%s: Cancelling unwind for thread with invalid PC/SP\n"
                                           : "%s: Error: thread PC/SP invalid before unwind\n",
                  "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount >= ZEVUnwindMaxFrames) {
        ZEVSDKLog("%s: Error: failed to advance to the next frame\n", "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount > 0 && !step(context)) return false;
    return deliver(context);
}

bool ZEVUnwindInitWithImageFinder(ZEVUnwindContext* context, const ZEVMachineContext* machineContext,
                                  ZEVUnwindImageFinder finder) {
    if (context == nullptr || machineContext == nullptr) return false;
    context->registers = *machineContext;
    context->frameCount = 0;
    context->pcIsExact = true;
    context->imageGeneration = ZEVBinaryImageGeneration();
    context->findImage = finder;
    ZEVUnwindMemoryInitForCurrentThread(&context->memory, context->imageGeneration);
    return true;
}

bool ZEVUnwindInit(ZEVUnwindContext* context, const ZEVMachineContext* machineContext) {
    return ZEVUnwindInitWithImageFinder(context, machineContext, ZEVBinaryImageSafeFindImageForAddress);
}

std::uint64_t ZEVUnwindGetPC(const ZEVUnwindContext* context) {
    return reinterpret_cast<std::uintptr_t>(context) < kNullLimit ? 0 : context->registers.rip;
}

std::uint64_t ZEVUnwindCallerStackPointer(std::uint64_t framePointer) {
    return framePointer + 16;
}

bool ZEVUnwindWithFramePointer(ZEVUnwindContext* context) {
    std::uint64_t fp = context->registers.rbp;
    std::uint64_t record[2];
    if (!ZEVUnwindMemoryRead(&context->memory, fp, record, sizeof record)) {
        ZEVSDKLog("%s: Error: failed to read memory at address %p\n", "ZEVUnwindWithFramePointer",
                  reinterpret_cast<void*>(fp));
        return false;
    }
    // The chain must move up the stack; a loop or a downward link ends the walk.
    if (record[0] != 0 && record[0] <= fp) return false;
    context->registers.rip = record[1];
    context->registers.rbp = record[0];
    context->registers.rsp = ZEVUnwindCallerStackPointer(fp);
    context->pcIsExact = false;
    return true;
}

bool ZEVUnwindFindImageWithDynamicLinker(std::uint64_t address, ZEVBinaryImageNodeCopy* out) {
    darwin::ImageInfo image;
    if (out == nullptr || !darwin::findImage(address, image)) return false;
    *out = ZEVBinaryImageNodeCopy{image.base, image.size, image.ehFrameHdr, 0, 0};
    return true;
}

__attribute__((noinline)) void ZEVUnwindCaptureCurrent(ZEVMachineContext* out) {
    if (out == nullptr) return;
    // Every field by name: a block clear of the struct costs more than the rest of a short walk.
    out->rax = out->rcx = out->rdx = out->rdi = out->rsi = 0;
    out->r8 = out->r9 = out->r10 = out->r11 = 0;
    out->rflags = out->cs = out->fs = out->gs = 0;
    // The caller's state at the return address of this call: its sp is just above our return slot.
    auto* frame = static_cast<std::uint64_t*>(__builtin_frame_address(0));
    out->rip = reinterpret_cast<std::uint64_t>(__builtin_return_address(0));
    out->rsp = reinterpret_cast<std::uint64_t>(frame) + 16;
    out->rbp = frame[0];
    std::uint64_t rbx, r12, r13, r14, r15;
    __asm__ volatile("mov %%rbx, %0\n\tmov %%r12, %1\n\tmov %%r13, %2\n\tmov %%r14, %3\n\tmov %%r15, %4"
                     : "=m"(rbx), "=m"(r12), "=m"(r13), "=m"(r14), "=m"(r15));
    out->rbx = rbx;
    out->r12 = r12;
    out->r13 = r13;
    out->r14 = r14;
    out->r15 = r15;
}
