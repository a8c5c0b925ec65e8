#pragma once
// The platform session over libcurl (internal: callers use URLSession::sessionWithConfiguration).
//
// CurlSession owns the delegate, the delegate queue and the task list; CurlEngine (CurlEngine.hpp)
// owns the multi handle and the I/O thread; CurlTask is the task handed to callers. Events flow
// engine -> task -> delegate queue; commands flow task/session -> engine through a locked list and a
// wake-up of the multi handle, so no caller ever waits for the network.
#include "platform/net/URLSession.hpp"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace net::detail {

class CurlEngine;
class CurlTask;

class CurlSession final : public URLSession, public std::enable_shared_from_this<CurlSession> {
  public:
    CurlSession(URLSessionConfigurationRef configuration, URLSessionDelegateRef delegate,
                std::shared_ptr<dispatch::OperationQueue> delegateQueue);
    ~CurlSession() override;

    URLSessionTaskRef dataTaskWithRequest(const URLRequest& request,
                                          DataTaskCompletionHandler handler) override;
    URLSessionTaskRef uploadTaskWithRequest(const URLRequest& request, const std::string& fileURL,
                                            DataTaskCompletionHandler handler) override;
    URLSessionTaskRef downloadTaskWithRequest(const URLRequest& request,
                                              DownloadTaskCompletionHandler handler) override;

    void invalidateAndCancel() override;
    void finishTasksAndInvalidate() override;
    void getTasksWithCompletionHandler(GetTasksCompletionHandler handler) override;

    URLSessionDelegateRef delegate() const override;
    std::shared_ptr<dispatch::OperationQueue> delegateQueue() const override { return queue_; }
    URLSessionConfigurationRef configuration() const override { return configuration_->copy(); }
    std::string sessionDescription() const override;
    void setSessionDescription(std::string description) override;

    // Used by tasks. The engine (libcurl, its I/O thread) is started by the first task that runs, so a
    // session that never sends anything costs nothing.
    CurlEngine& engine();
    const URLSessionConfiguration& configurationRef() const { return *configuration_; }
    // Runs `block` on the delegate queue.
    void post(std::function<void()> block);
    // Called on the delegate queue after a task's last event.
    void taskDidFinish(const std::shared_ptr<CurlTask>& task);

  private:
    URLSessionTaskRef makeTask(URLSessionTaskKind kind, const URLRequest& request, std::string uploadFile,
                               DataTaskCompletionHandler dataHandler,
                               DownloadTaskCompletionHandler downloadHandler);
    void finishInvalidationIfIdleLocked(std::unique_lock<std::mutex>& lock);

    URLSessionConfigurationRef configuration_;
    std::shared_ptr<dispatch::OperationQueue> queue_;
    std::once_flag engineStarted_;
    std::shared_ptr<CurlEngine> engine_;

    mutable std::mutex mutex_;
    URLSessionDelegateRef delegate_;
    std::string description_;
    std::vector<std::shared_ptr<CurlTask>> tasks_;
    bool invalidated_ = false;
    bool invalidationReported_ = false;
    std::atomic<std::uint64_t> nextIdentifier_{1};
};

} // namespace net::detail
