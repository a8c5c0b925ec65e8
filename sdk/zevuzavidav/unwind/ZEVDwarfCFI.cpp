#include "sdk/zevuzavidav/unwind/ZEVDwarfCFI.hpp"

#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/unwind/DwarfCursor.hpp"

#include <cstring>

using namespace zevuzavidav;

namespace {

constexpr std::size_t kAugmentationLetters = 8;

// The augmentation string's first letters, copied through the cursor's memory (zero-terminated);
// false when it is unreadable or longer than any augmentation this reader knows.
bool copyAugmentation(const DwarfCursor& at, std::uintptr_t string, char (&out)[kAugmentationLetters]) {
    DwarfCursor cursor = at;
    cursor.at = string;
    for (std::size_t i = 0; i < kAugmentationLetters; ++i) {
        out[i] = static_cast<char>(ZEVDwarfReadUInt8(&cursor));
        if (cursor.failed) return false;
        if (out[i] == '\0') return true;
    }
    out[kAugmentationLetters - 1] = '\0';
    return false;
}

// The augmentation data of a 'z' augmentation; false (with the reader's line where it has one) for a
// letter it does not know or data that runs past its own length.
bool processAugmentation(ZEVDwarfCIERecord* cie, const char* augmentation, DwarfCursor* cursor,
                         std::uintptr_t recordEnd, bool resolvePersonality) {
    std::uint64_t dataLength = ZEVDwarfReadULEB128(cursor);
    std::uintptr_t dataEnd = cursor->at + dataLength;
    if (cursor->failed || dataEnd < cursor->at || dataEnd > recordEnd) return false;
    for (const char* letter = augmentation + 1; *letter != '\0'; ++letter) {
        switch (*letter) {
        case 'L':
            cie->lsdaEncoding = ZEVDwarfReadUInt8(cursor);
            break;
        case 'P':
            cie->personalityEncoding = ZEVDwarfReadUInt8(cursor);
            // An indirect personality's pointer lies outside the tables (in the image's writable data):
            // following it costs a checked copy, worth it only to a caller that wants the routine.
            cie->personality = ZEVParseAddressWithEncodingAndAdvance(
                cursor, resolvePersonality ? cie->personalityEncoding : cie->personalityEncoding & 0x7F);
            if (cie->personality == kDwarfInvalidAddress) {
                ZEVSDKLog("%s: Error: Found an invalid start address\n",
                          "ZEVDwarfParseAndProcessAugmentation");
                return false;
            }
            break;
        case 'R':
            cie->fdePointerEncoding = ZEVDwarfReadUInt8(cursor);
            break;
        case 'S':
            cie->signalFrame = true;
            break;
        default:
            ZEVSDKLog("%s: Error: Unhandled augmentation string entry %c\n",
                      "ZEVDwarfParseAndProcessAugmentation", *letter);
            return false;
        }
        if (cursor->failed || cursor->at > dataEnd) return false;
    }
    cursor->at = dataEnd;
    return true;
}

} // namespace

bool ZEVDwarfParseCIERecord(ZEVDwarfCIERecord* cie, std::uintptr_t address, std::uintptr_t end,
                            UnwindMemory* memory, bool resolvePersonality) {
    std::memset(cie, 0, sizeof *cie);
    DwarfCursor cursor;
    initDwarfCursor(&cursor, address, end, memory);
    std::uint64_t length = ZEVDwarfReadInitialLength(&cursor);
    if (cursor.failed || length == 0) {
        ZEVSDKLog("%s: Error: CIE length invalid\n", "ZEVDwarfParseCIERecord");
        return false;
    }
    std::uintptr_t recordEnd = cursor.at + length;
    if (recordEnd < cursor.at || recordEnd > end) return false;
    cursor.end = recordEnd;
    cie->length = length;
    if (ZEVDwarfReadUInt32(&cursor) != 0)
        ZEVSDKLog("%s: Error: CIE flag not found\n", "ZEVDwarfParseCIERecord");
    cie->version = ZEVDwarfReadUInt8(&cursor);
    if (cie->version != 1 && cie->version != 3) {
        ZEVSDKLog("%s: Error: CIE version %u unsupported\n", "ZEVDwarfParseCIERecord",
                  static_cast<unsigned>(cie->version));
        return false;
    }
    cie->augmentation = ZEVDwarfReadString(&cursor);
    cie->codeAlignment = ZEVDwarfReadULEB128(&cursor);
    cie->dataAlignment = ZEVDwarfReadSLEB128(&cursor);
    cie->returnAddressRegister =
        cie->version == 1 ? ZEVDwarfReadUInt8(&cursor) : ZEVDwarfReadULEB128(&cursor);
    char augmentation[kAugmentationLetters];
    if (cursor.failed || !copyAugmentation(cursor, cie->augmentation, augmentation)) return false;
    if (augmentation[0] != '\0') {
        if (augmentation[0] != 'z') {
            ZEVSDKLog("%s: Error: Unimplemented: augmentation string %s\n",
                      "ZEVDwarfParseAndProcessAugmentation", augmentation);
            return false;
        }
        cie->augmentationData = true;
        if (!processAugmentation(cie, augmentation, &cursor, recordEnd, resolvePersonality)) return false;
    }
    cie->instructions = cursor.at;
    cie->instructionsLength = recordEnd - cursor.at;
    return !cursor.failed;
}

