#include "sdk/zevuzavidav/process/ZEVProcess.hpp"

#include "platform/darwin/ExceptionPorts.hpp"
#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/Host.hpp"
#include "platform/darwin/NullPage.hpp"
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/context/RecordingDeadline.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/context/ZEVHost.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"
#include "sdk/zevuzavidav/process/OtherThreadsSuspended.hpp"
#include "sdk/zevuzavidav/process/ZEVThreadState.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

bool ZEVProcessDebuggerAttached() {
    bool known = false;
    bool traced = darwin::processIsTraced(&known);
    if (!known) ZEVSDKLog("%s: sysctl failed while trying to get kinfo_proc\n", "ZEVProcessDebuggerAttached");
    return traced;
}

void ZEVProcessBegin(ZEVProcess* process, pid_t crashedThread, const ucontext_t* signalContext) {
    process->task = darwin::currentProcessId();
    process->currentThread = darwin::currentThreadId();
    process->crashedThread = crashedThread;
    process->signalContext = darwin::isNullAddress(signalContext) ? nullptr : signalContext;
    process->threadCount = 0;
    process->threadListWhole = false;
    process->threadsLeftOut = 0;
    process->crashedThreadRecorded = false;
}

bool ZEVProcessInit(ZEVProcess* process, pid_t crashedThread, const ucontext_t* signalContext) {
    if (process == nullptr) return false;
    ZEVProcessBegin(process, crashedThread, signalContext);
    return ZEVProcessListThreads(process);
}

bool ZEVProcessListThreads(ZEVProcess* process) {
    const pid_t crashedThread = process->crashedThread;
    long listed = 0;
    long count =
        darwin::listThreads(process->threads, darwin::kMaxThreads, &process->threadListWhole, &listed);
    const bool read = count >= 0;
    if (!read) {
        // No /proc in a sandbox, say: the crashed thread and the recording one are recorded all the same.
        count = 0;
        process->threadListWhole = false;
        ZEVSDKLog("%s: Error: unable to get task threads\n", "ZEVProcessInit");
    }
    constexpr auto kCapacity = static_cast<std::uint32_t>(darwin::kMaxThreads);
    process->threadCount =
        zevuzavidav::keepThreadsThatMustBeRecorded(process->threads, static_cast<std::uint32_t>(count),
                                                   kCapacity, crashedThread, process->currentThread);
    zevuzavidav::putCrashedThreadFirst(process->threads, process->threadCount, crashedThread);
    if (listed > count) {
        process->threadsLeftOut = static_cast<std::uint32_t>(listed - count);
        ZEVSDKLog("%s: %u of %ld threads left out of the record, which holds at most %u\n", "ZEVProcessInit",
                  process->threadsLeftOut, listed, kCapacity);
    }
    return read;
}

std::uint32_t zevuzavidav::keepThreadsThatMustBeRecorded(pid_t* threads, std::uint32_t count,
                                                         std::uint32_t capacity, pid_t crashedThread,
                                                         pid_t currentThread) {
    const pid_t kept[] = {crashedThread, currentThread};
    auto isKept = [&kept](pid_t thread) { return thread != 0 && (thread == kept[0] || thread == kept[1]); };
    auto listedAt = [threads, &count](pid_t thread) {
        for (std::uint32_t i = 0; i < count; ++i) {
            if (threads[i] == thread) return true;
        }
        return false;
    };
    std::uint32_t place = count; // places at or past it are free, or hold kept threads
    for (pid_t thread : kept) {
        if (thread == 0 || listedAt(thread)) continue;
        if (count < capacity) {
            threads[count++] = thread;
            continue;
        }
        while (place > 0 && isKept(threads[place - 1]))
            --place;
        if (place == 0) break;
        threads[--place] = thread;
    }
    return count;
}

void zevuzavidav::putCrashedThreadFirst(pid_t* threads, std::uint32_t count, pid_t crashedThread) {
    std::uint32_t at = 0;
    while (at < count && threads[at] != crashedThread)
        ++at;
    if (crashedThread == 0 || at == count) return;
    for (; at > 0; --at)
        threads[at] = threads[at - 1];
    threads[0] = crashedThread;
}

