#include "sdk/zevuzavidav/capture/ZEVMachException.hpp"

#include "platform/darwin/ExceptionPorts.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"
#include "sdk/zevuzavidav/context/RecordingTurn.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/context/ZEVHost.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <atomic>
#include <csignal>
#include <cstring>
#include <pthread.h>

namespace {

void writeSection(ZEVFile* file, const darwin::ExceptionRequest& request, std::uint32_t savedCount) {
    std::uint32_t count = request.codeCount > 2 ? 2 : request.codeCount;
    std::uint64_t first = count > 0 ? static_cast<std::uint64_t>(request.codes[0]) : 0;
    ZEVFileWriteSectionStart(file, "mach_exception");
    ZEVFileWriteObjectStart(file);
    ZEVFileWriteUInt64Entry(file, "exception", request.exception);
    ZEVFileWriteKey(file, "codes");
    ZEVFileWriteArrayStart(file);
    for (std::uint32_t i = 0; i < count; ++i)
        ZEVFileWriteUInt64Element(file, static_cast<std::uint64_t>(request.codes[i]));
    ZEVFileWriteArrayEnd(file);
    ZEVFileWriteStringEntry(file, "name", zevuzavidav::machExceptionName(request.exception));
    ZEVFileWriteStringEntry(file, "code_name", zevuzavidav::machExceptionCodeName(request.exception, first));
    ZEVFileWriteUInt64Entry(file, "original_ports", savedCount);
    ZEVFileWriteUInt64Entry(file, "time", zevuzavidav::currentTimeSeconds());
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
}

// The signal of the fault a request reports, which ends the process should its record not end in time.
int signalOf(const darwin::ExceptionRequest& request) {
    if (const int number = darwin::exceptionThreadSignal(static_cast<pid_t>(request.thread))) return number;
    switch (request.exception) {
    case darwin::kExcBadInstruction:
        return SIGILL;
    case darwin::kExcArithmetic:
        return SIGFPE;
    case darwin::kExcBreakpoint:
        return SIGTRAP;
    default:
        return SIGSEGV;
    }
}

// Whether the server takes requests: the port is registered again only then, since a fault sent to a port
// nobody reads would wait for its answer for ever.
std::atomic<bool> serving{false};

// 0 when recorded, 5 (failure) otherwise: then the fault goes on to the signal disposition of the moment.
//
// The port is unregistered first, so that a fault of the record's own does not come back to it; the fault
// runs again once the answer is in, and goes on to the signal disposition, which is the SDK's handler: it
// hands the recorded crash on as the kernel would, and, should it go on to a handler of the program, the
// port is registered again (ZEVMachExceptionRegisterAgain). The SDK's signal handlers stay while the crash
// is recorded: put back first, the earlier ones would end the process under the record. A fault of another
// thread waits for this reply meanwhile (faults are answered one at a time), and then goes on as the kernel
// would send it, or, once the crash it waited for has gone on, is recorded as a crash of its own.
std::int32_t handleRequest(ZEVMachExceptionReadOnlyContext* part, const darwin::ExceptionRequest& request) {
    // A system call of the record that the program's sandbox traps is the record's own.
    const darwin::OwnWork work;
    if (request.task != static_cast<std::uint32_t>(darwin::currentProcessId())) {
        ZEVSDKLog("%s: Mach exception task mis-match, returning failure\n",
                  "ZEVMachExceptionDispatchMessage");
        return 5;
    }
    ZEVSDKLog("%s: Unregistering handler\n", "ZEVMachExceptionDispatchMessage");
    if (!ZEVMachExceptionUnregister(part, part->registeredMask)) {
        ZEVSDKLog("%s: Failed to unregister\n", "ZEVMachExceptionDispatchMessage");
        return 5;
    }
    const int crashSignal = signalOf(request);
    const auto crashedThread = static_cast<pid_t>(request.thread);
    for (int seen = 0; ZEVContextMarkAndCheckIfCrashed(&seen, crashedThread);) {
        // Another thread's crash is recorded: once that record is made, this fault goes on to where the
        // program sends it, as the kernel would have sent it; once that crash has gone on to a handler of
        // the program, this one is a crash of its own.
        ZEVSDKLog("%s: Error: aborting mach exception handler because crash has already occurred\n",
                  "ZEVMachExceptionRecord");
        if (!zevuzavidav::waitForTheClaimedCrash(crashedThread, crashSignal, seen)) return 5;
    }
    // The process ends after this record: a recording under way (an uncaught exception's) is let
    // finish first, and none begins after it. A fault inside a recording on its own thread is not
    // waited for: that recording will not finish.
    if (zevuzavidav::takeRecordingTurn(crashedThread, crashSignal) != zevuzavidav::RecordingTurn::taken) {
        ZEVSDKLog("%s: Unable to record while another recording is under way\n", "ZEVMachExceptionRecord");
        ZEVSDKLog("%s: Failed to record mach exception\n", "ZEVMachExceptionRecord");
        zevuzavidav::noteClaimedCrashRecorded();
        return 5;
    }
    ZEVFile file;
    char next[zevuzavidav::kMaxRecordPath];
    const char* const writtenAt = zevuzavidav::recordFileFor(part->path, next);
    if (!ZEVFileInitWithPath(&file, writtenAt, false)) {
        ZEVSDKLog("%s: Unable to open mach exception file\n", "ZEVMachExceptionRecord");
        ZEVSDKLog("%s: Failed to record mach exception\n", "ZEVMachExceptionRecord");
        zevuzavidav::keepRecordingTurnToTheEnd(crashedThread);
        zevuzavidav::noteClaimedCrashRecorded();
        return 5;
    }
    char storage[zevuzavidav::kExceptionServerRecordStorageSize];
    zevuzavidav::useFileBuffer(&file, storage, sizeof storage);
    writeSection(&file, request, part->savedCount);
    // Before any thread stops: crashes on them meanwhile find the SDK's handlers whole.
    ZEVSignalMendPutBackHandlers();
    ZEVHandler(&file, crashedThread, nullptr);
    ZEVFileClose(&file);
    zevuzavidav::recordWritten(writtenAt, part->path);
    zevuzavidav::keepRecordingTurnToTheEnd(crashedThread);
    zevuzavidav::noteClaimedCrashRecorded();
    return 0;
}

} // namespace

