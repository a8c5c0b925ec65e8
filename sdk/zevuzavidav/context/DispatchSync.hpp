#pragma once
// Synchronous work on one of the crash reporter's serial queues (logging, binary images, exceptions),
// run on the caller's own thread.
//
// The block runs after every block submitted to the queue before it and before any submitted after
// it, while the queue's worker waits; so a crash recorded from inside the block shows the caller's own
// stack, not the worker's. A call from a block already running on the same queue (on its worker, or
// inside an enclosing dispatchSync) runs the block at once rather than waiting for itself.
// Exceptions leave the block to the caller after the worker is released. Not for use at crash time,
// nor on a queue that is being destroyed.
#include "platform/dispatch/SerialQueue.hpp"

#include <functional>

namespace zevuzavidav {

void dispatchSync(dispatch::SerialQueue& queue, const std::function<void()>& block);

} // namespace zevuzavidav
