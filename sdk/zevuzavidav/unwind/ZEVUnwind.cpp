#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include "platform/darwin/Images.hpp"
#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"
#include "sdk/zevuzavidav/unwind/DwarfWalkCache.hpp"
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfRegisters.hpp"

#include <cstring>

using namespace zevuzavidav;

namespace {

using Packed = PackedUnwindFrameRule;

// The CFA of a kept rule; 0 for the outermost frame.
template <typename Registers>
inline __attribute__((always_inline)) std::uint64_t cfaOf(const Registers& r, std::uint64_t rule) {
    const UnwindFrameRule::Kind kind = Packed::kind(rule);
    if (kind == UnwindFrameRule::kOutermost) return 0;
    return (kind == UnwindFrameRule::kFromFramePointer ? r.rbp : r.rsp) + Packed::cfaOffset(rule);
}

// The registers a kept rule moves: pc, sp and fp by name, the other callee-saved ones (rbx, r12..r15)
// by the rule's index.
struct QuickRegisters {
    std::uint64_t rip;
    std::uint64_t rsp;
    std::uint64_t rbp;
    std::uint64_t others[Packed::kOthers];
};

inline __attribute__((always_inline)) QuickRegisters quickRegistersOf(const MachineContext& r) {
    return {r.rip, r.rsp, r.rbp, {r.rbx, r.r12, r.r13, r.r14, r.r15}};
}

inline __attribute__((always_inline)) void storeQuickRegisters(MachineContext& r, const QuickRegisters& q) {
    r.rip = q.rip;
    r.rsp = q.rsp;
    r.rbp = q.rbp;
    r.rbx = q.others[0];
    r.r12 = q.others[1];
    r.r13 = q.others[2];
    r.r14 = q.others[3];
    r.r15 = q.others[4];
}

// Under a kept rule, given the span's words below the CFA (words[i] is the word at CFA - 8 (span - i)):
// the caller's rsp is the CFA, its pc the word below the CFA, and each saved register comes from its
// place below the CFA. A slot past the span could only come from a damaged entry; it is not followed.
// The walk itself needs only pc, sp and fp (every kept rule finds its CFA from sp or fp), so the other
// callee-saved registers may be restored later, from the same words, in the same order.
inline __attribute__((always_inline)) void moveToCaller(QuickRegisters& q, std::uint64_t rule,
                                                        std::uint64_t cfa, const std::uint64_t* words) {
    const unsigned span = Packed::span(rule);
    if (unsigned slot = Packed::framePointerSlot(rule); slot != 0 && slot <= span) q.rbp = words[span - slot];
    q.rsp = cfa;
    q.rip = words[span - 1];
}

// Restores the registers of `wanted` the rule saves; the ones it restored.
inline __attribute__((always_inline)) unsigned
restoreOthers(QuickRegisters& q, std::uint64_t rule, const std::uint64_t* words, unsigned wanted = ~0U) {
    const unsigned span = Packed::span(rule);
    unsigned restored = 0;
    for (unsigned saved = Packed::othersMask(rule) & wanted; saved != 0; saved &= saved - 1) {
        const int index = __builtin_ctz(saved);
        if (unsigned slot = Packed::otherSlot(rule, index); slot <= span) {
            q.others[index] = words[span - slot];
            restored |= 1U << index;
        }
    }
    return restored;
}

inline __attribute__((always_inline)) void applyRule(QuickRegisters& q, std::uint64_t rule, std::uint64_t cfa,
                                                     const std::uint64_t* words) {
    restoreOthers(q, rule, words);
    moveToCaller(q, rule, cfa, words);
}

// A run over frames seen before, with the registers it moves in variables of its own: over known
// frames this is the whole walk. It takes a frame only when its kept rule finds the caller strictly
// above the frame, with a pc of 4096 or more; anything else (a frame not known, words that cannot be
// read, the outermost frame) is left to the full step. Since every kept rule finds its CFA from sp or
// fp, the run moves pc, sp and fp at once and, on the walking thread's own stack, may leave the other
// callee-saved registers to be restored when the run stops, from the same words in the same order;
// when the walk has ended there, they are never needed.
class KnownFrames {
  public:
    explicit KnownFrames(ZEVUnwindContext* context)
        : context_(context), r_(quickRegistersOf(context->registers)), exact_(context->pcIsExact),
          lastLookup_(context->lastLookup), lastRule_(context->lastRule),
          generation_(context->imageGeneration), stackLow_(context->memory.stack.low),
          stackHigh_(context->memory.stack.high) {}

