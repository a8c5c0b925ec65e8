#include "platform/net/CurlTask.hpp"

#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/net/CurlEngine.hpp"
#include "platform/net/CurlSession.hpp"
#include "platform/net/URLError.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <unistd.h>

namespace net::detail {
namespace {

// A descriptor closed with its last owner: a delivery that never runs (its queue cancelled) still
// lets go of the download's lock.
struct HeldDescriptor {
    explicit HeldDescriptor(int fd) : fd(fd) {}
    ~HeldDescriptor() {
        if (fd >= 0) ::close(fd);
    }
    HeldDescriptor(const HeldDescriptor&) = delete;
    HeldDescriptor& operator=(const HeldDescriptor&) = delete;
    int fd;
};

} // namespace

CurlTask::CurlTask(std::uint64_t identifier, URLSessionTaskKind kind, URLRequest request,
                   std::string uploadFile, std::weak_ptr<CurlSession> session,
                   DataTaskCompletionHandler dataHandler, DownloadTaskCompletionHandler downloadHandler)
    : identifier_(identifier), kind_(kind), request_(std::move(request)), uploadFile_(std::move(uploadFile)),
      session_(std::move(session)), dataHandler_(std::move(dataHandler)),
      downloadHandler_(std::move(downloadHandler)) {}

void CurlTask::resume() {
    auto expected = URLSessionTaskState::suspended;
    if (!state_.compare_exchange_strong(expected, URLSessionTaskState::running)) return;
    auto session = session_.lock();
    auto self = std::static_pointer_cast<CurlTask>(shared_from_this());
    if (!session) {
        engineDidComplete(makeURLError(URLErrorCancelled, request_.URL()), std::nullopt, std::nullopt);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        keepAlive_ = session;
    }
    session->engine().add(self);
}

void CurlTask::cancel() {
    auto current = state_.load();
    while (current == URLSessionTaskState::suspended || current == URLSessionTaskState::running) {
        if (state_.compare_exchange_weak(current, URLSessionTaskState::canceling)) break;
    }
    if (current != URLSessionTaskState::suspended && current != URLSessionTaskState::running) return;
    cancelRequested_ = true;
    if (current == URLSessionTaskState::suspended) {
        // Never started: nothing is on the wire, complete it here.
        engineDidComplete(makeURLError(URLErrorCancelled, request_.URL()), std::nullopt, std::nullopt);
        return;
    }
    if (auto session = session_.lock())
        session->engine().cancel(std::static_pointer_cast<CurlTask>(shared_from_this()));
}

URLResponseRef CurlTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::optional<ns::Error> CurlTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::string CurlTask::taskDescription() const {
    std::lock_guard lock(mutex_);
    return description_;
}

void CurlTask::setTaskDescription(std::string description) {
    std::lock_guard lock(mutex_);
    description_ = std::move(description);
}

URLSessionConfigurationRef CurlTask::sessionConfiguration() const {
    auto session = session_.lock();
    return session ? session->configuration() : nullptr;
}

void CurlTask::engineDidReceiveResponse(URLResponseRef response) {
    {
        std::lock_guard lock(mutex_);
        response_ = response;
    }
    if (dataHandler_ || downloadHandler_ || kind_ == URLSessionTaskKind::download) return;
    auto session = session_.lock();
    if (!session) return;
    auto self = std::static_pointer_cast<CurlTask>(shared_from_this());
    session->post([session, self, response] {
        auto delegate = session->delegate();
        if (!delegate ||
            !delegate->respondsToSelector(URLSessionDelegateSelector::dataTaskDidReceiveResponse))
            return;
        std::weak_ptr<CurlTask> weak = self;
        delegate->URLSessionDataTaskDidReceiveResponse(
            *session, self, response, [weak](URLSessionResponseDisposition disposition) {
                if (disposition == URLSessionResponseDisposition::cancel)
                    if (auto task = weak.lock()) task->cancel();
            });
    });
}

void CurlTask::engineDidReceiveData(std::vector<std::uint8_t> chunk) {
    auto session = session_.lock();
    if (!session) return;
    auto self = std::static_pointer_cast<CurlTask>(shared_from_this());
    session->post([session, self, chunk = std::move(chunk)] {
        auto delegate = session->delegate();
        if (delegate && delegate->respondsToSelector(URLSessionDelegateSelector::dataTaskDidReceiveData))
            delegate->URLSessionDataTaskDidReceiveData(*session, self, chunk);
    });
}

std::pair<AuthChallengeDisposition, URLCredentialRef>
CurlTask::engineChallenge(const URLAuthenticationChallenge& challenge, double timeoutSeconds,
                          const std::atomic<bool>& stopping) {
    auto session = session_.lock();
    auto delegate = session ? session->delegate() : nullptr;
    if (!delegate || !delegate->respondsToSelector(URLSessionDelegateSelector::didReceiveChallenge))
        return {AuthChallengeDisposition::performDefaultHandling, nullptr};

    struct Answer {
        std::mutex mutex;
        std::condition_variable cv;
        std::optional<std::pair<AuthChallengeDisposition, URLCredentialRef>> value;
    };
    auto answer = std::make_shared<Answer>();
    session->post([session, delegate, challenge, answer] {
        delegate->URLSessionDidReceiveChallenge(
            *session, challenge, [answer](AuthChallengeDisposition disposition, URLCredentialRef credential) {
                std::lock_guard lock(answer->mutex);
                if (!answer->value) answer->value.emplace(disposition, credential);
                answer->cv.notify_all();
            });
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    std::unique_lock lock(answer->mutex);
    while (!answer->value) {
        if (stopping.load() || cancelRequested() || std::chrono::steady_clock::now() >= deadline) break;
        answer->cv.wait_for(lock, std::chrono::milliseconds(20));
    }
    if (!answer->value) return {AuthChallengeDisposition::cancelAuthenticationChallenge, nullptr};
    return *answer->value;
}

void CurlTask::engineDidComplete(std::optional<ns::Error> error,
                                 std::optional<std::vector<std::uint8_t>> body,
                                 std::optional<std::string> downloadPath, int downloadLock) {
    std::shared_ptr<CurlSession> session;
    {
        std::lock_guard lock(mutex_);
        error_ = error;
        session = std::move(keepAlive_);
        keepAlive_.reset();
    }
    if (!session) session = session_.lock();
    auto self = std::static_pointer_cast<CurlTask>(shared_from_this());
    auto deliver = [self, session, error = std::move(error), body = std::move(body),
                    downloadPath = std::move(downloadPath),
                    lock = std::make_shared<HeldDescriptor>(downloadLock)]() mutable {
        self->state_ = URLSessionTaskState::completed;
        std::optional<std::string> location;
        if (!error && downloadPath) location = downloadPath;
        auto response = self->response();
        if (self->dataHandler_) {
            if (!error && !body) body.emplace();
            self->dataHandler_(body, response, error);
        } else if (self->downloadHandler_) {
            self->downloadHandler_(location, response, error);
        } else if (session) {
            if (auto delegate = session->delegate()) {
                if (location && delegate->respondsToSelector(
                                    URLSessionDelegateSelector::downloadTaskDidFinishDownloadingToURL))
                    delegate->URLSessionDownloadTaskDidFinishDownloadingToURL(*session, self, *location);
                if (delegate->respondsToSelector(URLSessionDelegateSelector::taskDidCompleteWithError))
                    delegate->URLSessionTaskDidCompleteWithError(*session, self, error);
            }
        }
        // The temporary file lives only as long as the call that hands it over, also after a failure.
        if (downloadPath) {
            std::error_code ignored;
            std::filesystem::remove(*downloadPath, ignored);
        }
        lock.reset();
        // Handlers often capture their owner; dropping them here breaks such cycles.
        self->dataHandler_ = nullptr;
        self->downloadHandler_ = nullptr;
        if (session) session->taskDidFinish(self);
    };
    if (session)
        session->post(std::move(deliver));
    else
        dispatch::global().async(std::move(deliver));
}

} // namespace net::detail
