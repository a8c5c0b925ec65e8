#include "sdk/zevuzavidav/unwind/arm64/ZEVCompactUnwind.hpp"

#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"

#include <cstring>

namespace arm64 {
namespace {

bool valid(const void* pointer) {
    return !darwin::isNullAddress(pointer);
}

bool readU32(const ZEVCompactUnwindContext* c, std::uint64_t offset, std::uint32_t* out,
             zevuzavidav::UnwindMemory* memory) {
    if (offset > c->unwindInfoSize || 4 > c->unwindInfoSize - offset) return false;
    return zevuzavidav::readUnwindMemory(memory, c->unwindInfo + offset, out, 4);
}

bool readU16(const ZEVCompactUnwindContext* c, std::uint64_t offset, std::uint16_t* out,
             zevuzavidav::UnwindMemory* memory) {
    if (offset > c->unwindInfoSize || 2 > c->unwindInfoSize - offset) return false;
    return zevuzavidav::readUnwindMemory(memory, c->unwindInfo + offset, out, 2);
}

bool lookupCompressedPage(ZEVCompactUnwindContext* c, std::uint64_t pc, ZEVCompactUnwindEntry* entry,
                          zevuzavidav::UnwindMemory* memory) {
    std::uint64_t page = c->secondLevelPageOffset;
    if (page == 0) return false;
    std::uint16_t entriesOffset = 0, entryCount = 0, encodingsOffset = 0, encodingsCount = 0;
    if (!readU16(c, page + 4, &entriesOffset, memory) || !readU16(c, page + 6, &entryCount, memory) ||
        !readU16(c, page + 8, &encodingsOffset, memory) || !readU16(c, page + 10, &encodingsCount, memory)) {
        return false;
    }
    std::uint64_t base = c->loadAddress + c->firstLevelFunctionOffset;
    std::uint64_t offset = 0;
    if (pc <= base) {
        ZEVSDKLog("%s: Error: PC is invalid\n", "ZEVCompactUnwindLookupSecondLevelCompressed");
    } else {
        offset = pc - base;
    }
    // The last entry whose function offset (low 24 bits) is <= offset.
    std::uint32_t low = 0, high = entryCount;
    bool found = false;
    std::uint32_t index = 0;
    while (low < high) {
        std::uint32_t mid = low + (high - low) / 2;
        std::uint32_t value = 0;
        if (!readU32(c, page + entriesOffset + 4ULL * mid, &value, memory)) return false;
        if ((value & 0x00FFFFFF) <= offset) {
            index = mid;
            found = true;
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    if (!found) {
        ZEVSDKLog("%s: Unable to find PC in second level\n", "ZEVCompactUnwindLookupSecondLevelCompressed");
        return false;
    }
    std::uint32_t value = 0;
    if (!readU32(c, page + entriesOffset + 4ULL * index, &value, memory)) return false;
    entry->functionStart = base + (value & 0x00FFFFFF);
    if (index + 1U == entryCount) {
        entry->functionEnd = c->loadAddress + c->firstLevelEndOffset;
    } else {
        std::uint32_t next = 0;
        if (!readU32(c, page + entriesOffset + 4ULL * (index + 1), &next, memory)) return false;
        entry->functionEnd = base + (next & 0x00FFFFFF);
    }
    if (!(entry->functionStart <= pc && pc < entry->functionEnd)) {
        ZEVSDKLog("%s: PC does not match computed function range\n",
                  "ZEVCompactUnwindLookupSecondLevelCompressed");
        return false;
    }
    std::uint32_t encodingIndex = value >> 24;
    std::uint32_t commonCount = c->header[2];
    std::uint32_t encoding = 0;
    bool read =
        encodingIndex < commonCount
            ? readU32(c, c->header[1] + 4ULL * encodingIndex, &encoding, memory)
            : (encodingIndex - commonCount < encodingsCount &&
               readU32(c, page + encodingsOffset + 4ULL * (encodingIndex - commonCount), &encoding, memory));
    if (!read) return false;
    if (encoding == 0) {
        ZEVSDKLog("%s: Entry has has no unwind info\n", "ZEVCompactUnwindLookupSecondLevelCompressed");
        return false;
    }
    entry->encoding = encoding;
    return true;
}

} // namespace

bool ZEVCompactUnwindInit(ZEVCompactUnwindContext* context, const ZEVArm64Image& image) {
    if (!valid(context)) {
        ZEVSDKLog("%s: Error: invalid context passed to compact unwind init\n", "ZEVCompactUnwindInit");
        return false;
    }
    if (darwin::isNullAddress(image.unwindInfo)) {
        ZEVSDKLog("%s: Error: invalid unwind info passed to compact unwind init\n", "ZEVCompactUnwindInit");
        return false;
    }
    if (darwin::isNullAddress(image.base)) {
        ZEVSDKLog("%s: Error: invalid load address passed to compact unwind init\n", "ZEVCompactUnwindInit");
        return false;
    }
    std::memset(context, 0, sizeof *context);
    if (image.unwindInfoSize < sizeof context->header ||
        !zevuzavidav::readUnwindMemory(nullptr, image.unwindInfo, context->header, sizeof context->header)) {
        ZEVSDKLog("%s: Error: could not read memory contents of unwindInfo\n", "ZEVCompactUnwindInit");
        return false;
    }
    if (context->header[0] != 1) {
        ZEVSDKLog("%s: Error: bad unwind_info structure version (%d != %d)\n", "ZEVCompactUnwindInit",
                  static_cast<int>(context->header[0]), 1);
        return false;
    }
    context->unwindInfo = image.unwindInfo;
    context->unwindInfoSize = image.unwindInfoSize;
    context->ehFrame = image.ehFrame;
    context->ehFrameSize = image.ehFrameSize;
    context->loadAddress = image.base;
    return true;
}

bool ZEVCompactUnwindLookup(ZEVCompactUnwindContext* c, std::uint64_t pc, ZEVCompactUnwindEntry* entry,
                            zevuzavidav::UnwindMemory* memory) {
    if (!valid(c) || entry == nullptr) return false;
    std::memset(entry, 0, sizeof *entry);
    std::uint32_t count = c->header[6];
    if (count < 2 || pc < c->loadAddress) return false;
    std::uint64_t pcOffset = pc - c->loadAddress;
    std::uint64_t index = c->header[5];
    bool found = false;
    for (std::uint32_t i = 0; i + 1 < count; ++i) {
        std::uint32_t function = 0, next = 0;
        if (!readU32(c, index + 12ULL * i, &function, memory) ||
            !readU32(c, index + 12ULL * (i + 1), &next, memory)) {
            return false;
        }
        if (function <= pcOffset && pcOffset < next) {
            c->firstLevelFunctionOffset = function;
            c->firstLevelEndOffset = next;
            if (!readU32(c, index + 12ULL * i + 4, &c->secondLevelPageOffset, memory) ||
                !readU32(c, index + 12ULL * i + 8, &c->lsdaIndexOffset, memory)) {
                return false;
            }
            found = true;
            break;
        }
    }
    if (!found) {
        ZEVSDKLog("%s: Unable to find pc in first level\n", "ZEVCompactUnwindLookup");
        return false;
    }
    ZEVSDKLog("%s: Found first level (second => %u)\n", "ZEVCompactUnwindLookup", c->secondLevelPageOffset);
    std::uint32_t kind = 0;
    if (!readU32(c, c->secondLevelPageOffset, &kind, memory)) return false;
    bool ok = false;
    if (kind == 3) {
        ZEVSDKLog("%s: Found a second level compressed header\n", "ZEVCompactUnwindLookupSecondLevel");
        ok = lookupCompressedPage(c, pc, entry, memory);
    } else if (kind == 2) {
        ZEVSDKLog("%s: Found a second level regular header\n", "ZEVCompactUnwindLookupSecondLevel");
        ZEVSDKLog("%s: Encountered a regular second-level page\n", "ZEVCompactUnwindLookupSecondLevel");
    } else {
        ZEVSDKLog("%s: Unrecognized header kind - unable to continue\n", "ZEVCompactUnwindLookupSecondLevel");
    }
    if (!ok) ZEVSDKLog("%s: Second-level PC lookup failed\n", "ZEVCompactUnwindLookup");
    return ok;
}

} // namespace arm64
