#include "platform/dispatch/detail/Labels.hpp"

#include "platform/darwin/Threads.hpp"
#include "platform/dispatch/SerialQueue.hpp"

#include <mutex>
#include <set>

namespace dispatch {

namespace {
thread_local const char* tRunning = nullptr;
} // namespace

std::string currentQueueLabel() {
    const char* label = tRunning;
    return label ? std::string(label) : std::string();
}

namespace detail {

const char* internLabel(const std::string& label) {
    static std::mutex mutex;
    static auto* labels = new std::set<std::string>; // never freed: pointers are handed out for good
    std::lock_guard lock(mutex);
    return labels->insert(label).first->c_str();
}

// The crash reporter reads the label from the thread table, so it is published there as well.
RunningQueueScope::RunningQueueScope(const char* label) noexcept : previous_(tRunning) {
    tRunning = label;
    darwin::setCurrentThreadQueueLabel(label);
}

RunningQueueScope::~RunningQueueScope() {
    tRunning = previous_;
    darwin::setCurrentThreadQueueLabel(previous_);
}

const char* runningQueueLabel() noexcept {
    return tRunning;
}

} // namespace detail

} // namespace dispatch