bool ZEVProcessSuspendAllOtherThreads(ZEVProcess* process) {
    return darwin::suspendThreads(process->threads, process->threadCount);
}

bool ZEVProcessResumeAllOtherThreads(ZEVProcess*) {
    return darwin::resumeThreads();
}

bool ZEVProcessGetThreadState(ZEVProcess* process, pid_t thread, zevuzavidav::MachineContext* out) {
    if (darwin::isNullAddress(out)) {
        ZEVSDKLog("%s: invalid context supplied\n", "ZEVProcessGetThreadState");
        return false;
    }
    if (thread == process->crashedThread && process->signalContext != nullptr) {
        zevuzavidav::machineContextFromMcontext(process->signalContext->uc_mcontext, out);
        return true;
    }
    if (thread == process->currentThread) {
        ZEVSDKLog("%s: Faking current thread\n", "ZEVProcessGetThreadState");
        zevuzavidav::captureCurrentRegisters(out);
        return true;
    }
    mcontext_t captured;
    // A thread reporting a fault through the exception port is shown at the fault, not inside the
    // port's wait.
    if (!(thread == process->crashedThread && darwin::exceptionThreadState(thread, captured)) &&
        !darwin::suspendedThreadContext(thread, captured)) {
        ZEVSDKLog("%s: failed to get thread state\n", "ZEVProcessGetThreadState");
        return false;
    }
    zevuzavidav::machineContextFromMcontext(captured, out);
    return true;
}

std::uint64_t zevuzavidav::otherThreadBytes(std::uint32_t frames) {
    // Written as decimal numbers: a frame takes at most 20 digits and a comma, and everything else a
    // thread has in the record (its registers, its name and queue label however escaped) under 1.5 KiB.
    constexpr std::uint64_t kBytesPerFrame = 21;
    constexpr std::uint64_t kBytesPerThread = 1536;
    return kBytesPerThread + kBytesPerFrame * frames;
}

std::uint32_t zevuzavidav::framesPerOtherThread(const OtherThreadSize* sizes, std::uint32_t count) {
    // The record's length were every stack cut to `frames` at most.
    auto length = [sizes, count](std::uint32_t frames) {
        std::uint64_t bytes = 0;
        for (std::uint32_t i = 0; i < count; ++i)
            bytes += sizes[i].bytes(frames);
        return bytes;
    };
    if (length(kUnwindMaxFrames) <= kOtherThreadsBudget) return kUnwindMaxFrames;
    if (length(0) > kOtherThreadsBudget) return 0;
    // The most frames that keep it within: the deepest stacks are cut to it, the others stay whole.
    std::uint32_t fits = 0, passes = kUnwindMaxFrames;
    while (passes - fits > 1) {
        const std::uint32_t middle = fits + (passes - fits) / 2;
        if (length(middle) <= kOtherThreadsBudget) {
            fits = middle;
        } else {
            passes = middle;
        }
    }
    return fits;
}

