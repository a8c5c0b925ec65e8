#pragma once
// The crash context's guarded memory: one private mapping laid out as
//   guard page | writable region | guard page | read-only region | guard page
// with lock-free bump allocation from either region. After set-up the read-only region is
// write-protected, so a stray write during a crash cannot corrupt the paths and saved handlers.
//
// Allocations are 16-byte aligned and never freed. When a region is exhausted, when the allocator is
// null, or once it is protected, allocation falls back to the heap (with an SDK log line); an unknown
// region kind gives null.
#include <atomic>
#include <cstddef>
#include <cstdint>

struct ZEVAllocatorRegion {
    std::uint64_t capacity;
    char* start;
    std::atomic<char*> next;
};

struct ZEVAllocator {
    char* base;
    std::uint8_t isProtected;
    ZEVAllocatorRegion writable;
    ZEVAllocatorRegion readOnly;
};
static_assert(sizeof(ZEVAllocator) == 64, "the allocator record takes the first 64 bytes of its region");

// The page the mapping is laid out by: the host's, clamped to 4096..16384 (16384 when it cannot be
// read).
std::uint64_t ZEVHostGetPageSize();

namespace zevuzavidav {
// Clamping rule on its own (tested with odd page sizes).
std::uint64_t clampPageSize(std::uint64_t pageSize, bool known);

enum AllocationKind : int { kAllocationReadOnly = 0, kAllocationWritable = 1 };

// Bytes a region request occupies: (request / page + 1) * page, and 0 for a request of 0.
std::uint64_t allocatorRoundedSize(std::uint64_t request, std::uint64_t page);
} // namespace zevuzavidav

// Maps and guards the regions; null (with a log line) on failure.
ZEVAllocator* ZEVAllocatorCreate(std::uint64_t writableBytes, std::uint64_t readOnlyBytes);
void* ZEVAllocatorSafeAllocateFromRegion(ZEVAllocatorRegion* region, std::size_t size);
void* ZEVAllocatorSafeAllocate(ZEVAllocator* allocator, std::size_t size, int kind);
// Write-protects the read-only region; true on success or when it was already protected.
bool ZEVAllocatorProtect(ZEVAllocator* allocator);
namespace zevuzavidav {
// True when `pointer` lies inside the allocator's mapping (memory that must never be freed).
bool allocatorOwns(const ZEVAllocator* allocator, const void* pointer);
} // namespace zevuzavidav
