// The unwinder's cost per frame beside the system unwinder's, on the same stacks, in one run.
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include <benchmark/benchmark.h>

#include <unwind.h>
#include <vector>

namespace {

// A fixed image table, as the crash context keeps one: lookups do not call into the dynamic linker.
std::vector<ZEVBinaryImageNodeCopy> images;

bool findInTable(std::uint64_t address, ZEVBinaryImageNodeCopy* out) {
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
    darwin::forEachImage(
        [](const darwin::ImageInfo& image, void*) {
            images.push_back({image.base, image.size, image.ehFrameHdr, 0, 0});
            return true;
        },
        nullptr);
}

_Unwind_Reason_Code count(_Unwind_Context*, void* frames) {
    ++*static_cast<int*>(frames);
    return _URC_NO_REASON;
}

enum class Walker { ours, system };

// The walk itself, outside the recursion, so every recursive frame stays small as real frames are.
__attribute__((noinline)) void walk(benchmark::State& state, Walker walker) {
    int frames = 0;
    for (auto _ : state) {
        frames = 0;
        if (walker == Walker::ours) {
            ZEVMachineContext registers;
            ZEVUnwindCaptureCurrent(&registers);
            ZEVUnwindContext context;
            ZEVUnwindInitWithImageFinder(&context, &registers, findInTable);
            while (ZEVUnwindNextFrame(&context))
                ++frames;
        } else {
            _Unwind_Backtrace(count, &frames);
        }
        benchmark::DoNotOptimize(frames);
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

void BM_SystemUnwindBacktrace(benchmark::State& state) {
    atDepth(state, static_cast<int>(state.range(0)), Walker::system);
}

BENCHMARK(BM_ZEVUnwind)->Arg(8)->Arg(64)->Arg(256);
BENCHMARK(BM_SystemUnwindBacktrace)->Arg(8)->Arg(64)->Arg(256);

} // namespace

BENCHMARK_MAIN();
