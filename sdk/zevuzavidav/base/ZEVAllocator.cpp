#include "sdk/zevuzavidav/base/ZEVAllocator.hpp"

#include "platform/darwin/Host.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace {

constexpr std::size_t kAlignment = 16;

std::size_t aligned(std::size_t size) {
    return (size + kAlignment - 1) & ~(kAlignment - 1);
}

void* heapBlock(std::size_t size) {
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

std::uint64_t zevuzavidav::clampPageSize(std::uint64_t pageSize, bool known) {
    if (!known) return 16384;
    if (pageSize > 16384) return 16384;
    if (pageSize < 4096) return 4096;
    return pageSize;
}

std::uint64_t ZEVHostGetPageSize() {
    std::uint64_t size = darwin::hostPageSize();
    if (size == 0)
        ZEVSDKLog("%s: sysctlbyname failed while trying to get hw.pagesize\n", "ZEVHostGetPageSize");
    return zevuzavidav::clampPageSize(size, size != 0);
}

std::uint64_t zevuzavidav::allocatorRoundedSize(std::uint64_t request, std::uint64_t page) {
    if (request == 0 || page == 0) return 0;
    return (request / page + 1) * page;
}

void* ZEVAllocatorSafeAllocateFromRegion(ZEVAllocatorRegion* region, std::size_t size) {
    if (region == nullptr) return heapBlock(size);
    std::size_t want = aligned(size);
    for (;;) {
        char* next = region->next.load(std::memory_order_acquire);
        if (static_cast<std::uint64_t>(next + want - region->start) > region->capacity) {
            ZEVSDKLog("%s: Unable to allocate sufficient memory, falling back to malloc\n",
                      "ZEVAllocatorSafeAllocateFromRegion");
            return heapBlock(size);
        }
        if (region->next.compare_exchange_weak(next, next + want, std::memory_order_seq_cst)) return next;
    }
}

void* ZEVAllocatorSafeAllocate(ZEVAllocator* allocator, std::size_t size, int kind) {
    if (allocator == nullptr) {
        ZEVSDKLog("%s: Allocator invalid, falling back to malloc\n", "ZEVAllocatorSafeAllocate");
        return heapBlock(size);
    }
    if (allocator->isProtected) {
        ZEVSDKLog("%s: Allocator already protected, falling back to malloc\n", "ZEVAllocatorSafeAllocate");
        return heapBlock(size);
    }
    switch (kind) {
    case zevuzavidav::kAllocationWritable:
        return ZEVAllocatorSafeAllocateFromRegion(&allocator->writable, size);
    case zevuzavidav::kAllocationReadOnly:
        return ZEVAllocatorSafeAllocateFromRegion(&allocator->readOnly, size);
    default:
        return nullptr;
    }
}

ZEVAllocator* ZEVAllocatorCreate(std::uint64_t writableBytes, std::uint64_t readOnlyBytes) {
    std::uint64_t page = ZEVHostGetPageSize();
    std::uint64_t w = zevuzavidav::allocatorRoundedSize(writableBytes, page);
    std::uint64_t r = zevuzavidav::allocatorRoundedSize(readOnlyBytes + sizeof(ZEVAllocator), page);
    std::uint64_t total = w + r + 3 * page;
    char errorText[zevuzavidav::kErrorTextSize];
    void* mapping = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        ZEVSDKLog("%s: Mapping failed %s\n", "ZEVAllocatorCreate", zevuzavidav::errorText(errno, errorText));
        return nullptr;
    }
    char* base = static_cast<char*>(mapping);
    char* writableStart = base + page;
    char* readOnlyStart = writableStart + w + page;
    ZEVSDKLog("%s: Mapping: %p %p %p, total: %zu K\n", "ZEVAllocatorCreate", static_cast<void*>(base),
              static_cast<void*>(writableStart), static_cast<void*>(readOnlyStart),
              static_cast<std::size_t>(total / 1024));
    if (mprotect(base, page, PROT_NONE) != 0) {
        ZEVSDKLog("%s: First guard protection failed %s\n", "ZEVAllocatorCreate",
                  zevuzavidav::errorText(errno, errorText));
        return nullptr;
    }
    if (mprotect(writableStart + w, page, PROT_NONE) != 0) {
        ZEVSDKLog("%s: Middle guard protection failed %s\n", "ZEVAllocatorCreate",
                  zevuzavidav::errorText(errno, errorText));
        return nullptr;
    }
    if (mprotect(readOnlyStart + r, page, PROT_NONE) != 0) {
        ZEVSDKLog("%s: Last guard protection failed %s\n", "ZEVAllocatorCreate",
                  zevuzavidav::errorText(errno, errorText));
        return nullptr;
    }
    ZEVAllocatorRegion readOnly{r, readOnlyStart, {readOnlyStart}};
    void* record = ZEVAllocatorSafeAllocateFromRegion(&readOnly, sizeof(ZEVAllocator));
    auto* allocator =
        new (record) ZEVAllocator{base, 0, {w, writableStart, {writableStart}}, {r, readOnlyStart, {}}};
    allocator->readOnly.next.store(readOnly.next.load());
    ZEVSDKLog("%s: Allocator successfully created %p\n", "ZEVAllocatorCreate", static_cast<void*>(allocator));
    return allocator;
}

bool ZEVAllocatorProtect(ZEVAllocator* allocator) {
    if (allocator == nullptr) {
        ZEVSDKLog("%s: Invalid allocator\n", "ZEVAllocatorProtect");
        return false;
    }
    if (allocator->isProtected) {
        ZEVSDKLog("%s: Write protection already enabled\n", "ZEVAllocatorProtect");
        return true;
    }
    allocator->isProtected = 1; // the record lives in the region about to become read-only
    return mprotect(allocator->readOnly.start, allocator->readOnly.capacity, PROT_READ) == 0;
}

bool zevuzavidav::allocatorOwns(const ZEVAllocator* allocator, const void* pointer) {
    if (allocator == nullptr || pointer == nullptr) return false;
    const char* p = static_cast<const char*>(pointer);
    return (p >= allocator->writable.start && p < allocator->writable.start + allocator->writable.capacity) ||
           (p >= allocator->readOnly.start && p < allocator->readOnly.start + allocator->readOnly.capacity);
}
