#include "platform/net/CurlSession.hpp"

#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/net/CurlEngine.hpp"
#include "platform/net/CurlTask.hpp"

#include <algorithm>
#include <cstdio>

namespace net {

std::shared_ptr<URLSession>
URLSession::sessionWithConfiguration(URLSessionConfigurationRef configuration, URLSessionDelegateRef delegate,
                                     std::shared_ptr<dispatch::OperationQueue> delegateQueue) {
    return std::make_shared<detail::CurlSession>(std::move(configuration), std::move(delegate),
                                                 std::move(delegateQueue));
}

namespace detail {

CurlSession::CurlSession(URLSessionConfigurationRef configuration, URLSessionDelegateRef delegate,
                         std::shared_ptr<dispatch::OperationQueue> delegateQueue)
    : configuration_(configuration ? configuration->copy()
                                   : URLSessionConfiguration::defaultSessionConfiguration()),
      queue_(std::move(delegateQueue)), delegate_(std::move(delegate)) {
    if (!queue_) {
        queue_ = std::make_shared<dispatch::OperationQueue>();
        char name[64];
        std::snprintf(name, sizeof name, "NSOperationQueue %p", static_cast<void*>(queue_.get()));
        queue_->setName(name);
        queue_->setMaxConcurrentOperationCount(1);
    }
}

CurlSession::~CurlSession() {
    // Tasks hold the session weakly: from here on their lock() finds nothing, so none can reach it.
    if (engine_) {
        engine_->stop();
        // The engine's end joins its thread. The last reference may be dropped on an engine thread (by
        // a transfer's completion, say), which cannot wait for itself: the engine ends on another.
        if (CurlEngine::onAnyEngineThread()) dispatch::global().async([engine = std::move(engine_)] {});
    }
    // The last reference may be dropped by a block running on the delegate queue itself; destroying the
    // queue there would wait for that very block, so the queue is let go on another thread.
    dispatch::global().async([queue = std::move(queue_)] {});
}

CurlEngine& CurlSession::engine() {
    std::call_once(engineStarted_, [this] { engine_ = CurlEngine::create(); });
    return *engine_;
}

URLSessionTaskRef CurlSession::makeTask(URLSessionTaskKind kind, const URLRequest& request,
                                        std::string uploadFile, DataTaskCompletionHandler dataHandler,
                                        DownloadTaskCompletionHandler downloadHandler) {
    std::lock_guard lock(mutex_);
    if (invalidated_) return nullptr;
    auto task =
        std::make_shared<CurlTask>(nextIdentifier_++, kind, request, std::move(uploadFile), weak_from_this(),
                                   std::move(dataHandler), std::move(downloadHandler));
    tasks_.push_back(task);
    return task;
}

URLSessionTaskRef CurlSession::dataTaskWithRequest(const URLRequest& request,
                                                   DataTaskCompletionHandler handler) {
    return makeTask(URLSessionTaskKind::data, request, {}, std::move(handler), {});
}

URLSessionTaskRef CurlSession::uploadTaskWithRequest(const URLRequest& request, const std::string& fileURL,
                                                     DataTaskCompletionHandler handler) {
    if (fileURL.empty()) return nullptr;
    return makeTask(URLSessionTaskKind::upload, request, fileURL, std::move(handler), {});
}

URLSessionTaskRef CurlSession::downloadTaskWithRequest(const URLRequest& request,
                                                       DownloadTaskCompletionHandler handler) {
    return makeTask(URLSessionTaskKind::download, request, {}, {}, std::move(handler));
}

void CurlSession::invalidateAndCancel() {
    std::vector<std::shared_ptr<CurlTask>> tasks;
    {
        std::lock_guard lock(mutex_);
        invalidated_ = true;
        tasks = tasks_;
    }
    for (auto& task : tasks)
        task->cancel();
    std::unique_lock lock(mutex_);
    finishInvalidationIfIdleLocked(lock);
}

void CurlSession::finishTasksAndInvalidate() {
    std::unique_lock lock(mutex_);
    invalidated_ = true;
    finishInvalidationIfIdleLocked(lock);
}

void CurlSession::finishInvalidationIfIdleLocked(std::unique_lock<std::mutex>& lock) {
    if (!invalidated_ || invalidationReported_) return;
    bool busy = std::any_of(tasks_.begin(), tasks_.end(), [](const auto& task) {
        auto state = task->state();
        return state == URLSessionTaskState::running || state == URLSessionTaskState::canceling;
    });
    if (busy) return;
    invalidationReported_ = true;
    auto delegate = std::move(delegate_);
    delegate_.reset();
    lock.unlock();
    if (!delegate) return;
    auto self = shared_from_this();
    post([self, delegate] {
        if (delegate->respondsToSelector(URLSessionDelegateSelector::didBecomeInvalidWithError))
            delegate->URLSessionDidBecomeInvalidWithError(*self, std::nullopt);
    });
}

void CurlSession::getTasksWithCompletionHandler(GetTasksCompletionHandler handler) {
    std::vector<URLSessionTaskRef> data, upload, download;
    {
        std::lock_guard lock(mutex_);
        for (const auto& task : tasks_) {
            if (task->state() == URLSessionTaskState::completed) continue;
            switch (task->kind()) {
            case URLSessionTaskKind::data:
                data.push_back(task);
                break;
            case URLSessionTaskKind::upload:
                upload.push_back(task);
                break;
            case URLSessionTaskKind::download:
                download.push_back(task);
                break;
            }
        }
    }
    post([handler = std::move(handler), data, upload, download] { handler(data, upload, download); });
}

URLSessionDelegateRef CurlSession::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

std::string CurlSession::sessionDescription() const {
    std::lock_guard lock(mutex_);
    return description_;
}

void CurlSession::setSessionDescription(std::string description) {
    std::lock_guard lock(mutex_);
    description_ = std::move(description);
}

void CurlSession::post(std::function<void()> block) {
    queue_->addOperation(std::move(block));
}

void CurlSession::taskDidFinish(const std::shared_ptr<CurlTask>& task) {
    std::unique_lock lock(mutex_);
    tasks_.erase(std::remove(tasks_.begin(), tasks_.end(), task), tasks_.end());
    finishInvalidationIfIdleLocked(lock);
}

} // namespace detail
} // namespace net
