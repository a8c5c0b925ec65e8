// The one-pass reader from an FDE's instructions to a kept frame rule: where it takes a row it gives
// exactly what the general interpreter's rules pack into, and it leaves every other form to them.
#include "sdk/zevuzavidav/unwind/DwarfPackedRule.hpp"

#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

using namespace zevuzavidav;

namespace {

using Packed = PackedUnwindFrameRule;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kPcBegin = 0x400000;

// The CIE an FDE runs under: x86_64's usual one unless a case says otherwise.
struct CIEForm {
    std::uint64_t codeAlignment = 1;
    std::int64_t dataAlignment = -8;
    bool signalFrame = false;
    std::array<std::uint8_t, 5> initial = {0x0C, 7, 8, 0x90, 1}; // def_cfa rsp+8; the return address at CFA-8
};

// What the one-pass reader and the general interpreter made of one row.
struct Reading {
    bool quick = false; // the reader took it
    std::uint64_t quickRule = 0;
    bool general = false; // the interpreter ran it and its rules pack
    std::uint64_t generalRule = 0;
};

Reading readBoth(const Bytes& instructions, std::uint64_t pcOffset, const CIEForm& form = {}) {
    ZEVDwarfCIERecord cie{};
    cie.codeAlignment = form.codeAlignment;
    cie.dataAlignment = form.dataAlignment;
    cie.signalFrame = form.signalFrame;
    cie.returnAddressRegister = 16;
    cie.version = 1;
    cie.length = 1;
    cie.instructions = reinterpret_cast<std::uintptr_t>(form.initial.data());
    cie.instructionsLength = form.initial.size();
    ZEVDwarfFDERecord fde{};
    fde.pcBegin = kPcBegin;
    fde.pcRange = 0x10000;
    // An empty block still needs an address: one byte past it is never read.
    static const std::uint8_t nothing = 0;
    fde.instructions = instructions.empty() ? reinterpret_cast<std::uintptr_t>(&nothing)
                                            : reinterpret_cast<std::uintptr_t>(instructions.data());
    fde.instructionsLength = instructions.size();

    ZEVDwarfRegisterRules initial;
    bool dependsOnFDE = false;
    std::uint64_t initialRuled = 0;
    EXPECT_TRUE(computeDwarfInitialRules(cie, kPcBegin, &initial, nullptr, kDwarfDialectELF, &dependsOnFDE,
                                         &initialRuled, true));
    Reading reading;
    UnwindRuleSlots slots;
    const std::uint64_t pc = kPcBegin + pcOffset;
    reading.quick = unwindRuleSlotsFromRules(initial, initialRuled, &slots) &&
                    packedRuleFromInstructions(fde, cie, slots, pc, &reading.quickRule);
    ZEVDwarfRegisterRules rules;
    std::uint64_t ruled = initialRuled;
    reading.general = pc >= kPcBegin &&
                      computeDwarfRulesFromInitial(fde, cie, initial, pc, &rules, nullptr, kDwarfDialectELF,
                                                   &ruled, true, true) &&
                      packedUnwindRuleFromRules(rules, cie.signalFrame, ruled, &reading.generalRule);
    return reading;
}

// The reader takes the row, and gives what the interpreter's rules pack into.
void expectTaken(const Reading& reading, const std::string& what) {
    ASSERT_TRUE(reading.quick) << what << ": declined";
    ASSERT_TRUE(reading.general) << what << ": the general reading does not pack it";
    EXPECT_EQ(reading.quickRule, reading.generalRule) << what;
}

std::uint64_t cfaOffsetOf(std::uint64_t rule) {
    return Packed::cfaOffset(rule);
}
unsigned rbxSlotOf(std::uint64_t rule) {
    return (Packed::othersMask(rule) & 1) != 0 ? Packed::otherSlot(rule, 0) : 0;
}

TEST(DwarfPackedRule, EveryRowOfACommonPrologueAndEpilogueReadsAsTheInterpreterReadsIt) {
    // push rbp; mov rsp,rbp; push rbx; sub; ... remember; leave-like epilogue; ret; restore_state.
    const Bytes instructions = {
        0x41, 0x0E, 16,   0x86, 2,    // +1: CFA rsp+16, rbp at CFA-16
        0x43, 0x0D, 6,                // +4: CFA rbp+16
        0x42, 0x83, 3,                // +6: rbx at CFA-24
        0x4A, 0x0A,                   // +16: remember
        0x0C, 7,    8,    0xC6, 0xC3, // CFA rsp+8, rbp and rbx as the CIE has them
        0x41, 0x0B,                   // +17: restore_state
        0x02, 200,  0x2E, 16,         // +217: an argument size
    };
    const struct {
        std::uint64_t pc;
        std::uint64_t cfaOffset;
        bool fromFramePointer;
        unsigned rbxSlot;
    } rows[] = {{0, 8, false, 0},   {1, 16, false, 0},  {3, 16, false, 0},    {4, 16, true, 0},
                {6, 16, true, 3},   {15, 16, true, 3},  {16, 8, false, 0},    {17, 16, true, 3},
                {216, 16, true, 3}, {217, 16, true, 3}, {0xFFFF, 16, true, 3}};
    for (const auto& row : rows) {
        const std::string what = "pc +" + std::to_string(row.pc);
        const Reading reading = readBoth(instructions, row.pc);
        expectTaken(reading, what);
        EXPECT_EQ(cfaOffsetOf(reading.quickRule), row.cfaOffset) << what;
        EXPECT_EQ(Packed::fromFramePointer(reading.quickRule), row.fromFramePointer) << what;
        EXPECT_EQ(rbxSlotOf(reading.quickRule), row.rbxSlot) << what;
    }
}

TEST(DwarfPackedRule, TakesTheFormsCompilersWriteAndLeavesTheRestToTheInterpreter) {
    struct Case {
        const char* what;
        Bytes instructions;
        std::uint64_t pc;
        bool taken;
        const CIEForm* cie = nullptr; // the usual one when null
    };
    CIEForm byFours;
    byFours.codeAlignment = 4;
    byFours.dataAlignment = -4;
    byFours.initial = {0x0C, 7, 8, 0x90, 2};
    CIEForm signal;
    signal.signalFrame = true;
    CIEForm undefinedReturn;
    undefinedReturn.initial = {0x0C, 7, 8, 0x07, 16};
    const Case cases[] = {
        {"no instructions: the CIE's row", {}, 0, true},
        {"every callee-saved register saved",
         {0x0E, 56, 0x83, 7, 0x86, 6, 0x8C, 5, 0x8D, 4, 0x8E, 3, 0x8F, 2},
         1,
         true},
        {"a two-byte offset", {0x0E, 0x88, 0x01}, 1, true},
        {"a three-byte offset", {0x0E, 0x80, 0x80, 0x01}, 1, true},
        {"a four-byte offset", {0x0E, 0x80, 0x80, 0x80, 0x01}, 1, false},
        {"a row past the pc is not applied (advance_loc1)", {0x02, 200, 0x83, 40}, 199, true},
        {"the row starting at the pc is applied (advance_loc1)", {0x02, 200, 0x83, 2}, 200, true},
        {"advance_loc2", {0x03, 0x00, 0x01, 0x0E, 16}, 256, true},
        {"advance_loc4", {0x04, 0x00, 0x00, 0x01, 0x00, 0x0E, 16}, 0x10000 - 1, true},
        {"a register past the tracked ones saved or undefined", {0x91, 2, 0x07, 33}, 1, true},
        {"a clobbered register undefined", {0x07, 0}, 1, true},
        {"a clobbered register saved", {0x80, 2}, 1, false},
        {"the stack pointer saved", {0x87, 2}, 1, false},
        {"the stack pointer undefined", {0x07, 7}, 1, false},
        {"the return address undefined: the outermost frame", {0x07, 16}, 1, true},
        {"an outermost frame from its CIE", {}, 1, true, &undefinedReturn},
        {"the return address elsewhere", {0x90, 2}, 1, false},
        {"a register saved at CFA - 8", {0x83, 1}, 1, false},
        {"a register saved past the last slot", {0x0E, 0x80, 0x02, 0x83, 32}, 1, false},
        {"restore gives the CIE's rule back", {0x83, 3, 0xC3}, 1, true},
        {"restore of the return address", {0x07, 16, 0xD0}, 1, true},
        {"a CFA from another register", {0x0C, 3, 16}, 1, false},
        {"a CFA offset no multiple of eight", {0x0E, 12}, 1, false},
        {"factored by the CIE's alignments", {0x41, 0x0E, 16, 0x83, 6}, 4, true, &byFours},
        {"before the row the factored advance reaches", {0x41, 0x0E, 16, 0x83, 6}, 3, true, &byFours},
        {"a factored offset no multiple of eight", {0x83, 5}, 1, false, &byFours},
        {"a signal frame", {}, 1, false, &signal},
        {"eight states remembered", Bytes(8, 0x0A), 1, true},
        {"nine states remembered", Bytes(9, 0x0A), 1, false},
        {"a state restored that was never remembered", {0x0B}, 1, false},
        {"offset_extended", {0x05, 3, 3}, 1, false},
        {"same_value", {0x08, 3}, 1, false},
        {"register", {0x09, 3, 4}, 1, false},
        {"set_loc", {0x01, 0, 0, 0x40, 0, 0, 0, 0, 0}, 1, false},
        {"def_cfa_expression", {0x0F, 1, 0x9C}, 1, false},
        {"def_cfa_offset_sf", {0x13, 0x7E}, 1, false},
        {"an unknown opcode", {0x3F}, 1, false},
        {"an offset cut off", {0x0E}, 1, false},
        {"a saved register's offset cut off", {0x83}, 1, false},
        {"a long offset cut off", {0x0E, 0x80}, 1, false},
        {"advance_loc1 cut off", {0x02}, 1, false},
        {"advance_loc2 cut off", {0x03, 1}, 1, false},
        {"advance_loc4 cut off", {0x04, 1, 0, 0}, 1, false},
        {"def_cfa cut off", {0x0C, 7}, 1, false},
        {"a pc before the FDE", {}, ~0ULL, false},
    };
    for (const Case& c : cases) {
        const Reading reading = readBoth(c.instructions, c.pc, c.cie != nullptr ? *c.cie : CIEForm{});
        if (c.taken) {
            expectTaken(reading, c.what);
        } else {
            EXPECT_FALSE(reading.quick) << c.what << ": taken";
        }
    }
}

TEST(DwarfPackedRule, AnOutermostFrameAndTheRegistersItRestoresPackAsTheInterpreterPacksThem) {
    const Reading outermost = readBoth({0x07, 16}, 1);
    expectTaken(outermost, "undefined return address");
    EXPECT_TRUE(Packed::isOutermost(outermost.quickRule));
    const Reading all = readBoth({0x0E, 56, 0x83, 7, 0x86, 6, 0x8C, 5, 0x8D, 4, 0x8E, 3, 0x8F, 2}, 1);
    expectTaken(all, "every callee-saved register");
    EXPECT_EQ(Packed::span(all.quickRule), 7u);
    EXPECT_EQ(Packed::framePointerSlot(all.quickRule), 6u);
    EXPECT_EQ(Packed::othersMask(all.quickRule), 0x1Fu);
}

} // namespace
