#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/unwind/DwarfCursor.hpp"
#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfExpression.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfRegisters.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace zevuzavidav;

namespace {

// Hand-built call-frame information: a CIE and one FDE for a made-up function at 0x400000.
//   +0  push rbp              CFA = rsp+16, rbp at CFA-16, rbx at CFA-24 (offset_extended)
//   +4  remember; epilogue    CFA = rsp+8, rbp and rbx back to the CIE's rules
//   +5  restore_state         back to CFA = rsp+16, rbp at CFA-16
struct Tables {
    std::vector<std::uint8_t> bytes;
    std::size_t fde = 0;
};

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    std::memcpy(&b[at], &v, 4);
}
// Byte by byte: GCC 12 at -O3 misreads a range insert into a vector that has just been assigned.
void append(std::vector<std::uint8_t>& b, std::initializer_list<std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes)
        b.push_back(byte);
}
void append64(std::vector<std::uint8_t>& b, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Tables buildTables() {
    Tables t;
    auto& b = t.bytes;
    b = {0, 0, 0, 0, 0, 0, 0, 0, 1, 'z', 'R', 0, 1, 0x78, 16, 1, 0x00, 0x0C, 7, 8, 0x90, 1};
    put32(b, 0, static_cast<std::uint32_t>(b.size() - 4));
    t.fde = b.size();
    append(b, {0, 0, 0, 0, 0, 0, 0, 0});
    put32(b, t.fde + 4, static_cast<std::uint32_t>(t.fde + 4)); // distance back to the CIE
    append64(b, 0x400000);
    append64(b, 0x10);
    append(b, {0,             // augmentation data length
               0x2E, 0x00,    // GNU_args_size 0
               0x07, 0x21,    // undefined r33: outside the tracked set, ignored
               0x41,          // advance 1
               0x0E, 16,      // def_cfa_offset 16
               0x86, 2,       // rbp at CFA-16
               0x05, 3,    3, // offset_extended rbx at CFA-24
               0x43,          // advance 3 (to +4)
               0x0A,          // remember_state
               0x0E, 8,       // def_cfa_offset 8
               0xC6,          // restore rbp
               0xC3,          // restore rbx
               0x41,          // advance 1 (to +5)
               0x0B});        // restore_state
    put32(b, t.fde, static_cast<std::uint32_t>(b.size() - t.fde - 4));
    return t;
}

TEST(DwarfCFI, AppliesTheRowInForceAtEachPc) {
    Tables t = buildTables();
    auto base = reinterpret_cast<std::uintptr_t>(t.bytes.data());
    ZEVDwarfCFIRecord cfi;
    ASSERT_TRUE(ZEVDwarfParseFDERecord(&cfi.fde, &cfi.cie, base + t.fde, base + t.bytes.size()));
    EXPECT_EQ(cfi.fde.pcBegin, 0x400000u);
    EXPECT_EQ(cfi.fde.pcRange, 0x10u);

    std::uint64_t stack[4] = {0x1111, 0x2222, 0x3333, 0x4444};
    auto at = [&](int i) { return reinterpret_cast<std::uint64_t>(&stack[i]); };
    struct Row {
        std::uint64_t pc;
        int rspSlot;
        std::uint64_t rip, rbp, rbx;
        int callerSpSlot;
    } rows[] = {
        {0x400000, 0, 0x1111, 0xbb, 0xcc, 1},     // entry: only the return address is on the stack
        {0x400002, 1, 0x3333, 0x2222, 0x1111, 3}, // after push: CFA = rsp+16
        {0x400004, 0, 0x1111, 0xbb, 0xcc, 1},     // remembered row replaced by the epilogue's
        {0x400005, 1, 0x3333, 0x2222, 0x1111, 3}, // restore_state brings back the full row
    };
    for (const auto& row : rows) {
        MachineContext registers{};
        registers.rsp = at(row.rspSlot);
        registers.rip = row.pc;
        registers.rbp = 0xbb;
        registers.rbx = 0xcc;
        ASSERT_TRUE(ZEVDwarfUnwindComputeRegisters(&cfi, row.pc, &registers)) << std::hex << row.pc;
        EXPECT_EQ(registers.rip, row.rip) << std::hex << row.pc;
        EXPECT_EQ(registers.rbp, row.rbp) << std::hex << row.pc;
        EXPECT_EQ(registers.rbx, row.rbx) << std::hex << row.pc;
        EXPECT_EQ(registers.rsp, at(row.callerSpSlot)) << std::hex << row.pc;
    }
}

TEST(DwarfCFI, RefusesDamagedRecords) {
    Tables t = buildTables();
    auto base = reinterpret_cast<std::uintptr_t>(t.bytes.data());
    ZEVDwarfCFIRecord cfi;
    // An FDE that claims more bytes than the table holds.
    std::vector<std::uint8_t> longer = t.bytes;
    put32(longer, t.fde, 0x7fffffff);
    auto longerBase = reinterpret_cast<std::uintptr_t>(longer.data());
    EXPECT_FALSE(ZEVDwarfParseFDERecord(&cfi.fde, &cfi.cie, longerBase + t.fde, longerBase + longer.size()));
    // A CIE of an unsupported version.
    std::vector<std::uint8_t> version = t.bytes;
    version[8] = 2;
    auto versionBase = reinterpret_cast<std::uintptr_t>(version.data());
    EXPECT_FALSE(
        ZEVDwarfParseFDERecord(&cfi.fde, &cfi.cie, versionBase + t.fde, versionBase + version.size()));
    // An augmentation letter nobody defined.
    std::vector<std::uint8_t> letter = t.bytes;
    letter[10] = 'B';
    auto letterBase = reinterpret_cast<std::uintptr_t>(letter.data());
    EXPECT_FALSE(ZEVDwarfParseFDERecord(&cfi.fde, &cfi.cie, letterBase + t.fde, letterBase + letter.size()));
    ASSERT_TRUE(ZEVDwarfParseFDERecord(&cfi.fde, &cfi.cie, base + t.fde, base + t.bytes.size()));
    // A pc before the function is refused.
    MachineContext registers{};
    std::uint64_t stack[2] = {1, 2};
    registers.rsp = reinterpret_cast<std::uint64_t>(stack);
    EXPECT_FALSE(ZEVDwarfUnwindComputeRegisters(&cfi, 0x3fffff, &registers));
}

TEST(DwarfCFI, InitFromFDEParsesTheRecordAtItsOffsetWithinTheSection) {
    Tables t = buildTables();
    auto base = reinterpret_cast<std::uintptr_t>(t.bytes.data());
    auto end = base + t.bytes.size();
    ZEVDwarfCFIRecord cfi;
    ASSERT_TRUE(ZEVDwarfInitFromFDE(&cfi, base, t.fde, end));
    EXPECT_EQ(cfi.fde.pcBegin, 0x400000u);
    EXPECT_TRUE(cfi.cie.augmentationData);
    struct Refused {
        const char* what;
        std::uintptr_t ehFrame;
        std::uint64_t offset;
        std::uintptr_t end;
    } refused[] = {
        {"no section", 0, t.fde, end},
        {"offset 0 (a CIE is always first)", base, 0, end},
        {"address and offset summing to 0", base, 0 - base, end},
        {"an offset past the section", base, t.bytes.size(), end},
        {"a section ending before it starts", base, t.fde, base - 1},
        {"a record running past the section", base, t.fde, base + t.fde + 8},
        {"a CIE before the section", base + 8, t.fde - 8, end},
    };
    for (const Refused& r : refused)
        EXPECT_FALSE(ZEVDwarfInitFromFDE(&cfi, r.ehFrame, r.offset, r.end)) << r.what;
}

// The program's own .eh_frame_hdr: with the image's header, the segments holding the index and
// .eh_frame are proven and read in place, and the FDE found is the one found through copies.
TEST(DwarfFDEIndex, ProvesTheImagesSegmentsAndFindsTheSameFDE) {
    auto pc = reinterpret_cast<std::uint64_t>(&buildTables);
    zevuzavidav::BinaryImageNodeCopy image;
    ASSERT_TRUE(findImageWithDynamicLinker(pc, &image));
    // Walks remember the segments they proved for the process's life, per image generation: a
    // generation of its own, new at every run, has none (the walk below keeps what it proves).
    static std::uint64_t unprovenGeneration = 0xfde0000000000000;
    UnwindMemory copies;
    initUnwindMemory(&copies, ++unprovenGeneration);
    ZEVDwarfCFIRecord throughCopies;
    ASSERT_TRUE(findDwarfFDE(image.eh_frame, pc, &throughCopies, &copies));
    EXPECT_EQ(copies.rangeCount, 0u);
    UnwindMemory proven;
    initUnwindMemory(&proven);
    ZEVDwarfCFIRecord inPlace;
    ASSERT_TRUE(findDwarfFDE(image.eh_frame, pc, &inPlace, &proven, image.base));
    EXPECT_GE(proven.rangeCount, 1u);
    EXPECT_TRUE(isUnwindMemoryInPlace(&proven, image.eh_frame, 8));
    EXPECT_EQ(inPlace.fde.pcBegin, throughCopies.fde.pcBegin);
    EXPECT_EQ(inPlace.fde.pcRange, throughCopies.fde.pcRange);
    EXPECT_LE(inPlace.fde.pcBegin, pc);
}

// An image that stays mapped until the process ends (the program itself): a walk that has not met it
// reads its headers, its index and the FDE's entry in place, copying nothing.
TEST(DwarfFDEIndex, AnImageThatStaysMappedIsReadWithoutACopy) {
    darwin::notePermanentImages();
    auto pc = reinterpret_cast<std::uint64_t>(&buildTables);
    zevuzavidav::BinaryImageNodeCopy image;
    ASSERT_TRUE(findImageWithDynamicLinker(pc, &image));
    ASSERT_TRUE(darwin::imageIsPermanent(image.base));
    static std::uint64_t unmetGeneration = 0xfde1000000000000;
    UnwindMemory memory;
    initUnwindMemory(&memory, ++unmetGeneration);
    DwarfFDEIndex index;
    ASSERT_TRUE(initDwarfFDEIndex(&index, image.base, image.eh_frame, &memory));
    std::uintptr_t fde = 0;
    ASSERT_TRUE(searchDwarfFDEIndex(&index, pc, &fde, &memory));
    EXPECT_EQ(memory.lineCount, 0u);
    EXPECT_TRUE(isUnwindMemoryInPlace(&memory, fde, 8));
    ZEVDwarfCFIRecord found;
    ASSERT_TRUE(
        ZEVDwarfParseFDERecord(&found.fde, &found.cie, fde, index.ehFrameEnd, &memory, index.ehFrame));
    EXPECT_LE(found.fde.pcBegin, pc);
    EXPECT_LT(pc - found.fde.pcBegin, found.fde.pcRange);
}

TEST(DwarfFDEIndex, AnIndexWhoseImageHeaderIsNoELFHeaderIsReadThroughCopies) {
    // An index of one entry: version 1, eh_frame pc-relative sdata4, count udata4, table datarel sdata4.
    std::vector<std::uint8_t> hdr = {1, 0x1B, 0x03, 0x3B, 0x20, 0, 0,    0, 1, 0,
                                     0, 0,    0,    0,    0,    0, 0x20, 0, 0, 0};
    hdr.resize(64, 0);
    std::vector<std::uint8_t> notAnImage(4096, 0x5a);
    UnwindMemory memory;
    initUnwindMemory(&memory);
    DwarfFDEIndex index;
    ASSERT_TRUE(initDwarfFDEIndex(&index, reinterpret_cast<std::uintptr_t>(notAnImage.data()),
                                  reinterpret_cast<std::uintptr_t>(hdr.data()), &memory));
    EXPECT_EQ(index.count, 1u);
    EXPECT_EQ(index.ehFrame, reinterpret_cast<std::uintptr_t>(hdr.data()) + 4 + 0x20);
    EXPECT_EQ(index.ehFrameEnd, 0u);
    EXPECT_EQ(memory.rangeCount, 0u);
}

TEST(DwarfCursor, ReadsLeb128AndPointerEncodings) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::uint64_t unsignedValue;
        std::int64_t signedValue;
    } cases[] = {
        {{0x7F}, 0x7F, -1},
        {{0xE5, 0x8E, 0x26}, 624485, 624485},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, 0xFFFFFFFFFFFFFFULL, -1},
        {{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, 0, 0}, // cut after the 8th byte
    };
    for (const auto& c : cases) {
        auto start = reinterpret_cast<std::uintptr_t>(c.bytes.data());
        DwarfCursor cursor;
        initDwarfCursor(&cursor, start, start + c.bytes.size());
        EXPECT_EQ(ZEVDwarfReadULEB128(&cursor), c.unsignedValue);
        initDwarfCursor(&cursor, start, start + c.bytes.size());
        EXPECT_EQ(ZEVDwarfReadSLEB128(&cursor), c.signedValue);
    }
    std::int32_t relative = -16;
    std::uint8_t field[4];
    std::memcpy(field, &relative, 4);
    auto start = reinterpret_cast<std::uintptr_t>(field);
    DwarfCursor cursor;
    initDwarfCursor(&cursor, start, start + 4);
    EXPECT_EQ(ZEVParseAddressWithEncodingAndAdvance(&cursor, 0x1B), start - 16);
    initDwarfCursor(&cursor, start, start + 4);
    EXPECT_EQ(ZEVParseAddressWithEncodingAndAdvance(&cursor, 0x03), 0xFFFFFFF0u);
    initDwarfCursor(&cursor, start, start + 4);
    EXPECT_EQ(ZEVParseAddressWithEncodingAndAdvance(&cursor, 0x50), kDwarfInvalidAddress);
    initDwarfCursor(&cursor, start, start + 2);
    EXPECT_EQ(ZEVParseAddressWithEncodingAndAdvance(&cursor, 0x03),
              kDwarfInvalidAddress); // past the end
}

