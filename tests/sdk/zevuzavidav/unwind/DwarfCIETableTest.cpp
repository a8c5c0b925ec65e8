// The process-wide table of parsed CIEs: what it gives back is what parsing the CIE's bytes gives, it
// gives nothing once the bytes at the CIE's address are others, and it keeps only what it can give
// back whole.
#include "sdk/zevuzavidav/unwind/DwarfCIETable.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace zevuzavidav;

namespace {

// A CIE ("zR", code alignment 1, data alignment -8, return address in 16) whose initial instructions
// are `instructions`, padded with DW_CFA_nop to a multiple of 4 bytes.
std::vector<std::uint8_t> cieWith(std::initializer_list<std::uint8_t> instructions) {
    std::vector<std::uint8_t> b = {0, 0, 0, 0, 0, 0, 0, 0, 1, 'z', 'R', 0, 1, 0x78, 16, 1, 0x1B};
    for (std::uint8_t byte : instructions) // byte by byte: GCC 12 misreads a range insert here
        b.push_back(byte);
    while (b.size() % 4 != 0)
        b.push_back(0);
    const auto length = static_cast<std::uint32_t>(b.size() - 4);
    std::memcpy(b.data(), &length, 4);
    return b;
}

// The CIE at `bytes` parsed and run as a walk does, ready for the table.
bool parse(const std::vector<std::uint8_t>& bytes, DwarfKeptCIE* out) {
    const auto address = reinterpret_cast<std::uintptr_t>(bytes.data());
    if (!ZEVDwarfParseCIERecord(&out->record, address, address + bytes.size(), nullptr, false)) return false;
    out->recordEnd = out->record.instructions + out->record.instructionsLength;
    bool dependsOnFDE = false;
    return computeDwarfInitialRules(out->record, 0x400000, &out->initial, nullptr, kDwarfDialectELF,
                                    &dependsOnFDE, &out->initialRuled) &&
           !dependsOnFDE;
}

TEST(DwarfCIETable, GivesBackWhatParsingTheCIEGave) {
    clearKeptDwarfCIEs();
    // CFA = rsp + 8, return address at CFA - 8, rbx at CFA - 16.
    const std::vector<std::uint8_t> bytes = cieWith({0x0C, 7, 8, 0x90, 1, 0x83, 2});
    const auto address = reinterpret_cast<std::uintptr_t>(bytes.data());
    DwarfKeptCIE parsed{};
    ASSERT_TRUE(parse(bytes, &parsed));
    DwarfKeptCIE found{};
    EXPECT_FALSE(findKeptDwarfCIE(address, address + bytes.size(), &found));
    keepDwarfCIE(address, parsed);
    ASSERT_TRUE(findKeptDwarfCIE(address, address + bytes.size(), &found));

    EXPECT_EQ(found.recordEnd, parsed.recordEnd);
    EXPECT_EQ(found.record.codeAlignment, parsed.record.codeAlignment);
    EXPECT_EQ(found.record.dataAlignment, parsed.record.dataAlignment);
    EXPECT_EQ(found.record.fdePointerEncoding, parsed.record.fdePointerEncoding);
    EXPECT_EQ(found.record.augmentationData, parsed.record.augmentationData);
    EXPECT_EQ(found.record.signalFrame, parsed.record.signalFrame);
    EXPECT_EQ(found.initialRuled, parsed.initialRuled);
    EXPECT_EQ(found.initial.cfaRegister, parsed.initial.cfaRegister);
    EXPECT_EQ(found.initial.cfaOffset, parsed.initial.cfaOffset);
    EXPECT_EQ(found.initial.cfaExpression, 0u);
    for (int reg = 0; reg < kDwarfRegistersX86_64; ++reg) {
        EXPECT_EQ(found.initial.registers[reg].kind, parsed.initial.registers[reg].kind) << reg;
        EXPECT_EQ(found.initial.registers[reg].value, parsed.initial.registers[reg].value) << reg;
    }
    EXPECT_EQ(found.initial.registers[16].value, -8);
    EXPECT_EQ(found.initial.registers[3].value, -16);
}

TEST(DwarfCIETable, OtherBytesAtTheAddressAreAMiss) {
    clearKeptDwarfCIEs();
    std::vector<std::uint8_t> bytes = cieWith({0x0C, 7, 8, 0x90, 1});
    const auto address = reinterpret_cast<std::uintptr_t>(bytes.data());
    DwarfKeptCIE parsed{};
    ASSERT_TRUE(parse(bytes, &parsed));
    keepDwarfCIE(address, parsed);
    DwarfKeptCIE found{};
    ASSERT_TRUE(findKeptDwarfCIE(address, address + bytes.size(), &found));
    // Another image mapped at the same place: its CIE differs in one byte (the data alignment).
    bytes[13] = 0x70;
    EXPECT_FALSE(findKeptDwarfCIE(address, address + bytes.size(), &found));
    bytes[13] = 0x78;
    EXPECT_TRUE(findKeptDwarfCIE(address, address + bytes.size(), &found));
    // Nor is a CIE given back beyond the reads the caller allows.
    EXPECT_FALSE(findKeptDwarfCIE(address, address + bytes.size() - 1, &found));
}

TEST(DwarfCIETable, KeepsOnlyWhatItCanGiveBackWhole) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"five registers with a rule", cieWith({0x0C, 7, 8, 0x90, 1, 0x83, 2, 0x86, 3, 0x8C, 4, 0x8D, 5})},
        {"a CFA expression", cieWith({0x0F, 2, 0x77, 8, 0x90, 1})},
        {"a record longer than the table keeps",
         cieWith({0x0C, 7, 8, 0x90, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                  0,    0, 0, 0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
    };
    for (const Case& c : cases) {
        clearKeptDwarfCIEs();
        const auto address = reinterpret_cast<std::uintptr_t>(c.bytes.data());
        DwarfKeptCIE parsed{};
        ASSERT_TRUE(parse(c.bytes, &parsed)) << c.what;
        keepDwarfCIE(address, parsed);
        DwarfKeptCIE found{};
        EXPECT_FALSE(findKeptDwarfCIE(address, address + c.bytes.size(), &found)) << c.what;
    }
}

} // namespace
