#pragma once
// A task of the SDK's own session that runs one request over a platform connection and collects the
// body in memory. Events move from the connection to the task's serial queue at once and are handled
// there in the order the connection delivered them: response (to the session, then stored), data
// chunks (appended, then to the session), and one completion: the completion handler, if any, with
// (data, or none when no byte arrived; response; error), then the completion event to the session.
//
// Failure contract: the task completes once. cancel() acts at once on the caller's thread: a
// cancelled task - also one cancelled before its connection started - reports nothing further, neither
// to its handler nor to the session. A second resume() starts nothing.
#include "platform/net/URLConnection.hpp"
#include "platform/net/URLSession.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionTask.hpp"

class ZEVURLSessionDataTask : public ZEVURLSessionTask, public net::URLConnectionDelegate {
  public:
    static std::shared_ptr<ZEVURLSessionDataTask> task();

    net::URLSessionTaskKind kind() const override { return net::URLSessionTaskKind::data; }
    void resume() override;
    void cancel() override;

    net::DataTaskCompletionHandler completionHandler() const;
    void setCompletionHandler(net::DataTaskCompletionHandler handler);
    std::shared_ptr<net::URLConnection> connection() const;
    void setConnection(std::shared_ptr<net::URLConnection> connection);

    void connectionDidReceiveResponse(net::URLConnection&, const net::URLResponseRef& response) override;
    void connectionDidReceiveData(net::URLConnection&, const std::vector<std::uint8_t>& data) override;
    void connectionDidFailWithError(net::URLConnection&, const ns::Error& error) override;
    void connectionDidFinishLoading(net::URLConnection&) override;

  protected:
    ZEVURLSessionDataTask() = default;
    // Runs on the task's queue; reports the outcome once.
    virtual void complete();
    bool isCancelled() const { return cancelled_.load(); }
    // True the first time it is called: the task's one completion.
    bool claimCompletion() { return !completed_.exchange(true); }
    std::shared_ptr<ZEVURLSessionDataTask> dataSelf() {
        return std::static_pointer_cast<ZEVURLSessionDataTask>(ZEVURLSessionTask::shared_from_this());
    }

  private:
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> resumed_{false};
    std::atomic<bool> completed_{false};
    net::DataTaskCompletionHandler completionHandler_;
    std::shared_ptr<net::URLConnection> connection_;
    std::optional<std::vector<std::uint8_t>> data_;
};
