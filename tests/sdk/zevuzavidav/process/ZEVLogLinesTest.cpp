// The SDK log lines of the unwinder's readers and of the process recorder, read back from "sdk.log":
// each progress and error line is written with its own function's name, as the readers go.
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfExpression.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"
#include "tests/sdk/zevuzavidav/support/FakeContext.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <vector>

namespace {

std::string logOf(const FakeContext& context) {
    std::ifstream in(context.dir() + "/sdk.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void expectLines(const std::string& log, const std::vector<std::string>& lines) {
    for (const auto& line : lines)
        EXPECT_NE(log.find(line), std::string::npos) << "missing: " << line << "\nlog:\n" << log;
}

TEST(LogLines, TheStrictReaderTracesEveryCallFrameInstructionAndTheHostReaderNone) {
    const std::uint64_t pcBegin = 0x5000;
    std::vector<std::uint8_t> block = {
        0x00,                    // nop
        0x0C, 31, 16,            // def_cfa sp, 16
        0x0D, 29,                // def_cfa_register fp
        0x0E, 32,                // def_cfa_offset 32
        0x44,                    // advance_loc 4
        0x02, 1,                 // advance_loc1
        0x03, 1,  0,             // advance_loc2
        0x04, 1,  0,    0,    0, // advance_loc4
        0x9E, 1,                 // offset lr
        0x08, 5,                 // same_value x5
        0x09, 6,  7,             // register x6 in x7
        0x10, 8,  1,    0x30,    // expression x8: lit0
        0x16, 9,  1,    0x30,    // val_expression x9: lit0
        0x0F, 1,  0x30,          // def_cfa_expression: lit0
        0x01,                    // set_loc (absolute, 8 bytes)
    };
    for (int i = 0; i < 8; ++i)
        block.push_back(static_cast<std::uint8_t>((pcBegin + 2) >> (8 * i)));
    ZEVDwarfCIERecord cie{};
    cie.codeAlignment = 1;
    cie.dataAlignment = -8;
    const std::string f = "ZEVDwarfInstructionsEnumerate: ";
    for (const zevuzavidav::DwarfDialect& dialect :
         {zevuzavidav::kDwarfDialectMachO, zevuzavidav::kDwarfDialectELF}) {
        FakeContext context;
        ZEVDwarfRegisterRules rules{};
        ASSERT_TRUE(ZEVDwarfInstructionsEnumerate(reinterpret_cast<std::uintptr_t>(block.data()),
                                                  block.size(), &cie, &rules, nullptr, pcBegin, INT64_MAX,
                                                  nullptr, dialect));
        std::string log = logOf(context);
        if (!dialect.traces) {
            EXPECT_EQ(log.find("DW_CFA"), std::string::npos) << log;
            continue;
        }
        expectLines(
            log, {f + "Running instructions from 0x", f + "DW_CFA_nop\n", f + "DW_CFA_def_cfa 31, 16\n",
                  f + "DW_CFA_def_cfa_register 29\n", f + "DW_CFA_def_cfa_offset 32\n",
                  f + "DW_CFA_advance_loc 4\n", f + "DW_CFA_advance_loc1 5\n", f + "DW_CFA_advance_loc2 6\n",
                  f + "DW_CFA_advance_loc4 7\n", f + "DW_CFA_offset 30, -8\n", f + "DW_CFA_same_value 5\n",
                  f + "DW_CFA_register 6 7\n", f + "DW_CFA_expression 8 ", f + "DW_CFA_val_expression 9 ",
                  f + "DW_CFA_def_cfa_expression ", f + "DW_CFA_set_loc 2\n"});
    }
}

TEST(LogLines, TheStrictReaderUsesTheLow32BitsOfABlockLength) {
    FakeContext context;
    std::uint8_t block[] = {0x0E, 16}; // def_cfa_offset 16
    ZEVDwarfCIERecord cie{};
    cie.codeAlignment = 1;
    ZEVDwarfRegisterRules rules{};
    // A length with high bits set: only its low 32 bits (the two bytes) are read.
    EXPECT_TRUE(ZEVDwarfInstructionsEnumerate(reinterpret_cast<std::uintptr_t>(block),
                                              (1ULL << 32) + sizeof block, &cie, &rules, nullptr, 0,
                                              INT64_MAX, nullptr, zevuzavidav::kDwarfDialectMachO));
    EXPECT_EQ(rules.cfaOffset, 16);
}

bool readRegister(const void* registers, std::uint64_t number, std::uint64_t* value) {
    *value = static_cast<const std::uint64_t*>(registers)[number];
    return true;
}

TEST(LogLines, TheExpressionMachineTracesEveryOperationAndItsOutcome) {
    FakeContext context;
    std::uint32_t word = 0x1234;
    std::uint64_t registers[8] = {};
    registers[6] = reinterpret_cast<std::uint64_t>(&word) + 16;
    // breg6 -16; dup; deref_size 4; swap; deref... as one expression ending in a plain value.
    std::vector<std::uint8_t> expression = {0,    0x76, 0x70, 0x12, 0x94, 4,    0x16, 0x1A, 0x35,
                                            0x37, 0x22, 0x23, 2,    0x2E, 0x30, 0x22, 0x12};
    expression[0] = static_cast<std::uint8_t>(expression.size() - 1);
    std::uint64_t result = 0;
    ASSERT_TRUE(ZEVDwarfEvalulateExpression(reinterpret_cast<std::uintptr_t>(expression.data()), registers,
                                            readRegister, 0, &result));
    std::uint64_t pointer = 0;
    std::vector<std::uint8_t> deref = {2, 0x76, 0x70, 0x06}; // breg6 -16; deref
    deref[0] = 3;
    registers[6] = reinterpret_cast<std::uint64_t>(&pointer) + 16;
    pointer = 0x2000;
    ASSERT_TRUE(ZEVDwarfEvalulateExpression(reinterpret_cast<std::uintptr_t>(deref.data()), registers,
                                            readRegister, 0, &result));
    EXPECT_EQ(result, 0x2000u);
    std::vector<std::uint8_t> empty = {0};
    EXPECT_FALSE(ZEVDwarfEvalulateExpression(reinterpret_cast<std::uintptr_t>(empty.data()), registers,
                                             readRegister, 0, &result));

    const std::string op = "ZEVDwarfExpressionMachineExecuteNextOpcode: ";
    const std::string eval = "ZEVDwarfEvalulateExpression: ";
    expectLines(logOf(context),
                {eval + "starting at 0x",
                 // The register's whole value (a stack address, beyond 32 bits).
                 op + "DW_OP_breg 6 value " + std::to_string(reinterpret_cast<std::uintptr_t>(&word)) + "\n",
                 op + "DW_OP_dup value ", op + "DW_OP_deref_size 0x", op + "DW_OP_swap\n",
                 op + "DW_OP_plus_and\n", op + "DW_OP_lit 5\n", op + "DW_OP_plus\n",
                 op + "DW_OP_plus_uconst value 2\n", op + "DW_OP_ne\n", op + "DW_OP_deref value 0x2000\n",
                 eval + "successfully computed expression result\n",
                 "ZEVDwarfExpressionMachinePrepareForExecution: Error: DWARF expression length is zero\n",
                 eval + "Error: unable to prepare for execution\n"});
}

TEST(LogLines, AnFdeWhoseCieCannotBeParsedIsRefusedAsInvalid) {
    FakeContext context;
    // CIE of version 2, then an FDE pointing back at it.
    std::vector<std::uint8_t> bytes = {12, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0x78, 16, 0, 0, 0};
    std::size_t fde = bytes.size();
    std::vector<std::uint8_t> record = {20, 0, 0, 0, 0, 0, 0, 0};
    std::uint32_t back = static_cast<std::uint32_t>(fde + 4);
    std::memcpy(&record[4], &back, 4);
    bytes.insert(bytes.end(), record.begin(), record.end());
    bytes.resize(bytes.size() + 20, 0);
    ZEVDwarfFDERecord parsed;
    ZEVDwarfCIERecord cie;
    auto base = reinterpret_cast<std::uintptr_t>(bytes.data());
    EXPECT_FALSE(ZEVDwarfParseFDERecord(&parsed, &cie, base + fde, base + bytes.size()));
    expectLines(logOf(context), {"ZEVDwarfParseCIERecord: Error: CIE version 2 unsupported\n",
                                 "ZEVDwarfParseFDERecord: Error: Unable to parse CIE record\n",
                                 "ZEVDwarfParseFDERecord: Error: CIE invalid\n"});
}

TEST(LogLines, TheSelectorIsReadOnlyNearTheMessageSendEntryAndOnlyWhenReadable) {
    FakeContext context;
    long page = sysconf(_SC_PAGESIZE);
    void* gone = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    const auto unreadable = reinterpret_cast<std::uint64_t>(gone);
    static const char kName[] = "tableView:cellForRowAtIndexPath:";
    const auto name = reinterpret_cast<std::uint64_t>(kName);
    const std::uint64_t entry = 0x100000;
    struct Case {
        std::uint64_t pc;
        std::uint64_t selector;
        const char* expected;
    };
    for (const Case& c :
         {Case{entry, name, kName}, Case{entry + 66, name, kName}, Case{entry + 67, name, ""},
          Case{entry - 1, name, ""}, Case{entry + 8, 0, ""}, Case{entry + 8, unreadable, ""}}) {
        EXPECT_STREQ(ZEVProcessGetObjCSelectorName(c.pc, c.selector, entry), c.expected) << c.pc - entry;
    }
    EXPECT_STREQ(ZEVProcessGetObjCSelectorName(entry, name, 0), ""); // no message-send runtime
    std::string log = logOf(context);
    const std::string line = "ZEVProcessGetObjCSelectorName: Unable to read the selector string\n";
    auto first = log.find(line);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << "only once";
    munmap(gone, page);
}

} // namespace