bool readRegister(const void* registers, std::uint64_t number, std::uint64_t* value) {
    if (number != 6) return false;
    *value = *static_cast<const std::uint64_t*>(registers);
    return true;
}

TEST(DwarfExpression, EvaluatesTheSupportedSubsetAndRefusesTheRest) {
    std::uint64_t word = 0x1234;
    std::uint64_t rbp = reinterpret_cast<std::uint64_t>(&word) + 16;
    std::uint64_t result = 0;
    std::vector<std::uint8_t> derefBelowFp = {3, 0x76, 0x70, 0x06}; // breg6 -16; deref
    EXPECT_TRUE(ZEVDwarfEvalulateExpression(reinterpret_cast<std::uintptr_t>(derefBelowFp.data()), &rbp,
                                            readRegister, 0, &result));
    EXPECT_EQ(result, 0x1234u);
    std::vector<std::uint8_t> arithmetic = {5, 0x35, 0x37, 0x22, 0x23, 0x02}; // 5 + 7, plus_uconst 2
    EXPECT_TRUE(ZEVDwarfEvalulateExpression(reinterpret_cast<std::uintptr_t>(arithmetic.data()), &rbp,
                                            readRegister, 0, &result));
    EXPECT_EQ(result, 14u);
    std::vector<std::uint8_t> empty = {0};
    EXPECT_FALSE(ZEVDwarfEvalulateExpression(reinterpret_cast<std::uintptr_t>(empty.data()), &rbp,
                                             readRegister, 0, &result));
    std::vector<std::uint8_t> badSize = {3, 0x76, 0x70, 0x94};
    badSize[0] = 4;
    badSize.push_back(3);
    EXPECT_FALSE(ZEVDwarfEvalulateExpression(reinterpret_cast<std::uintptr_t>(badSize.data()), &rbp,
                                             readRegister, 0, &result));
    std::vector<std::uint8_t> overflow = {0xE5, 0x00}; // ULEB128 101
    overflow.resize(overflow.size() + 101, 0x30);      // 101 pushes on top of the initial value
    EXPECT_FALSE(ZEVDwarfEvalulateExpression(reinterpret_cast<std::uintptr_t>(overflow.data()), &rbp,
                                             readRegister, 0, &result));
    std::vector<std::uint8_t> unknown = {1, 0x96};
    EXPECT_FALSE(ZEVDwarfEvalulateExpression(reinterpret_cast<std::uintptr_t>(unknown.data()), &rbp,
                                             readRegister, 0, &result));
}

