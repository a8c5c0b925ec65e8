#include "platform/services/Executor.hpp"

#include "platform/services/ServiceSlot.hpp"

namespace svc {
namespace {
ServiceSlot<Executor>& slot() {
    static ServiceSlot<Executor> s;
    return s;
}
} // namespace

Executor setCallbackExecutor(Executor executor) {
    return slot().exchange(std::move(executor));
}

void deliverCallback(Task task) {
    const Executor executor = slot().get();
    if (executor)
        executor(std::move(task));
    else if (task)
        task();
}

} // namespace svc
