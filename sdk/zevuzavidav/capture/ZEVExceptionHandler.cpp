#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"

#include "platform/darwin/NullPage.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Exception.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"
#include "sdk/zevuzavidav/context/DispatchSync.hpp"
#include "sdk/zevuzavidav/context/RecordingTurn.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <csignal>
#include <cstdlib>
#include <cxxabi.h>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace {

std::string demangled(const char* name) {
    int status = 0;
    char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && text != nullptr ? text : name;
    std::free(text);
    return result;
}

void writeFrames(ZEVFile* file, const std::vector<ZEVStackFrame>* frames) {
    if (frames == nullptr || frames->empty()) return;
    ZEVFileWriteKey(file, "frames");
    ZEVFileWriteArrayStart(file);
    for (const auto& frame : *frames) {
        ZEVFileWriteObjectStart(file);
        ZEVFileWriteUInt64Entry(file, "pc", frame.address);
        if (frame.symbol) ZEVFileWriteHexStringEntry(file, "symbol", frame.symbol->c_str());
        ZEVFileWriteUInt64Entry(file, "offset", frame.offset);
        if (frame.library) ZEVFileWriteHexStringEntry(file, "library", frame.library->c_str());
        if (frame.fileName) ZEVFileWriteHexStringEntry(file, "file", frame.fileName->c_str());
        ZEVFileWriteUInt64Entry(file, "line", frame.lineNumber);
        ZEVFileWriteObjectEnd(file);
    }
    ZEVFileWriteArrayEnd(file);
}

void recordActiveException() {
    std::exception_ptr active = std::current_exception();
    std::type_info* type = abi::__cxa_current_exception_type();
    if (!active || type == nullptr) {
        ZEVSDKLog("%s: no active exception\n", "ZEVTerminateHandler");
        return;
    }
    if (darwin::isNullAddress(type)) {
        ZEVSDKLog("%s: Error: invalid parameter\n", "ZEVCatchAndRecordActiveException");
        return;
    }
    const char* rawName = type->name();
    ZEVSDKLog("%s: Recording exception of type '%s'\n", "ZEVCatchAndRecordActiveException", rawName);
    if (zevuzavidav::ExceptionObjectCatcher catcher = zevuzavidav::exceptionObjectCatcherInUse()) {
        zevuzavidav::ExceptionObjectInfo info;
        if (catcher(active, info)) {
            ZEVExceptionRecordNSException(info);
            return;
        }
    }
    // The platform's own exception objects carry a name and a reason but no call stack.
    try {
        std::rethrow_exception(active);
    } catch (const ns::Exception& exception) {
        ZEVExceptionRecordNSException({exception.name(), exception.reason(), {}});
        return;
    } catch (...) {
    }
    std::string name = demangled(rawName);
    std::string reason;
    try {
        std::rethrow_exception(active);
    } catch (const char* text) {
        reason = text != nullptr ? text : "";
    } catch (const std::string& text) {
        reason = text;
    } catch (const std::exception& error) {
        reason = error.what();
    } catch (const std::exception* error) {
        reason = error != nullptr ? error->what() : "";
    } catch (...) {
        reason = "";
    }
    ZEVExceptionRecord(zevuzavidav::kExceptionTypeCpp, name.c_str(), reason.c_str(), nullptr, true);
}

} // namespace

const char* zevuzavidav::exceptionTypeName(int type) {
    switch (type) {
    case zevuzavidav::kExceptionTypeObjectiveC:
        return "objective-c";
    case zevuzavidav::kExceptionTypeCpp:
        return "c++";
    case zevuzavidav::kExceptionTypeJavaScript:
        return "javascript";
    case zevuzavidav::kExceptionTypeCustom:
        return "custom";
    default:
        return "unknown";
    }
}

void ZEVExceptionInitialize(ZEVExceptionReadOnlyContext* part, std::uint32_t* customExceptionCount) {
    if (part == nullptr) return;
    if (!ZEVUnlinkIfExists(part->path)) {
        ZEVSDKLog("%s: Unable to reset the exception file %s\n", "ZEVExceptionInitialize", part->path);
    }
    if (!ZEVUnlinkIfExists(part->customPath)) {
        ZEVSDKLog("%s: Unable to reset the custom exception file %s\n", "ZEVExceptionInitialize",
                  part->customPath);
    }
    part->previousTerminateHandler = std::set_terminate(ZEVTerminateHandler);
    if (customExceptionCount != nullptr) *customExceptionCount = 0;
}