namespace {

// What each thread but the crashed one takes, for a record of so many threads that their whole stacks
// might not fit: one recording at a time (the recording turn's holder) uses it.
zevuzavidav::OtherThreadSize otherSizes[darwin::kMaxThreads];

// The registers of a thread of the record and the part of its stack it stood on; false when its state
// cannot be had.
bool threadStateAndStack(ZEVProcess* process, pid_t thread, zevuzavidav::MachineContext* state,
                         std::uintptr_t* stackLow, std::uintptr_t* stackHigh) {
    const bool haveState = ZEVProcessGetThreadState(process, thread, state);
    // A suspended thread's stack stands still until it is resumed: it is walked in place. The crashed
    // thread's is walked without waiting for it to stop (it stands in its crash), before any other
    // thread is waited for.
    *stackLow = *stackHigh = 0;
    if (thread != process->currentThread && thread != process->crashedThread &&
        !darwin::suspendedThreadStack(thread, stackLow, stackHigh))
        *stackLow = *stackHigh = 0;
    return haveState;
}

// A thread's element of "dispatch_queue_names". A thread that ended since the list was taken cannot be
// asked: null, unlike a thread that runs no queue's block (the empty string).
void writeQueueName(ZEVFile* file, pid_t thread) {
    if (!darwin::threadAlive(thread)) {
        ZEVSDKLog("%s: unable to get thread info\n", "ZEVProcessGetThreadDispatchQueueName");
        zevuzavidav::writeNullElement(file);
        return;
    }
    char label[darwin::kThreadNameSize];
    if (!darwin::queueLabel(thread, label, sizeof label)) label[0] = '\0';
    ZEVFileWriteStringElement(file, label);
}

// A thread's element of "thread_names": its name, the empty string when it has none (or could not be
// asked).
void writeThreadName(ZEVFile* file, pid_t thread) {
    char text[darwin::kThreadNameSize];
    if (!darwin::threadName(thread, text, sizeof text)) text[0] = '\0';
    ZEVFileWriteStringElement(file, text);
}

// What a thread of the record takes of its "thread_names" and "dispatch_queue_names" sections, each
// with its comma, as their writers write them.
std::uint64_t nameAndLabelBytes(pid_t thread) {
    ZEVFile measure;
    zevuzavidav::measureOnly(&measure);
    writeThreadName(&measure, thread);
    writeQueueName(&measure, thread);
    return measure.bytesWritten + 1;
}

// The frames each thread of the record from `from` on but the crashed one is given. Their whole stacks
// unless they would pass what the next launch reads back: so many threads that they might is when each
// is measured first, its stack walked and its name and label read, until those left would fit however
// deep and long.
std::uint32_t framesForOtherThreads(ZEVProcess* process, std::uint32_t from) {
    std::uint32_t others = 0;
    for (std::uint32_t i = from; i < process->threadCount; ++i)
        others += process->threads[i] != process->crashedThread ? 1 : 0;
    std::uint64_t bytes = 0;
    std::uint32_t walked = 0;
    for (std::uint32_t i = from; i < process->threadCount; ++i) {
        const pid_t thread = process->threads[i];
        if (thread == process->crashedThread) continue;
        if (bytes + (others - walked) * zevuzavidav::otherThreadBytes(zevuzavidav::kUnwindMaxFrames) <=
            zevuzavidav::kOtherThreadsBudget)
            return zevuzavidav::kUnwindMaxFrames;
        zevuzavidav::MachineContext state;
        std::uintptr_t stackLow = 0, stackHigh = 0;
        const bool haveState = threadStateAndStack(process, thread, &state, &stackLow, &stackHigh);
        zevuzavidav::OtherThreadSize& size = otherSizes[walked];
        // Its element and its names' with their commas.
        size.fixedBytes = zevuzavidav::threadElementBytesWithoutFrames(haveState ? &state : nullptr) + 1 +
                          nameAndLabelBytes(thread);
        size.stack = zevuzavidav::measureThreadStack(haveState ? &state : nullptr, stackLow, stackHigh);
        bytes += size.bytes(zevuzavidav::kUnwindMaxFrames);
        ++walked;
    }
    return zevuzavidav::framesPerOtherThread(otherSizes, walked);
}

// Writes the element of the record's thread `index`, `thread`, with at most `frames` of its stack (the
// crashed thread's is written whole, with its name).
void recordThread(ZEVProcess* process, ZEVFile* file, std::uint32_t index, pid_t thread,
                  std::uint32_t frames) {
    const bool crashed = thread == process->crashedThread;
    ZEVSDKLog("%s: recording thread %d data\n", "ZEVProcessRecordAllThreads", static_cast<int>(index));
    zevuzavidav::MachineContext state;
    std::uintptr_t stackLow = 0, stackHigh = 0;
    // A thread whose state cannot be had still gets its object, so every per-thread array of the
    // record stays aligned with "threads".
    const bool haveState = threadStateAndStack(process, thread, &state, &stackLow, &stackHigh);
    if (!haveState) ZEVSDKLog("%s: unable to get thread state\n", "ZEVProcessRecordThread");
    // The crashed thread carries its name: "thread_names" comes after every thread, past where a
    // recording cut short by its bound may end.
    char name[darwin::kThreadNameSize];
    if (crashed && !darwin::threadNameNow(thread, name, sizeof name)) name[0] = '\0';
    zevuzavidav::writeThreadRegisters(file, haveState ? &state : nullptr, crashed, stackLow, stackHigh,
                                      crashed ? zevuzavidav::kUnwindMaxFrames : frames,
                                      crashed ? name : nullptr);
}

} // namespace

