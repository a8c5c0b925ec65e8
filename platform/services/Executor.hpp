#pragma once
// Where service callbacks run. The platform delivers backend, video and similar callbacks "on the main
// thread": the app installs an executor that posts to its main queue; until then (and in tests that do
// not care) callbacks run directly on the thread that completes the work.
//
// Failure contract: none. Thread-safe; the executor in force when a callback is delivered is used.
#include <functional>

namespace svc {

using Task = std::function<void()>;
using Executor = std::function<void(Task)>;

// Replaces the callback executor; an empty executor restores direct calls. Returns the previous one.
Executor setCallbackExecutor(Executor executor);
// Runs `task` through the current executor.
void deliverCallback(Task task);

} // namespace svc
