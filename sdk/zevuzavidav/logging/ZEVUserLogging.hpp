#pragma once
// User logging: the stores' paths and limits in the crash context. Key-value and error recording are
// built on these.
#include "sdk/zevuzavidav/logging/ZEVUserLoggingTypes.hpp"

struct ZEVContextInitData;

// Paths (report directory + file names) and limits of the four stores, from the start record.
void ZEVUserLoggingPreparePaths(ZEVUserLoggingReadOnlyContext* part, const char* directory,
                                const ZEVContextInitData* data);
// Thresholds, start time, current files A, counters 0.
void ZEVUserLoggingInitialize(ZEVUserLoggingReadOnlyContext* readOnly,
                              ZEVUserLoggingWritableContext* writable);
