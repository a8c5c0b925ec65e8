#pragma once
// The process-wide crash context: everything crash capture needs, prepared once at start inside the
// allocator's guarded mapping, so that handlers find every path, limit and saved handler ready
// without allocating.
//
// ZEVContextInitialize (kit/ZEVContextInitialize.hpp) builds it, installs the handlers and writes the
// launch's metadata. Each stage's part of it is a plain record beside this file, so the context knows
// no stage. The crash claim is one atomic exchange: exactly one crashing thread wins.
#include "platform/dispatch/SerialQueue.hpp"
#include "sdk/zevuzavidav/base/ZEVAllocator.hpp"
#include "sdk/zevuzavidav/context/RecordingDeadline.hpp"
#include "sdk/zevuzavidav/context/RecordingTurn.hpp"
#include "sdk/zevuzavidav/context/ZEVBinaryImageNode.hpp"
#include "sdk/zevuzavidav/context/ZEVExceptionTypes.hpp"
#include "sdk/zevuzavidav/context/ZEVMachExceptionTypes.hpp"
#include "sdk/zevuzavidav/context/ZEVSignalTypes.hpp"
#include "sdk/zevuzavidav/context/ZEVUserLoggingTypes.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <atomic>
#include <cstdint>
#include <memory>

namespace zevuzavidav {
// Sent after a fatal exception was recorded.
class CrashSubmissionTarget {
  public:
    virtual ~CrashSubmissionTarget() = default;
    virtual void potentiallySubmittableCrashOccurred() = 0;
};

// Called synchronously on the crashing thread once the crash is recorded.
class CrashCallbackTarget {
  public:
    virtual ~CrashCallbackTarget() = default;
    virtual void deliverCrashDelegateCallback() = 0;
};
} // namespace zevuzavidav

