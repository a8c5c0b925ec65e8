#include "sdk/zevuzavidav/logging/ZEVUserLogging.hpp"

#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/support/ZEVUtilities.hpp"

void ZEVUserLoggingPreparePaths(ZEVUserLoggingReadOnlyContext* part, const char* directory,
                                const ZEVContextInitData* data) {
    if (part == nullptr || data == nullptr) return;
    part->userStore = {ZEVContextMakePath(directory, "user_incremental_kv.zevrecord"),
                       ZEVContextMakePath(directory, "user_compacted_kv.zevrecord"), 64, data->maxCustomKeys};
    part->internalStore = {ZEVContextMakePath(directory, "internal_incremental_kv.zevrecord"),
                           ZEVContextMakePath(directory, "internal_compacted_kv.zevrecord"), 64, 32};
    part->logStore = {ZEVContextMakePath(directory, "log_a.zevrecord"),
                      ZEVContextMakePath(directory, "log_b.zevrecord"),
                      data->logBufferSize,
                      0,
                      true,
                      nullptr};
    part->errorStore = {ZEVContextMakePath(directory, "errors_a.zevrecord"),
                        ZEVContextMakePath(directory, "errors_b.zevrecord"),
                        0,
                        data->errorReportingEnabled ? data->maxCustomExceptions : 0,
                        false,
                        nullptr};
}

void ZEVUserLoggingInitialize(ZEVUserLoggingReadOnlyContext* readOnly,
                              ZEVUserLoggingWritableContext* writable) {
    if (readOnly == nullptr || writable == nullptr) return;
    readOnly->userStore.compactionThreshold = 64;
    readOnly->internalStore.compactionThreshold = 64;
    readOnly->errorStore.entryCounter = &writable->errorCount;
    readOnly->startTime = ZEVProfilingStart();
    readOnly->timebaseRatio = 1; // the monotonic clock already counts nanoseconds
    writable->currentLogFile = readOnly->logStore.pathA;
    writable->currentErrorFile = readOnly->errorStore.pathA;
    writable->userKVCount = 0;
    writable->internalKVCount = 0;
    writable->errorCount = 0;
}