    // Whether the cursor may take the run at all: a delivered frame with a usable pc and sp.
    static bool usable(const ZEVUnwindContext* context) {
        const MachineContext& r = context->registers;
        return context->useRuleCache && context->frameCount - 1 < kUnwindMaxFrames - 1 &&
               !darwin::isNullAddress(r.rip) && !darwin::isNullAddress(r.rsp);
    }

    // Steps over up to `limit` frames, storing each caller's pc; the number taken.
    std::uint32_t run(std::uint64_t* pcs, std::uint32_t limit) {
        std::uint32_t taken = 0;
        for (; taken < limit; ++taken) {
            const std::uint64_t lookup = exact_ ? r_.rip : r_.rip - 1;
            std::uint64_t rule = lastRule_;
            if (lookup != lastLookup_) {
                if (!findCachedUnwindRule(lookup, generation_, &rule)) break;
                lastLookup_ = lookup;
                lastRule_ = rule;
            }
            const UnwindFrameRule::Kind kind = Packed::kind(rule);
            if (kind == UnwindFrameRule::kOutermost) {
                outermost_ = true;
                break;
            }
            // A found rule spans at least one word, so `low` is below the CFA and, with the CFA above
            // sp, above 0.
            const std::uint64_t cfa =
                (kind == UnwindFrameRule::kFromFramePointer ? r_.rbp : r_.rsp) + Packed::cfaOffset(rule);
            const unsigned span = Packed::span(rule);
            const std::uint64_t low = cfa - 8ULL * span;
            if (cfa <= r_.rsp) break;
            // The walking thread's own stack is read in place; another thread's through checked copies.
            std::uint64_t copied[Packed::kMaxSpan];
            const bool inPlace = low >= stackLow_ && cfa <= stackHigh_;
            const auto* words = reinterpret_cast<const std::uint64_t*>(low);
            if (!inPlace) {
                if (!readUnwindMemory(&context_->memory, low, copied, 8ULL * span)) break;
                words = copied;
            }
            if (darwin::isNullAddress(words[span - 1])) break;
            if (Packed::othersMask(rule) != 0) {
                if (inPlace) {
                    defer(rule, cfa);
                } else {
                    restoreDeferred(); // in order: the older frames' first
                    restoreOthers(r_, rule, words);
                }
            }
            moveToCaller(r_, rule, cfa, words);
            exact_ = false;
            pcs[taken] = r_.rip;
        }
        return taken;
    }

    // The cursor moved over the `taken` frames run over.
    void finish(std::uint32_t taken) {
        if (outermost_) {
            r_.rip = 0; // as the full step leaves it at the end of the walk
        } else {
            restoreDeferred();
        }
        storeQuickRegisters(context_->registers, r_);
        context_->frameCount += taken;
        context_->pcIsExact = exact_;
        context_->lastLookup = lastLookup_;
        context_->lastRule = lastRule_;
    }

    bool reachedOutermost() const { return outermost_; }

  private:
    static constexpr unsigned kDeferred = 32;

    void defer(std::uint64_t rule, std::uint64_t cfa) {
        deferred_[deferredCount_++] = {rule, cfa};
        if (deferredCount_ == kDeferred) restoreDeferred();
    }

    // Restoring the frames in order would leave each register as the last frame that saves it left
    // it: only that frame's restore is made, found from the newest frame back.
    void restoreDeferred() {
        unsigned pending = (1U << Packed::kOthers) - 1;
        for (unsigned i = deferredCount_; i-- > 0 && pending != 0;) {
            const Deferred& frame = deferred_[i];
            if ((Packed::othersMask(frame.rule) & pending) == 0) continue;
            const std::uint64_t low = frame.cfa - 8ULL * Packed::span(frame.rule);
            pending &= ~restoreOthers(r_, frame.rule, reinterpret_cast<const std::uint64_t*>(low), pending);
        }
        deferredCount_ = 0;
    }

