#include "sdk/zevuzavidav/unwind/arm64/ZEVUnwindArm64.hpp"
#include "platform/darwin/MachO.hpp"
#include "tests/sdk/zevuzavidav/unwind/UnwindFuzz.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace arm64;

const std::string kFixtures = std::string(VELO_SOURCE_DIR) + "/tests/sdk/zevuzavidav/fixtures/";

// The fixture dylib "loaded" at the address of a buffer: its __TEXT segment starts at vm address 0,
// so a section's vm address is also its offset from the header.
struct LoadedFixture {
    std::vector<std::uint8_t> bytes;
    ZEVArm64Image image;
};

LoadedFixture* loaded = nullptr;

bool findFixture(std::uint64_t address, ZEVArm64Image* out) {
    if (loaded == nullptr || address < loaded->image.base ||
        address - loaded->image.base >= loaded->image.size) {
        return false;
    }
    *out = loaded->image;
    return true;
}

class Arm64Fixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ifstream in(kFixtures + "libfixture_arm64.dylib", std::ios::binary);
        fixture_.bytes.assign(std::istreambuf_iterator<char>(in), {});
        ASSERT_GT(fixture_.bytes.size(), 4096u);
        darwin::MachOSection unwindInfo, ehFrame;
        ASSERT_TRUE(darwin::machOFindSection(fixture_.bytes.data(), fixture_.bytes.size(), "__TEXT",
                                             "__unwind_info", unwindInfo));
        ASSERT_TRUE(darwin::machOFindSection(fixture_.bytes.data(), fixture_.bytes.size(), "__TEXT",
                                             "__eh_frame", ehFrame));
        auto base = reinterpret_cast<std::uint64_t>(fixture_.bytes.data());
        fixture_.image = {base,         fixture_.bytes.size(),     base + ehFrame.address,
                          ehFrame.size, base + unwindInfo.address, unwindInfo.size};
        loaded = &fixture_;
    }
    void TearDown() override { loaded = nullptr; }

    std::uint64_t symbol(const std::string& name) const {
        std::ifstream in(kFixtures + "libfixture_arm64.syms.txt");
        std::string line;
        while (std::getline(in, line)) {
            if (line.size() > name.size() &&
                line.compare(line.size() - name.size(), name.size(), name) == 0) {
                return fixture_.image.base + std::stoull(line.substr(0, 16), nullptr, 16);
            }
        }
        ADD_FAILURE() << "no symbol " << name;
        return 0;
    }

    LoadedFixture fixture_;
};

TEST_F(Arm64Fixture, CompactLookupsMatchTheTableRecordedAtGeneration) {
    // Entries as llvm-objdump listed them: function offset and the encoding it resolved.
    std::ifstream in(kFixtures + "libfixture_arm64.unwind.txt");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::regex entryLine(R"(\[\d+\]: function offset=0x([0-9a-f]+), encoding\[\d+\]=0x([0-9a-f]+))");
    std::regex topLine(R"(\[\d+\]: function offset=0x([0-9a-f]+), 2nd level page offset)");
    std::vector<std::pair<std::uint64_t, std::uint32_t>> entries;
    for (std::sregex_iterator it(text.begin(), text.end(), entryLine), end; it != end; ++it) {
        entries.emplace_back(std::stoull((*it)[1], nullptr, 16),
                             static_cast<std::uint32_t>(std::stoul((*it)[2], nullptr, 16)));
    }
    std::vector<std::uint64_t> topLevel;
    for (std::sregex_iterator it(text.begin(), text.end(), topLine), end; it != end; ++it) {
        topLevel.push_back(std::stoull((*it)[1], nullptr, 16));
    }
    ASSERT_GE(entries.size(), 4u);
    ASSERT_EQ(topLevel.size(), 2u);

    ZEVCompactUnwindContext compact;
    ASSERT_TRUE(ZEVCompactUnwindInit(&compact, fixture_.image));
    std::uint64_t base = fixture_.image.base;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::uint64_t start = base + entries[i].first;
        std::uint64_t end = base + (i + 1 < entries.size() ? entries[i + 1].first : topLevel.back());
        for (std::uint64_t pc : {start, start + 4, end - 4}) {
            ZEVCompactUnwindEntry entry;
            ASSERT_TRUE(ZEVCompactUnwindLookup(&compact, pc, &entry)) << std::hex << pc - base;
            EXPECT_EQ(entry.encoding, entries[i].second) << std::hex << pc - base;
            EXPECT_EQ(entry.functionStart, start);
            EXPECT_EQ(entry.functionEnd, end); // the last one ends at the next first-level entry
        }
    }
    ZEVCompactUnwindEntry entry;
    EXPECT_FALSE(ZEVCompactUnwindLookup(&compact, base + topLevel.back(), &entry)); // the sentinel
    EXPECT_FALSE(ZEVCompactUnwindLookup(&compact, base + entries[0].first - 4, &entry));
}

