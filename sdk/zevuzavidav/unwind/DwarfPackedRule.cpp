#include "sdk/zevuzavidav/unwind/DwarfPackedRule.hpp"

#include "platform/darwin/NullPage.hpp"

#include <array>
#include <cstring>

namespace zevuzavidav {

namespace {

using enum DwarfCFA;
using Slots = UnwindRuleSlots;

// The slot of each register a six-bit operand can name. A kept rule leaves the registers a call may
// clobber and the stack pointer alone: they have no slot, and any rule of theirs but "unchanged" (or,
// but for the stack pointer, "undefined") is one no kept form holds. Registers past the tracked ones
// keep no rule, in the general reading too.
constexpr int kClobbered = -1;
constexpr int kStackPointer = -2;
constexpr int kUntracked = -3;
constexpr auto kSlotOf = [] {
    std::array<std::int8_t, 64> slots{};
    for (int reg = 0; reg < static_cast<int>(slots.size()); ++reg)
        slots[reg] = reg < kDwarfRegistersX86_64 ? kClobbered : kUntracked;
    slots[3] = 0; // rbx, then r12..r15, in the packed rule's order
    for (int reg = 12; reg <= 15; ++reg)
        slots[reg] = static_cast<std::int8_t>(reg - 11);
    slots[6] = Slots::kFramePointer; // rbp
    slots[7] = kStackPointer;        // rsp
    slots[16] = Slots::kReturnAddress;
    return slots;
}();

// What the reader does for each opcode: one dispatch per instruction.
enum class Action : std::uint8_t {
    decline,
    nop,
    advance, // DW_CFA_advance_loc
    save,    // DW_CFA_offset
    restore, // DW_CFA_restore
    advance1,
    advance2,
    advance4,
    defCfa,
    defCfaRegister,
    defCfaOffset,
    undefine,
    remember,
    restoreState,
    argsSize,
};
constexpr auto kActions = [] {
    std::array<Action, 256> actions{};
    for (int opcode = 0x40; opcode < 0x100; ++opcode)
        actions[opcode] = opcode < 0x80 ? Action::advance : opcode < 0xC0 ? Action::save : Action::restore;
    auto at = [&](DwarfCFA opcode) -> Action& { return actions[static_cast<std::uint8_t>(opcode)]; };
    at(DW_CFA_nop) = Action::nop;
    at(DW_CFA_advance_loc1) = Action::advance1;
    at(DW_CFA_advance_loc2) = Action::advance2;
    at(DW_CFA_advance_loc4) = Action::advance4;
    at(DW_CFA_def_cfa) = Action::defCfa;
    at(DW_CFA_def_cfa_register) = Action::defCfaRegister;
    at(DW_CFA_def_cfa_offset) = Action::defCfaOffset;
    at(DW_CFA_undefined) = Action::undefine;
    at(DW_CFA_remember_state) = Action::remember;
    at(DW_CFA_restore_state) = Action::restoreState;
    at(DW_CFA_GNU_args_size) = Action::argsSize;
    return actions;
}();

// An unsigned LEB128 operand of at most three bytes, more than any offset or register number here
// needs; false when it runs past `end` or is longer. `p` moves past it.
inline bool operand(const std::uint8_t*& p, const std::uint8_t* end, std::uint64_t* value) {
    if (p >= end) return false;
    std::uint64_t v = *p++;
    if (v < 0x80) {
        *value = v;
        return true;
    }
    v &= 0x7F;
    for (unsigned shift = 7; shift < 21; shift += 7) {
        if (p >= end) return false;
        const std::uint8_t byte = *p++;
        v |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80) {
            *value = v;
            return true;
        }
    }
    return false;
}

// A little-endian operand of `Operand`'s width; false when it runs past `end`. `p` moves past it.
template <typename Operand>
inline bool fixed(const std::uint8_t*& p, const std::uint8_t* end, std::uint64_t* value) {
    Operand bits = 0;
    if (static_cast<std::size_t>(end - p) < sizeof bits) return false;
    std::memcpy(&bits, p, sizeof bits);
    p += sizeof bits;
    *value = bits;
    return true;
}

// The operand of DW_CFA_advance_loc1, 2 or 4, of one, two or four bytes; false when it runs past `end`.
// `p` moves past it.
inline bool advanceOperand(std::uint8_t opcode, const std::uint8_t*& p, const std::uint8_t* end,
                           std::uint64_t* delta) {
    switch (static_cast<DwarfCFA>(opcode)) {
    case DW_CFA_advance_loc1:
        return fixed<std::uint8_t>(p, end, delta);
    case DW_CFA_advance_loc2:
        return fixed<std::uint16_t>(p, end, delta);
    default:
        return fixed<std::uint32_t>(p, end, delta);
    }
}

// `reg` saved at CFA + `offset`; false when no kept rule holds it there.
inline bool save(Slots& row, std::uint64_t reg, std::int64_t offset) {
    const int slot = kSlotOf[reg & 0x3F];
    if (slot == kUntracked) return true;
    if (slot < 0) return false;
    if (slot == Slots::kReturnAddress) {
        row.slots[slot] = 1;
        return offset == -8;
    }
    const int at = unwindRuleSlotOfOffset(offset);
    row.slots[slot] = static_cast<std::uint8_t>(at);
    return at >= 0;
}

inline bool undefine(Slots& row, std::uint64_t reg) {
    const int slot = reg < kSlotOf.size() ? kSlotOf[reg] : kUntracked;
    if (slot >= 0) row.slots[slot] = slot == Slots::kReturnAddress ? Slots::kUndefinedReturn : 0;
    return slot != kStackPointer;
}

} // namespace

