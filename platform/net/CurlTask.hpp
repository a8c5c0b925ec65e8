#pragma once
// A task of the platform session (internal). The engine calls the engine-side members on its I/O
// thread; everything that reaches the caller (handlers, delegate calls) is posted to the session's
// delegate queue, in the order the events happened.
#include "platform/net/URLSession.hpp"

#include <atomic>
#include <mutex>

namespace net::detail {

class CurlSession;

class CurlTask final : public URLSessionTask {
  public:
    CurlTask(std::uint64_t identifier, URLSessionTaskKind kind, URLRequest request, std::string uploadFile,
             std::weak_ptr<CurlSession> session, DataTaskCompletionHandler dataHandler,
             DownloadTaskCompletionHandler downloadHandler);

    void resume() override;
    void cancel() override;

    URLSessionTaskKind kind() const override { return kind_; }
    std::uint64_t taskIdentifier() const override { return identifier_; }
    URLSessionTaskState state() const override { return state_.load(); }
    std::optional<URLRequest> originalRequest() const override { return request_; }
    std::optional<URLRequest> currentRequest() const override { return request_; }
    URLResponseRef response() const override;
    std::optional<ns::Error> error() const override;
    std::string taskDescription() const override;
    void setTaskDescription(std::string description) override;

    // Engine side.
    const URLRequest& request() const { return request_; }
    const std::string& uploadFile() const { return uploadFile_; }
    // True when the body is collected for a completion handler rather than streamed to the delegate.
    bool collectsBody() const { return static_cast<bool>(dataHandler_); }
    bool cancelRequested() const { return cancelRequested_.load(); }
    // The configuration of the session that made the task; null once the session is gone.
    URLSessionConfigurationRef sessionConfiguration() const;
    void engineDidReceiveResponse(URLResponseRef response);
    void engineDidReceiveData(std::vector<std::uint8_t> chunk);
    // Blocks the I/O thread until the delegate answers (or `timeoutSeconds` pass: cancelled).
    std::pair<AuthChallengeDisposition, URLCredentialRef>
    engineChallenge(const URLAuthenticationChallenge& challenge, double timeoutSeconds,
                    const std::atomic<bool>& stopping);
    // `downloadLock`, when not -1, is a descriptor of the downloaded file that holds its lock in tmp/:
    // it is closed only once the file has been handed over and removed, so no sweep of tmp/ (another
    // copy of the app starting) can take the file in between.
    void engineDidComplete(std::optional<ns::Error> error, std::optional<std::vector<std::uint8_t>> body,
                           std::optional<std::string> downloadLocation, int downloadLock = -1);

  private:
    const std::uint64_t identifier_;
    const URLSessionTaskKind kind_;
    const URLRequest request_;
    const std::string uploadFile_;
    const std::weak_ptr<CurlSession> session_;
    DataTaskCompletionHandler dataHandler_;
    DownloadTaskCompletionHandler downloadHandler_;

    std::atomic<URLSessionTaskState> state_{URLSessionTaskState::suspended};
    std::atomic<bool> cancelRequested_{false};
    mutable std::mutex mutex_;
    URLResponseRef response_;
    std::optional<ns::Error> error_;
    std::string description_;
    // Holds the session while the task runs, so dropping the session does not lose running tasks.
    std::shared_ptr<CurlSession> keepAlive_;
};

} // namespace net::detail