namespace {

// `recording`: whether the exception is recorded here; not on a stack without room for a record.
[[noreturn]] void terminateOnThisStack(void* recording) {
    // Once the earlier handler is back, a thread whose exception is thrown now aborts at once, and its
    // abort's record may take the turn before this one: announced, this record still comes first.
    if (recording != nullptr) zevuzavidav::announceRecording();
    ZEVSDKLog("%s: C++ terminate handler invoked\n", "ZEVTerminateHandler");
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    std::terminate_handler previous =
        readOnly != nullptr ? readOnly->exception.previousTerminateHandler : nullptr;
    bool chain = false;
    if (previous == ZEVTerminateHandler) {
        ZEVSDKLog("%s: Error: original handler was set recursively\n", "ZEVTerminateHandler");
    } else if (previous != nullptr) {
        ZEVSDKLog("%s: restoring pre-existing handler\n", "ZEVTerminateHandler");
        if (std::set_terminate(previous) == previous) {
            ZEVSDKLog("%s: handler has already been restored, aborting\n", "ZEVTerminateHandler");
            if (recording != nullptr) zevuzavidav::endRecordingAnnouncement();
            std::abort();
        }
        chain = true;
    }
    if (recording != nullptr) {
        recordActiveException();
        zevuzavidav::endRecordingAnnouncement();
    } else {
        ZEVSDKLog("%s: Unable to record the exception: no stack with room for it\n", "ZEVTerminateHandler");
    }
    if (chain) {
        ZEVSDKLog("%s: invoking pre-existing handler\n", "ZEVTerminateHandler");
        previous();
    }
    ZEVSDKLog("%s: aborting\n", "ZEVTerminateHandler");
    std::abort();
}

void terminateOnLentReserve(void* reserve) {
    // Not lent (the kernel refused the stack): nothing runs on it, and it goes back.
    if (!darwin::runOnLentAlternateStack(reserve, zevuzavidav::kReserveStackSize, terminateOnThisStack,
                                         reserve)) {
        zevuzavidav::giveBackReserveStack(zevuzavidav::ReserveStack::exception);
    }
}

} // namespace

void ZEVTerminateHandler() {
    // Before anything else, the rest moves to a stack with room: the throw may have left little of the
    // thread's own (deep in a recursion), and the record alone needs more than a dozen kilobytes. The
    // thrower's frames stay where they were, below the frames that record them. The thread's alternate
    // signal stack serves when it is roomy; the abort that ends this handler is then recorded on it too,
    // below these frames.
    void* recording = reinterpret_cast<void*>(1);
    darwin::runOnAlternateStack(terminateOnThisStack, recording);
    // A thread without one, or with one too small for a record (an app's own, made for small handlers),
    // is lent the SDK's reserve stack as its alternate stack: the abort is then recorded there below these
    // frames, not on a small stack that its record would overrun.
    if (void* reserve = zevuzavidav::takeReserveStack(zevuzavidav::ReserveStack::exception))
        terminateOnLentReserve(reserve);
    // Another thread's exception holds the reserve (until its process ends): this stack serves when it has
    // room; its abort then goes to the small alternate stack, whose handler finds room of its own. Else the
    // reserve is waited for, as long as a recording waits for its turn.
    const auto sp = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (darwin::stackRoomBelow(sp) >= zevuzavidav::kRecordingStackRoom) terminateOnThisStack(recording);
    if (void* reserve = zevuzavidav::takeReserveStack(zevuzavidav::ReserveStack::exception,
                                                      zevuzavidav::kRecordingTurnPatienceNanos)) {
        terminateOnLentReserve(reserve);
    }
    // No stack with room: a record here would be written below this one, over whatever lies there.
    terminateOnThisStack(nullptr);
}

void ZEVExceptionRecordNSException(const zevuzavidav::ExceptionObjectInfo& exception) {
    ZEVSDKLog("%s: Recording an NSException\n", "ZEVExceptionRecordNSException");
    std::vector<ZEVStackFrame> frames;
    frames.reserve(exception.callStackReturnAddresses.size());
    for (std::uintptr_t address : exception.callStackReturnAddresses) {
        frames.push_back(ZEVStackFrame::stackFrameWithAddress(address));
    }
    ZEVExceptionRecord(zevuzavidav::kExceptionTypeObjectiveC, exception.name.c_str(),
                       exception.reason.c_str(), &frames, true);
}