ZEVMachineContextArm64 contextAt(std::uint64_t pc, std::uint64_t lr, std::uint64_t fp, std::uint64_t sp) {
    ZEVMachineContextArm64 context{};
    context.ss.pc = pc;
    context.ss.lr = lr;
    context.ss.fp = fp;
    context.ss.sp = sp;
    return context;
}

std::vector<std::uint64_t> frames(const ZEVMachineContextArm64& start) {
    ZEVUnwindContext context;
    EXPECT_TRUE(ZEVUnwindInit(&context, &start, findFixture));
    std::vector<std::uint64_t> pcs;
    while (ZEVUnwindNextFrame(&context))
        pcs.push_back(ZEVUnwindGetPC(&context));
    return pcs;
}

TEST_F(Arm64Fixture, WalksASyntheticStackThroughFramelessAndFrameFunctions) {
    // A stack of two frame records: outer's, then its caller's, ending the chain.
    std::uint64_t stack[8] = {};
    auto at = [&](int i) { return reinterpret_cast<std::uint64_t>(&stack[i]); };
    std::uint64_t outer = symbol("_outer");
    std::uint64_t leaf = symbol("_leaf");
    const std::uint64_t callerOfOuter = 0x7000; // outside the image: only the frame pointer knows it
    const std::uint64_t callerOfCaller = 0x9000;
    stack[2] = at(4);         // outer's record: saved fp
    stack[3] = callerOfOuter; //                 saved lr
    stack[4] = 0;             // the caller's record ends the chain
    stack[5] = callerOfCaller;

    // In leaf (frameless): its caller is found through lr, then outer's record leads on.
    auto pcs = frames(contextAt(leaf + 4, outer + 12, at(2), at(0)));
    std::vector<std::uint64_t> expected = {leaf + 4, outer + 12, callerOfOuter, callerOfCaller};
    EXPECT_EQ(pcs, expected);

    // A thread whose pc or sp is null yields nothing.
    EXPECT_TRUE(frames(contextAt(0x10, outer, at(2), at(0))).empty());
    EXPECT_TRUE(frames(contextAt(outer, outer, at(2), 0)).empty());
}

// The first step looks up pc - 1 like every other: a pc on the first byte of _outer (a frame-record
// function) is taken for the end of _framed before it (frameless), whose caller is in lr.
TEST_F(Arm64Fixture, TheFirstStepLooksUpTheByteBeforeThePc) {
    std::uint64_t stack[4] = {};
    auto at = [&](int i) { return reinterpret_cast<std::uint64_t>(&stack[i]); };
    stack[2] = 0;      // outer's record, were it taken: saved fp ...
    stack[3] = 0x7000; // ... and saved lr
    std::uint64_t outer = symbol("_outer");
    auto pcs = frames(contextAt(outer, 0x7100, at(2), at(0)));
    ASSERT_GE(pcs.size(), 2u);
    EXPECT_EQ(pcs[0], outer);
    EXPECT_EQ(pcs[1], 0x7100u);
}

TEST_F(Arm64Fixture, AFrameChainThatDoesNotMoveUpEnds) {
    std::uint64_t stack[4] = {};
    auto at = [&](int i) { return reinterpret_cast<std::uint64_t>(&stack[i]); };
    stack[2] = at(2); // a record pointing at itself
    stack[3] = 0x7000;
    auto pcs = frames(contextAt(symbol("_outer") + 8, 0, at(2), at(0)));
    EXPECT_LE(pcs.size(), 2u);
}

