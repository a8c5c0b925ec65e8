#pragma once
// Host facts for the crash context and the record: documents volume, OS version, the "host" metadata
// section and the crash-time "storage" section. (The page size is the allocator's: ZEVAllocator.hpp.)
#include <cstdint>

struct ZEVFile;

// Fills the host part of the read-only context: page size and the documents directory path.
void ZEVHostInitialize();
// major * 10000 for OS majors 4 to 9, else 0.
std::uint32_t ZEVHostGetOSVersionNumber();
namespace zevuzavidav {
std::uint32_t osVersionNumberForMajor(int major);
} // namespace zevuzavidav
// Writes the "host" section; true.
bool ZEVHostRecordHostInfo(ZEVFile* file);
// Writes the "storage" section (free and total bytes of the documents volume, or an empty object).
// Signal-safe.
void ZEVHostRecordStorage(ZEVFile* file);