void ZEVExceptionRecord(int type, const char* name, const char* reason,
                        const std::vector<ZEVStackFrame>* frames, bool notify) {
    if (!ZEVContextIsInitialized()) return;
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    auto queue = zevuzavidav::sharedCrashContext().exceptionQueue;
    if (readOnly == nullptr || writable == nullptr || !queue) return;
    bool fatal = type == zevuzavidav::kExceptionTypeObjectiveC || type == zevuzavidav::kExceptionTypeCpp;
    const char* path = fatal ? readOnly->exception.path : readOnly->exception.customPath;
    ZEVSDKLog("%s: Recording an exception structure (%d, %d)\n", "ZEVExceptionRecord", notify ? 1 : 0,
              fatal ? 1 : 0);
    zevuzavidav::dispatchSync(*queue, [&] {
        if (!fatal) {
            if (writable->logging.customExceptionCount >= readOnly->exception.customExceptionLimit) return;
            writable->logging.customExceptionCount += 1;
        }
        // A fatal one records the whole process, which another crash may be recording right now
        // (it takes no crash claim): it waits its turn, and writes nothing when that crash ends the
        // process first, rather than a record the end would cut.
        const pid_t me = darwin::currentThreadId();
        // A system call of the record that the program's sandbox traps is the record's own.
        const darwin::OwnWork work;
        // The process's exit is past its last look for a crash under way: the record would be cut short,
        // and the abort that follows ends the process by its signal at once.
        if (fatal && darwin::exitCommitted()) return;
        if (fatal && zevuzavidav::takeRecordingTurn(me, SIGABRT) != zevuzavidav::RecordingTurn::taken) {
            ZEVSDKLog("%s: Unable to record while another recording is under way\n",
                      "__ZEVExceptionRecord_block_invoke");
            return;
        }
        ZEVFile file;
        if (!ZEVFileInitWithPath(&file, path, false)) {
            ZEVSDKLog("%s: Unable to open exception file\n", "__ZEVExceptionRecord_block_invoke");
            if (fatal) zevuzavidav::passRecordingTurn();
            return;
        }
        char storage[zevuzavidav::kCrashRecordStorageSize];
        zevuzavidav::useFileBuffer(&file, storage, sizeof storage);
        ZEVFileWriteSectionStart(&file, "exception");
        ZEVFileWriteObjectStart(&file);
        ZEVFileWriteStringEntry(&file, "type", zevuzavidav::exceptionTypeName(type));
        ZEVFileWriteHexStringEntry(&file, "name", name);
        ZEVFileWriteHexStringEntry(&file, "reason", reason);
        ZEVFileWriteUInt64Entry(&file, "time", zevuzavidav::currentTimeSeconds());
        writeFrames(&file, frames);
        ZEVFileWriteObjectEnd(&file);
        ZEVFileWriteSectionEnd(&file);
        if (fatal) {
            // Before any thread stops: crashes on them meanwhile find the SDK's handlers whole.
            ZEVSignalMendPutBackHandlers();
            ZEVHandler(&file, me, nullptr);
        }
        ZEVFileClose(&file);
        if (fatal) zevuzavidav::passRecordingTurn();
        if (notify && fatal && readOnly->submissionTarget != nullptr) {
            readOnly->submissionTarget->potentiallySubmittableCrashOccurred();
        }
    });
    ZEVSDKLog("%s: Finished recording an exception structure\n", "ZEVExceptionRecord");
}

void ZEVExceptionRaiseTestException() {
    throw ns::Exception("ZevuzavidavTestException", "This is an Objective-C exception using for testing.");
}

void ZEVExceptionCheckHandlers() {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    if (readOnly == nullptr || readOnly->debuggerAttached) return;
    std::terminate_handler current = std::get_terminate();
    if (current == ZEVTerminateHandler) return;
    ZEVDladdrWithBlock(reinterpret_cast<std::uintptr_t>(current), [](const char* symbol, const char* image) {
        ns::console(std::string("[Zevuzavidav:Crash] Warning: std::get_terminate is '") +
                    (symbol ? symbol : "(null)") + "' in '" + (image ? image : "(null)") + "'");
    });
}
