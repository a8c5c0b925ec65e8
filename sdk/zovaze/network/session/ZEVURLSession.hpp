#pragma once
// The SDK's URL-session facade and its own session.
//
// The class operations hand out the platform's session (net::URLSession) when the platform's session
// service is there - always on this host, unless a test says otherwise - and otherwise a ZEVURLSession:
// a session with the same operations whose tasks (ZEVURLSessionDataTask, ZEVURLSessionUploadTask,
// ZEVURLSessionDownloadTask) run over platform connections. The own session:
//  - adds its configuration's additional headers to each request copy (added to a value already there);
//  - relays task events to its delegate on the delegate queue only for tasks without a completion
//    handler, and only the calls the delegate implements; a task's completion handler runs on the
//    task's own queue instead;
//  - deletes a download's temporary file after the finished-download event has been handed on;
//  - raises no authentication challenges (connections use the system's default trust evaluation, so
//    certificate pinning applies to platform sessions only);
//  - never reports running tasks: getTasksWithCompletionHandler() answers three empty lists.
//
// Failure contract: sessionWithConfiguration() answers null for a missing configuration (own session).
// After invalidateAndCancel() the running tasks are cancelled (silently) and the delegate is dropped;
// after finishTasksAndInvalidate() tasks go on unheard. Thread-safe.
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/dispatch/SerialQueue.hpp"
#include "platform/net/URLSession.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionDelegates.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionTask.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

class ZEVURLSession final : public net::URLSession,
                            public ZEVURLSessionDownloadDelegate,
                            public std::enable_shared_from_this<ZEVURLSession> {
  public:
    static bool NSURLSessionShouldBeUsed();
    // Lets tests run as on a platform without the session service (false), or restore the host (nullopt).
    static void overrideNSURLSessionAvailability(std::optional<bool> available);

    static net::URLSessionRef
    sessionWithConfiguration(net::URLSessionConfigurationRef configuration,
                             net::URLSessionDelegateRef delegate,
                             std::shared_ptr<dispatch::OperationQueue> delegateQueue);
    static net::URLSessionRef sessionWithConfiguration(net::URLSessionConfigurationRef configuration);
    static std::shared_ptr<dispatch::OperationQueue> newDefaultDelegateQueue();

    ~ZEVURLSession() override;

    net::URLSessionTaskRef dataTaskWithRequest(const net::URLRequest& request,
                                               net::DataTaskCompletionHandler handler = {}) override;
    net::URLSessionTaskRef uploadTaskWithRequest(const net::URLRequest& request, const std::string& fileURL,
                                                 net::DataTaskCompletionHandler handler = {}) override;
    net::URLSessionTaskRef downloadTaskWithRequest(const net::URLRequest& request,
                                                   net::DownloadTaskCompletionHandler handler = {}) override;
    net::URLSessionTaskRef downloadTaskWithURL(const std::string& URL);

    void invalidateAndCancel() override;
    void finishTasksAndInvalidate() override;
    void getTasksWithCompletionHandler(net::GetTasksCompletionHandler handler) override;

    net::URLSessionDelegateRef delegate() const override;
    void setDelegate(net::URLSessionDelegateRef delegate);
    std::shared_ptr<dispatch::OperationQueue> delegateQueue() const override;
    void setDelegateQueue(std::shared_ptr<dispatch::OperationQueue> queue);
    net::URLSessionConfigurationRef configuration() const override;
    void setConfiguration(net::URLSessionConfigurationRef configuration);
    std::string sessionDescription() const override;
    void setSessionDescription(std::string description) override;

    // Task events.
    std::optional<net::URLRequest>
    taskWillPerformHTTPRedirection(const std::shared_ptr<ZEVURLSessionTask>& task,
                                   const net::URLResponseRef& response,
                                   const net::URLRequest& newRequest) override;
    void taskDidCompleteWithError(const std::shared_ptr<ZEVURLSessionTask>& task,
                                  const std::optional<ns::Error>& error) override;
    void taskDidReceiveResponse(const std::shared_ptr<ZEVURLSessionTask>& task,
                                const net::URLResponseRef& response) override;
    void taskDidReceiveData(const std::shared_ptr<ZEVURLSessionTask>& task,
                            const std::vector<std::uint8_t>& data) override;
    void downloadTask(const std::shared_ptr<ZEVURLSessionTask>& task,
                      const std::string& didFinishDownloadingToURL) override;

    bool shouldInvokeDelegateSelector(net::URLSessionDelegateSelector selector,
                                      const std::shared_ptr<ZEVURLSessionTask>& task) const;
    // The session's unfinished tasks (cancelled ones stay until the session goes).
    std::size_t taskCount() const;

  private:
    ZEVURLSession() = default;
    void configureTask(const std::shared_ptr<ZEVURLSessionTask>& task, const net::URLRequest& request,
                       const std::function<void(net::URLRequest&)>& block);
    // Runs `call` with the delegate on the delegate queue, then `after` (also when nothing is relayed).
    void relay(net::URLSessionDelegateSelector selector, const std::shared_ptr<ZEVURLSessionTask>& task,
               std::function<void(net::URLSessionDelegate&)> call, std::function<void()> after);

    mutable std::mutex mutex_;
    net::URLSessionDelegateRef delegate_;
    std::shared_ptr<dispatch::OperationQueue> delegateQueue_;
    net::URLSessionConfigurationRef configuration_;
    std::set<std::shared_ptr<ZEVURLSessionTask>> taskSet_;
    std::unique_ptr<dispatch::SerialQueue> queue_ =
        std::make_unique<dispatch::SerialQueue>("com.zevuzavidav.URLSession");
    std::string sessionDescription_;
};
