#include "sdk/zevuzavidav/context/ZEVContext.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"
#include "sdk/zevuzavidav/capture/ZEVMachException.hpp"
#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"
#include "sdk/zevuzavidav/context/PlatformFacts.hpp"
#include "sdk/zevuzavidav/context/ZEVHost.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"
#include "sdk/zevuzavidav/logging/ZEVUserLogging.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uintptr_t kNullLimit = 4096;

// The context outlives everything: it is never destroyed, so a terminate, an image unload or a logged
// error during or after static destruction still finds its queues and parts. Constant-initialised, so
// it is usable before any constructor of the process has run.
union NeverDestroyed {
    ZEVContext context;
    constexpr NeverDestroyed() : context() {}
    ~NeverDestroyed() {}
};
constinit NeverDestroyed storage;
ZEVContext& sharedContext = storage.context;

template <typename T> T* valid(T* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer) >= kNullLimit ? pointer : nullptr;
}

std::string joinPath(const char* directory, const char* fileName) {
    std::string path = directory != nullptr ? directory : "";
    if (!path.empty() && path.back() != '/') path += '/';
    return path + fileName;
}

void logProtectionResult(bool protectedOk) {
    if (!protectedOk) ZEVSDKLog("%s: Error: Memory protection failed\n", "ZEVContextInitialize");
}

} // namespace

void ZEVContextCreate() {
    sharedContext.loggingQueue =
        std::make_shared<dispatch::SerialQueue>("com.rizudiz.zevuzavidav.ios.logging");
    sharedContext.binaryImagesQueue =
        std::make_shared<dispatch::SerialQueue>("com.rizudiz.zevuzavidav.ios.binary-images");
    sharedContext.exceptionQueue =
        std::make_shared<dispatch::SerialQueue>("com.rizudiz.zevuzavidav.ios.exception");
    // The earlier mapping, if any, is left in place: handlers of the earlier context may still point
    // into it, so it is never unmapped.
    sharedContext.readOnly = nullptr;
    sharedContext.writable = nullptr;
    ZEVAllocator* allocator =
        ZEVAllocatorCreate(zevuzavidav::kWritableRequest, zevuzavidav::kReadOnlyRequest);
    sharedContext.allocator = allocator;
    auto* readOnly = static_cast<ZEVReadOnlyContext*>(
        ZEVAllocatorSafeAllocate(allocator, sizeof(ZEVReadOnlyContext), zevuzavidav::kAllocationReadOnly));
    std::memset(static_cast<void*>(readOnly), 0, sizeof(ZEVReadOnlyContext));
    readOnly->machExceptionStack =
        ZEVAllocatorSafeAllocate(allocator, zevuzavidav::kStackSize, zevuzavidav::kAllocationWritable);
    readOnly->signalStack =
        ZEVAllocatorSafeAllocate(allocator, zevuzavidav::kStackSize, zevuzavidav::kAllocationWritable);
    std::memset(readOnly->machExceptionStack, 0, zevuzavidav::kStackSize);
    std::memset(readOnly->signalStack, 0, zevuzavidav::kStackSize);
    auto* writable = static_cast<ZEVWritableContext*>(
        ZEVAllocatorSafeAllocate(allocator, sizeof(ZEVWritableContext), zevuzavidav::kAllocationWritable));
    std::memset(static_cast<void*>(writable), 0, sizeof(ZEVWritableContext));
    writable->crashClaimed.store(0);
    writable->binaryImageLog.descriptor = -1;
    readOnly->initialized.store(0);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    sharedContext.readOnly = readOnly;
    sharedContext.writable = writable;
}

ZEVContext& zevuzavidav::sharedCrashContext() {
    return sharedContext;
}
ZEVReadOnlyContext* zevuzavidav::sharedReadOnlyContext() {
    return valid(sharedContext.readOnly);
}
ZEVWritableContext* zevuzavidav::sharedWritableContext() {
    return valid(sharedContext.writable);
}
ZEVAllocator* zevuzavidav::contextAllocator() {
    return valid(sharedContext.allocator);
}

const char* zevuzavidav::makeContextPath(const char* directory, const char* fileName) {
    return ZEVDuplicateString(contextAllocator(), joinPath(directory, fileName).c_str());
}

bool ZEVContextIsInitialized() {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    if (readOnly == nullptr) return false;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    return readOnly->initialized.load(std::memory_order_seq_cst) != 0;
}