void ZEVProcessRecordCrashedThread(ZEVProcess* process, ZEVFile* file) {
    ZEVFileWriteSectionStart(file, "threads");
    ZEVFileWriteArrayStart(file);
    process->crashedThreadRecorded = true;
    if (process->crashedThread == 0) return;
    recordThread(process, file, 0, process->crashedThread, zevuzavidav::kUnwindMaxFrames);
    // On disk before any other thread is so much as listed: a recording cut short (its bound, a kill)
    // keeps it whatever became of the buffer.
    ZEVFileFlushBuffer(file);
}

void ZEVProcessRecordAllThreads(ZEVProcess* process, ZEVFile* file) {
    const bool crashedRecorded = process->crashedThreadRecorded;
    if (!crashedRecorded) {
        ZEVFileWriteSectionStart(file, "threads");
        ZEVFileWriteArrayStart(file);
    }
    // Learnt once the crashed thread, first, is written: it is never shortened.
    std::uint32_t otherFrames = 0;
    bool othersMeasured = false;
    for (std::uint32_t i = 0;; ++i) {
        // A thread that ended while the list was read may have hidden others that live on: once those
        // listed are recorded, the list is read again and those it lacked are recorded after them, until
        // a reading adds none (every later section follows the grown list).
        if (i == process->threadCount) {
            if (process->threadListWhole) break;
            process->threadCount = static_cast<std::uint32_t>(
                darwin::askThreadsListedLate(process->threads, process->threadCount, darwin::kMaxThreads));
            if (i == process->threadCount) break;
        }
        pid_t thread = process->threads[i];
        const bool crashed = thread == process->crashedThread;
        if (crashed && crashedRecorded) continue;
        if (!crashed && !othersMeasured) {
            // So many threads, that deep, that their whole stacks would make the record too long to be read
            // back: the deepest are shortened, never the crashed thread's. Threads listed late get as many.
            otherFrames = framesForOtherThreads(process, i);
            othersMeasured = true;
            if (otherFrames < zevuzavidav::kUnwindMaxFrames)
                ZEVSDKLog("%s: at most %u frames of each of %u threads but the crashed one\n",
                          "ZEVProcessRecordAllThreads", otherFrames, process->threadCount);
        }
        recordThread(process, file, i, thread, otherFrames);
        // The crashed thread, first, is on disk before any other is read: a recording cut short (its
        // bound, a kill) keeps it whatever became of the buffer.
        if (crashed) ZEVFileFlushBuffer(file);
    }
    ZEVFileWriteArrayEnd(file);
    ZEVFileWriteSectionEnd(file);
    ZEVSDKLog("%s: completed recording all thread data\n", "ZEVProcessRecordAllThreads");
}

namespace {

// Copies the text at `address` with its terminating zero into `buffer`; false when it is unreadable or
// has no zero within the buffer.
bool copyTerminatedText(std::uint64_t address, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        // Up to the end of the current 64-byte block, so a text just before an unmapped page is read.
        std::uint64_t at = address + done;
        std::size_t want = 64 - static_cast<std::size_t>(at & 63);
        if (want > size - done) want = size - done;
        if (!darwin::readMemory(at, buffer + done, want)) return false;
        for (std::size_t i = done; i < done + want; ++i) {
            if (buffer[i] == '\0') return true;
        }
        done += want;
    }
    return false;
}

} // namespace

