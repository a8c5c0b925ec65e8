#include "sdk/zevuzavidav/capture/ExceptionObject.hpp"

#include <atomic>

namespace zevuzavidav {

namespace {
std::atomic<ExceptionObjectCatcher> catcher{nullptr};
}

void setExceptionObjectCatcher(ExceptionObjectCatcher value) {
    catcher.store(value);
}
ExceptionObjectCatcher exceptionObjectCatcherInUse() {
    return catcher.load();
}

} // namespace zevuzavidav
