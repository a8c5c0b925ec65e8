// Every row of the call-frame tables of real images, as our interpreter computes it and as a walk's
// full step does, beside binutils' own reading of the same tables (readelf --debug-dump=frames-interp):
// the CFA rule and the rule of each register the x86_64 walk tracks, at the first and at the last
// address of every row. The
// images are the C library, the C++ library and this program, so the tables of two compilers' worth
// of hand-written and generated code are read by two independent interpreters.
#include "sdk/zevuzavidav/unwind/DwarfCIETable.hpp"
#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/DwarfWalkCache.hpp"
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <link.h>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace zevuzavidav;

namespace {

constexpr int kReturnAddress = 16;

// readelf's names of the x86_64 DWARF registers; its column of the return address is "ra".
int registerNumber(const std::string& name) {
    static const std::map<std::string, int> numbers = {
        {"rax", 0},  {"rdx", 1},  {"rcx", 2},  {"rbx", 3},  {"rsi", 4},  {"rdi", 5},
        {"rbp", 6},  {"rsp", 7},  {"r8", 8},   {"r9", 9},   {"r10", 10}, {"r11", 11},
        {"r12", 12}, {"r13", 13}, {"r14", 14}, {"r15", 15}, {"ra", 16},  {"rip", 16}};
    auto found = numbers.find(name);
    return found == numbers.end() ? -1 : found->second;
}

// One row as readelf prints it: its location, the CFA rule and the cell of every register it has a
// column for ("" for a register it has none for: one the tables never name).
struct Row {
    std::uint64_t location = 0;
    std::string cfa;
    std::string cells[kDwarfRegistersX86_64];
};

// A CIE or FDE and its rows; for an FDE, the range it covers (link-time addresses).
struct Entry {
    std::uint64_t offset = 0;
    bool fde = false;
    std::uint64_t cie = 0;
    std::uint64_t pcBegin = 0;
    std::uint64_t pcEnd = 0;
    std::vector<Row> rows;
};

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

bool isHex(const std::string& word, std::size_t digits) {
    return word.size() == digits && word.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// One row under the table heading `columns` (register numbers, -1 for registers not tracked). A
// register held in another register is printed in two words, "r3 (rbx)": it is kept as "r3".
bool parseRow(const std::vector<std::string>& w, const std::vector<int>& columns, Row* row) {
    if (w.size() < 2) return false;
    row->location = std::stoull(w[0], nullptr, 16);
    row->cfa = w[1];
    std::size_t at = 2;
    for (int column : columns) {
        if (at >= w.size()) return false;
        std::string cell = w[at++];
        if (cell.size() > 1 && cell[0] == 'r' && std::isdigit(static_cast<unsigned char>(cell[1])) &&
            at < w.size() && w[at].front() == '(') {
            ++at;
        }
        if (column >= 0) row->cells[column] = cell;
    }
    return at == w.size();
}

// The .eh_frame entries of the image at `path`, as readelf interprets them.
std::vector<Entry> readelfEntries(const std::string& path, std::string* error) {
    const std::string command = "readelf --debug-dump=frames-interp '" + path + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::vector<Entry> entries;
    if (pipe == nullptr) {
        *error = "readelf could not be started";
        return entries;
    }
    std::vector<int> columns;
    bool inEhFrame = false;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
        const std::string line(buffer);
        if (line.rfind("Contents of the ", 0) == 0) {
            inEhFrame = line.rfind("Contents of the .eh_frame section", 0) == 0;
            continue;
        }
        if (!inEhFrame) continue;
        const std::vector<std::string> w = words(line);
        if (w.empty()) continue;
        if (w.size() >= 4 && isHex(w[0], 8) && (w[3] == "FDE" || w[3] == "CIE")) {
            Entry entry;
            entry.offset = std::stoull(w[0], nullptr, 16);
            entry.fde = w[3] == "FDE";
            if (entry.fde) {
                // "cie=00000000 pc=0000000000099020..000000000009d100"
                unsigned long long cie = 0, begin = 0, end = 0;
                if (w.size() < 6 || std::sscanf(w[4].c_str(), "cie=%llx", &cie) != 1 ||
                    std::sscanf(w[5].c_str(), "pc=%llx..%llx", &begin, &end) != 2) {
                    *error = "an FDE line readelf printed could not be read: " + line;
                    return {};
                }
                entry.cie = cie;
                entry.pcBegin = begin;
                entry.pcEnd = end;
            }
            entries.push_back(entry);
            columns.clear();
        } else if (w[0] == "LOC" && w.size() >= 2 && w[1] == "CFA") {
            columns.clear();
            for (std::size_t i = 2; i < w.size(); ++i) {
                const int number = registerNumber(w[i]);
                columns.push_back(number < kDwarfRegistersX86_64 ? number : -1);
            }
        } else if (isHex(w[0], 16) && !entries.empty()) {
            Row row;
            if (!parseRow(w, columns, &row)) {
                *error = "a row readelf printed could not be read: " + line;
                return {};
            }
            entries.back().rows.push_back(row);
        }
    }
    return entries;
}

std::string describe(const DwarfRule& rule) {
    char text[40];
    switch (rule.kind) {
    case kDwarfRuleUnchanged:
        return "unchanged";
    case kDwarfRuleUndefined:
        return "u";
    case kDwarfRuleOffset:
        std::snprintf(text, sizeof text, "c%+" PRId64, rule.value);
        return text;
    case kDwarfRuleValOffset:
        std::snprintf(text, sizeof text, "v%+" PRId64, rule.value);
        return text;
    case kDwarfRuleRegister:
        std::snprintf(text, sizeof text, "r%" PRId64, rule.value);
        return text;
    case kDwarfRuleExpression:
        return "exp";
    case kDwarfRuleValExpression:
        return "vexp";
    default:
        return "kind " + std::to_string(rule.kind);
    }
}

// Whether our rule for a register is the one readelf printed. readelf prints "u" both for a register
// whose column some other row opened and for one made undefined; only the return address, which every
// CIE gives a rule, is undefined exactly when it prints "u". "s" is same_value, which we keep as
// "unchanged", as we keep a register no row names.
bool cellMatches(const std::string& cell, const DwarfRule& rule, int reg) {
    if (cell.empty() || cell == "s") return rule.kind == kDwarfRuleUnchanged;
    if (cell == "u") {
        return rule.kind == kDwarfRuleUndefined ||
               (reg != kReturnAddress && rule.kind == kDwarfRuleUnchanged);
    }
    if (cell == "exp") return rule.kind == kDwarfRuleExpression;
    if (cell == "vexp") return rule.kind == kDwarfRuleValExpression;
    char* end = nullptr;
    const long long value = std::strtoll(cell.c_str() + 1, &end, 10);
    if (end == cell.c_str() + 1 || *end != '\0') return false;
    switch (cell[0]) {
    case 'c':
        return rule.kind == kDwarfRuleOffset && rule.value == value;
    case 'v':
        return rule.kind == kDwarfRuleValOffset && rule.value == value;
    case 'r':
        return rule.kind == kDwarfRuleRegister && rule.value == value;
    default:
        return false;
    }
}

// The CFA rule readelf printed: "exp", or a register and a signed offset ("rsp+8", "rdi+0").
bool cfaMatches(const std::string& cfa, const ZEVDwarfRegisterRules& rules) {
    if (cfa == "exp") return rules.cfaExpression != 0;
    const std::size_t sign = cfa.find_first_of("+-");
    if (sign == std::string::npos || rules.cfaExpression != 0) return false;
    const int reg = registerNumber(cfa.substr(0, sign));
    return reg >= 0 && rules.cfaRegister == static_cast<std::uint64_t>(reg) &&
           rules.cfaOffset == std::strtoll(cfa.c_str() + sign, nullptr, 10);
}

// What one image's comparison found.
struct Comparison {
    std::size_t fdes = 0;
    std::size_t rows = 0;
    std::size_t mismatches = 0;
    std::vector<std::string> firstMismatches;
    std::size_t packable = 0;      // rows whose rules the frame-rule cache can keep
    std::size_t readInOnePass = 0; // of those, rows the one-pass reader took