namespace {

std::atomic<bool> emulationWanted{true};

} // namespace

void zevuzavidav::setMachExceptionEmulationEnabled(bool enabled) {
    emulationWanted = enabled;
    if (!enabled) darwin::setExceptionEmulationEnabled(false);
}

bool zevuzavidav::machExceptionEmulationEnabled() {
    return emulationWanted.load();
}

bool zevuzavidav::prepareMachExceptionEmulation() {
    if (emulationWanted.load()) darwin::setExceptionEmulationEnabled(true);
    return darwin::exceptionEmulationEnabled();
}

std::uint32_t zevuzavidav::registeredMachExceptionMask(std::uint32_t osVersionNumber,
                                                       std::uint32_t leaveOutMask) {
    std::uint32_t mask = zevuzavidav::kMachExceptionBaseMask;
    if (osVersionNumber >= 60000) mask |= zevuzavidav::kMachExceptionGuardMask;
    return mask & ~leaveOutMask;
}

std::uint32_t ZEVMachExceptionMaskForSignal(int number) {
    switch (number) {
    case SIGILL:
        return 0x4;
    case SIGTRAP:
        return 0x40;
    case SIGABRT:
        return 0x400;
    case SIGFPE:
        return 0x8;
    case SIGBUS:
        return 0x2;
    case SIGSEGV:
        return 0x2;
    case SIGSYS:
        return 0x400;
    default:
        return 0;
    }
}

const char* zevuzavidav::machExceptionName(std::uint32_t exception) {
    switch (exception) {
    case darwin::kExcBadAccess:
        return "EXC_BAD_ACCESS";
    case darwin::kExcBadInstruction:
        return "EXC_BAD_INSTRUCTION";
    case darwin::kExcArithmetic:
        return "EXC_ARITHMETIC";
    case darwin::kExcBreakpoint:
        return "EXC_BREAKPOINT";
    case darwin::kExcGuard:
        return "EXC_GUARD";
    default:
        return nullptr;
    }
}