TEST(Arm64Registers, SettingTheLinkRegisterMovesThePc) {
    zevuzavidav::RegistersArm64 registers{};
    EXPECT_TRUE(ZEVDwarfUnwindSetRegisterValue(&registers, 30, 0x4321));
    EXPECT_EQ(registers.pc, 0x4321u);
    EXPECT_TRUE(ZEVDwarfUnwindSetRegisterValue(&registers, 31, 0x8000));
    EXPECT_EQ(ZEVDwarfUnwindGetRegisterValue(&registers, 31), 0x8000u);
    EXPECT_FALSE(ZEVDwarfUnwindSetRegisterValue(&registers, 32, 1));
    EXPECT_EQ(ZEVDwarfUnwindGetRegisterValue(&registers, 40), 0u);
}

// Hand-built __unwind_info: a header, two common encodings, a first-level index of three entries (the
// last a sentinel) pointing at a compressed page and a regular page.
struct Table {
    std::vector<std::uint32_t> words;
    ZEVArm64Image image;
};

Table handBuiltTable(std::uint64_t base) {
    Table t;
    auto& w = t.words;
    w = {1,
         28,
         2,
         36,
         0,
         36,
         3, // header: version, common at 28 (2), index at 36 (3)
         0x04000000,
         0x02000000, // common encodings
         0x1000,
         72,
         0,
         0x2000,
         100,
         0,
         0x3000,
         0,
         0, // index entries: offset, page, lsda
         3,
         (16U << 16) | 12,
         (1U << 16) | 28}; // compressed page at 72: entries at +12 (2), encodings at +28 (1)
    w.resize(72 / 4 + 3);
    w.push_back(0x00000000);         // entry 0: offset 0, encoding 0 (frame)
    w.push_back((2U << 24) | 0x100); // entry 1: offset 0x100, encoding 2 = page-local
    w.push_back(0x03001234);         // the page's own encoding (DWARF, FDE offset 0x1234)
    w.resize(100 / 4);
    w.push_back(2); // a regular page at 100
    t.image = {base, 0x4000, 0, 0, reinterpret_cast<std::uint64_t>(t.words.data()), t.words.size() * 4};
    return t;
}

TEST(Arm64CompactUnwind, ResolvesCommonAndPageEncodingsAndRefusesRegularPages) {
    std::vector<std::uint8_t> fakeImage(0x4000);
    auto base = reinterpret_cast<std::uint64_t>(fakeImage.data());
    Table t = handBuiltTable(base);
    // Fix up the page header fields: entry count 2 at +6, encodings offset 28 at +8, count 1 at +10.
    auto* page = reinterpret_cast<std::uint16_t*>(reinterpret_cast<std::uint8_t*>(t.words.data()) + 72);
    page[2] = 12;
    page[3] = 2;
    page[4] = 20;
    page[5] = 1;
    ZEVCompactUnwindContext compact;
    ASSERT_TRUE(ZEVCompactUnwindInit(&compact, t.image));
    ZEVCompactUnwindEntry entry;
    ASSERT_TRUE(ZEVCompactUnwindLookup(&compact, base + 0x1010, &entry));
    EXPECT_EQ(entry.encoding, 0x04000000u);
    EXPECT_EQ(entry.functionEnd, base + 0x1100);
    ASSERT_TRUE(ZEVCompactUnwindLookup(&compact, base + 0x1100, &entry));
    EXPECT_EQ(entry.encoding, 0x03001234u); // index 2 is past the two common ones: the page's own
    EXPECT_EQ(entry.functionEnd, base + 0x2000);
    EXPECT_FALSE(ZEVCompactUnwindLookup(&compact, base + 0x2010, &entry)); // regular page
    EXPECT_FALSE(ZEVCompactUnwindLookup(&compact, base + 0x3000, &entry)); // sentinel

    Table versionTwo = handBuiltTable(base);
    versionTwo.words[0] = 2;
    EXPECT_FALSE(ZEVCompactUnwindInit(&compact, versionTwo.image));
    Table truncated = handBuiltTable(base);
    truncated.image.unwindInfoSize = 80; // the index says more than the section holds
    ASSERT_TRUE(ZEVCompactUnwindInit(&compact, truncated.image));
    EXPECT_FALSE(ZEVCompactUnwindLookup(&compact, base + 0x1010, &entry));
}

