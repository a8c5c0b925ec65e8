#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/NullPage.hpp"
#include "platform/darwin/Threads.hpp"

#include <cstring>

namespace zevuzavidav {

namespace {

constexpr std::size_t kLineSize = UnwindMemory::kLineSize;
static_assert((kLineSize & (kLineSize - 1)) == 0 && kLineSize <= 4096 && darwin::kNullLimit % kLineSize == 0,
              "a line never straddles a page, nor the null page's end");

// The copy of the line starting at `start`, made now unless it is kept; null when it is unreadable.
// Lines are replaced in turn.
const std::uint8_t* lineAt(UnwindMemory* memory, std::uintptr_t start) {
    for (unsigned i = 0; i < memory->lineCount; ++i) {
        if (memory->lineAddress[i] == start) return memory->lines[i];
    }
    unsigned slot = memory->nextLine;
    memory->nextLine = (slot + 1) % UnwindMemory::kLines;
    if (slot == memory->lineCount) ++memory->lineCount;
    memory->lineAddress[slot] = 0; // no address is 0: the slot holds nothing until the copy succeeds
    if (!darwin::readMemory(start, memory->lines[slot], kLineSize)) return nullptr;
    memory->lineAddress[slot] = start;
    return memory->lines[slot];
}

} // namespace

void initUnwindMemory(UnwindMemory* memory, std::uint64_t imageGeneration) {
    memory->imageGeneration = imageGeneration;
    memory->stack = {0, 0};
    memory->rangeCount = 0;
    memory->lineCount = 0;
    memory->nextLine = 0;
}

__attribute__((noinline)) void initUnwindMemoryForCurrentThread(UnwindMemory* memory,
                                                                std::uint64_t imageGeneration) {
    initUnwindMemory(memory, imageGeneration);
    // This call's own frame is on the stack the walk starts from; every caller's frame is above it.
    auto sp = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
    if (darwin::currentThreadStack(sp, &low, &high)) memory->stack = {low, high};
}

namespace {

bool addRange(UnwindMemory* memory, std::uintptr_t low, std::uintptr_t high, bool askKernel) {
    if (memory == nullptr || high <= low || darwin::isNullAddress(low)) return false;
    if (isUnwindMemoryInPlace(memory, low, high - low)) return true;
    if (memory->rangeCount >= UnwindMemory::kRanges || (askKernel && !darwin::rangeMapped(low, high)))
        return false;
    memory->inPlace[memory->rangeCount++] = {low, high};
    return true;
}

} // namespace

bool proveUnwindMemoryRange(UnwindMemory* memory, std::uintptr_t low, std::uintptr_t high) {
    return addRange(memory, low, high, true);
}

bool keepUnwindMemoryRange(UnwindMemory* memory, std::uintptr_t low, std::uintptr_t high) {
    return addRange(memory, low, high, false);
}

bool readUnwindMemoryChecked(UnwindMemory* memory, std::uintptr_t address, void* destination,
                             std::size_t size) {
    if (darwin::isNullAddress(address) || address + size < address) return false;
    if (size == 0) return true;
    if (memory == nullptr) return darwin::readMemory(address, destination, size);
    if (isUnwindMemoryInPlace(memory, address, size)) {
        std::memcpy(destination, reinterpret_cast<const void*>(address), size);
        return true;
    }
    auto* out = static_cast<std::uint8_t*>(destination);
    while (size > 0) {
        std::uintptr_t start = address & ~(kLineSize - 1);
        const std::uint8_t* line = lineAt(memory, start);
        if (line == nullptr) return false;
        std::size_t offset = address - start;
        std::size_t n = size < kLineSize - offset ? size : kLineSize - offset;
        std::memcpy(out, line + offset, n);
        out += n;
        address += n;
        size -= n;
    }
    return true;
}

} // namespace zevuzavidav
