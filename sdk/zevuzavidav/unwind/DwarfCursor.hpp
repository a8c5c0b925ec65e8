#pragma once
// The data cursor of the DWARF readers: a bounded position in unwind tables or expression blocks that
// each reader advances past what it read.
//
// Every read is checked against the cursor's end; a failed read marks the cursor failed and every later
// read on it fails too (giving 0), so a reader may check once after a group of reads. A cursor over a
// range the unwind memory reads in place reads directly; any other goes through the memory's checked
// copies. Damaged or hostile tables give a failed cursor, never a fault. Signal-safe.
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"

#include <cstddef>
#include <cstdint>

namespace zevuzavidav {
struct DwarfCursor {
    std::uintptr_t at = 0;
    std::uintptr_t end = 0;
    bool failed = false;
    bool inPlace = false;           // [at, end) is read in place
    UnwindMemory* memory = nullptr; // null: each read is a checked copy of its own
};

// A cursor over [start, end); failed at once for a start below 4096 or an end before the start.
void initDwarfCursor(DwarfCursor* cursor, std::uintptr_t start, std::uintptr_t end,
                     UnwindMemory* memory = nullptr);
bool readDwarfBytes(DwarfCursor* cursor, void* out, std::size_t n);
// Moves past `n` bytes without reading them; fails when fewer are left.
bool skipDwarfBytes(DwarfCursor* cursor, std::uint64_t n);
} // namespace zevuzavidav
std::uint8_t ZEVDwarfReadUInt8(zevuzavidav::DwarfCursor* cursor);
std::uint16_t ZEVDwarfReadUInt16(zevuzavidav::DwarfCursor* cursor);
std::uint32_t ZEVDwarfReadUInt32(zevuzavidav::DwarfCursor* cursor);
std::uint64_t ZEVDwarfReadUInt64(zevuzavidav::DwarfCursor* cursor);
// At most 8 bytes are consumed (56 value bits); the signed form sign-extends from the last bit read.
std::uint64_t ZEVDwarfReadULEB128(zevuzavidav::DwarfCursor* cursor);
std::int64_t ZEVDwarfReadSLEB128(zevuzavidav::DwarfCursor* cursor);
// Address of a zero-terminated string at the cursor; the cursor moves past the zero.
std::uintptr_t ZEVDwarfReadString(zevuzavidav::DwarfCursor* cursor);
// A 32-bit length, or the following 64-bit one after 0xFFFFFFFF.
std::uint64_t ZEVDwarfReadInitialLength(zevuzavidav::DwarfCursor* cursor);

namespace zevuzavidav {
constexpr std::uint64_t kDwarfInvalidAddress = ~0ULL;
} // namespace zevuzavidav
// A pointer in a DW_EH_PE encoding; zevuzavidav::kDwarfInvalidAddress on failure. `dataBase` serves the
// data-relative application (0 refuses it). An indirect pointer is read through the cursor's memory.
std::uint64_t ZEVParseAddressWithEncodingAndAdvance(zevuzavidav::DwarfCursor* cursor, std::uint8_t encoding,
                                                    std::uintptr_t dataBase = 0);
