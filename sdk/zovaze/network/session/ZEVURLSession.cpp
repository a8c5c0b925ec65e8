#include "sdk/zovaze/network/session/ZEVURLSession.hpp"

#include "platform/dispatch/GlobalQueue.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionDownloadTask.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionUploadTask.hpp"

#include <atomic>
#include <cstdio>

namespace {

// -1: as the host is (the platform session exists); 0 / 1: forced by a test.
std::atomic<int> availabilityOverride{-1};

} // namespace

bool ZEVURLSession::NSURLSessionShouldBeUsed() {
    int forced = availabilityOverride.load();
    // This host's platform layer always provides the session service with background configurations.
    return forced < 0 ? true : forced == 1;
}

void ZEVURLSession::overrideNSURLSessionAvailability(std::optional<bool> available) {
    availabilityOverride = available ? (*available ? 1 : 0) : -1;
}

net::URLSessionRef
ZEVURLSession::sessionWithConfiguration(net::URLSessionConfigurationRef configuration,
                                        net::URLSessionDelegateRef delegate,
                                        std::shared_ptr<dispatch::OperationQueue> delegateQueue) {
    if (NSURLSessionShouldBeUsed())
        return net::URLSession::sessionWithConfiguration(std::move(configuration), std::move(delegate),
                                                         std::move(delegateQueue));
    if (!configuration) return nullptr;
    auto session = std::shared_ptr<ZEVURLSession>(new ZEVURLSession());
    if (delegate && !delegateQueue) delegateQueue = newDefaultDelegateQueue();
    session->delegate_ = std::move(delegate);
    session->delegateQueue_ = std::move(delegateQueue);
    session->configuration_ = configuration->copy();
    return session;
}

net::URLSessionRef ZEVURLSession::sessionWithConfiguration(net::URLSessionConfigurationRef configuration) {
    return sessionWithConfiguration(std::move(configuration), nullptr, nullptr);
}

std::shared_ptr<dispatch::OperationQueue> ZEVURLSession::newDefaultDelegateQueue() {
    static const int classObject = 0; // stands for the class object whose address names the queue
    char name[96];
    std::snprintf(name, sizeof name, "%s %p", "ZEVURLSession", static_cast<const void*>(&classObject));
    auto queue = std::make_shared<dispatch::OperationQueue>(name);
    queue->setMaxConcurrentOperationCount(1);
    return queue;
}

ZEVURLSession::~ZEVURLSession() {
    // The last reference may go inside a block of the session's own queue; its queue is let go elsewhere.
    dispatch::global().async([queue = std::shared_ptr<dispatch::SerialQueue>(std::move(queue_))] {});
}

void ZEVURLSession::configureTask(const std::shared_ptr<ZEVURLSessionTask>& task,
                                  const net::URLRequest& request,
                                  const std::function<void(net::URLRequest&)>& block) {
    net::URLRequest copy = request;
    queue_->sync([&] {
        taskSet_.insert(task);
        auto configuration = this->configuration();
        if (configuration)
            for (const auto& [name, value] : configuration->HTTPAdditionalHeaders().fields())
                copy.addValue(value, name);
    });
    if (block) block(copy);
    task->setOriginalRequest(std::move(copy));
    task->setDelegate(std::weak_ptr<ZEVURLSessionTaskDelegate>(
        std::static_pointer_cast<ZEVURLSessionTaskDelegate>(shared_from_this())));
}

net::URLSessionTaskRef ZEVURLSession::dataTaskWithRequest(const net::URLRequest& request,
                                                          net::DataTaskCompletionHandler handler) {
    auto task = ZEVURLSessionDataTask::task();
    if (handler) {
        task->setCompletionHandler(std::move(handler));
        task->setInvokesDelegate(false);
    }
    configureTask(task, request, nullptr);
    return task;
}

net::URLSessionTaskRef ZEVURLSession::uploadTaskWithRequest(const net::URLRequest& request,
                                                            const std::string& fileURL,
                                                            net::DataTaskCompletionHandler handler) {
    auto task = ZEVURLSessionUploadTask::task();
    if (handler) {
        task->setCompletionHandler(std::move(handler));
        task->setInvokesDelegate(false);
    }
    configureTask(task, request, [&](net::URLRequest& copy) { copy.setHTTPBodyFile(fileURL); });
    return task;
}

net::URLSessionTaskRef ZEVURLSession::downloadTaskWithRequest(const net::URLRequest& request,
                                                              net::DownloadTaskCompletionHandler handler) {
    auto task = ZEVURLSessionDownloadTask::task();
    if (handler) {
        task->setDownloadCompletionHandler(std::move(handler));
        task->setInvokesDelegate(false);
    }
    configureTask(task, request, nullptr);
    return task;
}

net::URLSessionTaskRef ZEVURLSession::downloadTaskWithURL(const std::string& URL) {
    return downloadTaskWithRequest(net::URLRequest(URL));
}

