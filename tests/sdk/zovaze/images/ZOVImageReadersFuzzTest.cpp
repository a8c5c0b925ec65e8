// Mutated and random images fed to every reader. Each input ends exactly at a page that cannot be read,
// so a single byte read past the given size faults instead of passing silently; what the readers
// hand back must stay inside the bytes they were given.
#include "sdk/zovaze/images/ELFImage.hpp"
#include "sdk/zovaze/images/ZOVMachO.hpp"
#include "tests/sdk/zovaze/support/MachOBytes.hpp"

#include <gtest/gtest.h>

#include <random>
#include <sys/mman.h>
#include <unistd.h>

using namespace machotest;

namespace {

// A buffer whose last byte sits right before a PROT_NONE page.
class GuardedBuffer {
  public:
    explicit GuardedBuffer(std::size_t capacity) {
        page_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        dataPages_ = (capacity + page_ - 1) / page_ + 1;
        void* mapping = ::mmap(nullptr, (dataPages_ + 1) * page_, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = static_cast<std::uint8_t*>(mapping);
        ::mprotect(base_ + dataPages_ * page_, page_, PROT_NONE);
    }
    ~GuardedBuffer() { ::munmap(base_, (dataPages_ + 1) * page_); }

    const std::uint8_t* place(const Bytes& bytes) {
        std::uint8_t* start = base_ + dataPages_ * page_ - bytes.size();
        if (!bytes.empty()) std::memcpy(start, bytes.data(), bytes.size());
        return start;
    }

  private:
    std::size_t page_ = 0;
    std::size_t dataPages_ = 0;
    std::uint8_t* base_ = nullptr;
};

// Whatever the bytes, every slice handed out lies inside the image, every load command inside its
// slice, and commands follow one another without overlapping.
void exercise(const std::uint8_t* address, std::size_t size) {
    const std::uint8_t* end = address + size;
    ZOVMachOEnumerateSlicesAtAddress(address, size, [&](const ZEVMachOSlice& given) {
        ASSERT_GE(given.header, address);
        ASSERT_LE(given.size, static_cast<std::size_t>(end - given.header));
        ZEVMachOSlice slice = given;
        ZOVMachOSliceArchitectureName(&slice);
        const std::uint8_t* sliceEnd = given.header + given.size;
        const std::uint8_t* previousEnd = given.header;
        ZOVMachOSliceEnumerateLoadCommands(
            &slice, [&](std::uint32_t, std::uint32_t commandSize, const std::uint8_t* command) {
                ASSERT_GE(commandSize, 8u);
                ASSERT_GE(command, previousEnd);
                ASSERT_LE(commandSize, static_cast<std::size_t>(sliceEnd - command));
                previousEnd = command + commandSize;
                if (const std::uint8_t* uuid = ZOVMachOUUIDBytes(command, commandSize)) {
                    ASSERT_LE(uuid + 16, previousEnd);
                }
                // The values are used, so no read they need is left out.
                volatile std::uint32_t sink = ZOVMachOIsEncrypted(command, commandSize);
                if (auto version = ZOVMachOMinimumOSVersion(command, commandSize))
                    sink = sink + version->major;
                if (auto version = ZOVMachOLinkedSDKVersion(command, commandSize))
                    sink = sink + version->minor;
            });
    });
    // Facts come only from an ELF image, and name the machine its header names.
    if (const auto facts = zovaze::elfImageFacts(address, size)) {
        ASSERT_TRUE(zovaze::isELFImage(address, size));
        std::uint16_t machine = 0;
        std::memcpy(&machine, address + 18, sizeof machine);
        EXPECT_EQ(facts->architecture, zovaze::elfArchitectureName(machine));
    }
}

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

    std::size_t largest = 0;
    for (const auto& seed : seeds)
        largest = std::max(largest, seed.size());
    GuardedBuffer buffer(largest + 64);
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
        exercise(buffer.place(input), input.size());
        if (HasFatalFailure()) return;
    }
    for (int round = 0; round < 2000; ++round) {
        Bytes input(random() % 256);
        for (auto& byte : input)
            byte = static_cast<std::uint8_t>(random());
        if (input.size() >= 4 && round % 2 == 0) putU32(input, 0, round % 4 == 0 ? 0xfeedfacf : 0xbebafeca);
        exercise(buffer.place(input), input.size());
        if (HasFatalFailure()) return;
    }
}

} // namespace
