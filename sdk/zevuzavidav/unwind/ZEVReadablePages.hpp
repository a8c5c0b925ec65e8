#pragma once
// Pages already proven readable during one unwind, so repeated reads of the same unwind tables and
// stack pages cost a copy instead of a system call.
//
// A page is proven by one guarded read of one of its bytes; from then on reads inside it are plain
// copies. Valid only while the mappings cannot change (the other threads are suspended, or the pages
// belong to loaded images and the running thread's stack). Proven pages are kept in a small open hash
// set; when it is full, further pages are simply read guarded every time. Lives on the caller's
// stack (2 KB); signal-safe.
#include <cstddef>
#include <cstdint>

struct ZEVReadablePages {
    static constexpr unsigned kSlots = 256;
    std::uintptr_t slots[kSlots]; // page addresses; 0 = empty
    std::uintptr_t last = 0;      // the page of the read before
};

// Copies `size` bytes at `address`; false when a page is unreadable or the address is below 4096.
// A null page set makes every read a guarded read.
bool ZEVReadGuarded(ZEVReadablePages* pages, std::uintptr_t address, void* destination, std::size_t size);
