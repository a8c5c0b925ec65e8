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
    if (Packed::isOutermost(rule)) return 0;
    return (Packed::fromFramePointer(rule) ? r.rbp : r.rsp) + Packed::cfaOffset(rule);
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
inline __attribute__((always_inline)) void moveToCaller(QuickRegisters& q, std::uint64_t rule,
                                                        std::uint64_t cfa, const std::uint64_t* words) {
    const unsigned span = Packed::span(rule);
    if (unsigned slot = Packed::framePointerSlot(rule); slot != 0 && slot <= span) q.rbp = words[span - slot];
    q.rsp = cfa;
    q.rip = words[span - 1];
}

inline __attribute__((always_inline)) void restoreOthers(QuickRegisters& q, std::uint64_t rule,
                                                         const std::uint64_t* words) {
    const unsigned span = Packed::span(rule);
    for (unsigned saved = Packed::othersMask(rule); saved != 0; saved &= saved - 1) {
        const int index = __builtin_ctz(saved);
        if (unsigned slot = Packed::otherSlot(rule, index); slot <= span)
            q.others[index] = words[span - slot];
    }
}

inline __attribute__((always_inline)) void applyRule(QuickRegisters& q, std::uint64_t rule, std::uint64_t cfa,
                                                     const std::uint64_t* words) {
    restoreOthers(q, rule, words);
    moveToCaller(q, rule, cfa, words);
}

// A return address a kept rule may take the walk to: at or above 4096 (the outermost frame's 0 is
// left to the full step, which ends the walk there) and below about 2^47, where the pcs the cache keeps
// lie (the few above them find nothing kept).
inline __attribute__((always_inline)) bool plausibleReturn(std::uint64_t pc) {
    return (pc - darwin::kNullLimit) >> 47 == 0;
}
static_assert(kRuleCachePcLimit == 1ULL << 47);

// A run over frames seen before, with the registers it moves in variables of its own: over known
// frames this is the whole walk. It takes a frame only when its kept rule finds the caller strictly
// above the frame, with a plausible return address; anything else (a frame not known, words that
// cannot be read, the outermost frame) is left to the full step. Since every kept rule finds its CFA
// from sp or fp, the run moves pc, sp and fp at once.
//
// On the walking thread's own stack (or a stopped thread's, proven mapped) a frame's words are read in
// place: every slot a rule can name lies in the window of 32 words below the CFA, so a frame whose
// window lies within the stack needs no bound of its own (a damaged entry reads a wrong word, never a
// missing one). There the other callee-saved registers are held back until the run stops: each is then
// restored from the last frame that saves it, the earlier frames' restores being overwritten anyway.
// Any other stack is read through checked copies, and its frames restore at once.
class KnownFrames {
  public:
    // Frames one run takes at most, their restores held back.
    static constexpr std::uint32_t kBatch = 128;

    explicit KnownFrames(ZEVUnwindContext* context)
        : context_(context), r_(quickRegistersOf(context->registers)), exact_(context->pcIsExact),
          lastLookup_(context->lastLookup), lastRule_(context->lastRule),
          generationKey_(ruleCacheDetail::keyOf(0, context->imageGeneration)) {
        const UnwindMemory::Range& stack = context->memory.stack;
        if (stack.high > stack.low && stack.high - stack.low >= kWindowBytes) {
            windowLow_ = stack.low + kWindowBytes;
            windowHigh_ = stack.high;
        }
    }

    // Whether the cursor may take the run at all: a delivered frame with a usable pc and sp.
    static bool usable(const ZEVUnwindContext* context) {
        const MachineContext& r = context->registers;
        return context->useRuleCache && context->frameCount - 1 < kUnwindMaxFrames - 1 &&
               !darwin::isNullAddress(r.rip) && !darwin::isNullAddress(r.rsp);
    }

    // Whether a run may take the frame the cursor stands at: its rule is the one used last or the cache
    // keeps one for it. A lookup, cheaper than setting up a run that stops at once.
    static bool mayTake(const ZEVUnwindContext* context) {
        const MachineContext& r = context->registers;
        const std::uint64_t lookup = context->pcIsExact ? r.rip : r.rip - 1;
        std::uint64_t rule = 0;
        return lookup == context->lastLookup || findCachedUnwindRule(lookup, context->imageGeneration, &rule);
    }

