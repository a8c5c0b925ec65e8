#pragma once
// Which queue each thread is running, for the crash reporter: readable from any thread without locks
// or allocation, also from a signal handler.
//
// A thread is "running a queue" while it runs a block of a serial queue, the global queue or the main
// queue. Labels are interned for the life of the process, so a returned pointer never dangles.
#include <sys/types.h>

namespace dispatch {

// The label of the queue whose block the thread with kernel id `tid` is running; nullptr when none (or
// when more threads run blocks than the table has room for, 512).
const char* queueLabelOfThread(pid_t tid) noexcept;

} // namespace dispatch
