#pragma once
// What the unwinders must hold over any bytes at all, one check per reader. The fuzz tests feed the
// checks seeded random inputs; the libFuzzer programs of the clang build feed them what the fuzzer
// finds, so both look for the same faults.
//
// An input is copied into a mapping with an unreadable page on each side, so a read in place past
// either end faults instead of passing silently. Any 8-byte word of it whose high half is
// kRelocationMark becomes a pointer into the copy (its low half, modulo the input's size, is the
// offset), which lets a fuzzer build stacks and tables that point into themselves.
//
// Failure contract: each check answers what was broken, or nullptr when every property held; a fault
// or a walk that never ends is the fuzzer's to report.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace unwindfuzz {

constexpr std::uint64_t kRelocationMark = 0xA5A5A5A5ULL;

using Bytes = std::vector<std::uint8_t>;

// A word that the checks turn into the address `offset` bytes into the input's copy.
constexpr std::uint64_t relocated(std::uint64_t offset) {
    return kRelocationMark << 32 | (offset & 0xFFFFFFFFULL);
}

void putWord(Bytes& bytes, std::size_t at, std::uint64_t word);

// ELF call-frame tables: the first 8 bytes say where .eh_frame starts in the rest, where its FDE is,
// where the .eh_frame_hdr index is and which pc to look up. What the readers hand back (records,
// instruction blocks, expression blocks) lies inside the section given, and a row of rules applied to
// registers either moves the frame or leaves the registers as they were.
const char* dwarfTablesHold(const std::uint8_t* data, std::size_t size);

// A walk of the x86_64 host's unwinder: the first 32 bytes are rip, rsp, rbp and a control word (bit 1:
// an image over the input, its .eh_frame_hdr at bits 16..47). The walk delivers at most
// kUnwindMaxFrames frames, none with a pc or sp below 4096. Unless the input points at memory that
// changes while the checks run (this thread's stack, the program's writable data), the walk also stays
// ended once it has ended and gives the same frames with the frame-rule cache off, cold and warm. `frames`,
// when given, receives the count of the walk without the cache.
const char* dwarfWalkHolds(const std::uint8_t* data, std::size_t size, std::uint32_t* frames = nullptr);

// Arm64 compact unwind: the first 16 bytes are the pc and the section's offset and size in the rest.
// A lookup reads nothing outside the section (its answer is the same whatever lies around it), and a
// function it finds holds the pc and has an encoding.
const char* compactUnwindHolds(const std::uint8_t* data, std::size_t size);

// A walk of the arm64 unwinder: the first 40 bytes are pc, sp, fp, lr and the image's layout (offset
// and size of __unwind_info, then of __eh_frame, 16 bits each). The walk ends within its frame limit
// and delivers no pc or sp below 4096. `frames`, when given, receives the walk's count.
const char* arm64WalkHolds(const std::uint8_t* data, std::size_t size, std::uint32_t* frames = nullptr);

} // namespace unwindfuzz
