#include "sdk/zevuzavidav/unwind/DwarfCursor.hpp"

#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"

#include <cstring>

using namespace zevuzavidav;

bool zevuzavidav::readDwarfBytes(DwarfCursor* cursor, void* out, std::size_t n) {
    if (cursor->failed || cursor->end < cursor->at || n > cursor->end - cursor->at) {
        cursor->failed = true;
        return false;
    }
    if (cursor->inPlace) {
        std::memcpy(out, reinterpret_cast<const void*>(cursor->at), n);
    } else if (!readUnwindMemory(cursor->memory, cursor->at, out, n)) {
        cursor->failed = true;
        return false;
    }
    cursor->at += n;
    return true;
}

bool zevuzavidav::skipDwarfBytes(DwarfCursor* cursor, std::uint64_t n) {
    if (cursor->failed || cursor->end < cursor->at || n > cursor->end - cursor->at) {
        cursor->failed = true;
        return false;
    }
    cursor->at += n;
    return true;
}

std::uint64_t zevuzavidav::readDwarfLEB128Checked(DwarfCursor* cursor, bool isSigned) {
    std::uint64_t value = 0;
    unsigned shift = 0;
    std::uint8_t byte = 0;
    for (int i = 0; i < 8; ++i) {
        byte = ZEVDwarfReadUInt8(cursor);
        if (cursor->failed) return 0;
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        shift += 7;
        if ((byte & 0x80) == 0) break;
    }
    if (isSigned && shift < 64 && (byte & 0x40) != 0) value |= ~0ULL << shift;
    return value;
}

std::uintptr_t ZEVDwarfReadString(DwarfCursor* cursor) {
    std::uintptr_t start = cursor->at;
    for (;;) {
        std::uint8_t c = ZEVDwarfReadUInt8(cursor);
        if (cursor->failed) return 0;
        if (c == 0) return start;
    }
}

std::uint64_t zevuzavidav::parseDwarfAddressChecked(DwarfCursor* cursor, std::uint8_t encoding,
                                                    std::uintptr_t dataBase) {
    if (encoding == 0xFF) return 0;
    if (cursor == nullptr || cursor->at == 0) return kDwarfInvalidAddress;
    std::uintptr_t fieldStart = cursor->at;
    std::uint64_t value;
    switch (encoding & 0x0F) {
    case 0x0:
    case 0x4:
    case 0xC:
        value = ZEVDwarfReadUInt64(cursor);
        break;
    case 0x1:
        value = ZEVDwarfReadULEB128(cursor);
        break;
    case 0x2:
        value = ZEVDwarfReadUInt16(cursor);
        break;
    case 0x3:
        value = ZEVDwarfReadUInt32(cursor);
        break;
    case 0x9:
        value = static_cast<std::uint64_t>(ZEVDwarfReadSLEB128(cursor));
        break;
    case 0xA:
        value = static_cast<std::uint64_t>(
            static_cast<std::int64_t>(static_cast<std::int16_t>(ZEVDwarfReadUInt16(cursor))));
        break;
    case 0xB:
        value = static_cast<std::uint64_t>(
            static_cast<std::int64_t>(static_cast<std::int32_t>(ZEVDwarfReadUInt32(cursor))));
        break;
    default:
        ZEVSDKLog("%s: Unhandled: encoding 0x%02x\n", "ZEVParseAddressWithEncodingAndAdvance", encoding);
        return kDwarfInvalidAddress;
    }
    if (cursor->failed) return kDwarfInvalidAddress;
    switch (encoding & 0x70) {
    case 0x00:
        break;
    case 0x10:
        value += fieldStart;
        break;
    case 0x30:
        if (dataBase == 0) return kDwarfInvalidAddress;
        value += dataBase;
        break;
    default:
        ZEVSDKLog("%s: Unhandled: relative encoding 0x%02x\n", "ZEVParseAddressWithEncodingAndAdvance",
                  encoding);
        return kDwarfInvalidAddress;
    }
    if ((encoding & 0x80) != 0) {
        if (value == 0) return kDwarfInvalidAddress;
        std::uint64_t indirect = 0;
        if (!readUnwindMemory(cursor->memory, value, &indirect, sizeof indirect)) return kDwarfInvalidAddress;
        value = indirect;
    }
    return value;
}
