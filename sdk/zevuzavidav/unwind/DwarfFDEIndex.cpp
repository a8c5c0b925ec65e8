#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"

#include "platform/darwin/Images.hpp"
#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/unwind/DwarfCursor.hpp"
#include "sdk/zevuzavidav/unwind/SequencedEntry.hpp"

#include <atomic>
#include <cstring>
#include <elf.h>

namespace zevuzavidav {

namespace {

constexpr std::uint8_t kTableEncoding = 0x3B; // data-relative, signed 4 bytes: what linkers write
constexpr std::uint64_t kMaxEntries = 1ULL << 28;
constexpr std::uint64_t kUnknownSectionSpan = 1ULL << 20;
constexpr int kMaxProgramHeaders = 64;

// The readable segments holding an image's index and its .eh_frame, whether the image stays mapped
// until the process ends, and what the index's header says (count 0: not read yet).
struct Segments {
    UnwindMemory::Range index{0, 0};
    UnwindMemory::Range ehFrame{0, 0};
    bool permanent = false;
    std::uintptr_t ehFrameStart = 0;
    std::uintptr_t table = 0;
    std::uint64_t count = 0;
};

// Where an image's segments are, kept for every later walk in the same image generation, so that its
// program headers are read once rather than once per walk, and for an image that stays mapped what its
// index's header says too. Each walk still has the kernel confirm the
// segments are mapped (an image closed without notice is then read through checked copies), unless
// the image is one the dynamic linker never unmaps: its segments, proven once, stay. A small
// direct-mapped table read without locks (SequencedEntry.hpp).
class ProvenImages {
  public:
    bool find(std::uintptr_t hdr, std::uint64_t generation, Segments* out) {
        Entry& entry = entryOf(hdr);
        const SequencedRead read(entry.sequence);
        if (!read.begin()) return false;
        bool same = entry.header.load(std::memory_order_relaxed) == hdr &&
                    entry.generation.load(std::memory_order_relaxed) == generation;
        Segments found{
            {entry.words[0].load(std::memory_order_relaxed), entry.words[1].load(std::memory_order_relaxed)},
            {entry.words[2].load(std::memory_order_relaxed), entry.words[3].load(std::memory_order_relaxed)},
            entry.words[4].load(std::memory_order_relaxed) != 0,
            entry.words[5].load(std::memory_order_relaxed),
            entry.words[6].load(std::memory_order_relaxed),
            entry.words[7].load(std::memory_order_relaxed)};
        if (!same || !read.unchanged()) return false;
        *out = found;
        return true;
    }

    void keep(std::uintptr_t hdr, std::uint64_t generation, const Segments& segments) {
        Entry& entry = entryOf(hdr);
        const SequencedWrite write(entry.sequence);
        if (!write.claimed()) return;
        entry.header.store(hdr, std::memory_order_relaxed);
        entry.generation.store(generation, std::memory_order_relaxed);
        entry.words[0].store(segments.index.low, std::memory_order_relaxed);
        entry.words[1].store(segments.index.high, std::memory_order_relaxed);
        entry.words[2].store(segments.ehFrame.low, std::memory_order_relaxed);
        entry.words[3].store(segments.ehFrame.high, std::memory_order_relaxed);
        entry.words[4].store(segments.permanent ? 1 : 0, std::memory_order_relaxed);
        entry.words[5].store(segments.ehFrameStart, std::memory_order_relaxed);
        entry.words[6].store(segments.table, std::memory_order_relaxed);
        entry.words[7].store(segments.count, std::memory_order_relaxed);
    }

    void clear() {
        for (Entry& entry : entries_) {
            const SequencedWrite write(entry.sequence);
            if (write.claimed()) entry.header.store(0, std::memory_order_relaxed);
        }
    }

