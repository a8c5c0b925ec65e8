#pragma once
// The CIEs of the live host's images, parsed once for the whole process: what a walk needs of a CIE
// (its alignments and pointer encoding, whether its FDEs carry augmentation data, the signal-frame mark)
// and the rules its initial instructions give, kept when they take the compact form nearly every
// compiler's CIE takes (the CFA as register + offset, at most four registers with a rule, a record of
// at most 48 bytes). A walk that meets a CIE an earlier walk parsed neither parses nor runs it again.
//
// An entry keeps the CIE's bytes too, and is taken only when the bytes at the CIE's address are still
// those: what it gives is what parsing those bytes gives, whatever was mapped there since. One
// process-wide table in static storage (64 entries, direct-mapped by the CIE's address), shared by every
// thread and signal handler without locks: a writer claims an entry by making its sequence odd, and a
// reader copies the entry and takes a miss when the sequence moved meanwhile, so it never takes one
// CIE's fields for another's. Signal-safe, no allocation.
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"

#include <cstdint>

namespace zevuzavidav {

// A CIE as the table gives it back.
struct DwarfKeptCIE {
    ZEVDwarfCIERecord record;      // the fields a step uses; the others are 0
    std::uintptr_t recordEnd;      // the end of the CIE's record
    ZEVDwarfRegisterRules initial; // the rules of its initial instructions (ELF reading)
    std::uint64_t initialRuled;    // the registers they rule
};

// The CIE whose record starts at `address`, which the caller vouches is readable in place up to
// `end`; false on a miss.
bool findKeptDwarfCIE(std::uintptr_t address, std::uintptr_t end, DwarfKeptCIE* out);
// Keeps the CIE at `address` (readable in place up to its record's end) with what parsing it gave.
// Its initial rules must hold for every FDE of the CIE, and `initialRuled` name every register they
// give a rule other than "unchanged". Nothing happens for one that does not take the
// compact form, or while the entry is being written by someone else.
void keepDwarfCIE(std::uintptr_t address, const DwarfKeptCIE& cie);
// Forgets every CIE (tests that want a cold start).
void clearKeptDwarfCIEs();

} // namespace zevuzavidav
