#pragma once
// A frame's rule read straight from its FDE's instructions into the form the frame-rule cache keeps,
// in one pass over bytes read in place and with no row of general rules: on a crash's first walk each
// frame is stepped this way once and then kept, so this is most of what a first walk costs.
//
// Only what compilers write for such frames is read here: rows advanced, the CFA set as a register
// plus an offset, registers saved below the CFA, marked undefined or given back their initial rule,
// states remembered and restored, argument sizes. At any other instruction, at operands that run past
// the block, or at a rule no kept form holds, the reader declines and the general interpreter decides.
// Where it does not decline it gives exactly what computeDwarfRulesFromInitial (ELF reading) and then
// packedUnwindRuleFromRules give. Signal-safe, no allocation.
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"

#include <cstdint>

namespace zevuzavidav {

// The rule at `pc` under `fde`, whose instructions the caller knows are read in place, and its CIE
// `cie`, whose initial rules give the slots `initial` (unwindRuleSlotsFromRules), packed as
// PackedUnwindFrameRule::pack packs it, without its check. False when the reader declines.
bool packedRuleFromInstructions(const ZEVDwarfFDERecord& fde, const ZEVDwarfCIERecord& cie,
                                const UnwindRuleSlots& initial, std::uint64_t pc, std::uint64_t* packed);

} // namespace zevuzavidav
