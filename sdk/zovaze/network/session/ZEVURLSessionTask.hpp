#pragma once
// The base of the SDK's own session tasks (used when the platform has no URL-session service): the
// request as the session prepared it, the response and error once known, the task's own serial queue
// "com.zevuzavidav.URLSessionTask" on which every event of the task is handled, and whether events go
// to the session's delegate (false when the task has a completion handler).
//
// Failure contract: cancel() is abstract (a kind of task that forgot it does not compile); start() is
// not used by any task the session makes and stops the program with the message "Must be implemented
// by ZEVURLSessionTask subclasses" if it is ever reached; resume() and cleanup() do nothing here. Accessors
// are thread-safe. The task does not own its delegate (the session that made it).
#include "platform/dispatch/SerialQueue.hpp"
#include "platform/net/URLSessionTask.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionDelegates.hpp"

#include <atomic>
#include <memory>
#include <mutex>

class ZEVURLSessionTask : public net::URLSessionTask {
  public:
    ZEVURLSessionTask();
    ~ZEVURLSessionTask() override;

    void resume() override {}
    virtual void start();
    void cancel() override = 0;
    virtual void cleanup() {}

    std::uint64_t taskIdentifier() const override { return identifier_; }
    net::URLSessionTaskState state() const override { return state_.load(); }
    std::optional<net::URLRequest> originalRequest() const override;
    void setOriginalRequest(net::URLRequest request);
    // Nothing sets the current request of these tasks.
    std::optional<net::URLRequest> currentRequest() const override { return std::nullopt; }
    net::URLResponseRef response() const override;
    void setResponse(net::URLResponseRef response);
    std::optional<ns::Error> error() const override;
    void setError(std::optional<ns::Error> error);
    std::string taskDescription() const override;
    void setTaskDescription(std::string description) override;

    std::shared_ptr<ZEVURLSessionTaskDelegate> delegate() const;
    void setDelegate(std::weak_ptr<ZEVURLSessionTaskDelegate> delegate);
    bool invokesDelegate() const { return invokesDelegate_.load(); }
    void setInvokesDelegate(bool invokes) { invokesDelegate_ = invokes; }

    dispatch::SerialQueue& queue() const { return *queue_; }

  protected:
    std::shared_ptr<ZEVURLSessionTask> self() {
        return std::static_pointer_cast<ZEVURLSessionTask>(shared_from_this());
    }
    std::atomic<net::URLSessionTaskState> state_{net::URLSessionTaskState::suspended};
    mutable std::mutex mutex_;

  private:
    const std::uint64_t identifier_;
    std::unique_ptr<dispatch::SerialQueue> queue_;
    std::atomic<bool> invokesDelegate_{true};
    std::weak_ptr<ZEVURLSessionTaskDelegate> delegate_;
    std::optional<net::URLRequest> originalRequest_;
    net::URLResponseRef response_;
    std::optional<ns::Error> error_;
    std::string description_;
};