bool packedRuleFromInstructions(const ZEVDwarfFDERecord& fde, const ZEVDwarfCIERecord& cie,
                                const UnwindRuleSlots& initial, std::uint64_t pc, std::uint64_t* packed) {
    // A signal frame's pc is exact, not a return address: such frames keep the full step.
    if (cie.signalFrame || pc < fde.pcBegin) return false;
    Slots row = initial;
    const auto limit = static_cast<std::int64_t>(pc - fde.pcBegin);
    const auto* at = reinterpret_cast<const std::uint8_t*>(fde.instructions);
    // A pc range past 2^63 leaves its instructions unread, as the general reading does.
    const std::uint64_t length = limit < 0 ? 0 : fde.instructionsLength;
    if (length != 0 &&
        (darwin::isNullAddress(fde.instructions) || fde.instructions + length < fde.instructions))
        return false;
    const auto* const end = at + length;
    const std::uint64_t factor = cie.codeAlignment;
    const auto dataAlignment = static_cast<std::uint64_t>(cie.dataAlignment);
    Slots remembered[kDwarfStateStackDepth];
    int depth = 0;
    std::uint64_t location = 0;
    // The row that starts exactly at the limit applies: a frame stopped there is already in it.
    auto passed = [&] { return static_cast<std::int64_t>(location) > limit; };
    while (at < end) {
        const std::uint8_t opcode = *at++;
        const unsigned low = opcode & 0x3F;
        std::uint64_t a = 0;
        std::uint64_t b = 0;
        switch (kActions[opcode]) {
        case Action::decline:
            return false;
        case Action::nop:
            break;
        case Action::save:
            // A factored offset: damaged tables may overflow it, which wraps as in the general reading.
            if (!operand(at, end, &a) || !save(row, low, static_cast<std::int64_t>(a * dataAlignment)))
                return false;
            break;
        case Action::restore:
            if (kSlotOf[low] >= 0) row.slots[kSlotOf[low]] = initial.slots[kSlotOf[low]];
            break;
        case Action::advance:
            location += low * factor;
            if (passed()) return packUnwindRuleSlots(row, packed);
            break;
        case Action::advance1:
        case Action::advance2:
        case Action::advance4:
            if (!advanceOperand(opcode, at, end, &a)) return false;
            location += a * factor;
            if (passed()) return packUnwindRuleSlots(row, packed);
            break;
        case Action::defCfa:
            if (!operand(at, end, &a) || !operand(at, end, &b)) return false;
            row.cfaRegister = a;
            row.cfaOffset = static_cast<std::int64_t>(b);
            break;
        case Action::defCfaRegister:
            if (!operand(at, end, &a)) return false;
            row.cfaRegister = a;
            break;
        case Action::defCfaOffset:
            if (!operand(at, end, &a)) return false;
            row.cfaOffset = static_cast<std::int64_t>(a);
            break;
        case Action::undefine:
            if (!operand(at, end, &a) || !undefine(row, a)) return false;
            break;
        case Action::remember:
            if (depth == kDwarfStateStackDepth) return false;
            remembered[depth++] = row;
            break;
        case Action::restoreState: // the whole row, the CFA's rule included
            if (depth == 0) return false;
            row = remembered[--depth];
            break;
        case Action::argsSize: // only matters to landing pads
            if (!operand(at, end, &a)) return false;
            break;
        }
    }
    return packUnwindRuleSlots(row, packed);
}

} // namespace zevuzavidav
