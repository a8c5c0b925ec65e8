// One walk of the current thread's stack by our unwinder (every pc into a buffer, as the crash recorder
// takes them), beside libunwind's unw_backtrace and libgcc's _Unwind_Backtrace walking the same stacks
// in the same program. BM_ZEVUnwind walks with the frame-rule cache warm, against libunwind (goal: no
// slower); BM_ZEVUnwindFullSteps walks without it, every frame from the unwind tables, as a crash walks
// frames never seen before, against libgcc (goal: no slower).
//
// Each walk runs over two stacks (the second argument): bare recursive frames that save no register
// (0), and ordinary frames that save three callee-saved registers, as most code does (1).
#include "bench/AnchorReport.hpp"
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <libunwind.h>
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

enum class Walker { ours, oursFullSteps, libunwind, libgcc };

// The walk itself, outside the recursion, so every recursive frame stays small as real frames are.
__attribute__((noinline)) void walk(benchmark::State& state, Walker walker) {
    int frames = 0;
    void* buffer[zevuzavidav::kUnwindMaxFrames];
    std::uint64_t pcs[zevuzavidav::kUnwindMaxFrames];
    Backtrace backtrace = libgccBacktrace();
    if (walker == Walker::libgcc && backtrace == nullptr) {
        state.SkipWithError("libgcc's _Unwind_Backtrace is not loaded");
        return;
    }
    for (auto _ : state) {
        frames = 0;
        switch (walker) {
        case Walker::ours:
        case Walker::oursFullSteps: {
            ZEVUnwindContext context;
            zevuzavidav::captureCurrentRegisters(&context.registers);
            zevuzavidav::initUnwindWithImageFinder(&context, &context.registers, findInTable);
            context.useRuleCache = walker == Walker::ours;
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
        benchmark::DoNotOptimize(frames);
        benchmark::ClobberMemory();
    }
    state.counters["frames"] = frames;
    state.counters["per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsIterationInvariantRate |
                                                                 benchmark::Counter::kInvert);
}

// A frame that saves no register (compiled to `sub $8,%rsp; call`).
__attribute__((noinline)) void atDepth(benchmark::State& state, int depth, Walker walker) {
    if (depth > 1) {
        atDepth(state, depth - 1, walker);
        benchmark::ClobberMemory();
        return;
    }
    walk(state, walker);
}

// A frame as most code has one: rbx, r12 and r13 are saved on entry (their values live across the
// call, as a caller's locals do) and their save slots are in its call-frame rules.
__attribute__((noinline)) void atDepthSaving(benchmark::State& state, int depth, Walker walker) {
    if (depth > 1) {
        asm volatile("" ::: "rbx", "r12", "r13");
        atDepthSaving(state, depth - 1, walker);
        benchmark::ClobberMemory();
        return;
    }
    walk(state, walker);
}

void walkAt(benchmark::State& state, Walker walker) {
    const int depth = static_cast<int>(state.range(0));
    if (state.range(1) == 0) {
        atDepth(state, depth, walker);
    } else {
        atDepthSaving(state, depth, walker);
    }
}

void BM_ZEVUnwind(benchmark::State& state) {
    loadTable();
    walkAt(state, Walker::ours);
}

void BM_ZEVUnwindFullSteps(benchmark::State& state) {
    loadTable();
    walkAt(state, Walker::oursFullSteps);
}

void BM_unw_backtrace(benchmark::State& state) {
    walkAt(state, Walker::libunwind);
}

void BM_Unwind_Backtrace(benchmark::State& state) {
    walkAt(state, Walker::libgcc);
}

// Depths 8, 64 and 256, over bare (0) and ordinary (1) frames.
void depthsAndFrames(benchmark::internal::Benchmark* family) {
    family->ArgsProduct({{8, 64, 256}, {0, 1}})
        ->ArgNames({"", "saving"})
        ->Repetitions(12)
        ->ReportAggregatesOnly(true);
}

BENCHMARK(BM_ZEVUnwind)->Apply(depthsAndFrames);
BENCHMARK(BM_ZEVUnwindFullSteps)->Apply(depthsAndFrames);
BENCHMARK(BM_unw_backtrace)->Apply(depthsAndFrames);
BENCHMARK(BM_Unwind_Backtrace)->Apply(depthsAndFrames);

} // namespace

int main(int argc, char** argv) {
    return velobench::runBesideAnchors(
        argc, argv,
        {{"BM_ZEVUnwind", {"BM_unw_backtrace", "BM_Unwind_Backtrace"}, 0, 1.0},
         {"BM_ZEVUnwindFullSteps", {"BM_Unwind_Backtrace", "BM_unw_backtrace"}, 0, 1.0}});
}