bool ZEVContextMarkAndCheckIfCrashed() {
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (writable == nullptr || !ZEVContextIsInitialized()) return false;
    // One exchange: of two threads crashing at once, exactly one sees 0 and records.
    return writable->crashClaimed.exchange(1, std::memory_order_seq_cst) != 0;
}

void zevuzavidav::endAfterClaimedCrash() {
    // Ending at once would cut the winner's record short; it ends the process itself when done.
    for (int i = 0; i < 500; ++i) {
        timespec pause{0, 10 * 1000 * 1000};
        syscall(SYS_nanosleep, &pause, nullptr);
    }
    _exit(1);
}

void ZEVContextInitialize(const ZEVContextInitData* data) {
    if (data == nullptr) return;
    darwin::prepareGuardedReads();
    darwin::prepareThreadSuspension();
    ZEVContextCreate();
    ZEVReadOnlyContext* readOnly = sharedContext.readOnly;
    ZEVWritableContext* writable = sharedContext.writable;
    const char* directory = data->reportDirectory;

    readOnly->sdkLogPath = zevuzavidav::makeContextPath(directory, "sdk.log");
    if (!ZEVUnlinkIfExists(readOnly->sdkLogPath)) {
        ns::console(std::string("[Zevuzavidav:Crash] Unable to write initialize SDK write paths ") +
                    std::strerror(errno));
    }
    // A descriptor of an earlier start stays open: a line of another thread may still be on its way.
    zevuzavidav::setSDKLogPath(readOnly->sdkLogPath);
    readOnly->debuggerAttached = ZEVProcessDebuggerAttached() ? 1 : 0;
    readOnly->submissionTarget = data->submissionTarget;
    readOnly->crashCallbackTarget = data->crashCallbackTarget;
    readOnly->firstInstall = data->firstInstall;

    // Paths are made here, on one thread, because the read-only region is shared by the blocks.
    readOnly->binaryImagePath = zevuzavidav::makeContextPath(directory, "binary_images.zevrecord");
    bool installHandlers = readOnly->debuggerAttached == 0;
    if (installHandlers) {
        readOnly->signal.path = zevuzavidav::makeContextPath(directory, "signal.zevrecord");
        readOnly->machException.path = zevuzavidav::makeContextPath(directory, "mach_exception.zevrecord");
        readOnly->exception.path = zevuzavidav::makeContextPath(directory, "exception.zevrecord");
        readOnly->exception.customPath =
            zevuzavidav::makeContextPath(directory, "custom_exception.zevrecord");
        readOnly->exception.customExceptionLimit =
            data->customExceptionsEnabled ? data->maxCustomExceptions : 0;
    } else {
        ZEVSDKLog("%s: Debugger present - not installing handlers\n", "ZEVContextInitialize");
    }
    zevuzavidav::prepareUserLoggingPaths(&readOnly->logging, directory, data);
    ZEVHostInitialize();

    // Faults go to the exception port first: its emulation owns the fault signals before the signal
    // handlers go in, so these become the fallback behind it. The alternate signal stack belongs to
    // the calling thread, so signals are installed here.
    bool exceptionPort = installHandlers && zevuzavidav::prepareMachExceptionEmulation();
    if (installHandlers) ZEVSignalInitialize(&readOnly->signal);

    struct Group {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto group = std::make_shared<Group>();
    ZEVContextInitData copy = *data;
    std::string directoryCopy = directory != nullptr ? directory : "";
    std::vector<std::string> texts = {data->apiKey ? data->apiKey : "",
                                      data->customBundleIdentifier ? data->customBundleIdentifier : "",
                                      data->reportIdentifier ? data->reportIdentifier : "",
                                      data->installationIdentifier ? data->installationIdentifier : "",
                                      data->betaToken ? data->betaToken : ""};
    std::thread([group, copy, directoryCopy, texts, installHandlers, exceptionPort, readOnly,
                 writable]() mutable {
        // The start record's texts are only borrowed for the call; the blocks use copies.
        copy.apiKey = texts[0].c_str();
        copy.customBundleIdentifier = copy.customBundleIdentifier ? texts[1].c_str() : nullptr;
        copy.reportIdentifier = texts[2].c_str();
        copy.installationIdentifier = texts[3].c_str();
        copy.betaToken = copy.betaToken ? texts[4].c_str() : nullptr;
        std::vector<std::thread> blocks;
        blocks.emplace_back([&] { ZEVUserLoggingInitialize(&readOnly->logging, &writable->logging); });
        blocks.emplace_back([] { ZEVBinaryImageInit(); });
        if (installHandlers) {
            blocks.emplace_back([&] {
                if (exceptionPort) ZEVMachExceptionInit(&readOnly->machException, copy.machExceptionMask);
                ZEVExceptionInitialize(&readOnly->exception, &writable->logging.customExceptionCount);
            });
        }
        blocks.emplace_back([&] { ZEVContextRecordMetadata(directoryCopy.c_str(), &copy); });
        for (auto& block : blocks)
            block.join();
        readOnly->initialized.store(1, std::memory_order_seq_cst);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        logProtectionResult(ZEVAllocatorProtect(sharedContext.allocator));
        std::lock_guard lock(group->mutex);
        group->finished = true;
        group->done.notify_all();
    }).detach();

    std::unique_lock lock(group->mutex);
    if (!group->done.wait_for(lock, std::chrono::seconds(5), [&] { return group->finished; })) {
        ZEVSDKLog("%s: Error: Delayed initialization\n", "ZEVContextInitialize");
    }
}

void ZEVContextRecordMetadata(const char* reportDirectory, const ZEVContextInitData* data) {
    std::string path = joinPath(reportDirectory, "metadata.zevrecord");
    if (!ZEVUnlinkIfExists(path.c_str())) {
        ZEVSDKLog("%s: Unable to unlink existing metadata file %s\n", "ZEVContextRecordMetadata",
                  path.c_str());
    }
    ZEVFile file;
    if (!ZEVFileInitWithPath(&file, path.c_str(), false)) {
        ZEVSDKLog("%s: Unable to open metadata file %s\n", "ZEVContextRecordMetadata", path.c_str());
        ZEVSDKLog("%s: Unable to record context metadata\n", "ZEVContextRecordMetadata");
        return;
    }
    ZEVFileWriteSectionStart(&file, "identity");
    ZEVFileWriteObjectStart(&file);
    ZEVFileWriteStringEntry(&file, "generator", "Zevuzavidav iOS SDK/3.4.0");
    ZEVFileWriteStringEntry(&file, "build_version", "92");
    ZEVFileWriteStringEntry(&file, "display_version", "3.4.0");
    ZEVFileWriteStringEntry(&file, "api_key", data->apiKey);
    ZEVFileWriteUInt64Entry(&file, "started_at", zevuzavidav::currentTimeSeconds());
    ZEVFileWriteStringEntry(&file, "session_id", data->reportIdentifier);
    ZEVFileWriteStringEntry(&file, "install_id", data->installationIdentifier);
    ZEVFileWriteStringEntry(&file, "beta_token", data->betaToken);
    ZEVFileWriteObjectEnd(&file);
    ZEVFileWriteSectionEnd(&file);

    if (!ZEVHostRecordHostInfo(&file)) {
        ZEVSDKLog("%s: Unable to write out host metadata\n", "ZEVContextRecordMetadata");
    }

    zevuzavidav::PlatformFacts facts = zevuzavidav::currentPlatformFacts();
    ZEVFileWriteSectionStart(&file, "application");
    ZEVFileWriteObjectStart(&file);
    ZEVFileWriteStringEntry(&file, "bundle_id", facts.escapedBundleIdentifier.c_str());
    ZEVFileWriteStringEntry(&file, "custom_bundle_id", data->customBundleIdentifier);
    ZEVFileWriteStringEntry(&file, "build_version", facts.bundleVersion.c_str());
    ZEVFileWriteStringEntry(&file, "display_version", facts.bundleShortVersion.c_str());
    ZEVFileWriteStringEntry(&file, "extension_id",
                            facts.extensionPointIdentifier ? facts.extensionPointIdentifier->c_str()
                                                           : nullptr);
    ZEVFileWriteObjectEnd(&file);
    ZEVFileWriteSectionEnd(&file);

    if (!ZEVBinaryImageRecordMainExecutable(&file)) {
        ZEVSDKLog("%s: Unable to write out executable metadata\n", "ZEVContextRecordMetadata");
    }
    ZEVFileClose(&file);
}
