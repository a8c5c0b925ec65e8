#include "sdk/zevuzavidav/logging/ZEVUserLogging.hpp"

#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/context/DispatchSync.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include <cstdio>
#include <string>
#include <unordered_map>

namespace {

std::shared_ptr<dispatch::SerialQueue> loggingQueue() {
    return zevuzavidav::sharedCrashContext().loggingQueue;
}

// Insertion-ordered pairs: the oldest keys are the ones dropped when the set is over its maximum.
struct OrderedPairs {
    std::vector<std::string> keys;
    std::unordered_map<std::string, std::string> values;

    void set(const std::string& key, const std::string& value) {
        if (values.find(key) == values.end()) keys.push_back(key);
        values[key] = value;
    }
    void remove(const std::string& key) {
        if (values.erase(key) == 0) return;
        for (auto it = keys.begin(); it != keys.end(); ++it) {
            if (*it == key) {
                keys.erase(it);
                break;
            }
        }
    }
};

void writePairs(ZEVFile* file, const std::vector<std::pair<std::string, std::string>>* pairs,
                const char* key) {
    if (pairs == nullptr || pairs->empty()) return;
    ZEVFileWriteKey(file, key);
    ZEVFileWriteArrayStart(file);
    for (const auto& [name, value] : *pairs) {
        ZEVFileWriteArrayStart(file);
        ZEVFileWriteHexStringElement(file, name.c_str());
        ZEVFileWriteHexStringElement(file, value.c_str());
        ZEVFileWriteArrayEnd(file);
    }
    ZEVFileWriteArrayEnd(file);
}

} // namespace

