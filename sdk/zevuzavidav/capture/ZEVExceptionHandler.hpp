#pragma once
// Uncaught C++ exceptions and platform exception objects, and non-fatal exceptions reported by the
// app (custom ones and web-view errors).
//
// The terminate handler records the active exception into "exception.zevrecord" with the process
// state (platform exception objects, ns::Exception or those a registered catcher recognises, as type
// "objective-c"; everything else as "c++"), then chains to the handler that was installed before ours and
// aborts. Non-fatal exceptions go to "custom_exception.zevrecord", capped per launch. Recording is serialised
// on the exception queue and runs synchronously on the caller's thread. The terminate handler does all its
// work on that thread's alternate signal stack, so that a throw with little stack left is recorded whole,
// the thrower's frames below the recorder's; where that stack is missing or too small for a record, on the
// crash context's reserve stack, lent to the thread as its alternate stack so that the abort after the
// record is recorded whole there too (another thread holding the reserve, the work stays where it is).
#include "sdk/zevuzavidav/capture/ExceptionObject.hpp"
#include "sdk/zevuzavidav/context/ZEVExceptionTypes.hpp"
#include "sdk/zevuzavidav/record/ZEVStackFrame.hpp"

#include <cstdint>
#include <exception>
#include <vector>

namespace zevuzavidav {
enum ExceptionType : int {
    kExceptionTypeObjectiveC = 1,
    kExceptionTypeCpp = 2,
    kExceptionTypeJavaScript = 3,
    kExceptionTypeCustom = 4,
};

const char* exceptionTypeName(int type);
} // namespace zevuzavidav

// Removes both files, installs ZEVTerminateHandler keeping the previous one, and zeroes the count.
void ZEVExceptionInitialize(ZEVExceptionReadOnlyContext* part, std::uint32_t* customExceptionCount);
[[noreturn]] void ZEVTerminateHandler();
void ZEVExceptionRecordNSException(const zevuzavidav::ExceptionObjectInfo& exception);
void ZEVExceptionRecord(int type, const char* name, const char* reason,
                        const std::vector<ZEVStackFrame>* frames, bool notify);
// Throws the platform exception "ZevuzavidavTestException" (for the kit's test crash); an uncaught one
// is recorded as type "objective-c".
[[noreturn]] void ZEVExceptionRaiseTestException();
// Console warnings when another terminate handler is in place.
void ZEVExceptionCheckHandlers();