    // Steps over up to `limit` frames (at most kBatch), storing each caller's pc; the number taken.
    std::uint32_t run(std::uint64_t* pcs, std::uint32_t limit) {
        const std::size_t count = limit < kBatch ? limit : kBatch;
        std::uint64_t rsp = r_.rsp, rbp = r_.rbp;
        // The pc looked up plus one: over return addresses, the return address itself.
        std::uint64_t after = exact_ ? r_.rip + 1 : r_.rip;
        if (after - 1 >= kRuleCachePcLimit) return 0;
        // Every CFA taken lies above sp, so once sp is within the window every CFA up to its top is in
        // it; until then nothing is read in place.
        std::uint64_t windowHigh = rsp >= windowLow_ ? windowHigh_ : 0;
        std::uint64_t lastLookup = lastLookup_, lastRule = lastRule_, saves = 0;
        std::size_t taken = 0;
        for (; taken < count; ++taken) {
            std::uint64_t rule = lastRule;
            if (const std::uint64_t lookup = after - 1; lookup != lastLookup) {
                if (!ruleCacheDetail::lookUp(lookup, lookup | generationKey_, &rule)) {
                    missed_ = true;
                    break;
                }
                lastLookup = lookup;
                lastRule = rule;
            }
            if (Packed::isOutermost(rule)) {
                outermost_ = true;
                break;
            }
            const std::uint64_t cfa = (Packed::fromFramePointer(rule) ? rbp : rsp) + Packed::cfaOffset(rule);
            if (cfa <= rsp) break;
            std::uint64_t ret, callerRbp;
            if (cfa <= windowHigh) {
                const auto* window = reinterpret_cast<const std::uint64_t*>(cfa - kWindowBytes);
                ret = window[Packed::kReturnAddressIndex];
                // When rbp is not saved its index is the return address's: read again, not used, so that
                // no branch waits on the rule.
                const unsigned index = Packed::framePointerIndex(rule);
                const std::uint64_t saved = window[index];
                callerRbp = index != Packed::kReturnAddressIndex ? saved : rbp;
                if (!plausibleReturn(ret)) break;
                heldRules_[taken] = rule;
                heldCfas_[taken] = cfa;
                saves |= rule;
            } else {
                const unsigned span = Packed::span(rule);
                std::uint64_t words[Packed::kMaxSpan];
                if (!readUnwindMemory(&context_->memory, cfa - 8ULL * span, words, 8ULL * span)) break;
                ret = words[span - 1];
                if (!plausibleReturn(ret)) break;
                const unsigned slot = Packed::framePointerSlot(rule);
                callerRbp = slot != 0 && slot <= span ? words[span - slot] : rbp;
                restoreHeldBack(static_cast<std::uint32_t>(taken), Packed::othersMask(saves)); // older first
                restoreOthers(r_, rule, words);
                heldFrom_ = static_cast<std::uint32_t>(taken) + 1;
                windowHigh = cfa >= windowLow_ ? windowHigh_ : 0;
            }
            rsp = cfa;
            rbp = callerRbp;
            pcs[taken] = ret;
            after = ret;
        }
        if (taken > 0) {
            r_.rip = pcs[taken - 1];
            r_.rsp = rsp;
            r_.rbp = rbp;
            exact_ = false;
        }
        lastLookup_ = lastLookup;
        lastRule_ = lastRule;
        saves_ |= saves;
        return static_cast<std::uint32_t>(taken);
    }

    // The cursor moved over the `taken` frames run over.
    void finish(std::uint32_t taken) {
        if (outermost_) {
            r_.rip = 0; // as the full step leaves it at the end of the walk
        } else {
            restoreHeldBack(taken, Packed::othersMask(saves_));
        }
        storeQuickRegisters(context_->registers, r_);
        context_->frameCount += taken;
        context_->pcIsExact = exact_;
        context_->lastLookup = lastLookup_;
        context_->lastRule = lastRule_;
    }

