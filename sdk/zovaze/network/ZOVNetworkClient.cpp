#include "sdk/zovaze/network/ZOVNetworkClient.hpp"

#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/net/RequestPolicy.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/network/EndpointPolicy.hpp"
#include "sdk/zovaze/network/ZOVNetworkResponseHandler.hpp"
#include "sdk/zovaze/network/session/ZEVURLSession.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionConfiguration.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

// The session holds this small delegate, not the client, so that dropping the client ends its
// session instead of keeping both alive for ever.
class ZOVNetworkClient::SessionDelegate final : public net::URLSessionDelegate {
  public:
    explicit SessionDelegate(std::weak_ptr<ZOVNetworkClient> client) : client_(std::move(client)) {}

    bool respondsToSelector(net::URLSessionDelegateSelector selector) const override {
        return selector == net::URLSessionDelegateSelector::didReceiveChallenge ||
               selector == net::URLSessionDelegateSelector::didBecomeInvalidWithError;
    }
    void URLSessionDidBecomeInvalidWithError(net::URLSession& session,
                                             const std::optional<ns::Error>& error) override {
        if (auto client = client_.lock()) client->URLSessionDidBecomeInvalidWithError(session, error);
    }
    void URLSessionDidReceiveChallenge(net::URLSession& session,
                                       const net::URLAuthenticationChallenge& challenge,
                                       net::ChallengeCompletionHandler completionHandler) override {
        if (auto client = client_.lock())
            client->URLSessionDidReceiveChallenge(session, challenge, completionHandler);
        else
            completionHandler(net::AuthChallengeDisposition::cancelAuthenticationChallenge, nullptr);
    }

  private:
    std::weak_ptr<ZOVNetworkClient> client_;
};

namespace {

// The end of one attempt, for data and download requests alike: the outcome goes to the caller, or a
// retry is scheduled, or the retry limit ends the request with (none, none, -6).
template <class Payload, class Handler>
void finishAttempt(const ZOVNetworkClient& client, const net::URLRequest& request, std::uint64_t retryLimit,
                   std::uint64_t tries, const Payload& payload, const net::URLResponseRef& response,
                   const std::optional<ns::Error>& error, const Handler& completionHandler,
                   std::function<void()> nextAttempt) {
    ZOVNetworkResponseHandler::handleCompletedResponse(
        response, request, error, [&](bool retry, std::optional<ns::Error> outcome) {
            if (!retry)
                completionHandler(payload, response, outcome);
            else if (tries >= retryLimit)
                completionHandler(
                    std::nullopt, nullptr,
                    ZOVNetworkResponseHandler::errorForCode(ZOVNetworkErrorCodeRetryLimitReached, {}));
            else
                client.runAfterRetryValueFromResponse(response, tries, std::move(nextAttempt));
        });
}

// A request the SDK must not send (plain HTTP to anywhere but this machine) gets no task.
bool refused(const net::URLRequest& request) {
    if (zovaze::isURLAllowedForSDKRequest(request.URL())) return false;
    ns::console("[Zovaze] Refusing to send a request to " + request.URL() + ": " +
                net::requestPolicyRefusalReason(request.URL()) + ".");
    return true;
}

// The session made no task: the caller hears (none, none, -3) at once, on its own thread.
template <class Handler> void noTask(const Handler& completionHandler) {
    completionHandler(std::nullopt, nullptr,
                      ZOVNetworkResponseHandler::errorForCode(ZOVNetworkErrorCodeTaskCreationFailed, {}));
}

} // namespace

std::shared_ptr<ZOVNetworkClient> ZOVNetworkClient::init() {
    return initWithQueue(nullptr);
}

std::shared_ptr<ZOVNetworkClient>
ZOVNetworkClient::initWithQueue(std::shared_ptr<dispatch::OperationQueue> queue) {
    return initWithQueue(std::move(queue), std::nullopt);
}

std::shared_ptr<ZOVNetworkClient>
ZOVNetworkClient::initWithQueue(std::shared_ptr<dispatch::OperationQueue> queue,
                                std::optional<zovaze::CertificateArray> pinnedCertificates) {
    // The facade's configuration: the platform's where its session service exists, else the SDK's own.
    return initWithSessionConfiguration(ZEVURLSessionConfiguration::defaultSessionConfiguration(),
                                        std::move(queue), std::move(pinnedCertificates));
}

std::shared_ptr<ZOVNetworkClient>
ZOVNetworkClient::initWithSessionConfiguration(net::URLSessionConfigurationRef configuration,
                                               std::shared_ptr<dispatch::OperationQueue> queue,
                                               std::optional<zovaze::CertificateArray> pinnedCertificates) {
    std::shared_ptr<ZOVNetworkClient> client(new ZOVNetworkClient());
    if (pinnedCertificates)
        client->certPinner_ = std::make_shared<const ZOVCertificatePinner>(std::move(*pinnedCertificates));
    if (!configuration) return nullptr;
    client->session_ = ZEVURLSession::sessionWithConfiguration(
        std::move(configuration), std::make_shared<SessionDelegate>(client), std::move(queue));
    if (!client->session_) return nullptr;
    return client;
}

ZOVNetworkClient::~ZOVNetworkClient() {
    if (session_) session_->finishTasksAndInvalidate();
}