bool zevuzavidav::readCommonDwarfCIE(ZEVDwarfCIERecord* cie, std::uintptr_t address, std::uintptr_t end) {
    // id, version, "zR", code and data alignment, return register, data length, encoding
    constexpr std::uint32_t kLeast = 4 + 1 + 3 + 1 + 1 + 1 + 1 + 1;
    if (darwin::isNullAddress(address) || end < address || end - address < 4 + kLeast) return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(address);
    std::uint32_t length = 0;
    std::uint32_t id = 0;
    std::memcpy(&length, bytes, sizeof length);
    std::memcpy(&id, bytes + 4, sizeof id);
    const std::uint8_t version = bytes[8];
    if (length < kLeast || length == 0xFFFFFFFFU || length > end - address - 4 || id != 0 ||
        (version != 1 && version != 3) || bytes[9] != 'z') {
        return false;
    }
    // "zR", or "zPLR" as C++ code has it: where the alignments start, and the augmentation data's least
    // length.
    const bool personality = bytes[10] == 'P';
    if (personality ? std::memcmp(bytes + 11, "LR", 3) != 0 : bytes[10] != 'R' || bytes[11] != 0)
        return false;
    const std::uint32_t fields = personality ? 14 : 12;
    const std::uint32_t least = personality ? 7 : 1;
    if (4 + length < fields + 4 + least) return false;
    const std::uint8_t codeAlignment = bytes[fields];
    const std::uint8_t dataAlignment = bytes[fields + 1];
    const std::uint8_t returnAddressRegister = bytes[fields + 2];
    const std::uint8_t dataLength = bytes[fields + 3];
    const std::uint32_t data = fields + 4; // from the record's start
    if (codeAlignment >= 0x80 || dataAlignment >= 0x80 || (version == 3 && returnAddressRegister >= 0x80) ||
        dataLength < least || dataLength >= 0x80 || data + dataLength > 4 + length) {
        return false;
    }
    std::memset(cie, 0, sizeof *cie);
    if (personality) {
        // Its pointer is 4 bytes, absolute or from where it lies; an indirect one is not followed.
        const std::uint8_t encoding = bytes[data];
        const std::uint8_t format = encoding & 0x0F;
        const std::uint8_t application = encoding & 0x70;
        if ((format != 0x03 && format != 0x0B) || (application != 0 && application != 0x10)) return false;
        std::uint32_t bits = 0;
        std::memcpy(&bits, bytes + data + 1, sizeof bits);
        std::uint64_t value =
            format == 0x0B ? static_cast<std::uint64_t>(static_cast<std::int32_t>(bits)) : bits;
        if (application == 0x10) value += address + data + 1;
        if (value == kDwarfInvalidAddress) return false;
        cie->personalityEncoding = encoding;
        cie->personality = value;
        cie->lsdaEncoding = bytes[data + 5];
    }
    cie->length = length;
    cie->version = version;
    cie->augmentation = address + 9;
    cie->codeAlignment = codeAlignment;
    cie->dataAlignment = dataAlignment >= 0x40 ? dataAlignment - 0x80 : dataAlignment;
    cie->returnAddressRegister = returnAddressRegister;
    cie->augmentationData = true;
    cie->fdePointerEncoding = bytes[data + least - 1];
    cie->instructions = address + data + dataLength;
    cie->instructionsLength = 4 + length - (data + dataLength);
    return true;
}

