#include "sdk/zevuzavidav/kit/ZEVContextInitialize.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/base/ZEVKitVersion.hpp"
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
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::string joinPath(const char* directory, const char* fileName) {
    std::string path = directory != nullptr ? directory : "";
    if (!path.empty() && path.back() != '/') path += '/';
    return path + fileName;
}

} // namespace

void ZEVContextInitialize(const ZEVContextInitData* data) {
    if (data == nullptr) return;
    darwin::prepareGuardedReads();
    darwin::prepareThreadSuspension();
    zevuzavidav::makeUnwindRuleCacheResident();
    ZEVContextCreate();
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedCrashContext().readOnly;
    ZEVWritableContext* writable = zevuzavidav::sharedCrashContext().writable;
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
    auto initialize = [group, copy, directoryCopy, texts, installHandlers, exceptionPort, readOnly,
                       writable]() mutable {
        // The start record's texts are only borrowed for the call; the blocks use copies.
        copy.apiKey = texts[0].c_str();
        copy.customBundleIdentifier = copy.customBundleIdentifier ? texts[1].c_str() : nullptr;
        copy.reportIdentifier = texts[2].c_str();
        copy.installationIdentifier = texts[3].c_str();
        copy.betaToken = copy.betaToken ? texts[4].c_str() : nullptr;
        std::vector<std::thread> blocks;
        blocks.push_back(darwin::startThread(
            nullptr, [&] { ZEVUserLoggingInitialize(&readOnly->logging, &writable->logging); }));
        blocks.push_back(darwin::startThread(nullptr, [] { ZEVBinaryImageInit(); }));
        if (installHandlers) {
            blocks.push_back(darwin::startThread(nullptr, [&] {
                if (exceptionPort) ZEVMachExceptionInit(&readOnly->machException, copy.machExceptionMask);
                ZEVExceptionInitialize(&readOnly->exception, &writable->logging.customExceptionCount);
            }));
        }
        blocks.push_back(
            darwin::startThread(nullptr, [&] { ZEVContextRecordMetadata(directoryCopy.c_str(), &copy); }));
        for (auto& block : blocks)
            block.join();
        readOnly->initialized.store(1, std::memory_order_seq_cst);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (!ZEVAllocatorProtect(zevuzavidav::sharedCrashContext().allocator))
            ZEVSDKLog("%s: Error: Memory protection failed\n", "ZEVContextInitialize");
        std::lock_guard lock(group->mutex);
        group->finished = true;
        group->done.notify_all();
    };
    std::thread initializing = darwin::startThread(nullptr, std::move(initialize));

    std::unique_lock lock(group->mutex);
    const bool finished =
        group->done.wait_for(lock, std::chrono::seconds(5), [&] { return group->finished; });
    lock.unlock();
    // Joined, not left to end detached: a detached thread frees its own stack as it ends, with every signal
    // held off, and the lock it takes for that may wake a waiter with a futex call that a sandbox's filter
    // traps, which the kernel then answers by ending the process. The joiner frees it with signals let in.
    if (finished) {
        initializing.join();
    } else {
        ZEVSDKLog("%s: Error: Delayed initialization\n", "ZEVContextInitialize");
        initializing.detach();
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
    ZEVFileWriteStringEntry(&file, "generator", zevuzavidav::kKitAgent.text);
    ZEVFileWriteStringEntry(&file, "build_version", zevuzavidav::kKitBuildVersion);
    ZEVFileWriteStringEntry(&file, "display_version", zevuzavidav::kKitDisplayVersion);
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
