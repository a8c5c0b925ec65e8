#include "sdk/zovaze/images/ELFImage.hpp"
#include "sdk/zovaze/images/ZOVMachO.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <elf.h>
#include <link.h>
#include <vector>

namespace {

// The build-id as the loader mapped it into memory: an independent route to the same bytes.
std::vector<std::uint8_t> loadedBuildID() {
    std::vector<std::uint8_t> found;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) -> int {
            auto& id = *static_cast<std::vector<std::uint8_t>*>(out);
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const auto& segment = info->dlpi_phdr[i];
                if (segment.p_type != PT_NOTE) continue;
                auto* at = reinterpret_cast<const std::uint8_t*>(info->dlpi_addr + segment.p_vaddr);
                std::size_t offset = 0;
                while (offset + sizeof(ElfW(Nhdr)) <= segment.p_memsz) {
                    auto* note = reinterpret_cast<const ElfW(Nhdr)*>(at + offset);
                    const std::size_t name = offset + sizeof(ElfW(Nhdr));
                    const std::size_t desc = name + ((note->n_namesz + 3) & ~3u);
                    if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4) {
                        id.assign(at + desc, at + desc + note->n_descsz);
                        return 1;
                    }
                    offset = desc + ((note->n_descsz + 3) & ~3u);
                }
            }
            return 1; // the main program comes first
        },
        &found);
    return found;
}

std::vector<std::uint8_t> elfWithNote(std::uint32_t nameSize, std::uint32_t descSize, std::size_t descBytes) {
    std::vector<std::uint8_t> bytes(sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr));
    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_machine = EM_AARCH64;
    header.e_phoff = sizeof(Elf64_Ehdr);
    header.e_phentsize = sizeof(Elf64_Phdr);
    header.e_phnum = 1;
    std::memcpy(bytes.data(), &header, sizeof header);
    const std::uint32_t note[3] = {nameSize, descSize, NT_GNU_BUILD_ID};
    const std::size_t noteAt = bytes.size();
    bytes.insert(bytes.end(), reinterpret_cast<const std::uint8_t*>(note),
                 reinterpret_cast<const std::uint8_t*>(note) + 12);
    bytes.insert(bytes.end(), {'G', 'N', 'U', 0});
    for (std::size_t i = 0; i < descBytes; ++i)
        bytes.push_back(static_cast<std::uint8_t>(0xa0 + i));
    Elf64_Phdr segment{};
    segment.p_type = PT_NOTE;
    segment.p_offset = noteAt;
    segment.p_filesz = bytes.size() - noteAt;
    std::memcpy(bytes.data() + sizeof(Elf64_Ehdr), &segment, sizeof segment);
    return bytes;
}

TEST(ELFImage, RunningExecutableIsOneSliceOfTheMachineWithItsBuildID) {
    ZOVMachOFile file;
    ASSERT_TRUE(ZOVMachOFileOpenMainExecutable(&file));
    auto facts = zovaze::elfImageFacts(file.address, static_cast<std::size_t>(file.size));
    ZOVMachOFileClose(&file);
    ASSERT_TRUE(facts);
#if defined(__x86_64__)
    EXPECT_EQ(facts->architecture, "x86_64");
#elif defined(__aarch64__)
    EXPECT_EQ(facts->architecture, "arm64");
#endif
    const auto loaded = loadedBuildID();
    ASSERT_GE(loaded.size(), 16u) << "the build must carry a GNU build-id";
    ASSERT_TRUE(facts->uuid);
    EXPECT_TRUE(std::equal(facts->uuid->begin(), facts->uuid->end(), loaded.begin()));
}

TEST(ELFImage, ShortBuildIDsArePaddedAndBrokenNotesGiveNone) {
    auto shortID = elfWithNote(4, 8, 8);
    auto facts = zovaze::elfImageFacts(shortID.data(), shortID.size());
    ASSERT_TRUE(facts && facts->uuid);
    EXPECT_EQ(facts->architecture, "arm64");
    EXPECT_EQ((*facts->uuid)[7], 0xa7);
    EXPECT_EQ((*facts->uuid)[8], 0x00);

    auto overlong = elfWithNote(4, 4000, 8);
    facts = zovaze::elfImageFacts(overlong.data(), overlong.size());
    ASSERT_TRUE(facts);
    EXPECT_FALSE(facts->uuid);

    auto hugeName = elfWithNote(0xfffffffc, 8, 8);
    facts = zovaze::elfImageFacts(hugeName.data(), hugeName.size());
    ASSERT_TRUE(facts);
    EXPECT_FALSE(facts->uuid);

    std::vector<std::uint8_t> notELF(64, 0);
    EXPECT_FALSE(zovaze::elfImageFacts(notELF.data(), notELF.size()));
    EXPECT_FALSE(zovaze::elfImageFacts(shortID.data(), 10));
}

} // namespace