    void mismatch(const std::string& what) {
        ++mismatches;
        if (firstMismatches.size() < 20) firstMismatches.push_back(what);
    }
};

// A loaded image: its path, load bias, ELF header and .eh_frame_hdr.
struct LoadedImage {
    std::string path;
    std::uintptr_t bias = 0;
    std::uintptr_t base = 0;
    std::uintptr_t header = 0;
};

// The loaded image whose path contains `name`; the program itself for "".
LoadedImage loadedImage(const std::string& name) {
    struct Search {
        std::string name;
        LoadedImage found;
    } search{name, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* raw) {
            auto* search = static_cast<Search*>(raw);
            const std::string path = info->dlpi_name != nullptr ? info->dlpi_name : "";
            const bool program = search->name.empty() && path.empty();
            if (!program && (search->name.empty() || path.find(search->name) == std::string::npos)) return 0;
            LoadedImage image{path, info->dlpi_addr, 0, 0};
            if (program) { // the link itself: readelf would read its own program through /proc/self/exe
                char target[4096] = {};
                if (readlink("/proc/self/exe", target, sizeof target - 1) > 0) image.path = target;
            }
            std::uintptr_t lowest = UINTPTR_MAX;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                if (segment.p_type == PT_LOAD && segment.p_vaddr < lowest) lowest = segment.p_vaddr;
                if (segment.p_type == PT_GNU_EH_FRAME) image.header = info->dlpi_addr + segment.p_vaddr;
            }
            image.base = info->dlpi_addr + lowest;
            search->found = image;
            return 1;
        },
        &search);
    return search.found;
}

