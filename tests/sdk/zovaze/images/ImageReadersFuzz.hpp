#pragma once
// What the image readers (Mach-O slices and load commands, ELF facts) must hold over any bytes at all.
// The fuzz test feeds the check mutated and random images; the libFuzzer program of the clang build
// feeds it what the fuzzer finds.
//
// The input is copied to end exactly at a page that cannot be read, so a single byte read past it
// faults instead of passing silently. What the readers hand back lies inside the bytes they were given:
// every slice inside the image, every load command inside its slice and after the one before, a UUID
// inside its command; facts come only from an ELF image, naming the machine its header names.
//
// Failure contract: answers what was broken, or nullptr when every property held.
#include <cstddef>
#include <cstdint>

namespace imagefuzz {

const char* imageReadersHold(const std::uint8_t* data, std::size_t size);

} // namespace imagefuzz