TEST(Arm64CompactUnwind, LookupsOverGarbageKeepToTheirSection) {
    Table seed = handBuiltTable(0); // with its page header set as above
    auto* page = reinterpret_cast<std::uint16_t*>(reinterpret_cast<std::uint8_t*>(seed.words.data()) + 72);
    page[2] = 12;
    page[3] = 2;
    page[4] = 20;
    page[5] = 1;
    std::mt19937 random(7);
    auto someWord = [&] { return static_cast<std::uint32_t>(random() % 4 == 0 ? random() % 600 : random()); };
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint32_t> words;
        if (round % 2 == 0) { // the hand-built table with a few words changed, or cut short
            words = seed.words;
            for (int edit = 1 + static_cast<int>(random() % 4); edit > 0; --edit) {
                if (random() % 6 == 0) {
                    words.resize(random() % words.size());
                    break;
                }
                words[random() % words.size()] = someWord();
            }
        } else { // garbage of mostly small words
            words.resize(8 + random() % 128);
            for (auto& word : words)
                word = someWord();
        }
        if (words.size() < 8) words.resize(8);
        words[0] = 1; // the version, or nothing is read at all
        // The pc where the table's functions are, the section right after the control, and bytes of
        // the input's own after it, so that a read outside the section would be noticed.
        unwindfuzz::Bytes input;
        unwindfuzz::putWord(input, 0, unwindfuzz::relocated(0x1000 + random() % 0x2400));
        unwindfuzz::putWord(input, 8, 16 | (words.size() * 4) << 16);
        input.resize(16 + words.size() * 4);
        std::memcpy(&input[16], words.data(), words.size() * 4);
        input.resize(0x3800 + random() % 512);
        for (std::size_t at = 16 + words.size() * 4; at < input.size(); ++at)
            input[at] = static_cast<std::uint8_t>(random() % 2 ? random() : random() % 4);
        const char* broken = unwindfuzz::compactUnwindHolds(input.data(), input.size());
        ASSERT_EQ(broken, nullptr) << broken << " (round " << round << ")";
    }
}

// A walk's input: pc, sp, fp, lr and the image's layout, then a frame-record chain of `links` records
// in the input itself, each returning to an address outside it.
unwindfuzz::Bytes frameRecordChain(std::size_t links, std::mt19937& random) {
    unwindfuzz::Bytes input;
    unwindfuzz::putWord(input, 0, 0x401000 + random() % 4096);
    unwindfuzz::putWord(input, 8, unwindfuzz::relocated(40));
    unwindfuzz::putWord(input, 16, unwindfuzz::relocated(40));
    unwindfuzz::putWord(input, 24, 0x402000 + random() % 4096);
    unwindfuzz::putWord(input, 32, std::uint64_t(random()) << 32 | random());
    for (std::size_t link = 0; link < links; ++link) {
        const std::size_t at = 40 + 16 * link;
        unwindfuzz::putWord(input, at, link + 1 < links ? unwindfuzz::relocated(at + 16) : 0);
        unwindfuzz::putWord(input, at + 8, 0x500000 + random() % 0x10000);
    }
    return input;
}

TEST(Arm64Unwind, WalksOverGarbageEndCleanlyWithinTheFrameLimit) {
    std::mt19937 random(11);
    std::uint32_t deepest = 0;
    for (int round = 0; round < 400; ++round) {
        unwindfuzz::Bytes input;
        if (round % 2 == 0) { // chains short and long
            input = frameRecordChain(random() % 1200, random);
        } else { // garbage throughout, a quarter of its words pointing into itself
            input.resize(40 + 8 * (random() % 1024));
            for (std::size_t at = 0; at + 8 <= input.size(); at += 8)
                unwindfuzz::putWord(input, at,
                                    random() % 4 == 0 ? unwindfuzz::relocated(random())
                                                      : std::uint64_t(random()) << 32 | random());
        }
        std::uint32_t frames = 0;
        const char* broken = unwindfuzz::arm64WalkHolds(input.data(), input.size(), &frames);
        ASSERT_EQ(broken, nullptr) << broken << " (round " << round << ")";
        deepest = std::max(deepest, frames);
    }
    EXPECT_EQ(deepest, kUnwindMaxFrames); // the long chains reached the limit
}

// The FDE at `fde` in the section [ehFrame, ehFrameEnd), with its CIE, applied to the context.
bool applyFde(std::uint64_t ehFrame, std::size_t fde, std::uint64_t ehFrameEnd, ZEVUnwindContext* context) {
    ZEVDwarfCFIRecord cfi;
    return ZEVDwarfInitFromFDE(&cfi, ehFrame, fde, ehFrameEnd, &context->memory) &&
           ZEVDwarfUnwindComputeRegisters(&cfi, context);
}