void ZEVURLSession::invalidateAndCancel() {
    queue_->sync([&] {
        for (const auto& task : taskSet_)
            task->cancel();
    });
    setDelegate(nullptr);
}

void ZEVURLSession::finishTasksAndInvalidate() {
    setDelegate(nullptr);
}

void ZEVURLSession::getTasksWithCompletionHandler(net::GetTasksCompletionHandler handler) {
    auto call = [handler = std::move(handler)] { handler({}, {}, {}); };
    if (auto queue = delegateQueue())
        queue->addOperation(std::move(call));
    else
        dispatch::global().async(std::move(call));
}

net::URLSessionDelegateRef ZEVURLSession::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void ZEVURLSession::setDelegate(net::URLSessionDelegateRef delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<dispatch::OperationQueue> ZEVURLSession::delegateQueue() const {
    std::lock_guard lock(mutex_);
    return delegateQueue_;
}

void ZEVURLSession::setDelegateQueue(std::shared_ptr<dispatch::OperationQueue> queue) {
    std::lock_guard lock(mutex_);
    delegateQueue_ = std::move(queue);
}

net::URLSessionConfigurationRef ZEVURLSession::configuration() const {
    std::lock_guard lock(mutex_);
    return configuration_;
}

void ZEVURLSession::setConfiguration(net::URLSessionConfigurationRef configuration) {
    std::lock_guard lock(mutex_);
    configuration_ = configuration ? configuration->copy() : nullptr;
}

std::string ZEVURLSession::sessionDescription() const {
    std::lock_guard lock(mutex_);
    return sessionDescription_;
}

void ZEVURLSession::setSessionDescription(std::string description) {
    std::lock_guard lock(mutex_);
    sessionDescription_ = std::move(description);
}

std::size_t ZEVURLSession::taskCount() const {
    return queue_->syncResult([&] { return taskSet_.size(); });
}

bool ZEVURLSession::shouldInvokeDelegateSelector(net::URLSessionDelegateSelector selector,
                                                 const std::shared_ptr<ZEVURLSessionTask>& task) const {
    auto delegate = this->delegate();
    return task->invokesDelegate() && delegate && delegate->respondsToSelector(selector);
}

void ZEVURLSession::relay(net::URLSessionDelegateSelector selector,
                          const std::shared_ptr<ZEVURLSessionTask>& task,
                          std::function<void(net::URLSessionDelegate&)> call, std::function<void()> after) {
    auto delegate = this->delegate();
    auto queue = delegateQueue();
    if (!shouldInvokeDelegateSelector(selector, task) || !delegate || !queue) {
        if (after) after();
        return;
    }
    queue->addOperation([delegate, call = std::move(call), after = std::move(after)] {
        call(*delegate);
        if (after) after();
    });
}

std::optional<net::URLRequest>
ZEVURLSession::taskWillPerformHTTPRedirection(const std::shared_ptr<ZEVURLSessionTask>&,
                                              const net::URLResponseRef&, const net::URLRequest& newRequest) {
    return newRequest;
}

void ZEVURLSession::taskDidReceiveResponse(const std::shared_ptr<ZEVURLSessionTask>& task,
                                           const net::URLResponseRef& response) {
    auto self = shared_from_this();
    relay(
        net::URLSessionDelegateSelector::dataTaskDidReceiveResponse, task,
        [self, task, response](net::URLSessionDelegate& delegate) {
            delegate.URLSessionDataTaskDidReceiveResponse(*self, task, response,
                                                          [](net::URLSessionResponseDisposition) {});
        },
        nullptr);
}

void ZEVURLSession::taskDidReceiveData(const std::shared_ptr<ZEVURLSessionTask>& task,
                                       const std::vector<std::uint8_t>& data) {
    auto self = shared_from_this();
    relay(
        net::URLSessionDelegateSelector::dataTaskDidReceiveData, task,
        [self, task, data](net::URLSessionDelegate& delegate) {
            delegate.URLSessionDataTaskDidReceiveData(*self, task, data);
        },
        nullptr);
}

void ZEVURLSession::downloadTask(const std::shared_ptr<ZEVURLSessionTask>& task,
                                 const std::string& location) {
    auto self = shared_from_this();
    relay(
        net::URLSessionDelegateSelector::downloadTaskDidFinishDownloadingToURL, task,
        [self, task, location](net::URLSessionDelegate& delegate) {
            delegate.URLSessionDownloadTaskDidFinishDownloadingToURL(*self, task, location);
        },
        [task] { task->cleanup(); });
}

void ZEVURLSession::taskDidCompleteWithError(const std::shared_ptr<ZEVURLSessionTask>& task,
                                             const std::optional<ns::Error>& error) {
    auto self = shared_from_this();
    relay(
        net::URLSessionDelegateSelector::taskDidCompleteWithError, task,
        [self, task, error](net::URLSessionDelegate& delegate) {
            delegate.URLSessionTaskDidCompleteWithError(*self, task, error);
        },
        [self, task] { self->queue_->async([self, task] { self->taskSet_.erase(task); }); });
}
