#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"

#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/unwind/DwarfCursor.hpp"

#include <atomic>
#include <cstring>
#include <elf.h>

namespace zevuzavidav {

namespace {

constexpr std::uint8_t kTableEncoding = 0x3B; // data-relative, signed 4 bytes: what linkers write
constexpr std::uint64_t kMaxEntries = 1ULL << 28;
constexpr std::uint64_t kUnknownSectionSpan = 1ULL << 20;
constexpr int kMaxProgramHeaders = 64;

// The readable segments holding an image's index and its .eh_frame.
struct Segments {
    UnwindMemory::Range index{0, 0};
    UnwindMemory::Range ehFrame{0, 0};
};

// Where an image's segments are, kept for every later walk in the same image generation, so that its
// program headers are read once rather than once per walk (each walk still has the kernel confirm the
// segments are mapped: an image closed without notice is then read through checked copies). A small
// direct-mapped table read without locks: a writer claims an entry by making its sequence odd, and a
// reader that sees the sequence move takes a miss.
class ProvenImages {
  public:
    bool find(std::uintptr_t hdr, std::uint64_t generation, Segments* out) {
        Entry& entry = entryOf(hdr);
        std::uint64_t before = entry.sequence.load(std::memory_order_acquire);
        if ((before & 1) != 0) return false;
        bool same = entry.header.load(std::memory_order_relaxed) == hdr &&
                    entry.generation.load(std::memory_order_relaxed) == generation;
        Segments found{
            {entry.words[0].load(std::memory_order_relaxed), entry.words[1].load(std::memory_order_relaxed)},
            {entry.words[2].load(std::memory_order_relaxed), entry.words[3].load(std::memory_order_relaxed)}};
        std::atomic_thread_fence(std::memory_order_acquire);
        if (!same || entry.sequence.load(std::memory_order_relaxed) != before) return false;
        *out = found;
        return true;
    }

    void keep(std::uintptr_t hdr, std::uint64_t generation, const Segments& segments) {
        Entry& entry = entryOf(hdr);
        std::uint64_t sequence = entry.sequence.load(std::memory_order_relaxed);
        if ((sequence & 1) != 0 ||
            !entry.sequence.compare_exchange_strong(sequence, sequence + 1, std::memory_order_acquire)) {
            return;
        }
        std::atomic_thread_fence(std::memory_order_release);
        entry.header.store(hdr, std::memory_order_relaxed);
        entry.generation.store(generation, std::memory_order_relaxed);
        entry.words[0].store(segments.index.low, std::memory_order_relaxed);
        entry.words[1].store(segments.index.high, std::memory_order_relaxed);
        entry.words[2].store(segments.ehFrame.low, std::memory_order_relaxed);
        entry.words[3].store(segments.ehFrame.high, std::memory_order_relaxed);
        entry.sequence.store(sequence + 2, std::memory_order_release);
    }

