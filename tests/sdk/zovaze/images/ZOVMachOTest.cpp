#include "sdk/zovaze/images/ZOVMachO.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"
#include "sdk/zovaze/images/ELFImage.hpp"
#include "tests/support/MachOBytes.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <elf.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace machotest;

namespace {

struct SliceView {
    std::string arch;
    std::string uuid = "-";
    std::string minimum = "-";
    std::string sdk = "-";
    std::string crypt = "-";
    bool walked = false;
};

std::vector<SliceView> readSlices(const std::uint8_t* address, std::size_t size) {
    std::vector<SliceView> views;
    ZOVMachOEnumerateSlicesAtAddress(address, size, [&](const ZEVMachOSlice& given) {
        ZEVMachOSlice slice = given;
        SliceView view;
        view.arch = ZOVMachOSliceArchitectureName(&slice);
        view.walked = ZOVMachOSliceEnumerateLoadCommands(
            &slice, [&](std::uint32_t code, std::uint32_t commandSize, const std::uint8_t* command) {
                if (code == zovaze::MachOLoadCommandUUID) {
                    std::uint8_t uuid[16];
                    std::memcpy(uuid, ZOVMachOUUIDBytes(command, commandSize), 16);
                    view.uuid = ZOVHexStringFromUUIDBytes(uuid);
                } else if (code == zovaze::MachOLoadCommandVersionMinIPhoneOS ||
                           code == zovaze::MachOLoadCommandVersionMinMacOSX) {
                    auto minimum = ZOVMachOMinimumOSVersion(command, commandSize);
                    auto sdk = ZOVMachOLinkedSDKVersion(command, commandSize);
                    view.minimum = *ZOVMachOVersionString(&*minimum);
                    view.sdk = *ZOVMachOVersionString(&*sdk);
                } else if (code == zovaze::MachOLoadCommandEncryptionInfo ||
                           code == zovaze::MachOLoadCommandEncryptionInfo64) {
                    view.crypt = ZOVMachOIsEncrypted(command, commandSize) ? "1" : "0";
                }
            });
        views.push_back(view);
    });
    return views;
}

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(MachOFixtures, ReadersAgreeWithTheViewRecordedFromObjdump) {
    std::ifstream expected(fixturePath("expected.txt"));
    ASSERT_TRUE(expected) << "missing fixture list";
    std::map<std::string, std::vector<std::vector<std::string>>> byFile;
    for (std::string line; std::getline(expected, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::vector<std::string> columns{std::istream_iterator<std::string>(fields), {}};
        ASSERT_EQ(columns.size(), 7u) << line;
        byFile[columns[0]].push_back(columns);
    }
    ASSERT_GE(byFile.size(), 5u);
    for (const auto& [name, rows] : byFile) {
        SCOPED_TRACE(name);
        ZOVMachOFile file;
        ASSERT_TRUE(ZOVMachOFileOpenAndMap(&file, fixturePath(name).c_str()));
        auto slices = readSlices(file.address, static_cast<std::size_t>(file.size));
        ZOVMachOFileClose(&file);
        EXPECT_EQ(file.fd, -1);
        ASSERT_EQ(slices.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_TRUE(slices[i].walked);
            EXPECT_EQ(slices[i].arch, rows[i][2]);
            EXPECT_EQ(slices[i].uuid, rows[i][3]);
            EXPECT_EQ(slices[i].minimum, rows[i][4]);
            EXPECT_EQ(slices[i].sdk, rows[i][5]);
            EXPECT_EQ(slices[i].crypt, rows[i][6]);
        }
    }
}

TEST(MachOFixtures, FatTableInOurOwnByteOrderReadsLikeThePublishedOrder) {
    const Bytes armv7 = readFile(fixturePath("armv7-thin"));
    const Bytes arm64 = readFile(fixturePath("arm64-thin"));
    ASSERT_FALSE(armv7.empty());
    const std::vector<FatEntry> entries{{12, 9, armv7}, {0x0100000C, 0, arm64}};
    const Bytes published = fatImage(entries, true);
    const Bytes native = fatImage(entries, false);
    auto a = readSlices(published.data(), published.size());
    auto b = readSlices(native.data(), native.size());
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(b.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(a[i].arch, b[i].arch);
        EXPECT_EQ(a[i].uuid, b[i].uuid);
        EXPECT_TRUE(b[i].walked);
    }
    EXPECT_EQ(a[0].arch, "armv7");
    EXPECT_EQ(a[1].arch, "arm64");
}

TEST(MachOHandBuilt, VersionFieldsUnpackMajorMinorBugfix) {
    // 00 0A 03 00, most significant byte first.
    const Bytes image = thinImage(0x0100000C, 0, {versionMinCommand(0x000A0300, 0x000B0102)});
    auto slices = readSlices(image.data(), image.size());
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_EQ(slices[0].minimum, "10.3.0");
    EXPECT_EQ(slices[0].sdk, "11.1.2");
    EXPECT_EQ(ZOVMachOVersionString(nullptr), std::nullopt);
}

TEST(MachOHandBuilt, ArchitectureNamesComeFromTypeAndSubtype) {
    struct Row {
        std::int32_t type, subtype;
        const char* name;
    };
    const Row rows[] = {
        {0x0100000C, 0, "arm64"},
        {0x0100000C, 2, "arm64e"},
        {0x0100000C, static_cast<std::int32_t>(0x80000002), "arm64e"},
        {12, 9, "armv7"},
        {12, 11, "armv7s"},
        {12, 12, "armv7k"},
        {0x01000007, 3, "x86_64"},
        {7, 3, "i386"},
        {0x0100000C, 77, "unknown"},
        {99, 0, "unknown"},
    };
    for (const auto& row : rows) {
        ZEVMachOSlice slice{nullptr, 0, row.type, row.subtype};
        EXPECT_STREQ(ZOVMachOSliceArchitectureName(&slice), row.name) << row.type << "/" << row.subtype;
    }
    ZEVMachOSlice arm64{nullptr, 0, 0x0100000C, 0};
    ZEVMachOSlice armv7{nullptr, 0, 12, 9};
    EXPECT_TRUE(ZOVMachOSliceIs64Bit(&arm64));
    EXPECT_FALSE(ZOVMachOSliceIs64Bit(&armv7));
}

TEST(MachOHandBuilt, ShortCommandsAnswerNothingAndCryptIdZeroIsClear) {
    std::uint8_t command[24] = {};
    EXPECT_EQ(ZOVMachOUUIDBytes(command, 23), nullptr);
    EXPECT_EQ(ZOVMachOUUIDBytes(command, 24), command + 8);
    EXPECT_FALSE(ZOVMachOIsEncrypted(command, 20));
    command[16] = 1;
    EXPECT_TRUE(ZOVMachOIsEncrypted(command, 20));
    EXPECT_FALSE(ZOVMachOIsEncrypted(command, 19));
    EXPECT_EQ(ZOVMachOMinimumOSVersion(command, 15), std::nullopt);
}

TEST(MachOHandBuilt, MalformedLoadCommandsEndTheWalkWithAFailure) {
    const Command uuid = uuidCommand(0x00);
    struct Row {
        const char* what;
        Bytes image;
        std::size_t delivered;
    };
    Bytes truncated = thinImage(0x0100000C, 0, {uuid, uuid});
    truncated.resize(truncated.size() - 4);
    const Row rows[] = {
        {"well formed", thinImage(0x0100000C, 0, {uuid, uuid}), 2},
        {"count above what sizeofcmds holds", thinImage(0x0100000C, 0, {uuid}, true, 3), 1},
        {"sizeofcmds past the end", thinImage(0x0100000C, 0, {uuid}, true, -1, 4096), 0},
        {"file cut inside the commands", truncated, 0},
        {"command below 8 bytes", thinImage(0x0100000C, 0, {uuid, {0x1b, 4, {}}}, true, -1, 32), 1},
        {"command past sizeofcmds", thinImage(0x0100000C, 0, {uuid, {0x1b, 4000, {}}}, true, -1, 48), 1},
        {"32-bit header", thinImage(12, 9, {uuid}, false), 1},
    };
    for (const auto& row : rows) {
        ZEVMachOSlice slice = ZOVMachOSliceFromHeader(row.image.data(), row.image.size());
        std::size_t delivered = 0;
        const bool complete = ZOVMachOSliceEnumerateLoadCommands(
            &slice, [&](std::uint32_t, std::uint32_t, const std::uint8_t*) { ++delivered; });
        EXPECT_EQ(delivered, row.delivered) << row.what;
        EXPECT_EQ(complete,
                  std::string(row.what) == "well formed" || std::string(row.what) == "32-bit header")
            << row.what;
    }
    // The walk copies the header's CPU type into a slice made from a bare header.
    const Bytes image = thinImage(12, 11, {uuid}, false);
    ZEVMachOSlice slice = ZOVMachOSliceFromHeader(image.data(), image.size());
    ZOVMachOSliceEnumerateLoadCommands(&slice, [](std::uint32_t, std::uint32_t, const std::uint8_t*) {});
    EXPECT_STREQ(ZOVMachOSliceArchitectureName(&slice), "armv7s");
}

TEST(MachOHandBuilt, FatTablesPastTheEndStopWithAFailure) {
    const Bytes thin = thinImage(0x0100000C, 0, {uuidCommand(0)});
    Bytes two = fatImage({{12, 9, thin}, {0x0100000C, 0, thin}});
    auto count = [](const Bytes& bytes, bool& ok) {
        std::size_t slices = 0;
        ok = ZOVMachOEnumerateSlicesAtAddress(bytes.data(), bytes.size(),
                                              [&](const ZEVMachOSlice&) { ++slices; });
        return slices;
    };
    bool ok = false;
    EXPECT_EQ(count(two, ok), 2u);
    EXPECT_TRUE(ok);

    Bytes lastCut = two;
    lastCut.resize(lastCut.size() - 1);
    EXPECT_EQ(count(lastCut, ok), 1u);
    EXPECT_FALSE(ok);

    Bytes hugeCount = two;
    putU32(hugeCount, 4, 0x10000000, true);
    EXPECT_EQ(count(hugeCount, ok), 2u) << "the entries that exist are read, then the table runs out";
    EXPECT_FALSE(ok);

    Bytes farOffset = two;
    putU32(farOffset, 8 + 8, 0xfffffff0, true);
    EXPECT_EQ(count(farOffset, ok), 0u);
    EXPECT_FALSE(ok);

    Bytes empty = fatImage({});
    EXPECT_EQ(count(empty, ok), 0u);
    EXPECT_TRUE(ok);

    // Unknown magic: one slice without a CPU type, whose load commands are not walked.
    Bytes junk(64, 0x5a);
    std::vector<ZEVMachOSlice> slices;
    ZOVMachOEnumerateSlicesAtAddress(junk.data(), junk.size(),
                                     [&](const ZEVMachOSlice& s) { slices.push_back(s); });
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_EQ(slices[0].cputype, 0);
    EXPECT_FALSE(ZOVMachOSliceEnumerateLoadCommands(&slices[0], [](auto, auto, auto) { FAIL(); }));
}

TEST(MachOFile, UnusableFilesFailToOpenAndLeaveNothingOpen) {
    const auto folder = std::filesystem::temp_directory_path() / ("zov-macho-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "dir");
    std::ofstream(folder / "empty", std::ios::binary).close();
    std::ofstream(folder / "fifteen", std::ios::binary) << std::string(15, 'x');
    std::ofstream(folder / "sixteen", std::ios::binary) << std::string(16, 'x');
    const std::size_t before = openDescriptors();
    for (const char* name : {"empty", "fifteen", "dir", "missing"}) {
        ZOVMachOFile file;
        EXPECT_FALSE(ZOVMachOFileOpenAndMap(&file, (folder / name).c_str())) << name;
        EXPECT_EQ(file.fd, -1) << name;
    }
    EXPECT_FALSE(ZOVMachOFileOpenAndMap(nullptr, "x"));
    ZOVMachOFile file;
    EXPECT_FALSE(ZOVMachOFileOpenAndMap(&file, nullptr));
    EXPECT_EQ(openDescriptors(), before);
    ASSERT_TRUE(ZOVMachOFileOpenAndMap(&file, (folder / "sixteen").c_str()));
    EXPECT_EQ(file.size, 16);
    ZOVMachOFileClose(&file);
    ZOVMachOFileClose(nullptr);
    EXPECT_EQ(openDescriptors(), before);
    std::filesystem::remove_all(folder);
}

// The running program as the slice readers see it: its header in memory, the machine its ELF header
// names, and the file it was loaded from.
TEST(MachOFile, TheMainExecutableIsTheRunningProgramAndItsOwnFile) {
    const ZEVMachOSlice slice = ZOVMachOSliceOfMainExecutable();
    ASSERT_NE(slice.header, nullptr);
    ASSERT_EQ(std::memcmp(slice.header, ELFMAG, SELFMAG), 0);
    Elf64_Ehdr header{};
    std::ifstream("/proc/self/exe", std::ios::binary).read(reinterpret_cast<char*>(&header), sizeof header);
    EXPECT_STREQ(ZOVMachOSliceArchitectureName(&slice), zovaze::elfArchitectureName(header.e_machine));
    EXPECT_TRUE(ZOVMachOSliceIs64Bit(&slice));

    const char* path = ZOVMachOSliceImagePath(&slice);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::filesystem::path(path), std::filesystem::read_symlink("/proc/self/exe"));
    ZOVMachOFile file;
    ASSERT_TRUE(ZOVMachOFileOpenMainExecutable(&file));
    EXPECT_EQ(file.size, static_cast<std::int64_t>(std::filesystem::file_size(path)));
    ZOVMachOFileClose(&file);

    // No slice, no header, or a header of no loaded image: no path.
    EXPECT_EQ(ZOVMachOSliceImagePath(nullptr), nullptr);
    ZEVMachOSlice none;
    EXPECT_EQ(ZOVMachOSliceImagePath(&none), nullptr);
    static const std::uint8_t notAnImage[64] = {};
    ZEVMachOSlice stray = ZOVMachOSliceFromHeader(notAnImage, sizeof notAnImage);
    EXPECT_EQ(ZOVMachOSliceImagePath(&stray), nullptr);
}

} // namespace
