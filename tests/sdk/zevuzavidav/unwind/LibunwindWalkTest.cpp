// Our walk of a deep stack beside libunwind's, frame by frame: the pc, the stack pointer and every
// callee-saved register of each caller, with the frame-rule cache off, cold and warm. The stack mixes
// frames that keep values in callee-saved registers without a frame pointer (their CFA found from
// rsp), frames of variable size (from rbp), and calls through the C and C++ libraries (qsort,
// pthread_once, ostream::write), whose call-frame tables were written by other hands; one walk starts
// in a signal handler, so it crosses the signal trampoline too.
#define UNW_LOCAL_ONLY
#include <libunwind.h>

#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include <gtest/gtest.h>

#include <alloca.h>
#include <csignal>
#include <cstdlib>
#include <ostream>
#include <pthread.h>
#include <streambuf>

using namespace zevuzavidav;

namespace {

struct Frame {
    std::uint64_t pc, sp, rbx, rbp, r12, r13, r14, r15;
};

constexpr std::size_t kMaxWalk = 1024;

// A walk kept in static storage: a signal handler takes it without allocating.
struct Walk {
    Frame frames[kMaxWalk];
    std::size_t count = 0;
    std::uint64_t batchPcs[kMaxWalk]; // the warm walk in batches: pcs, and the registers at each batch's end
    std::size_t batchCount = 0;
    struct BatchEnd {
        std::size_t frame;
        Frame registers;
    } batchEnds[kMaxWalk];
    std::size_t batchEndCount = 0;
};

enum Taken { kLibunwind, kOursOff, kOursCold, kOursWarm, kWalks };
Walk walks[kWalks];

void ourWalk(const MachineContext& start, bool ruleCache, Walk* walk) {
    ZEVUnwindContext context;
    initUnwindWithImageFinder(&context, &start, findImageWithDynamicLinker);
    context.useRuleCache = ruleCache;
    walk->count = 0;
    while (walk->count < kMaxWalk && ZEVUnwindNextFrame(&context)) {
        const MachineContext& r = context.registers;
        walk->frames[walk->count++] = {r.rip, r.rsp, r.rbx, r.rbp, r.r12, r.r13, r.r14, r.r15};
    }
}

void libunwindWalk(unw_context_t* registers, Walk* walk) {
    unw_cursor_t cursor;
    walk->count = 0;
    if (unw_init_local(&cursor, registers) != 0) return;
    do {
        unw_word_t value[8] = {};
        const int numbers[8] = {UNW_REG_IP,     UNW_REG_SP,     UNW_X86_64_RBX, UNW_X86_64_RBP,
                                UNW_X86_64_R12, UNW_X86_64_R13, UNW_X86_64_R14, UNW_X86_64_R15};
        for (int i = 0; i < 8; ++i)
            unw_get_reg(&cursor, numbers[i], &value[i]);
        walk->frames[walk->count++] = {value[0], value[1], value[2], value[3],
                                       value[4], value[5], value[6], value[7]};
    } while (walk->count < kMaxWalk && unw_step(&cursor) > 0);
}

// Both walks start in this function: ours at the return address of the capture, libunwind's at the
// return address of its own capture; from frame 1 (this function's caller) on they must agree.
__attribute__((noinline)) void takeWalks() {
    MachineContext start;
    captureCurrentRegisters(&start);
    unw_context_t registers;
    unw_getcontext(&registers);
    libunwindWalk(&registers, &walks[kLibunwind]);
    clearUnwindRuleCache();
    ourWalk(start, false, &walks[kOursOff]);
    ourWalk(start, true, &walks[kOursCold]);
    ourWalk(start, true, &walks[kOursWarm]);
    ZEVUnwindContext context;
    initUnwindWithImageFinder(&context, &start, findImageWithDynamicLinker);
    // The first batch takes more frames than one run over kept rules holds back, the rest 7 at a time.
    Walk& warm = walks[kOursWarm];
    warm.batchCount = warm.batchEndCount = 0;
    std::uint32_t batch = 150;
    for (std::uint32_t n = 0; (n = unwindNextFrames(&context, warm.batchPcs + warm.batchCount, batch)) > 0;) {
        warm.batchCount += n;
        if (n == batch) {
            const MachineContext& r = context.registers;
            warm.batchEnds[warm.batchEndCount++] = {warm.batchCount - 1,
                                                    {r.rip, r.rsp, r.rbx, r.rbp, r.r12, r.r13, r.r14, r.r15}};
        }
        batch = 7;
        if (warm.batchCount + batch > kMaxWalk) break;
    }
    asm volatile("" ::: "memory");
}

void walkingHandler(int) {
    takeWalks();
}

__attribute__((noinline)) void bottom(bool inSignalHandler) {
    if (!inSignalHandler) {
        takeWalks();
    } else {
        struct sigaction action {
        }, previous{};
        action.sa_handler = walkingHandler;
        sigaction(SIGUSR2, &action, &previous);
        raise(SIGUSR2);
        sigaction(SIGUSR2, &previous, nullptr);
    }
    asm volatile("" ::: "memory");
}

// ---- the stack: five kinds of frame in turn, down to `bottom` ----

struct Descent {
    int depth;
    bool inSignalHandler;
};
void descend(Descent descent);

// Values live across the call in three callee-saved registers, saved and restored by the frame; the
// test program keeps frame pointers, this frame does not where the compiler lets a function choose.
#if defined(__clang__)
#define VELO_WITHOUT_FRAME_POINTER
#else
#define VELO_WITHOUT_FRAME_POINTER optimize("omit-frame-pointer")
#endif
__attribute__((noinline, VELO_WITHOUT_FRAME_POINTER)) void keepsThreeRegisters(Descent descent) {
    long a = descent.depth * 3 + 1, b = descent.depth * 5 + 2, c = descent.depth * 7 + 3;
    asm volatile("" : "+r"(a), "+r"(b), "+r"(c));
    descend(descent);
    asm volatile("" ::"r"(a), "r"(b), "r"(c) : "memory");
}

// A frame of variable size: its CFA is found from rbp.
__attribute__((noinline)) void variableSize(Descent descent) {
    auto* scratch = static_cast<volatile char*>(alloca(16 + descent.depth % 48));
    scratch[0] = 1;
    descend(descent);
    asm volatile("" ::"r"(scratch) : "memory");
}

// Through the C library's sort: the comparison goes on down.
Descent sortDescent;
int compareAndDescend(const void* a, const void* b) {
    if (sortDescent.depth > 0) {
        Descent descent = sortDescent;
        sortDescent.depth = 0;
        descend(descent);
    }
    return *static_cast<const int*>(a) - *static_cast<const int*>(b);
}
__attribute__((noinline)) void throughQsort(Descent descent) {
    int values[] = {2, 1};
    sortDescent = descent;
    std::qsort(values, 2, sizeof values[0], compareAndDescend);
}

// Through pthread_once, with a fresh control at each level.
Descent onceDescent;
void descendOnce() {
    descend(onceDescent);
}
__attribute__((noinline)) void throughPthreadOnce(Descent descent) {
    pthread_once_t once = PTHREAD_ONCE_INIT;
    onceDescent = descent;
    pthread_once(&once, descendOnce);
    asm volatile("" ::: "memory");
}

// Through the C++ library's ostream::write, into a stream buffer that goes on down.
class DescendingBuffer : public std::streambuf {
  public:
    explicit DescendingBuffer(Descent descent) : descent_(descent) {}

  protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        descend(descent_);
        return n;
    }

  private:
    Descent descent_;
};
__attribute__((noinline)) void throughOstreamWrite(Descent descent) {
    DescendingBuffer buffer(descent);
    std::ostream out(&buffer);
    out.write("x", 1);
}

void descend(Descent descent) {
    if (--descent.depth <= 0) return bottom(descent.inSignalHandler);
    switch (descent.depth % 8) {
    case 0:
        return throughQsort(descent);
    case 3:
        return throughPthreadOnce(descent);
    case 5:
        return throughOstreamWrite(descent);
    case 1:
    case 6:
        return variableSize(descent);
    default:
        return keepsThreeRegisters(descent);
    }
}

// Frame `i` of ours is libunwind's, field by field.
::testing::AssertionResult sameFrame(const Frame& a, std::size_t i) {
    const Frame& b = walks[kLibunwind].frames[i];
    if (a.pc == b.pc && a.sp == b.sp && a.rbx == b.rbx && a.rbp == b.rbp && a.r12 == b.r12 &&
        a.r13 == b.r13 && a.r14 == b.r14 && a.r15 == b.r15) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "frame " << i << std::hex << ": pc " << a.pc << " / " << b.pc << ", sp " << a.sp << " / "
           << b.sp << ", rbx " << a.rbx << " / " << b.rbx << ", rbp " << a.rbp << " / " << b.rbp << ", r12 "
           << a.r12 << " / " << b.r12 << ", r13 " << a.r13 << " / " << b.r13 << ", r14 " << a.r14 << " / "
           << b.r14 << ", r15 " << a.r15 << " / " << b.r15;
}

// Frames [1, count) of `ours` are libunwind's; the first difference is reported.
void expectSameFrames(const Walk& ours, const char* name) {
    const Walk& theirs = walks[kLibunwind];
    ASSERT_EQ(ours.count, theirs.count) << name;
    for (std::size_t i = 1; i < ours.count; ++i)
        ASSERT_TRUE(sameFrame(ours.frames[i], i)) << name << ", of " << ours.count;
}

void expectOurWalksMatchLibunwind(int depth) {
    const Walk& theirs = walks[kLibunwind];
    ASSERT_GT(theirs.count, static_cast<std::size_t>(depth));
    expectSameFrames(walks[kOursOff], "rule cache off");
    expectSameFrames(walks[kOursCold], "rule cache cold");
    expectSameFrames(walks[kOursWarm], "rule cache warm");
    const Walk& warm = walks[kOursWarm];
    ASSERT_EQ(warm.batchCount, theirs.count);
    for (std::size_t i = 1; i < warm.batchCount; ++i)
        ASSERT_EQ(warm.batchPcs[i], theirs.frames[i].pc) << "batches, frame " << i;
    // Every register restored when a batch stops, the first after more than a run holds back.
    ASSERT_GT(warm.batchEndCount, 10u);
    EXPECT_EQ(warm.batchEnds[0].frame, 149u);
    for (std::size_t i = 0; i < warm.batchEndCount; ++i)
        ASSERT_TRUE(sameFrame(warm.batchEnds[i].registers, warm.batchEnds[i].frame)) << "batches";
}

TEST(WalkBesideLibunwind, DeepStackThroughTheCAndCxxLibraries) {
    descend({120, false});
    expectOurWalksMatchLibunwind(120);
}

TEST(WalkBesideLibunwind, DeepStackFromASignalHandler) {
    descend({120, true});
    expectOurWalksMatchLibunwind(120);
}

} // namespace
