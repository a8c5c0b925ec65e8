#include "sdk/zovaze/network/session/ZEVURLSessionTask.hpp"

#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/foundation/Console.hpp"

#include <cstdlib>

namespace {
std::atomic<std::uint64_t> nextIdentifier{1};
}

ZEVURLSessionTask::ZEVURLSessionTask()
    : identifier_(nextIdentifier++),
      queue_(std::make_unique<dispatch::SerialQueue>("com.zevuzavidav.URLSessionTask")) {}

ZEVURLSessionTask::~ZEVURLSessionTask() {
    // The last reference to a task is often dropped by a block running on the task's own queue, which
    // must not destroy its queue itself: the queue is let go on another thread.
    dispatch::global().async([queue = std::shared_ptr<dispatch::SerialQueue>(std::move(queue_))] {});
}

std::optional<net::URLRequest> ZEVURLSessionTask::originalRequest() const {
    std::lock_guard lock(mutex_);
    return originalRequest_;
}

void ZEVURLSessionTask::setOriginalRequest(net::URLRequest request) {
    std::lock_guard lock(mutex_);
    originalRequest_ = std::move(request);
}

net::URLResponseRef ZEVURLSessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

void ZEVURLSessionTask::setResponse(net::URLResponseRef response) {
    std::lock_guard lock(mutex_);
    response_ = std::move(response);
}

std::optional<ns::Error> ZEVURLSessionTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void ZEVURLSessionTask::setError(std::optional<ns::Error> error) {
    std::lock_guard lock(mutex_);
    error_ = std::move(error);
}

std::string ZEVURLSessionTask::taskDescription() const {
    std::lock_guard lock(mutex_);
    return description_;
}

void ZEVURLSessionTask::setTaskDescription(std::string description) {
    std::lock_guard lock(mutex_);
    description_ = std::move(description);
}

std::shared_ptr<ZEVURLSessionTaskDelegate> ZEVURLSessionTask::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void ZEVURLSessionTask::setDelegate(std::weak_ptr<ZEVURLSessionTaskDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

void ZEVURLSessionTask::start() {
    ns::console("Must be implemented by ZEVURLSessionTask subclasses");
    std::abort();
}