const char* ZEVProcessGetObjCSelectorName(std::uint64_t pc, std::uint64_t selector,
                                          std::uint64_t messageSendEntry) {
    if (messageSendEntry == 0 || pc < messageSendEntry || pc > messageSendEntry + 66 ||
        darwin::isNullAddress(selector)) {
        return "";
    }
    const char* name = nullptr;
    if (!ZEVReadString(selector, &name, 128)) {
        ZEVSDKLog("%s: Unable to read the selector string\n", "ZEVProcessGetObjCSelectorName");
        return "";
    }
    return name;
}

void ZEVProcessRecordRuntimeInfo(ZEVProcess* process, ZEVFile* file) {
    ZEVFileWriteSectionStart(file, "runtime");
    ZEVFileWriteObjectStart(file);
    zevuzavidav::MachineContext crashed;
    const char* selector = "";
    if (process == nullptr || !ZEVProcessGetThreadState(process, process->crashedThread, &crashed)) {
        ZEVSDKLog("%s: unable to get crashed thread state\n", "ZEVProcessRecordRuntimeInfo");
    } else {
        // The selector travels in the second argument register. No message-send runtime is loaded
        // here, so its entry point is unknown and no selector is ever in flight.
        selector = ZEVProcessGetObjCSelectorName(crashed.rip, crashed.rsi, zevuzavidav::kMessageSendEntry);
    }
    ZEVFileWriteStringEntry(file, "objc_selector", selector);
    ZEVFileWriteKey(file, "crash_info_entries");
    ZEVFileWriteArrayStart(file);
    if (ZEVWritableContext* writable = zevuzavidav::sharedWritableContext()) {
        for (const auto& slot : writable->images) {
            std::uint64_t crashInfo = slot.crash_info.load(std::memory_order_relaxed);
            if (crashInfo == 0) continue;
            std::uint64_t record[7];
            if (!darwin::readMemory(crashInfo, record, sizeof record)) continue;
            ZEVSDKLog("%s: Found crash info with version %d\n", "ZEVProcessRecordCrashInfo",
                      static_cast<int>(record[0]));
            if (record[0] < 6 && record[1] != 0) {
                ZEVSDKLog("%s: attempting to read crash info string\n", "ZEVProcessRecordCrashInfo");
                // Copied, not measured in place: a message with no zero within 256 bytes must not
                // be read on past them.
                char message[256];
                if (copyTerminatedText(record[1], message, sizeof message)) {
                    ZEVFileWriteHexStringElement(file, message);
                } else {
                    ZEVSDKLog("%s: Error: failed to copy crash info string\n", "ZEVProcessRecordCrashInfo");
                }
            }
        }
    }
    ZEVFileWriteArrayEnd(file);
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
}

void ZEVProcessRecordDispatchQueueNames(ZEVProcess* process, ZEVFile* file) {
    ZEVFileWriteSectionStart(file, "dispatch_queue_names");
    ZEVFileWriteArrayStart(file);
    for (std::uint32_t i = 0; i < process->threadCount; ++i)
        writeQueueName(file, process->threads[i]);
    ZEVFileWriteArrayEnd(file);
    ZEVFileWriteSectionEnd(file);
}

// One plain string per thread, in the order of "threads": its name, the empty string when it has none
// (or could not be asked).
void ZEVProcessRecordThreadNames(ZEVProcess* process, ZEVFile* file) {
    ZEVFileWriteSectionStart(file, "thread_names");
    ZEVFileWriteArrayStart(file);
    for (std::uint32_t i = 0; i < process->threadCount; ++i)
        writeThreadName(file, process->threads[i]);
    ZEVFileWriteArrayEnd(file);
    ZEVFileWriteSectionEnd(file);
}

namespace {

bool processInfo(darwin::ProcessUsage* out) {
    if (darwin::isNullAddress(out)) {
        ZEVSDKLog("%s: Invalid pointers\n", "ZEVProcessGetInfo");
        return false;
    }
    return darwin::processUsage(*out);
}

} // namespace

