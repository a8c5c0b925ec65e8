#pragma once
// One slot of the crash context's fixed table of loaded images, updated without locks.
#include <atomic>
#include <cstdint>

namespace zevuzavidav {
constexpr int kBinaryImageTableSize = 512;
} // namespace zevuzavidav

// A slot is claimed by a compare-and-swap of its base (0 = free). An unloaded image keeps its base
// with size 0, so lookups skip it. Every field is atomic: images load and unload on any thread while
// crash handlers and unwinders read the table without locks; a size stored last publishes the others. For ELF
// images `eh_frame` holds the .eh_frame_hdr index (the entry point of the DWARF lookup) and `unwind_info` is
// 0; Mach-O images keep their sections' addresses.
struct ZEVBinaryImageRuntimeNode {
    std::atomic<std::uint64_t> base;
    std::atomic<std::uint64_t> size;
    std::atomic<std::uint64_t> eh_frame;
    std::atomic<std::uint64_t> unwind_info;
    std::atomic<std::uint64_t> crash_info;
};
static_assert(sizeof(ZEVBinaryImageRuntimeNode) == 40, "five 64-bit fields");

namespace zevuzavidav {
// A plain copy of a slot, for readers.
struct BinaryImageNodeCopy {
    std::uint64_t base = 0;
    std::uint64_t size = 0;
    std::uint64_t eh_frame = 0;
    std::uint64_t unwind_info = 0;
    std::uint64_t crash_info = 0;
};
} // namespace zevuzavidav
