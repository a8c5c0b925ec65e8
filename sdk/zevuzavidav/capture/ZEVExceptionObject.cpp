#include "sdk/zevuzavidav/capture/ZEVExceptionObject.hpp"

#include <atomic>

namespace {
std::atomic<ZEVExceptionObjectCatcher> catcher{nullptr};
}

void ZEVSetExceptionObjectCatcher(ZEVExceptionObjectCatcher value) {
    catcher.store(value);
}
ZEVExceptionObjectCatcher ZEVExceptionObjectCatcherInUse() {
    return catcher.load();
}
