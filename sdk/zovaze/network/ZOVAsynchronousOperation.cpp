#include "sdk/zovaze/network/ZOVAsynchronousOperation.hpp"

#include "platform/dispatch/GlobalQueue.hpp"

void ZOVAsynchronousOperation::start() {
    if (startCalled_.exchange(true) || isFinished()) return;
    auto self = std::static_pointer_cast<ZOVAsynchronousOperation>(shared_from_this());
    dispatch::global().async([self] { self->main(); });
    // Set after main() is scheduled: main may already be running when observers see the change.
    setExecuting();
}