void ZOVNetworkClient::startDataTaskWithRequest(const net::URLRequest& request,
                                                ZOVNetworkClientCompletionHandler completionHandler) {
    startDataTaskWithRequest(request, defaultRetryLimit, std::move(completionHandler));
}

void ZOVNetworkClient::startDataTaskWithRequest(const net::URLRequest& request, std::uint64_t retryLimit,
                                                ZOVNetworkClientCompletionHandler completionHandler) {
    startDataTaskWithRequest(request, retryLimit, 0, std::move(completionHandler));
}

void ZOVNetworkClient::startDataTaskWithRequest(const net::URLRequest& request, std::uint64_t retryLimit,
                                                std::uint64_t tries,
                                                ZOVNetworkClientCompletionHandler completionHandler) {
    if (refused(request)) return noTask(completionHandler);
    auto self = shared_from_this();
    auto task = session_->dataTaskWithRequest(
        request, [self, request, retryLimit, tries, completionHandler](const auto& body, const auto& response,
                                                                       const auto& error) {
            finishAttempt(*self, request, retryLimit, tries, body, response, error, completionHandler, [=] {
                self->startDataTaskWithRequest(request, retryLimit, tries + 1, completionHandler);
            });
        });
    if (!task) return noTask(completionHandler);
    task->resume();
}

void ZOVNetworkClient::startDownloadTaskWithRequest(
    const net::URLRequest& request, zovaze::NetworkClientDownloadCompletionHandler completionHandler) {
    startDownloadTaskWithRequest(request, defaultRetryLimit, std::move(completionHandler));
}

void ZOVNetworkClient::startDownloadTaskWithRequest(
    const net::URLRequest& request, std::uint64_t retryLimit,
    zovaze::NetworkClientDownloadCompletionHandler completionHandler) {
    startDownloadTaskWithRequest(request, retryLimit, 0, std::move(completionHandler));
}

void ZOVNetworkClient::startDownloadTaskWithRequest(
    const net::URLRequest& request, std::uint64_t retryLimit, std::uint64_t tries,
    zovaze::NetworkClientDownloadCompletionHandler completionHandler) {
    if (refused(request)) return noTask(completionHandler);
    auto self = shared_from_this();
    auto task = session_->downloadTaskWithRequest(request, [self, request, retryLimit, tries,
                                                            completionHandler](const auto& fileURL,
                                                                               const auto& response,
                                                                               const auto& error) {
        finishAttempt(*self, request, retryLimit, tries, fileURL, response, error, completionHandler, [=] {
            self->startDownloadTaskWithRequest(request, retryLimit, tries + 1, completionHandler);
        });
    });
    if (!task) return noTask(completionHandler);
    task->resume();
}

void ZOVNetworkClient::invalidateAndCancel() {
    session_->invalidateAndCancel();
}

void ZOVNetworkClient::URLSessionDidBecomeInvalidWithError(net::URLSession&,
                                                           const std::optional<ns::Error>&) {}

void ZOVNetworkClient::URLSessionDidReceiveChallenge(
    net::URLSession& session, const net::URLAuthenticationChallenge& challenge,
    const net::ChallengeCompletionHandler& completionHandler) {
    if (zovaze::debugFlag()) {
        completionHandler(net::AuthChallengeDisposition::performDefaultHandling, nullptr);
        return;
    }
    if (certPinner_) {
        certPinner_->handleChallenge(challenge, session, completionHandler);
        return;
    }
    completionHandler(net::AuthChallengeDisposition::performDefaultHandling, nullptr);
}

double ZOVNetworkClient::computeDelayForResponse(const net::URLResponseRef& response,
                                                 std::uint64_t retryCount) const {
    double retryValue = ZOVNetworkResponseHandler::retryValueForResponse(response);
    double attempts = retryCount == 0 ? 1.0 : static_cast<double>(retryCount);
    return retryValue * attempts * generateRandomJitter();
}

double ZOVNetworkClient::generateRandomJitter() {
    // The bounds are the single-precision 0.9 and 1.1, carried as doubles.
    return randomDoubleWithMin(static_cast<double>(0.9f), static_cast<double>(1.1f));
}

double ZOVNetworkClient::randomDoubleWithMin(double min, double max) {
    // drand48 keeps one hidden state for the process: requests retrying on several threads at once
    // must not touch it together.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    return min + (max - min) * drand48();
}

void ZOVNetworkClient::runAfterRetryValueFromResponse(const net::URLResponseRef& response,
                                                      std::uint64_t attempts, dispatch::Queue& queue,
                                                      std::function<void()> block) const {
    // Clamped before converting: a delay too large for a nanosecond count would be undefined.
    constexpr double maximumDelay = ZOVNetworkResponseHandler::retryValueLimit;
    double delay = std::clamp(computeDelayForResponse(response, attempts), 0.0, maximumDelay);
    if (std::isnan(delay)) delay = 0.0;
    auto nanoseconds = static_cast<std::uint64_t>(delay * 1000000000.0);
    queue.after(static_cast<std::int64_t>(nanoseconds), std::move(block));
}

void ZOVNetworkClient::runAfterRetryValueFromResponse(const net::URLResponseRef& response,
                                                      std::uint64_t attempts,
                                                      std::function<void()> block) const {
    runAfterRetryValueFromResponse(response, attempts, dispatch::global(), std::move(block));
}