TEST(Arm64Dwarf, AppliesAnFdeAndKeepsTheStrictInstructionSet) {
    // CIE: "zR", code 1, data -8, return register 30, pointer encoding absolute 8 bytes, CFA = sp + 0.
    std::vector<std::uint8_t> eh = {0,   0, 0, 0,    0,  0, 0,    0,    1,  'z',
                                    'R', 0, 1, 0x78, 30, 1, 0x00, 0x0C, 31, 0};
    auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&eh[at], &v, 4); };
    put32(0, static_cast<std::uint32_t>(eh.size() - 4));
    std::size_t fde = eh.size();
    eh.insert(eh.end(), 8, 0);
    put32(fde + 4, static_cast<std::uint32_t>(fde + 4));
    for (int i = 0; i < 8; ++i)
        eh.push_back(static_cast<std::uint8_t>(0x5000ULL >> (8 * i))); // pc begin
    for (int i = 0; i < 8; ++i)
        eh.push_back(i == 0 ? 0x40 : 0);                        // range
    eh.insert(eh.end(), {0, 0x44, 0x0E, 16, 0x9E, 1, 0x9D, 2}); // advance 4; CFA sp+16; lr cfa-8; fp cfa-16
    put32(fde, static_cast<std::uint32_t>(eh.size() - fde - 4));
    auto ehBase = reinterpret_cast<std::uint64_t>(eh.data());

    std::uint64_t stack[4] = {0x1111, 0xfeed0, 0xbeef0, 0};
    ZEVUnwindContext context;
    ZEVMachineContextArm64 start = contextAt(0x5008, 0x6000, 0x2222, reinterpret_cast<std::uint64_t>(stack));
    ASSERT_TRUE(ZEVUnwindInit(&context, &start, nullptr));
    ASSERT_TRUE(applyFde(ehBase, fde, ehBase + eh.size(), &context));
    EXPECT_EQ(context.machineContext.ss.pc, 0xfeed0u);
    EXPECT_EQ(context.machineContext.ss.fp, 0x1111u);
    EXPECT_EQ(context.machineContext.ss.sp, reinterpret_cast<std::uint64_t>(&stack[2]));

    // At the function's first instruction nothing of the FDE applies: CFA = sp, lr unchanged → refused.
    ZEVMachineContextArm64 atEntry =
        contextAt(0x5000, 0x6000, 0x2222, reinterpret_cast<std::uint64_t>(stack));
    ASSERT_TRUE(ZEVUnwindInit(&context, &atEntry, nullptr));
    EXPECT_FALSE(applyFde(ehBase, fde, ehBase + eh.size(), &context));

    // remember_state is outside the strict set.
    std::vector<std::uint8_t> strict = eh;
    strict[strict.size() - 8 + 1] = 0x0A;
    auto strictBase = reinterpret_cast<std::uint64_t>(strict.data());
    ASSERT_TRUE(ZEVUnwindInit(&context, &start, nullptr));
    EXPECT_FALSE(applyFde(strictBase, fde, strictBase + strict.size(), &context));
    EXPECT_FALSE(applyFde(0x10, 8, 0x1000, &context)); // eh_frame below 4096

    // The CFA as an expression: x5 + 16 is accepted; the same through DW_OP_breg31 is refused.
    auto withCfaExpression = [&](std::uint8_t breg) {
        std::vector<std::uint8_t> bytes(eh.begin(), eh.end() - 8);
        bytes.insert(bytes.end(), {0, 0x44, 0x0F, 2, breg, 16, 0x9E, 1, 0x9D, 2});
        std::uint32_t length = static_cast<std::uint32_t>(bytes.size() - fde - 4);
        std::memcpy(&bytes[fde], &length, 4);
        return bytes;
    };
    ZEVMachineContextArm64 withX5 = start;
    withX5.ss.x[5] = start.ss.sp;
    for (std::uint8_t breg : {std::uint8_t{0x75}, std::uint8_t{0x8F}}) {
        std::vector<std::uint8_t> bytes = withCfaExpression(breg);
        auto base = reinterpret_cast<std::uint64_t>(bytes.data());
        ASSERT_TRUE(ZEVUnwindInit(&context, &withX5, nullptr));
        bool applied = applyFde(base, fde, base + bytes.size(), &context);
        EXPECT_EQ(applied, breg == 0x75) << std::hex << int{breg};
        if (applied) {
            EXPECT_EQ(context.machineContext.ss.pc, 0xfeed0u);
        }
    }
}

} // namespace
