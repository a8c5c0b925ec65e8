// One walk of the current thread's stack by our unwinder (every pc into a buffer, as the crash recorder
// takes them), beside libunwind's unw_backtrace and libgcc's _Unwind_Backtrace walking the same stacks
// in the same program. BM_ZEVUnwind walks with the frame-rule cache warm, against libunwind (goal: no
// slower); BM_ZEVUnwindFullSteps walks without it, every frame from the unwind tables; and
// BM_ZEVUnwindFirstWalk walks as a crash's first walk does, with the cache on and every table a walk
// fills (the rule cache, the CIEs parsed, the images' segments proven) emptied before each walk, not
// timed: each frame is looked up, missed, stepped from the tables and kept. Both against libgcc (goal:
// no slower). What the SDK's start prepares (the rule cache's pages resident, the images that stay
// mapped noted, the image table) and the walking thread's stack, proven before the walk, stay.
//
// Each walk runs over three stacks: one recursive function whose frames save no register (saving:0),
// one recursive function whose frames save three callee-saved registers (saving:1), and a chain of
// distinct functions that save a few to all six, as a real program's stack is (saving:1/distinct:1).
// Over recursion a walk meets one frame rule over and over; over distinct functions every frame's rule
// is looked up.
//
// Beside each time stand the instructions per frame that callgrind counts for the same walk over the
// same stack (the program runs itself once more under valgrind for them): a count the load of a
// shared machine does not move.
#include "bench/AnchorReport.hpp"
#include "bench/Callgrind.hpp"
#include "bench/DistinctFrames.hpp"
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/unwind/DwarfCIETable.hpp"
#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <dlfcn.h>
#include <iterator>
#include <libunwind.h>
#include <string>
#include <unwind.h>
#include <vector>