const char* zevuzavidav::machExceptionCodeName(std::uint32_t exception, std::uint64_t firstCode) {
    if (exception != darwin::kExcBadAccess) return nullptr;
    if (firstCode == darwin::kKernInvalidAddress) return "KERN_INVALID_ADDRESS";
    if (firstCode == darwin::kKernProtectionFailure) return "KERN_PROTECTION_FAILURE";
    return nullptr;
}

bool ZEVMachExceptionUnregister(ZEVMachExceptionReadOnlyContext* part, std::uint32_t registeredMask) {
    std::uint32_t remaining = registeredMask;
    for (std::uint32_t i = 0; i < part->savedCount && i < zevuzavidav::kMachExceptionSavedCapacity; ++i) {
        remaining &= ~part->savedMasks[i];
        if (!darwin::taskSetExceptionPorts(part->savedMasks[i], part->savedPorts[i], part->savedBehaviors[i],
                                           part->savedFlavors[i])) {
            ZEVSDKLog("%s: unable to restore original port: %d\n", "ZEVMachExceptionUnregister",
                      static_cast<int>(part->savedPorts[i]));
        }
    }
    if (!darwin::taskSetExceptionPorts(remaining, 0, darwin::kExceptionDefaultWithCodes,
                                       darwin::kThreadStateNone)) {
        ZEVSDKLog("%s: unable to unset unregistered mask: 0x%x\n", "ZEVMachExceptionUnregister", remaining);
        return false;
    }
    return true;
}

void ZEVMachExceptionInit(ZEVMachExceptionReadOnlyContext* part, std::uint32_t leaveOutMask) {
    if (part == nullptr) return;
    if (!ZEVUnlinkIfExists(part->path)) {
        ZEVSDKLog("%s: Unable to reset the mach exception file %s\n", "ZEVMachExceptionInit", part->path);
    }
    if (!darwin::exceptionPortAllocate(&part->port)) {
        ZEVSDKLog("%s: Error: mach_port_allocate failed %d\n", "ZEVMachExceptionRegister", -1);
        ZEVSDKLog("%s: Unable to register mach exception handler\n", "ZEVMachExceptionInit");
        return;
    }
    if (!darwin::exceptionPortInsertSendRight(part->port)) {
        ZEVSDKLog("%s: Error: mach_port_insert_right failed %d\n", "ZEVMachExceptionRegister", -1);
        darwin::exceptionPortDeallocate(part->port);
        ZEVSDKLog("%s: Unable to register mach exception handler\n", "ZEVMachExceptionInit");
        return;
    }
    part->registeredMask =
        zevuzavidav::registeredMachExceptionMask(ZEVHostGetOSVersionNumber(), leaveOutMask);
    part->savedCount = zevuzavidav::kMachExceptionSavedCapacity;
    if (!darwin::taskSwapExceptionPorts(part->registeredMask, part->port, darwin::kExceptionDefaultWithCodes,
                                        darwin::kThreadStateNone, part->savedMasks, part->savedPorts,
                                        part->savedBehaviors, part->savedFlavors, &part->savedCount)) {
        ZEVSDKLog("%s: Error: task_swap_exception_ports %d\n", "ZEVMachExceptionRegister", -1);
        ZEVSDKLog("%s: Unable to register mach exception handler\n", "ZEVMachExceptionInit");
        return;
    }
    for (std::uint32_t i = 0; i < part->savedCount; ++i) {
        ZEVSDKLog("%s: original 0x%x 0x%x 0x%x 0x%x\n", "ZEVMachExceptionRegister", part->savedPorts[i],
                  part->savedMasks[i], static_cast<unsigned>(part->savedBehaviors[i]),
                  static_cast<unsigned>(part->savedFlavors[i]));
    }
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    const char* failed = error != 0 ? "%s: pthread_attr_init %s\n" : nullptr;
    if (failed == nullptr &&
        (error = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED)) != 0) {
        failed = "%s: pthread_attr_setdetachstate %s\n";
    }
    if (failed == nullptr && (error = pthread_attr_setstack(&attributes, readOnly->machExceptionStack,
                                                            zevuzavidav::kStackSize)) != 0) {
        failed = "%s: pthread_attr_setstack %s\n";
    }
    if (failed == nullptr &&
        (error = darwin::createThread(&part->thread, &attributes, ZEVMachExceptionServer, part)) != 0) {
        failed = "%s: pthread_create %s\n";
    }
    if (failed != nullptr) {
        char errorText[zevuzavidav::kErrorTextSize];
        ZEVSDKLog(failed, "ZEVMachExceptionThreadStart", zevuzavidav::errorText(error, errorText));
        ZEVSDKLog("%s: Unable to start thread\n", "ZEVMachExceptionThreadStart");
        ZEVMachExceptionUnregister(part, part->registeredMask);
        return;
    }
    pthread_attr_destroy(&attributes);
}