  private:
    struct Entry {
        std::atomic<std::uint64_t> sequence{0};
        std::atomic<std::uint64_t> header{0};
        std::atomic<std::uint64_t> generation{0};
        std::atomic<std::uint64_t> words[8] = {};
    };
    static constexpr unsigned kEntries = 64;
    Entry& entryOf(std::uintptr_t hdr) { return entries_[(hdr >> 4 ^ hdr >> 12) % kEntries]; }
    Entry entries_[kEntries];
};

ProvenImages provenImages;

// An image that stays mapped keeps the page of its ELF header mapped (its lowest segment starts
// there): whether `size` bytes at `address` lie in that page, and so can be read in place.
bool inHeaderPage(std::uintptr_t base, bool permanent, std::uintptr_t address, std::size_t size) {
    constexpr std::uintptr_t kPage = 4096;
    const std::uintptr_t pageEnd = (base | (kPage - 1)) + 1;
    return permanent && address >= base && address < pageEnd && size <= pageEnd - address;
}

// Reads `size` bytes at `address` of the image whose ELF header is at `base`: in place within the
// header's page of an image that stays mapped, else through checked copies.
bool readImageHeaders(UnwindMemory* memory, std::uintptr_t base, bool permanent, std::uintptr_t address,
                      void* out, std::size_t size) {
    if (inHeaderPage(base, permanent, address, size)) {
        std::memcpy(out, reinterpret_cast<const void*>(address), size);
        return true;
    }
    return readUnwindMemory(memory, address, out, size);
}

// The readable loadable segments of the image whose ELF header is at `base` that hold `hdr` and
// `ehFrame`, from its program headers (read in place for an image that stays mapped, else through
// checked copies).
bool findSegments(UnwindMemory* memory, std::uintptr_t base, bool permanent, std::uintptr_t hdr,
                  std::uintptr_t ehFrame, Segments* out) {
    Elf64_Ehdr header;
    if (base == 0 || !readImageHeaders(memory, base, permanent, base, &header, sizeof header) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum > kMaxProgramHeaders) {
        return false;
    }
    const int count = header.e_phnum;
    const std::uintptr_t at = base + header.e_phoff;
    const std::size_t size = count * sizeof(Elf64_Phdr);
    // In the page of the ELF header of an image that stays mapped, aligned, they are looked at where
    // they lie rather than copied first.
    Elf64_Phdr copies[kMaxProgramHeaders];
    const Elf64_Phdr* segments = copies;
    if (inHeaderPage(base, permanent, at, size) && at % alignof(Elf64_Phdr) == 0) {
        segments = reinterpret_cast<const Elf64_Phdr*>(at);
    } else if (!readImageHeaders(memory, base, permanent, at, copies, size)) {
        return false;
    }
    // The image table's base is where its lowest segment was loaded. Loadable segments are listed by
    // address, so the first is the lowest and one pass finds the segments; a list out of order, or
    // one whose first address is the end of memory, is gone through again once that lowest is known.
    const UnwindMemory::Range before[2] = {out->index, out->ehFrame};
    std::uint64_t lowest = ~0ULL;
    bool inOrder = true;
    auto take = [&](const Elf64_Phdr& segment) {
        if ((segment.p_flags & PF_R) == 0) return;
        UnwindMemory::Range range{base + (segment.p_vaddr - lowest),
                                  base + (segment.p_vaddr - lowest) + segment.p_memsz};
        if (range.high <= range.low) return;
        if (range.holds(hdr, 1)) out->index = range;
        if (range.holds(ehFrame, 1)) out->ehFrame = range;
    };
    for (int i = 0; i < count && inOrder; ++i) {
        const Elf64_Phdr& segment = segments[i];
        if (segment.p_type != PT_LOAD) continue;
        if (lowest == ~0ULL) lowest = segment.p_vaddr;
        inOrder = segment.p_vaddr >= lowest && lowest != ~0ULL;
        if (inOrder) take(segment);
    }
    if (!inOrder) {
        out->index = before[0];
        out->ehFrame = before[1];
        for (int i = 0; i < count; ++i) {
            if (segments[i].p_type == PT_LOAD && segments[i].p_vaddr < lowest) lowest = segments[i].p_vaddr;
        }
        for (int i = 0; i < count && lowest != ~0ULL; ++i) {
            if (segments[i].p_type == PT_LOAD) take(segments[i]);
        }
    }
    return out->index.high != 0 && out->ehFrame.high != 0;
}

// Makes `segments` readable in place for this walk: at once for an image that stays mapped, else once
// the kernel confirms they are mapped.
bool useSegments(UnwindMemory* memory, const Segments& segments) {
    auto use = segments.permanent ? keepUnwindMemoryRange : proveUnwindMemoryRange;
    return use(memory, segments.index.low, segments.index.high) &&
           use(memory, segments.ehFrame.low, segments.ehFrame.high);
}

// Makes the segments holding the index and .eh_frame readable in place for this walk, and keeps them
// with what the index's header says (`header`, when given) for later walks. The end of the segment
// holding .eh_frame; 0 when they cannot be proven (every read then stays a checked copy). `ehFrame` 0:
// only segments found by an earlier walk are taken (the header has not been read yet).
std::uintptr_t proveSegments(UnwindMemory* memory, std::uintptr_t base, std::uintptr_t hdr,
                             std::uintptr_t ehFrame, const DwarfFDEIndex* header = nullptr) {
    if (memory == nullptr) return 0;
    // The segment read in place that holds the index and .eh_frame, when this walk found it already.
    const UnwindMemory::Range* holding = nullptr;
    for (unsigned i = 0; i < memory->rangeCount && holding == nullptr; ++i) {
        const UnwindMemory::Range& range = memory->inPlace[i];
        if (range.holds(hdr, 1) && (ehFrame == 0 || range.holds(ehFrame, 1))) holding = &range;
    }
    // It answers, unless the index's header is to be kept with it.
    if (holding != nullptr && header == nullptr) return holding->high;
    Segments segments;
    bool known = provenImages.find(hdr, memory->imageGeneration, &segments) &&
                 (ehFrame == 0 || segments.ehFrame.holds(ehFrame, 1));
    if (!known) {
        segments.permanent = darwin::imageIsPermanent(base);
        if (ehFrame == 0) return 0;
        // An image that stays mapped had its program headers read for that segment: not again.
        if (segments.permanent && holding != nullptr) {
            segments.index = segments.ehFrame = *holding;
        } else if (!findSegments(memory, base, segments.permanent, hdr, ehFrame, &segments)) {
            return 0;
        }
    }
    if (!useSegments(memory, segments)) return 0;
    if (header != nullptr && (!known || segments.count == 0)) {
        segments.ehFrameStart = header->ehFrame;
        segments.table = header->table;
        segments.count = header->count;
        provenImages.keep(hdr, memory->imageGeneration, segments);
    }
    return segments.ehFrame.high;
}

std::uint64_t relative(std::uintptr_t header, std::int32_t offset) {
    return header + static_cast<std::uint64_t>(static_cast<std::int64_t>(offset));
}

} // namespace

bool initDwarfFDEIndex(DwarfFDEIndex* index, std::uintptr_t base, std::uintptr_t hdr, UnwindMemory* memory) {
    *index = DwarfFDEIndex{};
    // An index an earlier walk read: its segments are made readable again, its header is not read again.
    Segments known;
    // Only for an image that stays mapped: another image mapped at the same place since, without notice,
    // would have another header.
    if (memory != nullptr && provenImages.find(hdr, memory->imageGeneration, &known) && known.permanent &&
        known.count != 0 && useSegments(memory, known)) {
        *index = DwarfFDEIndex{hdr, known.ehFrameStart, known.ehFrame.high, known.table, known.count};
        return true;
    }
    // An image met by an earlier walk has its header read in place too, not through a checked copy; so
    // has one that stays mapped, whose segment holding the index is found now (its program headers are
    // read in place; .eh_frame is looked for once the header tells where it is).
    if (!isUnwindMemoryInPlace(memory, hdr, 32))
        proveSegments(memory, base, hdr, memory != nullptr && darwin::imageIsPermanent(base) ? hdr : 0);
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
    index->ehFrameEnd = proveSegments(memory, base, hdr, ehFrame, index);
    return true;
}

bool searchDwarfFDEIndex(const DwarfFDEIndex* index, std::uint64_t pc, std::uintptr_t* fde,
                         UnwindMemory* memory) {
    const std::uintptr_t table = index->table;
    const bool inPlace = isUnwindMemoryInPlace(memory, table, index->count * 8);
    if (inPlace && index->count > 0) {
        // Halving a span that holds the answer, with no branch on the comparisons (they go either way
        // as often, and a mispredicted branch costs more than the step).
        const auto* entries = reinterpret_cast<const std::uint8_t*>(table);
        auto field = [&](std::uint64_t entry, unsigned which) {
            std::int32_t offset;
            std::memcpy(&offset, entries + entry * 8 + which * 4, sizeof offset);
            return relative(index->header, offset);
        };
        std::uint64_t base = 0;
        for (std::uint64_t span = index->count; span > 1;) {
            const std::uint64_t half = span / 2;
            base = field(base + half, 0) <= pc ? base + half : base;
            span -= half;
        }
        if (field(base, 0) > pc) return false;
        *fde = field(base, 1);
        return *fde >= index->ehFrame;
    }
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

std::uintptr_t dwarfFDEReadEnd(const DwarfFDEIndex* index, std::uintptr_t fde, const UnwindMemory* memory) {
    if (index->ehFrameEnd > fde) return index->ehFrameEnd;
    if (memory != nullptr) {
        if (memory->stack.holds(fde, 1)) return memory->stack.high;
        for (unsigned i = 0; i < memory->rangeCount; ++i) {
            if (memory->inPlace[i].holds(fde, 1)) return memory->inPlace[i].high;
        }
    }
    return fde + kUnknownSectionSpan;
}

void clearProvenDwarfImages() {
    provenImages.clear();
}

bool findDwarfFDE(std::uintptr_t hdr, std::uint64_t pc, ZEVDwarfCFIRecord* out, UnwindMemory* memory,
                  std::uintptr_t base) {
    DwarfFDEIndex index;
    std::uintptr_t fde = 0;
    if (!initDwarfFDEIndex(&index, base, hdr, memory) || !searchDwarfFDEIndex(&index, pc, &fde, memory)) {
        return false;
    }
    if (!ZEVDwarfParseFDERecord(&out->fde, &out->cie, fde, dwarfFDEReadEnd(&index, fde, memory), memory,
                                index.ehFrame))
        return false;
    return pc >= out->fde.pcBegin && pc - out->fde.pcBegin < out->fde.pcRange;
}

} // namespace zevuzavidav
