#pragma once
// The process-wide crash context: everything crash capture needs, prepared once at start inside the
// allocator's guarded mapping, so that handlers find every path, limit and saved handler ready
// without allocating.
//
// ZEVContextInitialize builds it, installs the handlers (unless a tracer is attached) and writes the
// launch's metadata; it blocks for at most 5 seconds. ZEVContextIsInitialized may be false for a
// moment after it returns. The crash claim is one atomic exchange: exactly one crashing thread wins.
#include "platform/dispatch/SerialQueue.hpp"
#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"
#include "sdk/zevuzavidav/capture/ZEVMachExceptionTypes.hpp"
#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"
#include "sdk/zevuzavidav/context/ZEVAllocator.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImageNode.hpp"
#include "sdk/zevuzavidav/logging/ZEVUserLoggingTypes.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <atomic>
#include <cstdint>
#include <memory>

// Sent after a fatal exception was recorded.
class ZEVCrashSubmissionTarget {
  public:
    virtual ~ZEVCrashSubmissionTarget() = default;
    virtual void potentiallySubmittableCrashOccurred() = 0;
};

// Called synchronously on the crashing thread once the crash is recorded.
class ZEVCrashCallbackTarget {
  public:
    virtual ~ZEVCrashCallbackTarget() = default;
    virtual void deliverCrashDelegateCallback() = 0;
};

struct ZEVContextInitData {
    const char* apiKey = nullptr;
    ZEVCrashSubmissionTarget* submissionTarget = nullptr;
    std::uint8_t firstInstall = 0;
    ZEVCrashCallbackTarget* crashCallbackTarget = nullptr;
    const char* customBundleIdentifier = nullptr;
    const char* reportDirectory = nullptr;
    const char* reportIdentifier = nullptr;
    const char* installationIdentifier = nullptr;
    const char* betaToken = nullptr;
    std::uint32_t machExceptionMask = 0;
    std::uint8_t errorReportingEnabled = 0;
    std::uint8_t customExceptionsEnabled = 0;
    std::uint32_t maxCustomExceptions = 0;
    std::uint32_t errorLogBufferSize = 0;
    std::uint32_t logBufferSize = 0;
    std::uint32_t maxCustomKeys = 0;
};

struct ZEVHostReadOnlyContext {
    const char* documentsPath;
    std::uint64_t pageSize;
};

struct ZEVReadOnlyContext {
    std::atomic<std::uint8_t> initialized;
    std::uint8_t debuggerAttached;
    const char* sdkLogPath;
    void* signalStack;
    void* machExceptionStack;
    ZEVCrashSubmissionTarget* submissionTarget;
    ZEVCrashCallbackTarget* crashCallbackTarget;
    std::uint8_t firstInstall;
    const char* binaryImagePath;
    ZEVExceptionReadOnlyContext exception;
    ZEVHostReadOnlyContext host;
    ZEVSignalReadOnlyContext signal;
    ZEVMachExceptionReadOnlyContext machException;
    ZEVUserLoggingReadOnlyContext logging;
};

struct ZEVWritableContext {
    std::atomic<std::int32_t> sdkLogDescriptor;
    std::atomic<std::uint8_t> crashClaimed;
    ZEVFile binaryImageLog;
    ZEVBinaryImageRuntimeNode images[ZEVBinaryImageTableSize];
    ZEVUserLoggingWritableContext logging;
};

struct ZEVContext {
    ZEVReadOnlyContext* readOnly = nullptr;
    ZEVWritableContext* writable = nullptr;
    ZEVAllocator* allocator = nullptr;
    std::shared_ptr<dispatch::SerialQueue> loggingQueue;
    std::shared_ptr<dispatch::SerialQueue> binaryImagesQueue;
    std::shared_ptr<dispatch::SerialQueue> exceptionQueue;
};

constexpr std::uint64_t ZEVStackSize = 0x40000;
constexpr std::uint64_t ZEVWritableRequest = 544856;
constexpr std::uint64_t ZEVReadOnlyRequest = 17040;
static_assert(2 * ZEVStackSize + sizeof(ZEVWritableContext) <= ZEVWritableRequest,
              "the writable region holds both stacks and the writable context");

void ZEVContextInitialize(const ZEVContextInitData* data);
// The first step of ZEVContextInitialize: new queues (the earlier ones released), a new allocator with
// the read-only and writable parts and both stacks, initialized 0. The earlier mapping is kept: handlers
// of an earlier context may still point into it.
void ZEVContextCreate();
bool ZEVContextIsInitialized();
// The crash claim: false for the first caller once initialized (it records); true for every later
// caller; false without claiming before initialization.
bool ZEVContextMarkAndCheckIfCrashed();
// For a handler that lost the crash claim: gives the winner up to five seconds to finish its record
// and end the process, then ends it with status 1. Signal-safe; does not return.
[[noreturn]] void ZEVContextEndAfterClaimedCrash();
void ZEVContextRecordMetadata(const char* reportDirectory, const ZEVContextInitData* data);

// Parts of the current context, null (below 4096) when absent.
ZEVContext& ZEVContextShared();
ZEVReadOnlyContext* ZEVContextReadOnly();
ZEVWritableContext* ZEVContextWritable();
ZEVAllocator* ZEVContextAllocator();

// Report directory + file name, copied into the read-only region.
const char* ZEVContextMakePath(const char* directory, const char* fileName);