// `rules`, our rules at `pc`, beside readelf's row; `how` names the path that gave them.
void compareRules(const ZEVDwarfRegisterRules& rules, const char* how, std::uint64_t pc, const Row& row,
                  const Entry& fde, std::uint64_t fdeBegin, Comparison* comparison) {
    char where[128];
    std::snprintf(where, sizeof where, "%s, FDE at 0x%" PRIx64 ", row 0x%" PRIx64 ", pc +0x%" PRIx64 ": ",
                  how, fde.offset, row.location, pc - fdeBegin);
    if (!cfaMatches(row.cfa, rules)) {
        char ours[64];
        std::snprintf(ours, sizeof ours, "r%" PRIu64 "%+" PRId64 "%s", rules.cfaRegister, rules.cfaOffset,
                      rules.cfaExpression != 0 ? " (expression)" : "");
        comparison->mismatch(std::string(where) + "CFA readelf " + row.cfa + ", ours " + ours);
    }
    for (int reg = 0; reg < kDwarfRegistersX86_64; ++reg) {
        if (!cellMatches(row.cells[reg], rules.registers[reg], reg)) {
            comparison->mismatch(std::string(where) + "register " + std::to_string(reg) + " readelf '" +
                                 row.cells[reg] + "', ours " + describe(rules.registers[reg]));
        }
    }
}