struct ZEVContextInitData {
    const char* apiKey = nullptr;
    zevuzavidav::CrashSubmissionTarget* submissionTarget = nullptr;
    std::uint8_t firstInstall = 0;
    zevuzavidav::CrashCallbackTarget* crashCallbackTarget = nullptr;
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

namespace zevuzavidav {
struct HostReadOnlyContext {
    const char* documentsPath;
    std::uint64_t pageSize;
};
} // namespace zevuzavidav

struct ZEVReadOnlyContext {
    std::atomic<std::uint8_t> initialized;
    std::uint8_t debuggerAttached;
    const char* sdkLogPath; // the copy the SDK log is pointed at by the start
    void* signalStack;
    void* machExceptionStack;
    // Their lowest bytes; kReserveStackSize bytes each, taken by one thread at a time (takeReserveStack).
    void* reserveStack;       // for an uncaught exception's handling, through its abort
    void* signalReserveStack; // for the record of a crash signal
    zevuzavidav::CrashSubmissionTarget* submissionTarget;
    zevuzavidav::CrashCallbackTarget* crashCallbackTarget;
    std::uint8_t firstInstall;
    const char* binaryImagePath;
    ZEVExceptionReadOnlyContext exception;
    zevuzavidav::HostReadOnlyContext host;
    ZEVSignalReadOnlyContext signal;
    ZEVMachExceptionReadOnlyContext machException;
    ZEVUserLoggingReadOnlyContext logging;
};

struct ZEVWritableContext {
    // The crash claim (ZEVContextMarkAndCheckIfCrashed): held while a crash is claimed, recorded once its
    // record is made, and a count of the claims freed again (ZEVContext.cpp has the bits).
    std::atomic<int> crashClaimed;
    ZEVFile binaryImageLog;
    ZEVBinaryImageRuntimeNode images[zevuzavidav::kBinaryImageTableSize];
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

namespace zevuzavidav {
constexpr std::uint64_t kStackSize = 0x40000;
constexpr std::uint64_t kWritableRequest = 544856;
constexpr std::uint64_t kReadOnlyRequest = 17040;
// What a crash record takes of the stack it runs on, with a wide margin: its line buffer, the walk of
// every thread, the SDK log's lines. A recording starts only on a stack with this much free below it, so
// it never writes below the stack it runs on (an app's own alternate signal stack, made small for small
// handlers, say); tests/sdk/zevuzavidav/capture measures what a record takes against it.
constexpr std::uint64_t kRecordingStackRoom = 64 * 1024;
// Where no stack can be lent (a sandbox traps the change of stacks), a record runs in place on a stack with
// this much free: more than a record is measured to take (under half of kRecordingStackRoom), less than
// the stack a crash handler's run is lent keeps free for it.
constexpr std::uint64_t kRecordingStackRoomAtLeast = kRecordingStackRoom * 3 / 4;
// Stacks for recording a crash on a thread whose own has no room for it (an alternate signal stack of the
// app's own, made small for small handlers, or none at all). One serves an uncaught exception: lent to
// its thread as its alternate stack, it holds the exception's record and then the abort that follows it,
// below it, whole. The other serves the record of a crash signal, once the stack it came on has no room:
// only the crash that won the claim records one, so the thread of an exception that holds the first never
// keeps that crash from its record. Both together take a few dozen kilobytes: each is several times that.
constexpr std::uint64_t kReserveStackSize = 0x20000;
static_assert(kRecordingStackRoom * 3 / 2 <= kReserveStackSize,
              "a reserve holds a record below the frames of the handler that lends it");
// Asked of the writable region beyond kWritableRequest and the reserve stacks: the inaccessible page
// below the alternate signal stack and below each reserve stack, and the alignment of each to a page (of
// at most 16 KiB).
constexpr std::uint64_t kStackGuardRoom = 3 * 2 * 16384;
} // namespace zevuzavidav
static_assert(2 * zevuzavidav::kStackSize + sizeof(ZEVWritableContext) <= zevuzavidav::kWritableRequest,
              "the writable region holds both stacks and the writable context");

// The first step of ZEVContextInitialize: new queues (the earlier ones released), a new allocator with
// the read-only and writable parts and the three stacks (the alternate signal stack and the reserve
// stack each above a guard page of its own, the exception server's above the region's first guard),
// initialized 0. The earlier mapping is kept: handlers of an earlier context may still point into it.
void ZEVContextCreate();
bool ZEVContextIsInitialized();
// The crash claim: false for the first caller once initialized (it records the crash of
// `crashedThread`); true for every later caller until that crash has gone on to a handler of the program
// (reopenCrashClaim), after which the program may go on and the next crash is recorded too; one that ends
// the process keeps it. `seen`, when given, is the claim as the caller found it, for
// waitForTheClaimedCrash. False without claiming before initialization.
bool ZEVContextMarkAndCheckIfCrashed(int* seen = nullptr, pid_t crashedThread = 0);
namespace zevuzavidav {
// How long a crash that lost the claim waits for the claimed one's record: the winner's wait for its
// recording turn, its recording within the bound (put off by its waits for a core, the cap at most), and a
// margin.
constexpr long kClaimedCrashPatienceNanos =
    kRecordingTurnPatienceNanos + kRecordingBoundCapNanos + 1000L * 1000 * 1000;
// The claimed crash is recorded (or could not be): the crashes that lost the claim meanwhile go on where the
// program sends them, never under the record. Signal-safe.
void noteClaimedCrashRecorded();
// The claimed crash, of `crashedThread`, goes on to a handler of the program, which may let the program go
// on: the claim is free again (true), so the next crash is recorded too. False when the claimed crash is
// another thread's, or none is claimed. Signal-safe.
bool reopenCrashClaim(pid_t crashedThread);
// Whether the claimed crash is that of `thread`. Signal-safe.
bool claimedCrashOf(pid_t thread);
// For a handler that lost the crash claim (finding it `seen`) with the crash of `crashedThread`: waits until
// the claimed crash is recorded or has gone on, or `patienceNanos` has passed. True when the claim is free
// by then (the crash it lost to went on to a handler of the program): the caller's crash is one of its own,
// to be claimed and recorded. False otherwise: the caller hands its crash on as the kernel would have
// delivered it without the SDK, never under the record: a signal the program goes on from (a system call a
// sandbox emulates, a raise a handler returns from) goes on, and one whose disposition ends the process
// ends it. A crash of the claimed crash's own thread once its record is kept (the exception port recorded
// it, and it now comes to the signal's disposition) waits for nothing: it goes on at once to where the
// program sends it. Signal-safe.
bool waitForTheClaimedCrash(pid_t crashedThread, int crashSignal, int seen,
                            long patienceNanos = kClaimedCrashPatienceNanos);
// The record of a crash that went on to a handler of the program (reopenCrashClaim), which may have let the
// program go on: a launch that then ends by exit crashed in none of its crashes, so that record is dropped at
// the exit (dropRecordsOfCrashesThatWentOn). The next crash's record takes its place, but only once whole:
// that handler may still end the process by its crash meanwhile (the terminal's restorer sends it again).
// So the next record is written beside `path`, the file it goes in (recordFileFor gives where, `next` being
// room for a path of kMaxRecordPath bytes), and takes its place, and that of the other road's, as it is
// whole (recordWritten). Signal-safe.
constexpr std::size_t kMaxRecordPath = 4096;
const char* recordFileFor(const char* path, char* next);
void recordWritten(const char* writtenAt, const char* path);
void dropRecordsOfCrashesThatWentOn();
} // namespace zevuzavidav

namespace zevuzavidav {
// Holds the process's exit (the end of main, exit, quick_exit) while a crash is under way on another
// thread: a handler of the SDK runs, a recording waits or is made, or a recorded crash has not yet gone on
// to where the program sends it. exit would otherwise end the recording thread wherever it stood, and the
// process with status 0, where the crash alone would have ended it by its signal; once the crash is done
// with, the process has ended by it, or (handed on to a handler of the program) exits. A handler of the
// program is never waited for, as the kernel alone would not wait for it: it may block, wait for this very
// exit, or have been left by a jump that keeps its mask. Within `patienceNanos` (the recording's bound),
// and past it only while a recording is within its own bound, which ends the process by the crash's signal
// should the recording be stuck; never for a crash of the calling thread's own. Its last look comes once
// the exit is marked committed (darwin::markExitCommitted): a crash whose handler begins after it records
// nothing and ends the process by its signal at once, before the exit would end it with the exit's status,
// while one that began before is seen and waited for. Signal-safe.
void waitForACrashUnderWay(long patienceNanos = kRecordingBoundNanos);
// The moments at which the exit's hold lets the exit go on, for a test to begin a crash at: marked
// committed, right before the last look; and past that look.
enum class ExitHoldMoment { committed, pastTheLastLook };
// Called by the hold at each of those moments. Set by tests only: null in the program.
extern void (*exitHoldTestHook)(ExitHoldMoment moment);
// Makes quick_exit wait so too; exit always does. Called as the SDK starts.
void holdQuickExitForCrashes();

enum class ReserveStack { exception, signal };
// A reserve stack (kReserveStackSize bytes from the address returned), now held by the calling thread,
// waiting at most `patienceNanos` while another thread holds it; null when it stayed held, or before the
// context is made. Signal-safe; the holder gives it back once nothing runs on it any more.
void* takeReserveStack(ReserveStack which, long patienceNanos = 0);
void giveBackReserveStack(ReserveStack which);
// Runs `body(argument)` on a stack with room for a crash record (kRecordingStackRoom): the calling one
// when it has that much free below, else the signal reserve, lent as the thread's alternate stack while
// `body` runs (waited for within the recording turn's patience should another recording hold it). False,
// with `body` not run, when no stack with room could be had. Signal-safe.
bool runWithRoomForARecord(void (*body)(void*), void* argument);

// Parts of the current context, null (below 4096) when absent.
ZEVContext& sharedCrashContext();
ZEVReadOnlyContext* sharedReadOnlyContext();
ZEVWritableContext* sharedWritableContext();
ZEVAllocator* contextAllocator();

// Report directory + file name, copied into the read-only region.
const char* makeContextPath(const char* directory, const char* fileName);
} // namespace zevuzavidav