bool zevuzavidav::readDwarfFDEHead(ZEVDwarfFDERecord* fde, std::uintptr_t address, std::uintptr_t end,
                                   UnwindMemory* memory, std::uintptr_t start, DwarfFDEHead* head,
                                   bool inPlace) {
    DwarfCursor cursor;
    if (inPlace) {
        initDwarfCursorKnown(&cursor, address, end, memory, true);
    } else {
        initDwarfCursor(&cursor, address, end, memory);
    }
    std::uint64_t length = ZEVDwarfReadInitialLength(&cursor);
    if (cursor.failed || length == 0) {
        ZEVSDKLog("%s: Error: FDE has zero length\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    std::uintptr_t recordEnd = cursor.at + length;
    if (recordEnd < cursor.at || recordEnd > end) return false;
    cursor.end = recordEnd;
    fde->length = length;
    std::uintptr_t pointerField = cursor.at;
    fde->ciePointer = ZEVDwarfReadUInt32(&cursor);
    // The CIE lies before its FDE, and within the section: a pointer out of it would take its
    // instructions from bytes that are no call-frame information.
    if (cursor.failed || fde->ciePointer == 0 || start > pointerField ||
        fde->ciePointer > pointerField - start) {
        ZEVSDKLog("%s: Error: CIE offset invalid\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    *head = DwarfFDEHead{pointerField - fde->ciePointer, cursor.at, recordEnd, cursor.inPlace};
    return true;
}

bool zevuzavidav::readDwarfFDEBody(ZEVDwarfFDERecord* fde, const ZEVDwarfCIERecord& cie,
                                   const DwarfFDEHead& head, UnwindMemory* memory) {
    DwarfCursor cursor;
    initDwarfCursorKnown(&cursor, head.body, head.recordEnd, memory, head.inPlace);
    fde->pcBegin = ZEVParseAddressWithEncodingAndAdvance(&cursor, cie.fdePointerEncoding);
    if (fde->pcBegin == kDwarfInvalidAddress) {
        ZEVSDKLog("%s: Error: Found an invalid start address\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    fde->pcRange = ZEVParseAddressWithEncodingAndAdvance(&cursor, cie.fdePointerEncoding & 0x0F);
    if (fde->pcRange == kDwarfInvalidAddress) {
        ZEVSDKLog("%s: Error: Found an invalid address range\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    if (cie.augmentationData && !skipDwarfBytes(&cursor, ZEVDwarfReadULEB128(&cursor))) return false;
    fde->instructions = cursor.at;
    fde->instructionsLength = head.recordEnd - cursor.at;
    return !cursor.failed;
}

bool zevuzavidav::usableDwarfCIE(const ZEVDwarfCIERecord& cie, bool parsed) {
    if (!parsed) ZEVSDKLog("%s: Error: Unable to parse CIE record\n", "ZEVDwarfParseFDERecord");
    // A CIE parsed only in part is no more usable than one with a bad length or version.
    if (!parsed || cie.length == 0 || (cie.version != 1 && cie.version != 3)) {
        ZEVSDKLog("%s: Error: CIE invalid\n", "ZEVDwarfParseFDERecord");
        return false;
    }
    return true;
}

bool ZEVDwarfParseFDERecord(ZEVDwarfFDERecord* fde, ZEVDwarfCIERecord* cie, std::uintptr_t address,
                            std::uintptr_t end, UnwindMemory* memory, std::uintptr_t start) {
    std::memset(fde, 0, sizeof *fde);
    DwarfFDEHead head;
    if (!readDwarfFDEHead(fde, address, end, memory, start, &head)) return false;
    if (!usableDwarfCIE(*cie, ZEVDwarfParseCIERecord(cie, head.cie, end, memory))) return false;
    return readDwarfFDEBody(fde, *cie, head, memory);
}

bool ZEVDwarfInitFromFDE(ZEVDwarfCFIRecord* cfi, std::uintptr_t ehFrame, std::uint64_t fdeOffset,
                         std::uintptr_t ehFrameEnd, UnwindMemory* memory) {
    if (cfi == nullptr || ehFrame == 0 || fdeOffset == 0 || ehFrame + fdeOffset == 0 ||
        ehFrameEnd < ehFrame || fdeOffset >= ehFrameEnd - ehFrame) {
        return false;
    }
    return ZEVDwarfParseFDERecord(&cfi->fde, &cfi->cie, ehFrame + fdeOffset, ehFrameEnd, memory, ehFrame);
}
