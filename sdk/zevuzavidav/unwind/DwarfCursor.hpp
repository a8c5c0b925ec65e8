#pragma once
// The data cursor of the DWARF readers: a bounded position in unwind tables or expression blocks that
// each reader advances past what it read.
//
// Every read is checked against the cursor's end; a failed read marks the cursor failed and every later
// read on it fails too (giving 0), so a reader may check once after a group of reads. A cursor over a
// range the unwind memory reads in place reads directly; any other goes through the memory's checked
// copies. Damaged or hostile tables give a failed cursor, never a fault. Signal-safe.
#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zevuzavidav {
struct DwarfCursor {
    std::uintptr_t at = 0;
    std::uintptr_t end = 0;
    bool failed = false;
    bool inPlace = false;           // [at, end) is read in place
    UnwindMemory* memory = nullptr; // null: each read is a checked copy of its own
};

// A cursor over [start, end), for a caller that knows whether the range is read in place; failed at
// once for a start below 4096 or an end before the start.
inline void initDwarfCursorKnown(DwarfCursor* cursor, std::uintptr_t start, std::uintptr_t end,
                                 UnwindMemory* memory, bool inPlace) {
    cursor->memory = memory;
    cursor->at = start;
    cursor->end = end;
    cursor->failed = darwin::isNullAddress(start) || end < start;
    cursor->inPlace = inPlace && !cursor->failed;
}
// A cursor over [start, end), read in place when the unwind memory reads the whole range in place.
inline void initDwarfCursor(DwarfCursor* cursor, std::uintptr_t start, std::uintptr_t end,
                            UnwindMemory* memory = nullptr) {
    initDwarfCursorKnown(cursor, start, end, memory,
                         end >= start && isUnwindMemoryInPlace(memory, start, end - start));
}
bool readDwarfBytes(DwarfCursor* cursor, void* out, std::size_t n);
// Moves past `n` bytes without reading them; fails when fewer are left.
bool skipDwarfBytes(DwarfCursor* cursor, std::uint64_t n);

// Whether the next `n` bytes can be read straight from where the cursor stands. The readers below take
// this path inline and leave everything else (checked copies, the end, a failed cursor) to calls.
inline bool dwarfBytesInPlace(const DwarfCursor* cursor, std::size_t n) {
    return cursor->inPlace && !cursor->failed && cursor->at <= cursor->end && n <= cursor->end - cursor->at;
}
// A little-endian value of the host's width; 0 when it cannot be read (the cursor then says so).
template <typename T> inline T readDwarfFixed(DwarfCursor* cursor) {
    T value = 0;
    if (dwarfBytesInPlace(cursor, sizeof value)) {
        std::memcpy(&value, reinterpret_cast<const void*>(cursor->at), sizeof value);
        cursor->at += sizeof value;
    } else {
        readDwarfBytes(cursor, &value, sizeof value);
    }
    return value;
}
std::uint64_t readDwarfLEB128Checked(DwarfCursor* cursor, bool isSigned);
} // namespace zevuzavidav

inline std::uint8_t ZEVDwarfReadUInt8(zevuzavidav::DwarfCursor* cursor) {
    return zevuzavidav::readDwarfFixed<std::uint8_t>(cursor);
}
inline std::uint16_t ZEVDwarfReadUInt16(zevuzavidav::DwarfCursor* cursor) {
    return zevuzavidav::readDwarfFixed<std::uint16_t>(cursor);
}
inline std::uint32_t ZEVDwarfReadUInt32(zevuzavidav::DwarfCursor* cursor) {
    return zevuzavidav::readDwarfFixed<std::uint32_t>(cursor);
}
inline std::uint64_t ZEVDwarfReadUInt64(zevuzavidav::DwarfCursor* cursor) {
    return zevuzavidav::readDwarfFixed<std::uint64_t>(cursor);
}
// At most 8 bytes are consumed (56 value bits); the signed form sign-extends from the last bit read.
// A value of one byte, the usual case in call-frame instructions, is read inline.
inline std::uint64_t ZEVDwarfReadULEB128(zevuzavidav::DwarfCursor* cursor) {
    if (zevuzavidav::dwarfBytesInPlace(cursor, 1)) {
        const std::uint8_t byte = *reinterpret_cast<const std::uint8_t*>(cursor->at);
        if (byte < 0x80) {
            ++cursor->at;
            return byte;
        }
    }
    return zevuzavidav::readDwarfLEB128Checked(cursor, false);
}
inline std::int64_t ZEVDwarfReadSLEB128(zevuzavidav::DwarfCursor* cursor) {
    if (zevuzavidav::dwarfBytesInPlace(cursor, 1)) {
        const std::uint8_t byte = *reinterpret_cast<const std::uint8_t*>(cursor->at);
        if (byte < 0x80) {
            ++cursor->at;
            return (byte & 0x40) != 0 ? static_cast<std::int64_t>(byte) - 0x80 : byte;
        }
    }
    return static_cast<std::int64_t>(zevuzavidav::readDwarfLEB128Checked(cursor, true));
}
// Address of a zero-terminated string at the cursor; the cursor moves past the zero.
std::uintptr_t ZEVDwarfReadString(zevuzavidav::DwarfCursor* cursor);
// A 32-bit length, or the following 64-bit one after 0xFFFFFFFF.
inline std::uint64_t ZEVDwarfReadInitialLength(zevuzavidav::DwarfCursor* cursor) {
    const std::uint32_t length = ZEVDwarfReadUInt32(cursor);
    return length == 0xFFFFFFFFU ? ZEVDwarfReadUInt64(cursor) : length;
}

namespace zevuzavidav {
constexpr std::uint64_t kDwarfInvalidAddress = ~0ULL;
} // namespace zevuzavidav
namespace zevuzavidav {
std::uint64_t parseDwarfAddressChecked(DwarfCursor* cursor, std::uint8_t encoding, std::uintptr_t dataBase);
} // namespace zevuzavidav
// A pointer in a DW_EH_PE encoding; zevuzavidav::kDwarfInvalidAddress on failure. `dataBase` serves the
// data-relative application (0 refuses it). An indirect pointer is read through the cursor's memory.
// What linkers write in every FDE (4 bytes, absolute or pc-relative, direct) is read inline.
inline std::uint64_t ZEVParseAddressWithEncodingAndAdvance(zevuzavidav::DwarfCursor* cursor,
                                                           std::uint8_t encoding,
                                                           std::uintptr_t dataBase = 0) {
    const std::uint8_t format = encoding & 0x0F;
    const std::uint8_t application = encoding & 0xF0;
    if ((format == 0x0B || format == 0x03) && (application == 0x00 || application == 0x10) &&
        cursor != nullptr && zevuzavidav::dwarfBytesInPlace(cursor, 4)) {
        const std::uintptr_t field = cursor->at;
        std::uint32_t bits = 0;
        std::memcpy(&bits, reinterpret_cast<const void*>(field), sizeof bits);
        cursor->at += sizeof bits;
        const std::uint64_t value =
            format == 0x0B
                ? static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(bits)))
                : bits;
        return application == 0x10 ? value + field : value;
    }
    return zevuzavidav::parseDwarfAddressChecked(cursor, encoding, dataBase);
}