void ZEVProcessRecordStats(ZEVProcess*, ZEVFile* file) {
    darwin::HostMemory memory;
    if (!darwin::hostMemory(memory)) {
        ZEVSDKLog("%s: Failed to get vm statistics\n", "ZEVProcessGetMemoryUsage");
        ZEVSDKLog("%s: Unable to get process memory usage\n", "ZEVProcessRecordStats");
        return;
    }
    darwin::ProcessUsage usage;
    if (!processInfo(&usage)) {
        ZEVSDKLog("%s: Failed to get task info\n", "ZEVProcessGetInfo");
        ZEVSDKLog("%s: Unable to get process stats\n", "ZEVProcessRecordStats");
        return;
    }
    ZEVFileWriteSectionStart(file, "process_stats");
    ZEVFileWriteObjectStart(file);
    ZEVFileWriteUInt64Entry(file, "active", memory.active);
    ZEVFileWriteUInt64Entry(file, "inactive", memory.inactive);
    ZEVFileWriteUInt64Entry(file, "wired", memory.wired);
    ZEVFileWriteUInt64Entry(file, "freeMem", memory.free);
    ZEVFileWriteUInt64Entry(file, "free_mem", memory.free);
    ZEVFileWriteUInt64Entry(file, "virtual", usage.virtualBytes);
    ZEVFileWriteUInt64Entry(file, "resident", usage.residentBytes);
    ZEVFileWriteUInt64Entry(file, "user_time", usage.userMicros);
    ZEVFileWriteUInt64Entry(file, "sys_time", usage.systemMicros);
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
}

namespace {

// The recording's process state: its list of threads is too large for the handler's alternate stack.
// One recording at a time (the recording turn's holder) uses it.
ZEVProcess recordedProcess;

} // namespace

void ZEVHandler(ZEVFile* file, pid_t crashedThread, const ucontext_t* signalContext) {
    ZEVProcess& process = recordedProcess;
    // Should the recording's bound end the process while it writes, what the file's buffer holds is
    // written out first: every line finished is kept, and the one under way as far as it went.
    zevuzavidav::setRecordingFile(file);
    ZEVProcessBegin(&process, crashedThread, signalContext);
    // Images opened without notice (plain dlopen) are found now, before any stack is unwound.
    zevuzavidav::syncBinaryImagesWithLoadedObjects();
    // The crashed thread stands in its crash: it is on disk before the list of threads is read and the
    // round of suspension is under way, which with thousands of threads take the bulk of what the
    // recorder runs before the others are written.
    ZEVProcessRecordCrashedThread(&process, file);
    ZEVProcessListThreads(&process);
    {
        // The other threads stand still while they are recorded, and run again however the recording
        // ends, before the app's crash callback.
        zevuzavidav::OtherThreadsSuspended suspended(&process);
        ZEVProcessRecordAllThreads(&process, file);
        ZEVProcessRecordRuntimeInfo(&process, file);
        ZEVProcessRecordDispatchQueueNames(&process, file);
        ZEVProcessRecordThreadNames(&process, file);
        ZEVProcessRecordStats(&process, file);
        ZEVHostRecordStorage(file);
        // The record is whole: it is closed before the other threads go on and before the app's
        // callback runs, so neither can keep it from its reader.
        ZEVFileClose(file);
    }
    // A thread that neither stopped nor was found unable to by the round's bound is recorded as it ran:
    // said, since only a wait that ran out of time stands behind it.
    if (const int late = darwin::threadsGivenUpAtTheBound(); late > 0) {
        ZEVSDKLog("%s: %d threads had not stopped when the round's bound ran out; recorded as they ran\n",
                  "ZEVHandler", late);
    }
    zevuzavidav::setRecordingFile(nullptr);
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    if (readOnly != nullptr && readOnly->crashCallbackTarget != nullptr) {
        ZEVSDKLog("%s: Performing syncrhonous crash callback - hold onto your butts\n", "ZEVHandler");
        readOnly->crashCallbackTarget->deliverCrashDelegateCallback();
    }
}