// Our rules at `pc` beside readelf's row, both as the FDE's own parse and interpreter give them and as
// a walk's full step does (the FDE found through the index, with the CIEs and index the walk keeps).
void compareRow(const ZEVDwarfCFIRecord& cfi, std::uint64_t pc, const Row& row, const Entry& fde,
                const LoadedImage& image, DwarfWalkCache* walk, UnwindMemory* memory,
                Comparison* comparison) {
    ++comparison->rows;
    ZEVDwarfRegisterRules rules;
    if (!computeDwarfRules(&cfi, pc, &rules, memory, kDwarfDialectELF)) {
        comparison->mismatch("our interpreter refused a row of the FDE at " + std::to_string(fde.offset));
    } else {
        compareRules(rules, "interpreter", pc, row, fde, cfi.fde.pcBegin, comparison);
    }
    bool signalFrame = false;
    std::uint64_t ruled = 0;
    if (!computeDwarfRulesForWalk(walk, image.header, image.base, pc, &rules, &signalFrame, &ruled, memory)) {
        comparison->mismatch("a walk's step refused a row of the FDE at " + std::to_string(fde.offset));
        return;
    }
    compareRules(rules, "walk", pc, row, fde, cfi.fde.pcBegin, comparison);
    if (signalFrame != cfi.cie.signalFrame)
        comparison->mismatch("a walk's step read another signal-frame mark at " + std::to_string(fde.offset));
    // Applying the rules looks only at the registers said to be ruled.
    for (int reg = 0; reg < kDwarfRegistersX86_64; ++reg) {
        if (rules.registers[reg].kind != kDwarfRuleUnchanged && (ruled >> reg & 1) == 0)
            comparison->mismatch("a walk's step left out register " + std::to_string(reg) + " at " +
                                 std::to_string(fde.offset));
    }
    // The rule read in one pass, where the reader takes it, is the one those rules pack into.
    std::uint64_t packed = 0, quick = 0;
    const bool packable = packedUnwindRuleFromRules(rules, signalFrame, ruled, &packed);
    const DwarfWalkRule read = packedDwarfRuleForWalk(walk, image.header, image.base, pc, &quick, memory);
    comparison->packable += packable ? 1 : 0;
    if (read == DwarfWalkRule::failed) {
        comparison->mismatch("the one-pass reader found no FDE at " + std::to_string(fde.offset));
    } else if (read == DwarfWalkRule::packed) {
        ++comparison->readInOnePass;
        if (!packable || quick != packed)
            comparison->mismatch("the one-pass reader read another rule at " + std::to_string(fde.offset));
    }
}

// Reads every FDE readelf lists through our parser and interpreter, and through the image's index.
Comparison compareImage(const LoadedImage& image, const std::vector<Entry>& entries) {
    Comparison comparison;
    static UnwindMemory memory; // about 8 KB: not on the test's stack
    initUnwindMemory(&memory);
    static DwarfWalkCache walk;
    clearKeptDwarfCIEs(); // the first walk parses each CIE; the others take it from the process-wide table
    DwarfFDEIndex index;
    if (!initDwarfFDEIndex(&index, image.base, image.header, &memory) || index.ehFrameEnd == 0) {
        comparison.mismatch("the image's FDE index could not be read");
        return comparison;
    }
    std::map<std::uint64_t, const Entry*> cies;
    for (const Entry& entry : entries) {
        if (!entry.fde) {
            cies[entry.offset] = &entry;
            continue;
        }
        ++comparison.fdes;
        initDwarfWalkCache(&walk); // a walk of its own for each FDE
        char where[48];
        std::snprintf(where, sizeof where, "FDE at 0x%" PRIx64 ": ", entry.offset);
        ZEVDwarfCFIRecord cfi;
        if (!ZEVDwarfInitFromFDE(&cfi, index.ehFrame, entry.offset, index.ehFrameEnd, &memory)) {
            comparison.mismatch(std::string(where) + "our parser refused it");
            continue;
        }
        if (cfi.fde.pcBegin != image.bias + entry.pcBegin || cfi.fde.pcRange != entry.pcEnd - entry.pcBegin) {
            comparison.mismatch(std::string(where) + "covers another range");
            continue;
        }
        ZEVDwarfCFIRecord found;
        if (cfi.fde.pcRange > 0 &&
            (!findDwarfFDE(image.header, cfi.fde.pcBegin, &found, &memory, image.base) ||
             found.fde.instructions != cfi.fde.instructions)) {
            comparison.mismatch(std::string(where) + "the index does not lead to it");
        }
        // readelf prints no rows for an FDE without instructions of its own: its CIE's row holds.
        std::vector<Row> rows = entry.rows;
        if (rows.empty()) {
            auto cie = cies.find(entry.cie);
            if (cie == cies.end() || cie->second->rows.empty()) {
                comparison.mismatch(std::string(where) + "readelf printed neither its rows nor its CIE's");
                continue;
            }
            rows.push_back(cie->second->rows.back());
            rows.back().location = entry.pcBegin;
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::uint64_t next = i + 1 < rows.size() ? rows[i + 1].location : entry.pcEnd;
            if (next <= rows[i].location) continue; // a row another at the same place replaces at once
            compareRow(cfi, image.bias + rows[i].location, rows[i], entry, image, &walk, &memory,
                       &comparison);
            if (next - 1 != rows[i].location)
                compareRow(cfi, image.bias + next - 1, rows[i], entry, image, &walk, &memory, &comparison);
        }
    }
    return comparison;
}

