#pragma once
// A bounded reader over memory of this process that may be bad: unwind tables and stack words.
//
// Every read is checked against the cursor's end and goes through the guarded read (through a small
// window cache), so corrupt or hostile tables give a failed cursor, never a fault. Signal-safe.
#include "sdk/zevuzavidav/unwind/ZEVReadablePages.hpp"

#include <cstddef>
#include <cstdint>

struct ZEVDwarfCursor {
    std::uintptr_t at = 0;
    std::uintptr_t end = 0;
    bool failed = false;
    std::uintptr_t windowStart = 0;
    std::size_t windowLength = 0;
    std::uint8_t window[128];
    ZEVReadablePages* pages = nullptr; // proven pages shared by the whole unwind, or null
};

void ZEVDwarfCursorInit(ZEVDwarfCursor* cursor, std::uintptr_t start, std::uintptr_t end,
                        ZEVReadablePages* pages = nullptr);
bool ZEVDwarfReadBytes(ZEVDwarfCursor* cursor, void* out, std::size_t n);
std::uint8_t ZEVDwarfReadUInt8(ZEVDwarfCursor* cursor);
std::uint16_t ZEVDwarfReadUInt16(ZEVDwarfCursor* cursor);
std::uint32_t ZEVDwarfReadUInt32(ZEVDwarfCursor* cursor);
std::uint64_t ZEVDwarfReadUInt64(ZEVDwarfCursor* cursor);
// At most 8 bytes are consumed (56 value bits); the signed form sign-extends from the last bit read.
std::uint64_t ZEVDwarfReadULEB128(ZEVDwarfCursor* cursor);
std::int64_t ZEVDwarfReadSLEB128(ZEVDwarfCursor* cursor);
// Address of a zero-terminated string at the cursor; the cursor moves past the zero.
std::uintptr_t ZEVDwarfReadString(ZEVDwarfCursor* cursor);
// A 32-bit length, or the following 64-bit one after 0xFFFFFFFF.
std::uint64_t ZEVDwarfReadInitialLength(ZEVDwarfCursor* cursor);

constexpr std::uint64_t ZEVDwarfInvalidAddress = ~0ULL;
// A pointer in a DW_EH_PE encoding; ZEVDwarfInvalidAddress on failure. `dataBase` serves the
// data-relative application (0 refuses it).
std::uint64_t ZEVParseAddressWithEncodingAndAdvance(ZEVDwarfCursor* cursor, std::uint8_t encoding,
                                                    std::uintptr_t dataBase = 0);
