// One walk of the current thread's stack by our unwinder (every pc into a buffer, as the crash recorder
// takes them), beside libunwind's unw_backtrace and libgcc's _Unwind_Backtrace walking the same stacks
// in the same program. BM_ZEVUnwindFullSteps walks without the frame-rule cache, every frame from the
// unwind tables, as a crash walks frames never seen before.
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

__attribute__((noinline)) void atDepth(benchmark::State& state, int depth, Walker walker) {
    if (depth > 1) {
        atDepth(state, depth - 1, walker);
        benchmark::ClobberMemory();
        return;
    }
    walk(state, walker);
}

void BM_ZEVUnwind(benchmark::State& state) {
    loadTable();
    atDepth(state, static_cast<int>(state.range(0)), Walker::ours);
}

void BM_ZEVUnwindFullSteps(benchmark::State& state) {
    loadTable();
    atDepth(state, static_cast<int>(state.range(0)), Walker::oursFullSteps);
}

void BM_unw_backtrace(benchmark::State& state) {
    atDepth(state, static_cast<int>(state.range(0)), Walker::libunwind);
}

void BM_Unwind_Backtrace(benchmark::State& state) {
    atDepth(state, static_cast<int>(state.range(0)), Walker::libgcc);
}

BENCHMARK(BM_ZEVUnwind)->Arg(8)->Arg(64)->Arg(256)->Repetitions(12)->ReportAggregatesOnly(true);
BENCHMARK(BM_ZEVUnwindFullSteps)->Arg(8)->Arg(64)->Arg(256)->Repetitions(12)->ReportAggregatesOnly(true);
BENCHMARK(BM_unw_backtrace)->Arg(8)->Arg(64)->Arg(256)->Repetitions(12)->ReportAggregatesOnly(true);
BENCHMARK(BM_Unwind_Backtrace)->Arg(8)->Arg(64)->Arg(256)->Repetitions(12)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    return velobench::runBesideAnchors(
        argc, argv,
        {{"BM_ZEVUnwind", {"BM_unw_backtrace", "BM_Unwind_Backtrace"}},
         {"BM_ZEVUnwindFullSteps", {"BM_unw_backtrace", "BM_Unwind_Backtrace"}}});
}