void ZEVMachExceptionRegisterAgain(ZEVMachExceptionReadOnlyContext* part) {
    if (part == nullptr || part->port == 0 || part->registeredMask == 0 ||
        !serving.load(std::memory_order_acquire))
        return;
    if (!darwin::taskSetExceptionPorts(part->registeredMask, part->port, darwin::kExceptionDefaultWithCodes,
                                       darwin::kThreadStateNone)) {
        ZEVSDKLog("%s: Unable to register the mach exception handler again\n",
                  "ZEVMachExceptionRegisterAgain");
    }
}

void* ZEVMachExceptionServer(void* raw) {
    auto* part = static_cast<ZEVMachExceptionReadOnlyContext*>(raw);
    darwin::setCurrentThreadName("com.rizudiz.zevuzavidav.ios.MachExceptionServer");
    serving.store(true, std::memory_order_release);
    for (;;) {
        darwin::ExceptionRequest request;
        if (!darwin::exceptionReceive(part->port, &request, sizeof request)) {
            serving.store(false, std::memory_order_release);
            ZEVSDKLog("%s: Error receving mach_msg (%d)\n", "ZEVMachExceptionReadMessage", -1);
            ZEVSDKLog("%s: Mach exception server thread exiting\n", "ZEVMachExceptionServer");
            return nullptr;
        }
        ZEVSDKLog("%s: Accepted mach exception message\n", "ZEVMachExceptionReadMessage");
        ZEVSDKLog("%s: Mach exception: 0x%x, count: %d, code: 0x%llx 0x%llx\n",
                  "ZEVMachExceptionDispatchMessage", request.exception, static_cast<int>(request.codeCount),
                  static_cast<unsigned long long>(request.codeCount > 0 ? request.codes[0] : -1),
                  static_cast<unsigned long long>(request.codeCount > 1 ? request.codes[1] : -1));
        darwin::ExceptionReply reply;
        std::memset(&reply, 0, sizeof reply);
        reply.returnCode = handleRequest(part, request);
        reply.bits = request.bits & 0x1F;
        reply.size = darwin::kExceptionReplySize;
        reply.remotePort = request.remotePort;
        reply.localPort = 0;
        reply.id = request.id + 100;
        std::memcpy(reply.ndr, darwin::kNDRRecord, sizeof reply.ndr);
        ZEVSDKLog("%s: Sending exception reply\n", "ZEVMachExceptionReply");
        if (!darwin::exceptionReply(&reply, sizeof reply)) {
            serving.store(false, std::memory_order_release);
            ZEVSDKLog("%s: mach_msg reply failed (%d)\n", "ZEVMachExceptionReply", -1);
            ZEVSDKLog("%s: Mach exception server thread exiting\n", "ZEVMachExceptionServer");
            return nullptr;
        }
        ZEVSDKLog("%s: Exception reply delivered\n", "ZEVMachExceptionReply");
    }
}