    struct Deferred {
        std::uint64_t rule;
        std::uint64_t cfa;
    };
    ZEVUnwindContext* context_;
    QuickRegisters r_;
    bool exact_;
    bool outermost_ = false;
    std::uint64_t lastLookup_;
    std::uint64_t lastRule_;
    std::uint64_t generation_;
    std::uintptr_t stackLow_;
    std::uintptr_t stackHigh_;
    Deferred deferred_[kDeferred];
    unsigned deferredCount_ = 0;
};

// One step under a kept rule, wherever its words lie: those outside the walking thread's own stack
// are read through checked copies.
bool stepWithRule(ZEVUnwindContext* context, std::uint64_t rule) {
    MachineContext& r = context->registers;
    const std::uint64_t cfa = cfaOf(r, rule);
    if (cfa == 0) {
        r.rip = 0; // the outermost frame: the walk ends here
        return true;
    }
    const unsigned span = Packed::span(rule);
    const std::uint64_t low = cfa - 8ULL * span;
    std::uint64_t words[Packed::kMaxSpan];
    if (low >= cfa || !readUnwindMemory(&context->memory, low, words, 8ULL * span)) return false;
    if (cfa == r.rsp && words[span - 1] == r.rip) return false; // nothing would move
    QuickRegisters q = quickRegistersOf(r);
    applyRule(q, rule, cfa, words);
    storeQuickRegisters(r, q);
    context->pcIsExact = false;
    return true;
}

// One full step from the image's call-frame information; the rule is kept when it has the common form.
bool stepWithDwarf(ZEVUnwindContext* context, std::uint64_t lookup) {
    zevuzavidav::BinaryImageNodeCopy node;
    if (!knownWalkImage(&context->dwarf, lookup, &node)) {
        if (context->findImage == nullptr || !context->findImage(lookup, &node)) {
            ZEVSDKLog("%s: Unable to find binary for %p\n", "ZEVUnwindNextFrameUsingAllStrategies",
                      reinterpret_cast<void*>(lookup));
            return false;
        }
        keepWalkImage(&context->dwarf, node);
    }
    if (!ZEVBinaryImageHasUnwindInfo(&node) || darwin::isNullAddress(node.eh_frame)) {
        ZEVSDKLog("%s: Binary image at %p has no unwind info\n", "ZEVUnwindNextFrameUsingAllStrategies",
                  reinterpret_cast<void*>(node.base));
        return false;
    }
    ZEVDwarfRegisterRules rules;
    bool signalFrame = false;
    std::uint64_t ruled = 0;
    if (!computeDwarfRulesForWalk(&context->dwarf, node.eh_frame, node.base, lookup, &rules, &signalFrame,
                                  &ruled, &context->memory)) {
        return false;
    }
    // The registers are left as they were when the rules cannot be applied.
    if (!restoreDwarfRegisters<DwarfRegistersX86_64>(rules, &context->registers, &context->memory,
                                                     kDwarfDialectELF, ruled)) {
        return false;
    }
    context->pcIsExact = signalFrame;
    UnwindFrameRule rule;
    if (context->useRuleCache && unwindFrameRuleFromRules(rules, signalFrame, &rule)) {
        storeUnwindRule(lookup, context->imageGeneration, rule);
    }
    return true;
}

bool step(ZEVUnwindContext* context) {
    MachineContext& r = context->registers;
    const std::uint64_t lookup = context->pcIsExact ? r.rip : r.rip - 1;
    std::uint64_t rule = 0;
    bool known = context->useRuleCache && findCachedUnwindRule(lookup, context->imageGeneration, &rule);
    if (known ? stepWithRule(context, rule) : stepWithDwarf(context, lookup)) return true;
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
    const MachineContext& r = context->registers;
    if (darwin::isNullAddress(r.rip)) return false;
    if (darwin::isNullAddress(r.rsp)) {
        ZEVSDKLog("%s: Error: SP (%p) isn't a valid pointer\n", "ZEVUnwindNextFrame",
                  reinterpret_cast<void*>(r.rsp));
        return false;
    }
    context->frameCount += 1;
    return true;
}

// Every step with its checks and messages.
__attribute__((noinline)) bool nextFrame(ZEVUnwindContext* context) {
    if (darwin::isNullAddress(context)) {
        ZEVSDKLog("%s: Error: invalid inputs\n", "ZEVUnwindNextFrame");
        return false;
    }
    MachineContext& r = context->registers;
    if (darwin::isNullAddress(r.rip) || darwin::isNullAddress(r.rsp)) {
        ZEVSDKLog(context->frameCount == 0 ? "%s: Cancelling unwind for thread with invalid PC/SP\n"
                                           : "%s: Error: thread PC/SP invalid before unwind\n",
                  "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount >= kUnwindMaxFrames) {
        ZEVSDKLog("%s: Error: failed to advance to the next frame\n", "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount > 0 && !step(context)) return false;
    return deliver(context);
}

} // namespace

bool zevuzavidav::initUnwindWithImageFinder(ZEVUnwindContext* context, const MachineContext* machineContext,
                                            UnwindImageFinder finder) {
    if (context == nullptr || machineContext == nullptr) return false;
    // Registers captured straight into the cursor stay where they are: copying what was just written
    // field by field in wider loads would stall on the stores not yet done.
    if (machineContext != &context->registers) context->registers = *machineContext;
    context->frameCount = 0;
    context->pcIsExact = true;
    context->useRuleCache = true;
    context->imageGeneration = zevuzavidav::binaryImageGeneration();
    context->lastLookup = 0;
    context->lastRule = 0;
    context->findImage = finder;
    initDwarfWalkCache(&context->dwarf);
    initUnwindMemoryForCurrentThread(&context->memory, context->imageGeneration);
    return true;
}

bool ZEVUnwindInit(ZEVUnwindContext* context, const MachineContext* machineContext) {
    return initUnwindWithImageFinder(context, machineContext, ZEVBinaryImageSafeFindImageForAddress);
}

std::uint64_t ZEVUnwindGetPC(const ZEVUnwindContext* context) {
    return darwin::isNullAddress(context) ? 0 : context->registers.rip;
}

std::uint64_t ZEVUnwindCallerStackPointer(std::uint64_t framePointer) {
    return framePointer + 16;
}

bool ZEVUnwindWithFramePointer(ZEVUnwindContext* context) {
    std::uint64_t fp = context->registers.rbp;
    std::uint64_t record[2];
    if (!readUnwindMemory(&context->memory, fp, record, sizeof record)) {
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

bool ZEVUnwindNextFrame(ZEVUnwindContext* context) {
    if (!darwin::isNullAddress(context) && KnownFrames::usable(context)) {
        KnownFrames known(context);
        std::uint64_t pc = 0;
        std::uint32_t taken = known.run(&pc, 1);
        if (taken == 1) {
            known.finish(taken);
            return true;
        }
    }
    return nextFrame(context);
}

std::uint32_t zevuzavidav::unwindNextFrames(ZEVUnwindContext* context, std::uint64_t* pcs,
                                            std::uint32_t capacity) {
    if (darwin::isNullAddress(context) || pcs == nullptr) return 0;
    std::uint32_t count = 0;
    // Frame 0 is the registers as given: delivered without a step.
    const MachineContext& given = context->registers;
    if (capacity > 0 && context->frameCount == 0 && !darwin::isNullAddress(given.rip) &&
        !darwin::isNullAddress(given.rsp)) {
        context->frameCount = 1;
        pcs[count++] = given.rip;
    }
    while (count < capacity) {
        if (KnownFrames::usable(context)) {
            std::uint32_t limit = capacity - count;
            if (limit > kUnwindMaxFrames - context->frameCount)
                limit = kUnwindMaxFrames - context->frameCount;
            KnownFrames known(context);
            std::uint32_t taken = known.run(pcs + count, limit);
            known.finish(taken);
            count += taken;
            if (known.reachedOutermost()) break;
        }
        // Everything else, one frame at a time through the full step.
        if (count == capacity || !ZEVUnwindNextFrame(context)) break;
        pcs[count++] = context->registers.rip;
    }
    return count;
}

bool zevuzavidav::findImageWithDynamicLinker(std::uint64_t address, zevuzavidav::BinaryImageNodeCopy* out) {
    darwin::ImageInfo image;
    if (out == nullptr || !darwin::findImage(address, image)) return false;
    *out = zevuzavidav::BinaryImageNodeCopy{image.base, image.size, image.ehFrameHdr, 0, 0};
    return true;
}

__attribute__((noinline)) void zevuzavidav::captureCurrentRegisters(MachineContext* out) {
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
