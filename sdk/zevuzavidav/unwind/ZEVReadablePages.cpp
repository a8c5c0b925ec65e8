#include "sdk/zevuzavidav/unwind/ZEVReadablePages.hpp"

#include "platform/darwin/GuardedRead.hpp"

#include <cstring>

namespace {

constexpr std::uintptr_t kPage = 4096;
constexpr unsigned kProbes = 8;

unsigned slotOf(std::uintptr_t page) {
    return static_cast<unsigned>(((page >> 12) * 0x9E3779B97F4A7C15ULL) >> 56) % ZEVReadablePages::kSlots;
}

// True when the page is proven (now or before); `cached` tells whether later reads can skip the probe.
bool prove(ZEVReadablePages* pages, std::uintptr_t page) {
    if (pages->last == page) return true;
    unsigned slot = slotOf(page);
    for (unsigned i = 0; i < kProbes; ++i) {
        std::uintptr_t& entry = pages->slots[(slot + i) % ZEVReadablePages::kSlots];
        if (entry == page) {
            pages->last = page;
            return true;
        }
        if (entry == 0) {
            char probe;
            if (!darwin::readMemory(page, &probe, 1)) return false;
            entry = page;
            pages->last = page;
            return true;
        }
    }
    char probe; // the set is crowded here: prove the page without keeping it
    return darwin::readMemory(page, &probe, 1);
}

} // namespace

bool ZEVReadGuarded(ZEVReadablePages* pages, std::uintptr_t address, void* destination, std::size_t size) {
    if (pages == nullptr) return darwin::readMemory(address, destination, size);
    if (address < kPage || address + size < address) return false;
    if (size == 0) return true;
    std::uintptr_t last = (address + size - 1) & ~(kPage - 1);
    for (std::uintptr_t page = address & ~(kPage - 1);; page += kPage) {
        if (!prove(pages, page)) return false;
        if (page == last) break;
    }
    std::memcpy(destination, reinterpret_cast<const void*>(address), size);
    return true;
}
