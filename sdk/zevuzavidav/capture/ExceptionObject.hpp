#pragma once
// The seam through which the terminate handler recognises the platform's exception objects (the
// stand-in for the phone platform's exception class), which are recorded with their own call stack.
//
// The platform installs a catcher at start; it rethrows the active exception and fills `out` when it
// is one of its exception objects. Without a catcher every exception is recorded as a C++ one.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace zevuzavidav {

struct ExceptionObjectInfo {
    std::string name;
    std::string reason;
    std::vector<std::uintptr_t> callStackReturnAddresses;
};

using ExceptionObjectCatcher = bool (*)(std::exception_ptr active, ExceptionObjectInfo& out);

void setExceptionObjectCatcher(ExceptionObjectCatcher catcher);
ExceptionObjectCatcher exceptionObjectCatcherInUse();

} // namespace zevuzavidav
