#pragma once
// User logging: custom and internal key-value pairs and recorded non-fatal errors, written as record
// files of the launch's report folder so they survive a crash with no work at crash time.
//
// Every write happens on the logging queue; the recording calls dispatch to it synchronously, so a call
// returns once its line is written. Key-value pairs are appended to an incremental file and merged every
// 64 appends into a compacted file (written beside it and renamed over it, so a crash mid-rewrite loses
// no pair). Errors alternate between two files, so the newest entries stay within a bound. Failures
// drop the one operation and are logged to the SDK log.
#include "sdk/zevuzavidav/context/ZEVUserLoggingTypes.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ZEVContextInitData;
struct ZEVFile;

namespace zevuzavidav {
// An error as recorded: its domain, code and user-info texts (key and value descriptions).
struct LoggedError {
    std::string domain;
    std::int64_t code = 0;
    std::vector<std::pair<std::string, std::string>> userInfo;
};

// Paths (report directory + file names) and limits of the four stores, from the start record.
void prepareUserLoggingPaths(ZEVUserLoggingReadOnlyContext* part, const char* directory,
                             const ZEVContextInitData* data);
} // namespace zevuzavidav
// Thresholds, start time, current files A, counters 0.
void ZEVUserLoggingInitialize(ZEVUserLoggingReadOnlyContext* readOnly,
                              ZEVUserLoggingWritableContext* writable);

// A value is its description, or nothing (which removes the key at compaction).
void ZEVUserLoggingRecordUserKeyValue(const char* key, const std::optional<std::string>& value);
void ZEVUserLoggingRecordInternalKeyValue(const char* key, const std::optional<std::string>& value);
void ZEVUserLoggingRecordKeyValue(const char* key, const std::optional<std::string>& value,
                                  ZEVUserLoggingKVStorage* store, std::uint32_t* counter);
// For callers already on the logging queue.
void ZEVUserLoggingWriteInternalKeyValue(const char* key, const char* value);
void ZEVUserLoggingWriteKeyValue(const char* key, const char* value, ZEVUserLoggingKVStorage* store,
                                 std::uint32_t* counter);
void ZEVUserLoggingCompactKVEntries(ZEVUserLoggingKVStorage* store);

void ZEVUserLoggingRecordError(const zevuzavidav::LoggedError& error,
                               const std::vector<std::pair<std::string, std::string>>* extra);
void ZEVUserLoggingWriteAndCheckABFiles(ZEVUserLoggingABStorage* store, const char** currentFile,
                                        const std::function<void(ZEVFile*)>& writer);
void ZEVUserLoggingCheckAndSwapABFiles(ZEVUserLoggingABStorage* store, const char** currentFile,
                                       std::uint64_t fileSize);
