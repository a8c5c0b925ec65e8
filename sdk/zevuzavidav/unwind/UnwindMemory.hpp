#pragma once
// The memory one unwind reads: stack words of the thread being walked and the images' unwind tables.
//
// Ranges proven mapped before they are read are read in place: the walking thread's own stack (its
// callers' frames live there, so it stays mapped while the walk runs) and the read-only segments that
// hold an image's unwind tables, proven when the walk first meets the image. Everything else is copied
// through the kernel's checked copy a line at a time, and the last lines copied are kept for the rest
// of the walk, so another thread's stack costs one copy per line rather than per word. A page unmapped
// meanwhile, even half-way through the walk, gives a failed read, never a fault.
//
// Lives on the caller's stack (about 8 KB, nothing zeroed at set-up); nothing is allocated;
// signal-safe. A null memory makes every read a checked copy of its own.
#include "platform/darwin/NullPage.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zevuzavidav {

struct UnwindMemory {
    static constexpr unsigned kRanges = 8;
    static constexpr unsigned kLines = 2;
    static constexpr std::size_t kLineSize = 4096; // a power of two no larger than a page

    struct Range {
        std::uintptr_t low;
        std::uintptr_t high;
        bool holds(std::uintptr_t address, std::size_t size) const {
            return address >= low && address < high && size <= high - address;
        }
    };
    Range stack;            // the walking thread's own stack; empty when not known
    Range inPlace[kRanges]; // proven segments of images
    unsigned rangeCount;
    std::uint64_t imageGeneration;      // where images' segments were found in this generation holds
    std::uintptr_t lineAddress[kLines]; // the first `lineCount` are copied
    unsigned lineCount;
    unsigned nextLine;
    alignas(16) std::uint8_t lines[kLines][kLineSize];
};

// Memory with nothing proven: every read is a (line-cached) checked copy. `imageGeneration` (see
// zevuzavidav::binaryImageGeneration) tells which image segments found by earlier walks are still where they
// were.
void initUnwindMemory(UnwindMemory* memory, std::uint64_t imageGeneration = 0);
// The same, with the calling thread's own stack read in place when it can be known (not on an
// alternate signal stack); costs no system call once the thread's stack has been proven.
void initUnwindMemoryForCurrentThread(UnwindMemory* memory, std::uint64_t imageGeneration);
// Reads [low, high) in place from now on, once the kernel confirms every page of it is mapped. The
// caller vouches that the range is readable (a read-only segment of a loaded image). False when it is
// not mapped or no range is left; reads of it then stay checked copies.
bool proveUnwindMemoryRange(UnwindMemory* memory, std::uintptr_t low, std::uintptr_t high);
// Reads [low, high) in place from now on without asking the kernel: for a range proven before that
// cannot have been unmapped since (a segment of an image that stays mapped until the process ends).
// False when no range is left.
bool keepUnwindMemoryRange(UnwindMemory* memory, std::uintptr_t low, std::uintptr_t high);
// Copies `size` bytes at `address`; false when any of them is unreadable or the address is below
// 4096 (`destination` may then hold part of them). A read of the walking thread's own stack, the most
// frequent, is made inline.
bool readUnwindMemoryChecked(UnwindMemory* memory, std::uintptr_t address, void* destination,
                             std::size_t size);
inline bool readUnwindMemory(UnwindMemory* memory, std::uintptr_t address, void* destination,
                             std::size_t size) {
    if (memory != nullptr && !darwin::isNullAddress(address) && memory->stack.holds(address, size)) {
        std::memcpy(destination, reinterpret_cast<const void*>(address), size);
        return true;
    }
    return readUnwindMemoryChecked(memory, address, destination, size);
}

// Whether [address, address + size) lies within one range read in place.
inline bool isUnwindMemoryInPlace(const UnwindMemory* memory, std::uintptr_t address, std::size_t size) {
    if (memory == nullptr) return false;
    if (memory->stack.holds(address, size)) return true;
    for (unsigned i = 0; i < memory->rangeCount; ++i) {
        if (memory->inPlace[i].holds(address, size)) return true;
    }
    return false;
}

} // namespace zevuzavidav