  private:
    struct Entry {
        std::atomic<std::uint64_t> sequence{0};
        std::atomic<std::uint64_t> header{0};
        std::atomic<std::uint64_t> generation{0};
        std::atomic<std::uint64_t> words[4] = {};
    };
    static constexpr unsigned kEntries = 64;
    Entry& entryOf(std::uintptr_t hdr) { return entries_[(hdr >> 4 ^ hdr >> 12) % kEntries]; }
    Entry entries_[kEntries];
};

ProvenImages provenImages;

// The readable loadable segments of the image whose ELF header is at `base` that hold `hdr` and
// `ehFrame`, from its program headers (read through checked copies).
bool findSegments(UnwindMemory* memory, std::uintptr_t base, std::uintptr_t hdr, std::uintptr_t ehFrame,
                  Segments* out) {
    Elf64_Ehdr header;
    if (base == 0 || !readUnwindMemory(memory, base, &header, sizeof header) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum > kMaxProgramHeaders) {
        return false;
    }
    Elf64_Phdr segments[kMaxProgramHeaders];
    if (!readUnwindMemory(memory, base + header.e_phoff, segments, header.e_phnum * sizeof(Elf64_Phdr))) {
        return false;
    }
    // The image table's base is where its lowest segment was loaded.
    std::uint64_t lowest = ~0ULL;
    for (int i = 0; i < header.e_phnum; ++i) {
        if (segments[i].p_type == PT_LOAD && segments[i].p_vaddr < lowest) lowest = segments[i].p_vaddr;
    }
    for (int i = 0; i < header.e_phnum && lowest != ~0ULL; ++i) {
        const Elf64_Phdr& segment = segments[i];
        if (segment.p_type != PT_LOAD || (segment.p_flags & PF_R) == 0) continue;
        UnwindMemory::Range range{base + (segment.p_vaddr - lowest),
                                  base + (segment.p_vaddr - lowest) + segment.p_memsz};
        if (range.high <= range.low) continue;
        if (range.holds(hdr, 1)) out->index = range;
        if (range.holds(ehFrame, 1)) out->ehFrame = range;
    }
    return out->index.high != 0 && out->ehFrame.high != 0;
}

// Makes the segments holding the index and .eh_frame readable in place for this walk, once the
// kernel confirms they are mapped. The end of the segment holding .eh_frame; 0 when they cannot be
// proven (every read then stays a checked copy). `ehFrame` 0: only segments found by an earlier walk
// are taken (the header has not been read yet).
std::uintptr_t proveSegments(UnwindMemory* memory, std::uintptr_t base, std::uintptr_t hdr,
                             std::uintptr_t ehFrame) {
    if (memory == nullptr) return 0;
    for (unsigned i = 0; i < memory->rangeCount; ++i) {
        const UnwindMemory::Range& range = memory->inPlace[i];
        if (range.holds(hdr, 1) && (ehFrame == 0 || range.holds(ehFrame, 1))) return range.high;
    }
    Segments segments;
    bool known = provenImages.find(hdr, memory->imageGeneration, &segments) &&
                 (ehFrame == 0 || segments.ehFrame.holds(ehFrame, 1));
    if (!known && (ehFrame == 0 || !findSegments(memory, base, hdr, ehFrame, &segments))) return 0;
    if (!proveUnwindMemoryRange(memory, segments.index.low, segments.index.high) ||
        !proveUnwindMemoryRange(memory, segments.ehFrame.low, segments.ehFrame.high)) {
        return 0;
    }
    if (!known) provenImages.keep(hdr, memory->imageGeneration, segments);
    return segments.ehFrame.high;
}

std::uint64_t relative(std::uintptr_t header, std::int32_t offset) {
    return header + static_cast<std::uint64_t>(static_cast<std::int64_t>(offset));
}

} // namespace

bool initDwarfFDEIndex(DwarfFDEIndex* index, std::uintptr_t base, std::uintptr_t hdr, UnwindMemory* memory) {
    *index = DwarfFDEIndex{};
    // An image met by an earlier walk has its header read in place too, not through a checked copy.
    if (!isUnwindMemoryInPlace(memory, hdr, 32)) proveSegments(memory, base, hdr, 0);
    DwarfCursor cursor;
    initDwarfCursor(&cursor, hdr, hdr + 32, memory);
    std::uint8_t version = ZEVDwarfReadUInt8(&cursor);
    std::uint8_t ehFramePointerEncoding = ZEVDwarfReadUInt8(&cursor);
    std::uint8_t countEncoding = ZEVDwarfReadUInt8(&cursor);
    std::uint8_t tableEncoding = ZEVDwarfReadUInt8(&cursor);
    if (cursor.failed || version != 1 || tableEncoding != kTableEncoding) return false;
    std::uint64_t ehFrame = ZEVParseAddressWithEncodingAndAdvance(&cursor, ehFramePointerEncoding, hdr);
    std::uint64_t count = ZEVParseAddressWithEncodingAndAdvance(&cursor, countEncoding, hdr);
    if (darwin::isNullAddress(ehFrame) || ehFrame == kDwarfInvalidAddress || count == kDwarfInvalidAddress ||
        count == 0 || count > kMaxEntries) {
        return false;
    }
    index->header = hdr;
    index->ehFrame = ehFrame;
    index->table = cursor.at;
    index->count = count;
    index->ehFrameEnd = proveSegments(memory, base, hdr, ehFrame);
    return true;
}

bool searchDwarfFDEIndex(const DwarfFDEIndex* index, std::uint64_t pc, std::uintptr_t* fde,
                         UnwindMemory* memory) {
    const std::uintptr_t table = index->table;
    const bool inPlace = isUnwindMemoryInPlace(memory, table, index->count * 8);
    std::uint64_t low = 0;
    std::uint64_t high = index->count;
    bool found = false;
    while (low < high) { // the last entry whose initial location is at or below pc
        std::uint64_t mid = low + (high - low) / 2;
        std::int32_t entry[2];
        if (inPlace) {
            std::memcpy(entry, reinterpret_cast<const void*>(table + mid * 8), sizeof entry);
        } else if (!readUnwindMemory(memory, table + mid * 8, entry, sizeof entry)) {
            return false;
        }
        if (relative(index->header, entry[0]) <= pc) {
            *fde = relative(index->header, entry[1]);
            found = true;
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return found && *fde >= index->ehFrame;
}

std::uintptr_t dwarfFDEReadEnd(const DwarfFDEIndex* index, std::uintptr_t fde) {
    return index->ehFrameEnd > fde ? index->ehFrameEnd : fde + kUnknownSectionSpan;
}

bool findDwarfFDE(std::uintptr_t hdr, std::uint64_t pc, ZEVDwarfCFIRecord* out, UnwindMemory* memory,
                  std::uintptr_t base) {
    DwarfFDEIndex index;
    std::uintptr_t fde = 0;
    if (!initDwarfFDEIndex(&index, base, hdr, memory) || !searchDwarfFDEIndex(&index, pc, &fde, memory)) {
        return false;
    }
    if (!ZEVDwarfParseFDERecord(&out->fde, &out->cie, fde, dwarfFDEReadEnd(&index, fde), memory,
                                index.ehFrame))
        return false;
    return pc >= out->fde.pcBegin && pc - out->fde.pcBegin < out->fde.pcRange;
}

} // namespace zevuzavidav
