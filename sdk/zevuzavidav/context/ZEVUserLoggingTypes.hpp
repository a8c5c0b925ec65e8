#pragma once
// The stores of user logging as they live in the crash context.
#include <cstdint>

struct ZEVUserLoggingKVStorage {
    const char* incrementalPath;
    const char* compactedPath;
    std::uint32_t compactionThreshold;
    std::uint32_t maxEntries;
};

struct ZEVUserLoggingABStorage {
    const char* pathA;
    const char* pathB;
    std::uint32_t maxSize;
    std::uint32_t maxEntries;
    bool sizeLimited;
    std::uint32_t* entryCounter;
};

struct ZEVUserLoggingReadOnlyContext {
    ZEVUserLoggingKVStorage userStore;
    ZEVUserLoggingKVStorage internalStore;
    ZEVUserLoggingABStorage logStore;
    ZEVUserLoggingABStorage errorStore;
    std::uint64_t startTime;
    std::uint64_t timebaseRatio;
};

struct ZEVUserLoggingWritableContext {
    const char* currentLogFile;
    const char* currentErrorFile;
    std::uint32_t userKVCount;
    std::uint32_t internalKVCount;
    std::uint32_t errorCount;
    std::uint32_t customExceptionCount;
};