    bool reachedOutermost() const { return outermost_; }
    // The run stopped at a frame whose rule the cache does not keep.
    bool missed() const { return missed_; }

  private:
    static constexpr std::uint64_t kWindowBytes = 8 * Packed::kMaxSpan;

    // Restores the registers of `pending` that the frames held back before `end` save, each from the
    // last of them that saves it.
    void restoreHeldBack(std::uint32_t end, unsigned pending) {
        for (std::uint32_t i = end; i-- > heldFrom_ && pending != 0;) {
            const std::uint64_t rule = heldRules_[i];
            const unsigned wanted = Packed::othersMask(rule) & pending;
            if (wanted == 0) continue;
            const auto* window = reinterpret_cast<const std::uint64_t*>(heldCfas_[i] - kWindowBytes);
            for (unsigned saved = wanted; saved != 0; saved &= saved - 1) {
                const int index = __builtin_ctz(saved);
                r_.others[index] =
                    window[(Packed::kMaxSpan - Packed::otherSlot(rule, index)) & Packed::kSlotMask];
            }
            pending &= ~wanted;
        }
        heldFrom_ = end;
    }

    ZEVUnwindContext* context_;
    QuickRegisters r_;
    bool exact_;
    bool outermost_ = false;
    bool missed_ = false;
    std::uint64_t lastLookup_;
    std::uint64_t lastRule_;
    std::uint64_t generationKey_;
    // Frames whose CFA lies in [windowLow_, windowHigh_] are read in place; none when the stack is not
    // known (every CFA lies above sp, so above 0).
    std::uint64_t windowLow_ = 0;
    std::uint64_t windowHigh_ = 0;
    std::uint64_t saves_ = 0; // every rule of the run or'ed together: which registers any frame saves
    std::uint32_t heldFrom_ = 0;
    std::uint64_t heldRules_[kBatch];
    std::uint64_t heldCfas_[kBatch];
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
    if (low >= cfa) return false;
    // Words on the walking thread's own stack are read where they are; others are copied.
    std::uint64_t copied[Packed::kMaxSpan];
    const std::uint64_t* words = copied;
    if (!darwin::isNullAddress(low) && context->memory.stack.holds(low, 8ULL * span)) {
        words = reinterpret_cast<const std::uint64_t*>(low);
    } else if (!readUnwindMemoryChecked(&context->memory, low, copied, 8ULL * span)) {
        return false;
    }
    if (cfa == r.rsp && words[span - 1] == r.rip) return false; // nothing would move
    QuickRegisters q = quickRegistersOf(r);
    applyRule(q, rule, cfa, words);
    storeQuickRegisters(r, q);
    context->pcIsExact = false;
    return true;
}

// The image holding `address`, the last step's or looked up (and kept for the next step).
bool findStepImage(ZEVUnwindContext* context, std::uint64_t address, zevuzavidav::BinaryImageNodeCopy* node) {
    if (knownWalkImage(&context->dwarf, address, node)) return true;
    if (context->findImage == nullptr || !context->findImage(address, node)) return false;
    keepWalkImage(&context->dwarf, *node);
    return true;
}

// Whether the 8 bytes before an address end with a call instruction: a direct one (e8 and a 32-bit
// displacement) or an indirect one (ff /2: its ModRM byte, a SIB byte and a displacement as they say),
// whatever prefixes stand before it.
bool endsWithCall(const std::uint8_t (&before)[8]) {
    if (before[3] == 0xe8) return true;
    for (unsigned length = 2; length <= 7; ++length) {
        const std::uint8_t* call = before + 8 - length;
        if (call[0] != 0xff || ((call[1] >> 3) & 7) != 2) continue;
        const unsigned mod = call[1] >> 6, rm = call[1] & 7;
        unsigned size = 2;
        if (mod != 3 && rm == 4) {
            if (length < 3) continue;
            size += mod == 0 && (call[2] & 7) == 5 ? 5 : 1; // a SIB byte, with a displacement when no base
        }
        if (mod == 0 && rm == 5) size += 4; // rip-relative
        if (mod == 1) size += 1;
        if (mod == 2) size += 4;
        if (size == length) return true;
    }
    return false;
}

