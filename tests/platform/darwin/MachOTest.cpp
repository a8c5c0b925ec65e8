// The bounded load-command walk and the section lookup on hand-built images: whatever a header or a
// command claims, nothing is delivered or read past the image.
#include "platform/darwin/MachO.hpp"
#include "tests/support/MachOBytes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using namespace machotest;

void putName(Bytes& bytes, const char* name) {
    char field[16] = {};
    std::memcpy(field, name, std::min(std::strlen(name), sizeof field));
    bytes.insert(bytes.end(), field, field + sizeof field);
}

void putU64(Bytes& bytes, std::uint64_t value) {
    appendU32(bytes, static_cast<std::uint32_t>(value));
    appendU32(bytes, static_cast<std::uint32_t>(value >> 32));
}

// A segment_command_64 named `segment` with one section_64 of `size` bytes at file offset `offset`;
// `sections` is the count it claims.
Command segmentCommand(const char* segment, const char* section, std::uint32_t offset, std::uint64_t size,
                       std::uint32_t sections = 1) {
    Bytes payload;
    putName(payload, segment);
    for (int i = 0; i < 4; ++i)
        putU64(payload, 0); // vm address and size, file offset and size
    appendU32(payload, 5);
    appendU32(payload, 5);
    appendU32(payload, sections);
    appendU32(payload, 0);
    putName(payload, section);
    putName(payload, segment);
    putU64(payload, 0x4000); // address
    putU64(payload, size);
    appendU32(payload, offset);
    payload.resize(payload.size() + 28); // align, relocations, flags, reserved
    return {0x19, 8 + static_cast<std::uint32_t>(payload.size()), payload};
}

TEST(MachOLoadCommands, DeliversEachCommandInsideTheImageAndStopsAtTheFirstThatIsNot) {
    const Command uuid = uuidCommand(0);
    Bytes cut = thinImage(0x0100000C, 0, {uuid, uuid});
    cut.resize(cut.size() - 1);
    struct Row {
        const char* what;
        Bytes image;
        std::vector<std::size_t> offsets; // of the commands delivered
        bool complete;
    } rows[] = {
        {"well formed", thinImage(0x0100000C, 0, {uuid, uuid}), {32, 56}, true},
        {"32-bit header", thinImage(12, 9, {uuid}, false), {28}, true},
        {"sizeofcmds past the image", cut, {}, false},
        {"command running past sizeofcmds",
         thinImage(0x0100000C, 0, {uuid, {0x1b, 4000, {}}}, true, -1, 48),
         {32},
         false},
        {"command below 8 bytes", thinImage(0x0100000C, 0, {uuid, {0x1b, 4, {}}}, true, -1, 32), {32}, false},
        {"count beyond the commands", thinImage(0x0100000C, 0, {uuid}, true, 2), {32}, false},
        {"no Mach-O magic", Bytes(64, 0), {}, false},
        {"shorter than a header", Bytes(20, 0xfe), {}, false},
    };
    for (const Row& row : rows) {
        darwin::MachOLoadCommands commands(row.image.data(), row.image.size());
        std::vector<std::size_t> offsets;
        darwin::MachOLoadCommand command;
        while (commands.next(command)) {
            EXPECT_EQ(command.bytes, row.image.data() + command.offset) << row.what;
            EXPECT_LE(command.offset + command.size, row.image.size()) << row.what;
            offsets.push_back(command.offset);
        }
        EXPECT_EQ(offsets, row.offsets) << row.what;
        EXPECT_EQ(commands.complete(), row.complete) << row.what;
    }
}

TEST(MachOSection, IsFoundOnlyWhenItsBytesLieInsideTheImage) {
    const Command uuid = uuidCommand(0);
    struct Row {
        const char* what;
        Bytes image;
        bool found;
    } rows[] = {
        {"inside", thinImage(0x0100000C, 0, {uuid, segmentCommand("__TEXT", "__text", 40, 16)}), true},
        {"other section", thinImage(0x0100000C, 0, {segmentCommand("__TEXT", "__cstring", 40, 16)}), false},
        {"bytes past the image", thinImage(0x0100000C, 0, {segmentCommand("__TEXT", "__text", 40, 4096)}),
         false},
        {"more sections than the command holds",
         thinImage(0x0100000C, 0, {segmentCommand("__TEXT", "__text", 40, 16, 2)}), false},
        {"a broken command before it",
         thinImage(0x0100000C, 0, {{0x1b, 4, {}}, segmentCommand("__TEXT", "__text", 40, 16)}), false},
        {"32-bit image", thinImage(12, 9, {segmentCommand("__TEXT", "__text", 40, 16)}, false), false},
    };
    for (const Row& row : rows) {
        darwin::MachOSection section;
        EXPECT_EQ(darwin::machOFindSection(row.image.data(), row.image.size(), "__TEXT", "__text", section),
                  row.found)
            << row.what;
        if (row.found) {
            EXPECT_EQ(section.address, 0x4000u);
            EXPECT_EQ(section.size, 16u);
            EXPECT_EQ(section.fileOffset, 40u);
        }
    }
}

} // namespace