void expectSameRowsAsReadelf(const std::string& name, std::size_t leastFdes) {
    const LoadedImage image = loadedImage(name);
    ASSERT_NE(image.header, 0u) << "no loaded image " << name << " with an .eh_frame_hdr";
    std::string error;
    const std::vector<Entry> entries = readelfEntries(image.path, &error);
    ASSERT_TRUE(error.empty()) << error;
    const Comparison comparison = compareImage(image, entries);
    std::string first;
    for (const std::string& line : comparison.firstMismatches)
        first += "\n  " + line;
    EXPECT_EQ(comparison.mismatches, 0u) << image.path << ":" << first;
    // A readelf whose output this test no longer reads would otherwise pass with nothing compared.
    EXPECT_GE(comparison.fdes, leastFdes) << image.path << ": readelf's output was not read";
    EXPECT_GT(comparison.rows, 2 * comparison.fdes) << image.path;
    // Nearly every row a walk keeps is read in one pass; the rest are forms compilers seldom write.
    EXPECT_GE(comparison.readInOnePass, comparison.packable * 99 / 100) << image.path;
    ::testing::Test::RecordProperty("fdes", std::to_string(comparison.fdes));
    ::testing::Test::RecordProperty("rows", std::to_string(comparison.rows));
    ::testing::Test::RecordProperty("kept", std::to_string(comparison.packable));
    ::testing::Test::RecordProperty("read_in_one_pass", std::to_string(comparison.readInOnePass));
}

// What the one-pass CIE read gave differs from what the general reader gave, or is "" when they agree.
std::string commonCIEDiffers(std::uintptr_t address, std::uintptr_t end, bool* common) {
    ZEVDwarfCIERecord general;
    ZEVDwarfCIERecord quick;
    const bool parsed = ZEVDwarfParseCIERecord(&general, address, end, nullptr, false);
    *common = readCommonDwarfCIE(&quick, address, end);
    if (!*common) return "";
    if (!parsed) return "taken by the one-pass read only";
    auto fields = [](const ZEVDwarfCIERecord& c) {
        return std::make_tuple(c.length, c.version, c.augmentation, c.fdePointerEncoding, c.lsdaEncoding,
                               c.personalityEncoding, c.personality, c.codeAlignment, c.dataAlignment,
                               c.returnAddressRegister, c.signalFrame, c.augmentationData,
                               c.instructionsLength, c.instructions);
    };
    return fields(general) == fields(quick) ? "" : "read otherwise";
}

// Every CIE of an image read in one pass, where it takes that form, gives what the general reader gives.
void expectCommonCIEsReadAlike(const std::string& name) {
    const LoadedImage image = loadedImage(name);
    ASSERT_NE(image.header, 0u) << "no loaded image " << name << " with an .eh_frame_hdr";
    UnwindMemory memory;
    initUnwindMemory(&memory);
    DwarfFDEIndex index;
    ASSERT_TRUE(initDwarfFDEIndex(&index, image.base, image.header, &memory));
    ASSERT_NE(index.ehFrameEnd, 0u);
    std::size_t cies = 0, common = 0;
    for (std::uintptr_t at = index.ehFrame; index.ehFrameEnd - at >= 8;) {
        std::uint32_t length = 0, id = 0;
        std::memcpy(&length, reinterpret_cast<const void*>(at), 4);
        std::memcpy(&id, reinterpret_cast<const void*>(at + 4), 4);
        if (length == 0 || length == 0xFFFFFFFFU) break;
        if (id == 0) {
            ++cies;
            bool taken = false;
            EXPECT_EQ(commonCIEDiffers(at, index.ehFrameEnd, &taken), "") << image.path << " CIE at " << at;
            common += taken ? 1 : 0;
        }
        at += 4 + static_cast<std::uintptr_t>(length);
    }
    EXPECT_GT(cies, 0u) << image.path;
    EXPECT_GT(common, 0u) << image.path;
}