void zevuzavidav::prepareUserLoggingPaths(ZEVUserLoggingReadOnlyContext* part, const char* directory,
                                          const ZEVContextInitData* data) {
    if (part == nullptr || data == nullptr) return;
    part->userStore = {zevuzavidav::makeContextPath(directory, "user_incremental_kv.zevrecord"),
                       zevuzavidav::makeContextPath(directory, "user_compacted_kv.zevrecord"), 64,
                       data->maxCustomKeys};
    part->internalStore = {zevuzavidav::makeContextPath(directory, "internal_incremental_kv.zevrecord"),
                           zevuzavidav::makeContextPath(directory, "internal_compacted_kv.zevrecord"), 64,
                           32};
    part->logStore = {zevuzavidav::makeContextPath(directory, "log_a.zevrecord"),
                      zevuzavidav::makeContextPath(directory, "log_b.zevrecord"),
                      data->logBufferSize,
                      0,
                      true,
                      nullptr};
    part->errorStore = {zevuzavidav::makeContextPath(directory, "errors_a.zevrecord"),
                        zevuzavidav::makeContextPath(directory, "errors_b.zevrecord"),
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

void ZEVUserLoggingRecordUserKeyValue(const char* key, const std::optional<std::string>& value) {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (readOnly == nullptr || writable == nullptr) return;
    ZEVUserLoggingRecordKeyValue(key, value, &readOnly->logging.userStore, &writable->logging.userKVCount);
}

void ZEVUserLoggingRecordInternalKeyValue(const char* key, const std::optional<std::string>& value) {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (readOnly == nullptr || writable == nullptr) return;
    ZEVUserLoggingRecordKeyValue(key, value, &readOnly->logging.internalStore,
                                 &writable->logging.internalKVCount);
}

void ZEVUserLoggingRecordKeyValue(const char* key, const std::optional<std::string>& value,
                                  ZEVUserLoggingKVStorage* store, std::uint32_t* counter) {
    if (key == nullptr || !ZEVContextIsInitialized()) return;
    auto queue = loggingQueue();
    if (!queue) return;
    std::string keyCopy = key;
    zevuzavidav::dispatchSync(*queue, [&] {
        ZEVUserLoggingWriteKeyValue(keyCopy.c_str(), value ? value->c_str() : nullptr, store, counter);
    });
}

void ZEVUserLoggingWriteInternalKeyValue(const char* key, const char* value) {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (readOnly == nullptr || writable == nullptr) return;
    ZEVUserLoggingWriteKeyValue(key, value, &readOnly->logging.internalStore,
                                &writable->logging.internalKVCount);
}

void ZEVUserLoggingWriteKeyValue(const char* key, const char* value, ZEVUserLoggingKVStorage* store,
                                 std::uint32_t* counter) {
    if (store == nullptr || counter == nullptr) {
        ZEVSDKLog("%s: Bad parameters\n", "ZEVUserLoggingWriteKeyValue");
        return;
    }
    ZEVFile file;
    if (!ZEVFileInitWithPath(&file, store->incrementalPath, true)) {
        ZEVSDKLog("%s: Unable to open k-v file\n", "ZEVUserLoggingWriteKeyValue");
        return;
    }
    ZEVFileWriteSectionStart(&file, "kv");
    ZEVFileWriteObjectStart(&file);
    ZEVFileWriteHexStringEntry(&file, "key", key);
    ZEVFileWriteHexStringEntry(&file, "value", value);
    ZEVFileWriteObjectEnd(&file);
    ZEVFileWriteSectionEnd(&file);
    ZEVFileClose(&file);
    *counter += 1;
    if (*counter >= store->compactionThreshold) {
        // Reset now, so appends made before the compaction runs do not queue another one.
        *counter = 0;
        if (auto queue = loggingQueue()) queue->async([store] { ZEVUserLoggingCompactKVEntries(store); });
    }
}

void ZEVUserLoggingCompactKVEntries(ZEVUserLoggingKVStorage* store) {
    if (store == nullptr) {
        ZEVSDKLog("%s: Error: storage invalid\n", "ZEVUserLoggingCompactKVEntries");
        return;
    }
    auto onlyPairs = [](const nlohmann::json& section) {
        if (!ZEVContextIsInitialized() || !section.contains("kv") || !section["kv"].is_object()) {
            return nlohmann::json();
        }
        return section["kv"];
    };
    auto compacted = ZEVFileReadSections(store->compactedPath, true, onlyPairs);
    auto incremental = ZEVFileReadSections(store->incrementalPath, true, onlyPairs);
    OrderedPairs pairs;
    auto apply = [&](const std::optional<std::vector<nlohmann::json>>& lines) {
        if (!lines) return;
        for (const auto& pair : *lines) {
            if (!pair.contains("key") || !pair["key"].is_string()) continue;
            const auto& value = pair.contains("value") ? pair["value"] : nlohmann::json();
            if (value.is_string()) {
                pairs.set(pair["key"].get<std::string>(), value.get<std::string>());
            } else {
                pairs.remove(pair["key"].get<std::string>());
            }
        }
    };
    apply(compacted);
    apply(incremental);

    if (pairs.keys.size() > store->maxEntries) {
        ZEVSDKLog("%s: Truncating KV set, which is above max %d\n", "ZEVUserLoggingCompactKVEntries",
                  static_cast<int>(store->maxEntries));
        std::size_t excess = pairs.keys.size() - store->maxEntries;
        if (excess < pairs.keys.size()) {
            std::vector<std::string> dropped(pairs.keys.begin(),
                                             pairs.keys.begin() + static_cast<long>(excess));
            for (const auto& key : dropped)
                pairs.remove(key);
        } else {
            ZEVSDKLog("%s: Error: Computed a bad count of keys to remove\n",
                      "ZEVUserLoggingCompactKVEntries");
        }
    }

    // The new compacted file is written beside the old one and renamed over it, so a crash at any point
    // leaves either the old or the new set, and the incremental file until the rename succeeded.
    std::string temporary = std::string(store->compactedPath) + ".tmp";
    ZEVFile file;
    if (!ZEVFileInitWithPathMode(&file, temporary.c_str(), false, true)) {
        ZEVSDKLog("%s: Error: Unable to open compacted k-v file\n", "ZEVUserLoggingCompactKVEntries");
        return;
    }
    for (const auto& key : pairs.keys) {
        ZEVFileWriteSectionStart(&file, "kv");
        ZEVFileWriteObjectStart(&file);
        ZEVFileWriteStringEntry(&file, "key", key.c_str());
        ZEVFileWriteStringEntry(&file, "value", pairs.values[key].c_str());
        ZEVFileWriteObjectEnd(&file);
        ZEVFileWriteSectionEnd(&file);
    }
    std::uint64_t written = 0;
    if (!ZEVFileCloseWithOffset(&file, &written) ||
        std::rename(temporary.c_str(), store->compactedPath) != 0) {
        ZEVSDKLog("%s: Error: Unable to remove compacted KV store before compaction %s\n",
                  "ZEVUserLoggingCompactKVEntries", store->compactedPath);
        ZEVUnlinkIfExists(temporary.c_str());
        return;
    }
    if (!ZEVUnlinkIfExists(store->incrementalPath)) {
        ZEVSDKLog("%s: Error: Unable to remove incremental KV store after compaction %s\n",
                  "ZEVUserLoggingCompactKVEntries", store->incrementalPath);
    }
}

void ZEVUserLoggingRecordError(const zevuzavidav::LoggedError& error,
                               const std::vector<std::pair<std::string, std::string>>* extra) {
    if (!ZEVContextIsInitialized()) return;
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (readOnly == nullptr || writable == nullptr) return;
    std::vector<std::uint64_t> stack(zevuzavidav::kUnwindMaxFrames);
    ZEVUnwindContext cursor;
    zevuzavidav::captureCurrentRegisters(&cursor.registers);
    std::uint32_t frames = 0;
    if (ZEVUnwindInit(&cursor, &cursor.registers))
        frames = zevuzavidav::unwindNextFrames(&cursor, stack.data(), zevuzavidav::kUnwindMaxFrames);
    stack.resize(frames);
    std::uint64_t time = zevuzavidav::currentTimeSeconds();
    ZEVUserLoggingWriteAndCheckABFiles(&readOnly->logging.errorStore, &writable->logging.currentErrorFile,
                                       [&](ZEVFile* file) {
                                           ZEVFileWriteSectionStart(file, "error");
                                           ZEVFileWriteObjectStart(file);
                                           ZEVFileWriteHexStringEntry(file, "domain", error.domain.c_str());
                                           ZEVFileWriteInt64Entry(file, "code", error.code);
                                           ZEVFileWriteUInt64Entry(file, "time", time);
                                           ZEVFileWriteKey(file, "stacktrace");
                                           ZEVFileWriteArrayStart(file);
                                           for (std::uint64_t pc : stack)
                                               ZEVFileWriteUInt64Element(file, pc);
                                           ZEVFileWriteArrayEnd(file);
                                           writePairs(file, &error.userInfo, "info");
                                           writePairs(file, extra, "extra_info");
                                           ZEVFileWriteObjectEnd(file);
                                           ZEVFileWriteSectionEnd(file);
                                       });
}

void ZEVUserLoggingWriteAndCheckABFiles(ZEVUserLoggingABStorage* store, const char** currentFile,
                                        const std::function<void(ZEVFile*)>& writer) {
    if (store == nullptr || currentFile == nullptr || *currentFile == nullptr || !writer) return;
    if ((store->sizeLimited ? store->maxSize : store->maxEntries) == 0) return;
    auto queue = loggingQueue();
    if (!queue) return;
    zevuzavidav::dispatchSync(*queue, [&] {
        ZEVFile file;
        if (!ZEVFileInitWithPath(&file, *currentFile, true)) {
            ZEVSDKLog("%s: Unable to open log file\n", "__ZEVUserLoggingWriteAndCheckABFiles_block_invoke");
            return;
        }
        writer(&file);
        std::uint64_t size = 0;
        ZEVFileCloseWithOffset(&file, &size);
        if (!store->sizeLimited && store->entryCounter != nullptr) *store->entryCounter += 1;
        queue->async(
            [store, currentFile, size] { ZEVUserLoggingCheckAndSwapABFiles(store, currentFile, size); });
    });
}

void ZEVUserLoggingCheckAndSwapABFiles(ZEVUserLoggingABStorage* store, const char** currentFile,
                                       std::uint64_t fileSize) {
    if (store == nullptr || currentFile == nullptr) return;
    if (!store->sizeLimited) {
        if (store->entryCounter == nullptr) {
            ZEVSDKLog("%s: Error: storage has invalid pointer, but is restricted by entry count\n",
                      "ZEVUserLoggingCheckAndSwapABFiles");
            return;
        }
        if (*store->entryCounter < store->maxEntries) return;
        *store->entryCounter = 0;
    } else if (fileSize <= store->maxSize) {
        return;
    }
    const char* other = *currentFile == store->pathA ? store->pathB : store->pathA;
    if (other != nullptr && *other != '\0') ZEVUnlinkIfExists(other);
    *currentFile = other;
}