// The machine driven one operation at a time, as the evaluation drives it.
TEST(DwarfExpression, TheMachineRunsOneOperationAtATimeAndGivesItsResultOnlyAtTheEnd) {
    std::uint64_t rbp = 0x1000;
    std::vector<std::uint8_t> expression = {4, 0x76, 0x08, 0x23, 0x10}; // breg6 +8; plus_uconst 16
    ZEVDwarfExpressionMachine machine;
    ASSERT_TRUE(ZEVDwarfExpressionMachineInit(&machine, reinterpret_cast<std::uintptr_t>(expression.data()),
                                              &rbp, readRegister, 7));
    ASSERT_TRUE(ZEVDwarfExpressionMachinePrepareForExecution(&machine));
    std::uint64_t result = 0;
    EXPECT_FALSE(ZEVDwarfExpressionMachineIsFinished(&machine));
    ASSERT_TRUE(ZEVDwarfExpressionMachineExecuteNextOpcode(&machine));
    EXPECT_FALSE(ZEVDwarfExpressionMachineGetResult(&machine, &result)) << "not at the end yet";
    ASSERT_TRUE(ZEVDwarfExpressionMachineExecuteNextOpcode(&machine));
    EXPECT_TRUE(ZEVDwarfExpressionMachineIsFinished(&machine));
    ASSERT_TRUE(ZEVDwarfExpressionMachineGetResult(&machine, &result));
    EXPECT_EQ(result, 0x1018u);
    EXPECT_EQ(machine.stackPointer - machine.stack, 2) << "the initial value stays below";

    // An operand cut off by the end fails its operation and breaks the machine: no result.
    std::vector<std::uint8_t> cut = {1, 0x23, 0x10};
    ASSERT_TRUE(ZEVDwarfExpressionMachineInit(&machine, reinterpret_cast<std::uintptr_t>(cut.data()), &rbp,
                                              readRegister, 0));
    ASSERT_TRUE(ZEVDwarfExpressionMachinePrepareForExecution(&machine));
    EXPECT_FALSE(ZEVDwarfExpressionMachineExecuteNextOpcode(&machine));
    EXPECT_FALSE(ZEVDwarfExpressionMachineGetResult(&machine, &result));

    // Invalid machines: refused at init, finished at once.
    EXPECT_FALSE(ZEVDwarfExpressionMachineInit(nullptr, reinterpret_cast<std::uintptr_t>(cut.data()), &rbp,
                                               readRegister, 0));
    EXPECT_FALSE(ZEVDwarfExpressionMachineInit(&machine, 0x10, &rbp, readRegister, 0));
    EXPECT_TRUE(ZEVDwarfExpressionMachineIsFinished(nullptr));
    machine.stackPointer = nullptr;
    EXPECT_TRUE(ZEVDwarfExpressionMachineIsFinished(&machine));
}

} // namespace
