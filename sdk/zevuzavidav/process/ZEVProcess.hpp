#pragma once
// The process state appended to a crash record by whichever handler claimed the crash: every
// thread's registers and unwound stack, runtime info, queue and thread names, process statistics and
// storage, then the synchronous crash callback.
//
// Runs on the crashing thread (or the exception-port server thread) with the other threads suspended:
// no heap, no locks. Each probe that fails leaves its value out, logs, and the writer goes on.
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/process/ZEVThreadState.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "sdk/zevuzavidav/unwind/MachineContext.hpp"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <sys/ucontext.h>

struct ZEVFile;

struct ZEVProcess {
    pid_t task;
    pid_t currentThread;
    pid_t crashedThread;
    pid_t threads[darwin::kMaxThreads];
    std::uint32_t threadCount;
    bool threadListWhole;         // no thread's end disturbed the reading of the list (darwin::listThreads)
    std::uint32_t threadsLeftOut; // threads of the process past what the record holds
    const ucontext_t* signalContext;
    bool crashedThreadRecorded; // "threads" is open with the crashed thread's element on disk
};

namespace zevuzavidav {
// Makes sure a list of `count` threads read with room for `capacity` holds the crashed thread and the
// current one (either may be 0: none): one missing is added at the end, or, when the list is full,
// takes the place of the last thread that is neither. The new count.
std::uint32_t keepThreadsThatMustBeRecorded(pid_t* threads, std::uint32_t count, std::uint32_t capacity,
                                            pid_t crashedThread, pid_t currentThread);
// Moves the crashed thread (0: none), when listed, to the front of the list, the others keeping their
// order: it is recorded first, so that a record cut short by the end of the process still holds it, and
// every per-thread section follows the same order.
void putCrashedThreadFirst(pid_t* threads, std::uint32_t count, pid_t crashedThread);
// What a thread other than the crashed one takes of a record at most, `frames` of its stack written,
// whatever its registers, name and queue label: what a thread not measured is counted for.
std::uint64_t otherThreadBytes(std::uint32_t frames);
// What a thread other than the crashed one takes of a record, as measured by the writer: its element
// without frames, its name and its queue label, each with its comma (`fixedBytes`), and its stack
// (StackMeasure).
struct OtherThreadSize {
    std::uint64_t fixedBytes = 0;
    StackMeasure stack;
    // Written with at most `frames` of its stack: exactly that whole, at most that cut (a stack's first
    // frames take at most its widest frame's bytes each).
    std::uint64_t bytes(std::uint32_t frames) const {
        if (frames >= stack.frames) return fixedBytes + stack.bytes;
        const std::uint64_t cut = std::uint64_t{frames} * stack.widestFrame;
        return fixedBytes + (cut < stack.bytes ? cut : stack.bytes);
    }
};
// What the threads but the crashed one may take of a record: the next launch reads back
// kMaximumRecordFileLength at most, an eighth of which is left for the other sections, the crashed
// thread's whole stack and the threads listed late.
inline constexpr std::uint64_t kOtherThreadsBudget = kMaximumRecordFileLength / 8 * 7;
// The frames of each stack a record writes of the threads but the crashed one (whose stack is always
// written whole), `sizes` being what each takes: every frame (kUnwindMaxFrames) when they all fit
// kOtherThreadsBudget, however many threads there are; else the most frames each that keep them within
// it, so that only the deepest stacks are shortened, to as many frames each, and the others are written
// whole.
std::uint32_t framesPerOtherThread(const OtherThreadSize* sizes, std::uint32_t count);
// Bytes a crash handler lends its record file (zevuzavidav::useFileBuffer), so that the record's lines are
// written whole, one write each, instead of one write per token.
constexpr std::size_t kCrashRecordStorageSize = 4096;
// What the exception server lends instead: it runs on a 256 KiB stack of its own, prepared (and touched)
// at start, so its record gathers the threads' long line in a few writes rather than dozens.
constexpr std::size_t kExceptionServerRecordStorageSize = 64 * 1024;
} // namespace zevuzavidav

// Appends "threads", "runtime", "dispatch_queue_names", "thread_names", "process_stats" and "storage",
// then closes the file (closing it again is harmless): the record is whole before the other threads
// are resumed and before the app's crash callback runs. Every thread of the process is recorded, the
// crashed one first, up to darwin::kMaxThreads; past that the crashed thread and the recording one still
// are, and the SDK log says how many were left out. The crashed thread is on disk before the threads are
// even listed: on a machine whose cores are all taken the recorder gets little of one, and what it
// writes first is all that a recording cut short by its bound is sure to keep. Its process state lives
// in static storage (one recording at a time: the recording turn's holder), not on the handler's
// alternate stack.
void ZEVHandler(ZEVFile* file, pid_t crashedThread, const ucontext_t* signalContext);
// ZEVProcessBegin, then ZEVProcessListThreads.
bool ZEVProcessInit(ZEVProcess* process, pid_t crashedThread, const ucontext_t* signalContext);
// The recording's process, recording thread and crash, with no thread listed yet.
void ZEVProcessBegin(ZEVProcess* process, pid_t crashedThread, const ucontext_t* signalContext);
// Lists the process's threads, the crashed one first (ZEVProcessBegin's); false when the list cannot be
// read, the crashed thread and the recording one then standing for it.
bool ZEVProcessListThreads(ZEVProcess* process);
// Opens "threads" with the crashed thread's element (none when there is no crashed thread) and puts it on
// disk; ZEVProcessRecordAllThreads then goes on from it with the other threads.
void ZEVProcessRecordCrashedThread(ZEVProcess* process, ZEVFile* file);
bool ZEVProcessDebuggerAttached();
bool ZEVProcessSuspendAllOtherThreads(ZEVProcess* process);
bool ZEVProcessResumeAllOtherThreads(ZEVProcess* process);
bool ZEVProcessGetThreadState(ZEVProcess* process, pid_t thread, zevuzavidav::MachineContext* out);
void ZEVProcessRecordAllThreads(ZEVProcess* process, ZEVFile* file);
void ZEVProcessRecordRuntimeInfo(ZEVProcess* process, ZEVFile* file);
namespace zevuzavidav {
// The address of the message-send entry point of an Objective-C runtime; none is loaded here.
constexpr std::uint64_t kMessageSendEntry = 0;
} // namespace zevuzavidav
// The name of the selector being sent when `pc` lies within 66 bytes of the message-send entry point
// and `selector` points at a text readable within 128 bytes (pointed at, not copied); "" otherwise,
// with an SDK log line when the text cannot be read.
const char* ZEVProcessGetObjCSelectorName(std::uint64_t pc, std::uint64_t selector,
                                          std::uint64_t messageSendEntry);
void ZEVProcessRecordDispatchQueueNames(ZEVProcess* process, ZEVFile* file);
void ZEVProcessRecordThreadNames(ZEVProcess* process, ZEVFile* file);
void ZEVProcessRecordStats(ZEVProcess* process, ZEVFile* file);
