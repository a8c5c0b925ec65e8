// Mutated and random images fed to every reader, through the check the libFuzzer program runs too.
#include "tests/sdk/zovaze/images/ImageReadersFuzz.hpp"
#include "tests/support/MachOBytes.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace machotest;

namespace {

Bytes selfExecutable() {
    return readFile("/proc/self/exe");
}

TEST(ImageReadersFuzz, MutatedImagesNeverReadPastTheirEnd) {
    std::vector<Bytes> seeds{
        readFile(fixturePath("arm64-thin")),
        readFile(fixturePath("fat-armv7-arm64")),
        readFile(fixturePath("armv7-thin")),
        thinImage(0x0100000C, 0, {uuidCommand(1), versionMinCommand(0x90000, 0xa0300)}),
        fatImage({{12, 9, thinImage(12, 9, {uuidCommand(2)}, false)}}, false),
    };
    // The first pages of our own ELF file hold its headers and notes.
    Bytes elf = selfExecutable();
    elf.resize(std::min<std::size_t>(elf.size(), 8192));
    seeds.push_back(elf);

    std::mt19937 random(20261206);

    for (int round = 0; round < 6000; ++round) {
        Bytes input = seeds[round % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits && !input.empty(); ++e) {
            // Headers and tables live near the start: aim most edits there.
            const std::size_t span =
                (random() % 4 == 0) ? input.size() : std::min<std::size_t>(input.size(), 512);
            const std::size_t at = random() % span;
            switch (random() % 4) {
            case 0:
                input[at] = static_cast<std::uint8_t>(random());
                break;
            case 1:
                input[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                break;
            case 2:
                if (at + 4 <= input.size()) putU32(input, at, static_cast<std::uint32_t>(random()));
                break;
            default:
                input.resize(at);
                break;
            }
        }
        const char* broken = imagefuzz::imageReadersHold(input.data(), input.size());
        ASSERT_EQ(broken, nullptr) << broken << " (round " << round << ")";
    }
    for (int round = 0; round < 2000; ++round) {
        Bytes input(random() % 256);
        for (auto& byte : input)
            byte = static_cast<std::uint8_t>(random());
        if (input.size() >= 4 && round % 2 == 0) putU32(input, 0, round % 4 == 0 ? 0xfeedfacf : 0xbebafeca);
        const char* broken = imagefuzz::imageReadersHold(input.data(), input.size());
        ASSERT_EQ(broken, nullptr) << broken << " (random round " << round << ")";
    }
}

} // namespace