TEST(CommonCIERead, AgreesWithTheGeneralReaderOnEveryCIEOfTheLibrariesAndThisProgram) {
    expectCommonCIEsReadAlike("libc.so");
    expectCommonCIEsReadAlike("libstdc++.so");
    expectCommonCIEsReadAlike("");
}

TEST(CommonCIERead, TakesOnlyWhatTheGeneralReaderTakesAlike) {
    // length, id, version 1, "zR", code 1, data -8, return register 16, 1 byte of data, the encoding,
    // then DW_CFA_def_cfa rsp+8, DW_CFA_offset r16 at cfa-8.
    const std::vector<std::uint8_t> good = {20, 0,    0,  0, 0,    0,    0, 0, 1,    'z', 'R', 0,
                                            1,  0x78, 16, 1, 0x1B, 0x0C, 7, 8, 0x90, 1,   0,   0};
    struct Case {
        const char* what;
        std::size_t at;
        std::vector<std::uint8_t> bytes;
        bool common;
    };
    const Case cases[] = {
        {"the common form", 0, {}, true},
        {"version 3", 8, {3}, true},
        {"version 3, a return register of two bytes", 8, {3, 'z', 'R', 0, 1, 0x78, 0x90, 0x01}, false},
        {"version 2", 8, {2}, false},
        {"an id that is no CIE's", 4, {1}, false},
        {"a 64-bit length", 0, {0xFF, 0xFF, 0xFF, 0xFF}, false},
        {"a length past the section", 0, {21}, false},
        {"a length too short for the form", 0, {12}, false},
        {"no length", 0, {0}, false},
        {"augmentation zP", 10, {'P'}, false},
        {"augmentation zRS", 11, {'S'}, false},
        {"a code alignment of two bytes", 12, {0x81}, false},
        {"a data alignment of two bytes", 13, {0xF8}, false},
        {"no augmentation data", 15, {0}, false},
        {"augmentation data past the record", 15, {9}, false},
        {"augmentation data to the record's end", 15, {8}, true},
    };
    // The same with "zPLR": an indirect pc-relative personality, then the LSDA's and FDEs' encodings.
    const std::vector<std::uint8_t> personality = {28,  0,    0,    0,    0,    0,  0,    0,    1, 'z', 'P',
                                                   'L', 'R',  0,    1,    0x78, 16, 7,    0x9B, 0, 1,   0,
                                                   0,   0x1B, 0x1B, 0x0C, 7,    8,  0x90, 1,    0, 0};
    const Case withPersonality[] = {
        {"the common form with a personality", 0, {}, true},
        {"a personality of 8 bytes", 18, {0x00}, false},
        {"a data-relative personality", 18, {0x3B}, false},
        {"augmentation data too short for its letters", 17, {6}, false},
        {"augmentation zPL", 12, {0}, false},
        {"a length too short for the form", 0, {16}, false},
    };
    auto expectCases = [](const std::vector<std::uint8_t>& record, const auto& cases) {
        for (const Case& c : cases) {
            std::vector<std::uint8_t> bytes = record;
            std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(c.at));
            const auto address = reinterpret_cast<std::uintptr_t>(bytes.data());
            bool common = false;
            EXPECT_EQ(commonCIEDiffers(address, address + bytes.size(), &common), "") << c.what;
            EXPECT_EQ(common, c.common) << c.what;
        }
    };
    expectCases(good, cases);
    expectCases(personality, withPersonality);
}

TEST(CallFrameRows, MatchReadelfForTheCLibrary) {
    expectSameRowsAsReadelf("libc.so", 1000);
}

TEST(CallFrameRows, MatchReadelfForTheCxxLibrary) {
    expectSameRowsAsReadelf("libstdc++.so", 1000);
}

TEST(CallFrameRows, MatchReadelfForThisProgram) {
    expectSameRowsAsReadelf("", 1000);
}

} // namespace