// A call through a null, freed or garbage pointer faults at its target, in no image, before anything
// runs there: the return address the call pushed is the word at sp, the caller's sp lies right above
// it, and every other register is still the caller's. The word is taken only as a return address that
// could be one: in an image, right after a call instruction.
bool stepOverCallIntoNoImage(ZEVUnwindContext* context) {
    MachineContext& r = context->registers;
    std::uint64_t returnAddress = 0;
    zevuzavidav::BinaryImageNodeCopy node;
    std::uint8_t before[8];
    if (!readUnwindMemory(&context->memory, r.rsp, &returnAddress, sizeof returnAddress) ||
        darwin::isNullAddress(returnAddress - sizeof before) ||
        !findStepImage(context, returnAddress - 1, &node) ||
        !readUnwindMemory(&context->memory, returnAddress - sizeof before, before, sizeof before) ||
        !endsWithCall(before)) {
        return false;
    }
    r.rip = returnAddress;
    r.rsp += 8;
    context->pcIsExact = false;
    return true;
}

// One full step from the image's call-frame information; the rule is kept when it has the common form.
// `noImage` is set when no image holds the pc.
bool stepWithDwarf(ZEVUnwindContext* context, std::uint64_t lookup, bool* noImage) {
    zevuzavidav::BinaryImageNodeCopy node;
    if (!findStepImage(context, lookup, &node)) {
        ZEVSDKLog("%s: Unable to find binary for %p\n", "ZEVUnwindNextFrameUsingAllStrategies",
                  reinterpret_cast<void*>(lookup));
        *noImage = true;
        return false;
    }
    if (!ZEVBinaryImageHasUnwindInfo(&node) || darwin::isNullAddress(node.eh_frame)) {
        ZEVSDKLog("%s: Binary image at %p has no unwind info\n", "ZEVUnwindNextFrameUsingAllStrategies",
                  reinterpret_cast<void*>(node.base));
        return false;
    }
    // With the cache on, a rule of the common form is kept, and taken at once as the next walk will take
    // it; most are read straight into the form the cache keeps. Any other, or one whose words cannot be
    // read in one piece, is applied rule by rule.
    auto keepAndTake = [&](std::uint64_t rule) {
        storePackedUnwindRule(lookup, context->imageGeneration, rule);
        return stepWithRule(context, rule);
    };
    DwarfWalkRule quick = DwarfWalkRule::declined;
    std::uint64_t packed = 0;
    if (context->useRuleCache) {
        quick = packedDwarfRuleForWalk(&context->dwarf, node.eh_frame, node.base, lookup, &packed,
                                       &context->memory);
        if (quick == DwarfWalkRule::failed) return false;
        if (quick == DwarfWalkRule::packed && keepAndTake(packed)) return true;
    }
    ZEVDwarfRegisterRules rules;
    bool signalFrame = false;
    std::uint64_t ruled = 0;
    if (!computeDwarfRulesForWalk(&context->dwarf, node.eh_frame, node.base, lookup, &rules, &signalFrame,
                                  &ruled, &context->memory)) {
        return false;
    }
    if (context->useRuleCache && quick == DwarfWalkRule::declined &&
        packedUnwindRuleFromRules(rules, signalFrame, ruled, &packed) && keepAndTake(packed)) {
        return true;
    }
    // The registers are left as they were when the rules cannot be applied.
    if (!restoreDwarfRegisters<DwarfRegistersX86_64>(rules, &context->registers, &context->memory,
                                                     kDwarfDialectELF, ruled)) {
        return false;
    }
    context->pcIsExact = signalFrame;
    return true;
}