namespace {

// A fixed image table, as the crash context keeps one: lookups do not call into the dynamic linker.
std::vector<zevuzavidav::BinaryImageNodeCopy> images;

bool findInTable(std::uint64_t address, zevuzavidav::BinaryImageNodeCopy* out) {
    for (const auto& image : images) {
        if (address >= image.base && address - image.base < image.size) {
            *out = image;
            return true;
        }
    }
    return false;
}

void loadTable() {
    if (!images.empty()) return;
    darwin::notePermanentImages(); // as the SDK's start does when it registers for image notices
    darwin::forEachImage(
        [](const darwin::ImageInfo& image, void*) {
            images.push_back({image.base, image.size, image.ehFrameHdr, 0, 0});
            return true;
        },
        nullptr);
}

// libunwind also defines _Unwind_Backtrace; the libgcc anchor is taken from libgcc by name so that
// neither anchor can stand in for the other.
using Backtrace = _Unwind_Reason_Code (*)(_Unwind_Trace_Fn, void*);
Backtrace libgccBacktrace() {
    static Backtrace function = [] {
        void* libgcc = dlopen("libgcc_s.so.1", RTLD_NOW | RTLD_NOLOAD);
        return libgcc != nullptr ? reinterpret_cast<Backtrace>(dlsym(libgcc, "_Unwind_Backtrace")) : nullptr;
    }();
    return function;
}

_Unwind_Reason_Code count(_Unwind_Context*, void* frames) {
    ++*static_cast<int*>(frames);
    return _URC_NO_REASON;
}

enum class Walker { ours, oursFullSteps, oursFirstWalk, libunwind, libgcc };

constexpr const char* kFamilies[] = {"BM_ZEVUnwind", "BM_ZEVUnwindFullSteps", "BM_ZEVUnwindFirstWalk",
                                     "BM_unw_backtrace", "BM_Unwind_Backtrace"};

// Empties every table a walk fills, as a crash process finds them before its first walk.
void emptyWalkTables() {
    zevuzavidav::clearUnwindRuleCache();
    zevuzavidav::clearKeptDwarfCIEs();
    zevuzavidav::clearProvenDwarfImages();
}

// One walk of the current stack; the frames it found.
inline __attribute__((always_inline)) int walkOnce(Walker walker, Backtrace backtrace, void** buffer,
                                                   std::uint64_t* pcs) {
    int frames = 0;
    switch (walker) {
    case Walker::ours:
    case Walker::oursFullSteps:
    case Walker::oursFirstWalk: {
        ZEVUnwindContext context;
        zevuzavidav::captureCurrentRegisters(&context.registers);
        zevuzavidav::initUnwindWithImageFinder(&context, &context.registers, findInTable);
        context.useRuleCache = walker != Walker::oursFullSteps;
        frames =
            static_cast<int>(zevuzavidav::unwindNextFrames(&context, pcs, zevuzavidav::kUnwindMaxFrames));
        break;
    }
    case Walker::libunwind:
        frames = unw_backtrace(buffer, zevuzavidav::kUnwindMaxFrames);
        break;
    case Walker::libgcc:
        backtrace(count, &frames);
        break;
    }
    return frames;
}

// The timed walks, outside the stack's own frames, so every frame of it stays small as real frames are.
__attribute__((noinline)) void walk(benchmark::State& state, Walker walker) {
    int frames = 0;
    void* buffer[zevuzavidav::kUnwindMaxFrames];
    std::uint64_t pcs[zevuzavidav::kUnwindMaxFrames];
    Backtrace backtrace = libgccBacktrace();
    if (walker == Walker::libgcc && backtrace == nullptr) {
        state.SkipWithError("libgcc's _Unwind_Backtrace is not loaded");
        return;
    }
    if (walker == Walker::oursFirstWalk) {
        // Only the walk is timed (manual time), not the emptying before it.
        for (auto _ : state) {
            emptyWalkTables();
            const auto start = std::chrono::steady_clock::now();
            frames = walkOnce(walker, backtrace, buffer, pcs);
            benchmark::DoNotOptimize(frames);
            benchmark::ClobberMemory();
            state.SetIterationTime(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
    } else {
        for (auto _ : state) {
            frames = walkOnce(walker, backtrace, buffer, pcs);
            benchmark::DoNotOptimize(frames);
            benchmark::ClobberMemory();
        }
    }
    state.counters["frames"] = frames;
    state.counters["per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsIterationInvariantRate |
                                                                 benchmark::Counter::kInvert);
}

// The counted walks (under callgrind): the same walk a few times once the caches it keeps are warm (a
// first walk: once the code has run, each after its tables are emptied, uncounted), filed under the
// figure's name per frame walked.
__attribute__((noinline)) void countWalks(const std::string& figure, Walker walker) {
    constexpr int kWarm = 3, kCounted = 16;
    void* buffer[zevuzavidav::kUnwindMaxFrames];
    std::uint64_t pcs[zevuzavidav::kUnwindMaxFrames];
    Backtrace backtrace = libgccBacktrace();
    if (walker == Walker::libgcc && backtrace == nullptr) return;
    const bool first = walker == Walker::oursFirstWalk;
    int frames = 0;
    for (int i = 0; i < kWarm; ++i) {
        if (first) emptyWalkTables();
        frames = walkOnce(walker, backtrace, buffer, pcs);
    }
    velobench::countInstructions(figure, static_cast<double>(frames) * kCounted, [&] {
        for (int i = 0; i < kCounted; ++i) {
            if (first) velobench::outsideCount(emptyWalkTables);
            benchmark::DoNotOptimize(walkOnce(walker, backtrace, buffer, pcs));
            benchmark::ClobberMemory();
        }
    });
}

struct WalkLeaf {
    benchmark::State& state;
    Walker walker;
    void operator()() { walk(state, walker); }
};

struct CountLeaf {
    const std::string& figure;
    Walker walker;
    void operator()() { countWalks(figure, walker); }
};

// A frame that saves no register (compiled to `sub $8,%rsp; call`).
template <typename Leaf> __attribute__((noinline)) void atDepth(int depth, Leaf& leaf) {
    if (depth > 1) {
        atDepth(depth - 1, leaf);
        benchmark::ClobberMemory();
        return;
    }
    leaf();
}

// A frame as most code has one: rbx, r12 and r13 are saved on entry (their values live across the
// call, as a caller's locals do) and their save slots are in its call-frame rules.
template <typename Leaf> __attribute__((noinline)) void atDepthSaving(int depth, Leaf& leaf) {
    if (depth > 1) {
        asm volatile("" ::: "rbx", "r12", "r13");
        atDepthSaving(depth - 1, leaf);
        benchmark::ClobberMemory();
        return;
    }
    leaf();
}

// The stacks walked: `depth` frames of one recursive function, bare or saving, or of distinct ones.
struct Stack {
    int depth;
    bool saving;
    bool distinct;
};

template <typename Leaf> void atStack(const Stack& stack, Leaf& leaf) {
    if (stack.distinct) {
        velobench::atDistinctDepth(0, stack.depth, leaf);
    } else if (stack.saving) {
        atDepthSaving(stack.depth, leaf);
    } else {
        atDepth(stack.depth, leaf);
    }
}

std::vector<Stack> stacks() {
    std::vector<Stack> all;
    for (int depth : {8, 64, 256}) {
        static_assert(velobench::kDistinctFunctions >= 256);
        all.push_back({depth, false, false});
        all.push_back({depth, true, false});
        all.push_back({depth, true, true});
    }
    return all;
}

// The benchmark's arguments as Google Benchmark names them.
std::string argumentsOf(const Stack& stack) {
    return std::to_string(stack.depth) + "/saving:" + (stack.saving ? "1" : "0") +
           "/distinct:" + (stack.distinct ? "1" : "0");
}

void walkAt(benchmark::State& state, Walker walker) {
    WalkLeaf leaf{state, walker};
    atStack({static_cast<int>(state.range(0)), state.range(1) != 0, state.range(2) != 0}, leaf);
}

void BM_ZEVUnwind(benchmark::State& state) {
    loadTable();
    walkAt(state, Walker::ours);
}

void BM_ZEVUnwindFullSteps(benchmark::State& state) {
    loadTable();
    walkAt(state, Walker::oursFullSteps);
}

void BM_ZEVUnwindFirstWalk(benchmark::State& state) {
    loadTable();
    walkAt(state, Walker::oursFirstWalk);
}

void BM_unw_backtrace(benchmark::State& state) {
    walkAt(state, Walker::libunwind);
}

void BM_Unwind_Backtrace(benchmark::State& state) {
    walkAt(state, Walker::libgcc);
}

void depthsAndFrames(benchmark::internal::Benchmark* family) {
    for (const Stack& stack : stacks())
        family->Args({stack.depth, stack.saving, stack.distinct});
    family->ArgNames({"", "saving", "distinct"})->Repetitions(12)->ReportAggregatesOnly(true);
}

// The stacks of distinct functions only: a first walk over recursion is one miss and then hits.
void distinctDepths(benchmark::internal::Benchmark* family) {
    for (const Stack& stack : stacks()) {
        if (stack.distinct) family->Args({stack.depth, stack.saving, stack.distinct});
    }
    family->ArgNames({"", "saving", "distinct"})
        ->Repetitions(12)
        ->ReportAggregatesOnly(true)
        ->UseManualTime();
}

BENCHMARK(BM_ZEVUnwind)->Apply(depthsAndFrames);
BENCHMARK(BM_ZEVUnwindFullSteps)->Apply(depthsAndFrames);
BENCHMARK(BM_ZEVUnwindFirstWalk)->Apply(distinctDepths);
BENCHMARK(BM_unw_backtrace)->Apply(depthsAndFrames);
BENCHMARK(BM_Unwind_Backtrace)->Apply(depthsAndFrames);

// Under callgrind: every walker over every stack it is timed over.
int countEveryWalk() {
    loadTable();
    for (int walker = 0; walker < static_cast<int>(std::size(kFamilies)); ++walker) {
        for (const Stack& stack : stacks()) {
            if (static_cast<Walker>(walker) == Walker::oursFirstWalk && !stack.distinct) continue;
            const std::string figure = std::string(kFamilies[walker]) + "/" + argumentsOf(stack);
            CountLeaf leaf{figure, static_cast<Walker>(walker)};
            atStack(stack, leaf);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (velobench::countingInstructions(argc, argv)) return countEveryWalk();
    const velobench::InstructionCounts counts = velobench::countUnderCallgrind("frame");
    return velobench::runBesideAnchors(
        argc, argv,
        {{"BM_ZEVUnwind", {"BM_unw_backtrace", "BM_Unwind_Backtrace"}, 0, 1.0},
         {"BM_ZEVUnwindFullSteps", {"BM_Unwind_Backtrace", "BM_unw_backtrace"}, 0, 1.0},
         {"BM_ZEVUnwindFirstWalk", {"BM_Unwind_Backtrace", "BM_unw_backtrace"}, 0, 1.0}},
        &counts);
}
