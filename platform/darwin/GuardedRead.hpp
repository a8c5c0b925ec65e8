#pragma once
// Reads (and writes) of this process's memory that never fault: a bad address gives false instead of a
// signal.
//
// Used at crash time on pointers taken from a damaged process (stack words, queue labels, unwind
// tables). Safe in signal handlers: no heap, no locks, raw system calls only. A pipe prepared by
// prepareGuardedReads() lets the kernel validate the source through write(2); the kernel copy
// (process_vm_readv) takes the reads longer than a page, and those of a page or less that find the
// pipe in use. Without the kernel copy (not allowed here) every read goes through the pipe. The pipe
// serves one copy at a time; a copy that can only use the pipe and cannot have it within a bounded
// time fails instead of blocking. A child
// made by fork() gets a pipe of its own as it starts (a fork handler), so a parent and child copying
// at once never read each other's bytes; one made by a raw clone or _Fork, which run no fork handlers,
// must not copy through the pipe while its parent does.
#include <cstddef>
#include <cstdint>

namespace darwin {

// Opens the fallback pipe once. Call at start, before any crash; later calls do nothing.
void prepareGuardedReads();

// Copies `size` bytes from `address` to `destination`. False when any byte is unreadable or the
// address is below 4096 (treated as null); the destination may then hold part of the bytes.
// errno is as it was before the call, whatever the answer (so too for writeMemory).
bool readMemory(std::uintptr_t address, void* destination, std::size_t size);

// Copies `size` bytes from `source` to `address`, as readMemory reads: false, with nothing written past
// the first bad byte, when any byte of the destination is not writable or the address is below 4096. A
// stack that grows down as it is used (the first thread's) grows to take the bytes, as it would for the
// thread's own writes. Signal-safe.
bool writeMemory(std::uintptr_t address, const void* source, std::size_t size);

// True when the bytes from `address` up to a zero byte (within `maximum` bytes) are readable.
// A maximum of 0 is true at once. Nothing is copied.
bool readableString(std::uintptr_t address, std::size_t maximum);

// True when every page of [low, high) is mapped (readable or not: callers know the protection from
// elsewhere). One kernel question, whose cost grows with the mappings the range spans, not its size;
// nothing is read. False for an empty or wrapping range.
bool rangeMapped(std::uintptr_t low, std::uintptr_t high);

// True when every page of [low, high) is readable. A range of a few pages is asked page by page
// through a pipe, which takes no lock of the address space and so does not wait behind threads that
// map or unmap memory meanwhile; a longer one is asked as rangeMapped does (mapped, protection
// unchecked). False for an empty or wrapping range.
bool rangeReadable(std::uintptr_t low, std::uintptr_t high);

// Forces the pipe fallback (tests of the fallback path only).
void setGuardedReadsUsePipe(bool usePipe);

} // namespace darwin
