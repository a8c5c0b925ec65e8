#include "platform/services/Executor.hpp"

#include <mutex>

namespace svc {
namespace {

std::mutex& executorMutex() {
    static std::mutex m;
    return m;
}

Executor& currentExecutor() {
    static Executor e;
    return e;
}

} // namespace

Executor setCallbackExecutor(Executor executor) {
    std::lock_guard lock(executorMutex());
    Executor previous = std::move(currentExecutor());
    currentExecutor() = std::move(executor);
    return previous;
}

void deliverCallback(Task task) {
    Executor executor;
    {
        std::lock_guard lock(executorMutex());
        executor = currentExecutor();
    }
    if (executor)
        executor(std::move(task));
    else if (task)
        task();
}

} // namespace svc