// `missed`: the cache was just asked for this frame's rule and keeps none. An interrupted pc in no image
// (a call's target) is stepped over by the return address at sp; a return address in no image, whose
// frame's sp lies past it, is not.
bool step(ZEVUnwindContext* context, bool missed) {
    MachineContext& r = context->registers;
    const std::uint64_t lookup = context->pcIsExact ? r.rip : r.rip - 1;
    bool noImage = darwin::isNullAddress(r.rip);
    if (!noImage) {
        std::uint64_t rule = 0;
        bool known =
            !missed && context->useRuleCache && findCachedUnwindRule(lookup, context->imageGeneration, &rule);
        if (known ? stepWithRule(context, rule) : stepWithDwarf(context, lookup, &noImage)) return true;
    }
    if (noImage && context->pcIsExact && stepOverCallIntoNoImage(context)) return true;
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

// The checks that end every step: the walk ends silently at a pc below 4096 (the outermost frame). Frame
// 0 is delivered at any pc, a call's null target too.
__attribute__((noinline)) bool deliver(ZEVUnwindContext* context) {
    const MachineContext& r = context->registers;
    if (darwin::isNullAddress(r.rip) && context->frameCount != 0) return false;
    if (darwin::isNullAddress(r.rsp)) {
        ZEVSDKLog("%s: Error: SP (%p) isn't a valid pointer\n", "ZEVUnwindNextFrame",
                  reinterpret_cast<void*>(r.rsp));
        return false;
    }
    context->nullPcToStep = darwin::isNullAddress(r.rip);
    context->frameCount += 1;
    return true;
}

// Every step with its checks and messages.
__attribute__((noinline)) bool nextFrame(ZEVUnwindContext* context, bool missed = false) {
    if (darwin::isNullAddress(context)) {
        ZEVSDKLog("%s: Error: invalid inputs\n", "ZEVUnwindNextFrame");
        return false;
    }
    MachineContext& r = context->registers;
    // A null pc is frame 0's, to be delivered or stepped from once; anywhere else the walk has ended.
    const bool nullPcToStep = context->frameCount == 0 || context->nullPcToStep;
    context->nullPcToStep = false;
    if ((darwin::isNullAddress(r.rip) && !nullPcToStep) || darwin::isNullAddress(r.rsp)) {
        ZEVSDKLog(context->frameCount == 0 ? "%s: Cancelling unwind for thread with invalid PC/SP\n"
                                           : "%s: Error: thread PC/SP invalid before unwind\n",
                  "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount >= kUnwindMaxFrames) {
        ZEVSDKLog("%s: Error: failed to advance to the next frame\n", "ZEVUnwindNextFrame");
        return false;
    }
    if (context->frameCount > 0 && !step(context, missed)) return false;
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
    context->nullPcToStep = false;
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
    // Frame 0 is the registers as given: delivered without a step, at any pc.
    const MachineContext& given = context->registers;
    if (capacity > 0 && context->frameCount == 0 && !darwin::isNullAddress(given.rsp)) {
        context->frameCount = 1;
        context->nullPcToStep = darwin::isNullAddress(given.rip);
        pcs[count++] = given.rip;
    }
    bool missedLast = false;
    while (count < capacity) {
        bool ran = false, missed = false;
        if (KnownFrames::usable(context) && missedLast && !KnownFrames::mayTake(context)) {
            // After a frame the cache did not keep, the next is most often not kept either (the walk
            // goes through code it has not walked before): it is looked up before a run is set up.
            ran = missed = true;
        } else if (KnownFrames::usable(context)) {
            std::uint32_t limit = capacity - count;
            if (limit > kUnwindMaxFrames - context->frameCount)
                limit = kUnwindMaxFrames - context->frameCount;
            KnownFrames known(context);
            std::uint32_t taken = known.run(pcs + count, limit);
            known.finish(taken);
            count += taken;
            if (known.reachedOutermost()) break;
            if (taken == KnownFrames::kBatch) continue; // a whole batch: the next goes on from here
            // The run stopped where a run of one frame would stop too: the full step goes on.
            ran = true;
            missed = known.missed();
        }
        missedLast = missed;
        // Everything else, one frame at a time through the full step.
        if (count == capacity || !(ran ? nextFrame(context, missed) : ZEVUnwindNextFrame(context))) break;
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
