#include "sdk/zevuzavidav/upload/ZEVNetworkClient.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "platform/net/RequestPolicy.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/network/EndpointPolicy.hpp"
#include "sdk/zovaze/network/ZOVNetworkResponseHandler.hpp"
#include "sdk/zovaze/network/session/ZEVURLSession.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionConfiguration.hpp"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void debugLog(const std::string& line) {
    if (zovaze::debugFlag()) ns::console(line);
}

bool readable(const std::string& path) {
    const int fd = ns::openRegularFile(path, O_RDONLY);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// A report and the API key go only where the SDK's request policy allows (HTTPS, or plain HTTP to a
// loopback address): anywhere else nothing is sent, and the package waits in "prepared" for a launch
// whose endpoint is allowed.
bool refused(const net::URLRequest& request) {
    if (zovaze::isURLAllowedForSDKRequest(request.URL())) return false;
    ns::console("[Zevuzavidav:Crash:Client] Refusing to send a report to " + request.URL() + ": " +
                net::requestPolicyRefusalReason(request.URL()) + ".");
    return true;
}

// Server trust as the uploader judges it: the pinned roots, or the platform's default while debugging.
void answerChallenge(const ZOVCertificatePinner* pinner, net::URLSession& session,
                     const net::URLAuthenticationChallenge& challenge,
                     const net::ChallengeCompletionHandler& completionHandler) {
    if (zovaze::debugFlag() || pinner == nullptr) {
        completionHandler(net::AuthChallengeDisposition::performDefaultHandling, nullptr);
        return;
    }
    pinner->handleChallenge(challenge, session, completionHandler);
}

// The one-request session of a synchronous upload.
class SynchronousDelegate final : public net::URLSessionDelegate {
  public:
    explicit SynchronousDelegate(std::shared_ptr<const ZOVCertificatePinner> pinner)
        : pinner_(std::move(pinner)) {}
    void URLSessionDidReceiveChallenge(net::URLSession& session,
                                       const net::URLAuthenticationChallenge& challenge,
                                       net::ChallengeCompletionHandler completionHandler) override {
        answerChallenge(pinner_.get(), session, challenge, completionHandler);
    }

  private:
    std::shared_ptr<const ZOVCertificatePinner> pinner_;
};

} // namespace

// Holds the client weakly, so the session (which keeps its delegate) does not keep the client alive.
class ZEVNetworkClient::SessionDelegate final : public net::URLSessionDelegate {
  public:
    explicit SessionDelegate(std::weak_ptr<ZEVNetworkClient> client) : client_(std::move(client)) {}

    bool respondsToSelector(net::URLSessionDelegateSelector selector) const override {
        return selector == net::URLSessionDelegateSelector::taskDidCompleteWithError ||
               selector == net::URLSessionDelegateSelector::didReceiveChallenge ||
               selector == net::URLSessionDelegateSelector::didBecomeInvalidWithError;
    }
    void URLSessionTaskDidCompleteWithError(net::URLSession& session, const net::URLSessionTaskRef& task,
                                            const std::optional<ns::Error>& error) override {
        if (auto client = client_.lock()) client->URLSessionTaskDidCompleteWithError(session, task, error);
    }
    void URLSessionDidReceiveChallenge(net::URLSession& session,
                                       const net::URLAuthenticationChallenge& challenge,
                                       net::ChallengeCompletionHandler completionHandler) override {
        if (auto client = client_.lock()) {
            client->URLSessionDidReceiveChallenge(session, challenge, completionHandler);
        } else {
            completionHandler(net::AuthChallengeDisposition::cancelAuthenticationChallenge, nullptr);
        }
    }
    void URLSessionDidBecomeInvalidWithError(net::URLSession& session,
                                             const std::optional<ns::Error>& error) override {
        if (auto client = client_.lock()) client->URLSessionDidBecomeInvalidWithError(session, error);
    }

  private:
    std::weak_ptr<ZEVNetworkClient> client_;
};

std::shared_ptr<ZEVNetworkClient>
ZEVNetworkClient::initWithQueue(std::shared_ptr<dispatch::OperationQueue> queue,
                                std::shared_ptr<ZEVFileManager> fileManager,
                                std::weak_ptr<ZEVNetworkClientDelegate> delegate) {
    std::shared_ptr<ZEVNetworkClient> client(new ZEVNetworkClient());
    client->operationQueue_ = std::move(queue);
    client->fileManager_ = std::move(fileManager);
    client->delegate_ = std::move(delegate);
    client->certPinner_ = pinner();
    if (auto owner = client->delegate_.lock())
        client->canUseBackgroundSession_ = owner->networkClientCanUseBackgroundSessions(*client);
    debugLog(
        client->supportsBackgroundRequests()
            ? "[Zevuzavidav:Crash:Client] Background session uploading supported"
            : "[Zevuzavidav:Crash:Client] Background session uploading not supported, asynchronous uploading "
              "will be used");
    return client;
}

std::shared_ptr<const ZOVCertificatePinner> ZEVNetworkClient::pinner() {
    return std::make_shared<const ZOVCertificatePinner>(*ZOVPinnedCertificates());
}

ZEVNetworkClient::~ZEVNetworkClient() {
    // Nothing would hear of the uploads any more.
    if (session_) session_->invalidateAndCancel();
}

bool ZEVNetworkClient::supportsBackgroundRequests() const {
    if (ZEVApplicationIsExtension()) return false;
    if (!ZEVURLSession::NSURLSessionShouldBeUsed()) return false;
    return canUseBackgroundSession_;
}

net::URLSessionRef ZEVNetworkClient::session() {
    std::lock_guard lock(mutex_);
    if (session_) return session_;
    net::URLSessionConfigurationRef configuration;
    if (supportsBackgroundRequests()) {
        configuration =
            ZEVURLSessionConfiguration::backgroundSessionConfiguration(backgroundSessionIdentifier);
        if (configuration) configuration->setSessionSendsLaunchEvents(false);
    }
    if (!configuration) configuration = ZEVURLSessionConfiguration::defaultSessionConfiguration();
    if (configuration) {
        session_ = ZEVURLSession::sessionWithConfiguration(
            configuration, std::make_shared<SessionDelegate>(weak_from_this()), operationQueue_);
    }
    if (!session_) ns::console("[Zevuzavidav:Crash:Client] Failed to initialize");
    return session_;
}

void ZEVNetworkClient::startUploadRequest(const net::URLRequest& request, const std::string& filePath,
                                          bool immediately) {
    if (immediately) {
        startImmediateUploadRequest(request, filePath);
        return;
    }
    auto description = relativeTaskPathForAbsolutePath(filePath);
    std::weak_ptr<ZEVNetworkClient> weak = weak_from_this();
    checkForExistingTaskMatchingDescription(description.value_or(""), [weak, request, filePath](bool found) {
        auto self = weak.lock();
        if (!self) return;
        if (found) {
            debugLog("[Zevuzavidav:Crash:Client] A task currently exists for this upload, skipping");
            return;
        }
        self->startNewUploadRequest(request, filePath);
    });
}

void ZEVNetworkClient::checkForExistingTaskMatchingDescription(
    const std::string& description, std::function<void(bool found)> completionBlock) {
    std::weak_ptr<ZEVNetworkClient> weak = weak_from_this();
    operationQueue_->addOperation([weak, description, completionBlock = std::move(completionBlock)] {
        auto self = weak.lock();
        if (!self) return;
        auto session = self->session();
        if (!session || description.empty()) {
            completionBlock(false);
            return;
        }
        session->getTasksWithCompletionHandler(
            [weak, description, completionBlock](const std::vector<net::URLSessionTaskRef>& dataTasks,
                                                 const std::vector<net::URLSessionTaskRef>& uploadTasks,
                                                 const std::vector<net::URLSessionTaskRef>& downloadTasks) {
                auto self = weak.lock();
                if (!self) return;
                completionBlock(taskArray(uploadTasks, description) || taskArray(dataTasks, description) ||
                                taskArray(downloadTasks, description) ||
                                self->hasLiveTaskMatchingDescription(description));
            });
    });
}

bool ZEVNetworkClient::taskArray(const std::vector<net::URLSessionTaskRef>& tasks,
                                 const std::string& description) {
    for (const auto& task : tasks)
        if (task && task->taskDescription() == description) return true;
    return false;
}

bool ZEVNetworkClient::hasLiveTaskMatchingDescription(const std::string& description) {
    std::lock_guard lock(mutex_);
    std::erase_if(liveTasks_, [](const std::weak_ptr<net::URLSessionTask>& weak) {
        auto task = weak.lock();
        return !task || task->state() == net::URLSessionTaskState::completed;
    });
    for (const auto& weak : liveTasks_)
        if (auto task = weak.lock(); task && task->taskDescription() == description) return true;
    return waitingPaths_.count(absolutePathForRelativeTaskPath(description)) > 0;
}

void ZEVNetworkClient::startImmediateUploadRequest(const net::URLRequest& request,
                                                   const std::string& filePath) {
    if (refused(request)) return;
    if (supportsBackgroundRequests()) {
        startNewUploadRequest(request, filePath);
        return;
    }
    // Held until the package is removed after the server took it.
    const ZEVItemClaim claim = ZEVItemClaim::take(filePath);
    if (heldByAnotherCopy(claim, filePath)) return;
    if (!readable(filePath)) {
        ZEVSDKLog("%s: Error: file unreadable\n", "startImmediateUploadRequest");
        return;
    }
    if (sendSynchronously(request, filePath)) {
        if (auto delegate = delegate_.lock())
            delegate->networkClientDidFinishUploadWithPath(*this, filePath, std::nullopt);
    }
}

bool ZEVNetworkClient::sendSynchronously(const net::URLRequest& request, const std::string& filePath) {
    auto queue = std::make_shared<dispatch::OperationQueue>("com.rizudiz.zevuzavidav.ios.urgent-upload");
    queue->setMaxConcurrentOperationCount(1);
    auto session =
        ZEVURLSession::sessionWithConfiguration(ZEVURLSessionConfiguration::defaultSessionConfiguration(),
                                                std::make_shared<SynchronousDelegate>(certPinner_), queue);
    if (!session) return false;
    net::URLRequest body = request;
    body.setHTTPBodyFile(filePath);
    auto outcome = std::make_shared<std::promise<net::URLResponseRef>>();
    auto answer = outcome->get_future();
    auto task = session->dataTaskWithRequest(body, [outcome](const auto&, const net::URLResponseRef& response,
                                                             const std::optional<ns::Error>& error) {
        outcome->set_value(error ? nullptr : response);
    });
    if (!task) {
        session->invalidateAndCancel();
        return false;
    }
    task->resume();
    // The request's time-out ends a silent server; the wait is bounded besides, so a start can never hang.
    auto bound = std::chrono::duration<double>(request.timeoutInterval() + 5.0);
    net::URLResponseRef response;
    if (answer.wait_for(bound) == std::future_status::ready) response = answer.get();
    session->invalidateAndCancel();
    if (!response) return false;
    bool success = false;
    ZOVNetworkResponseHandler::clientResponseType(response, [&](ZOVNetworkClientResponseType type, long) {
        success = type == ZOVNetworkClientResponseTypeOK;
    });
    return success;
}

void ZEVNetworkClient::startNewUploadRequest(const net::URLRequest& request, const std::string& filePath) {
    if (refused(request)) return;
    if (takeUploadPlace(request, filePath)) startUploadTask(request, filePath);
}

void ZEVNetworkClient::startUploadTask(const net::URLRequest& request, const std::string& filePath) {
    // A package handed its place from the line counts as waiting until its task exists, so that an offer
    // of it in between is still skipped.
    auto leaveLine = [&] {
        std::lock_guard lock(mutex_);
        waitingPaths_.erase(filePath);
    };
    auto current = session();
    if (!current) {
        leaveLine();
        releaseUploadPlace();
        return;
    }
    // Held while the task runs, until its end has been handled (the package removed after a success).
    ZEVItemClaim claim = ZEVItemClaim::take(filePath);
    if (heldByAnotherCopy(claim, filePath)) {
        leaveLine();
        releaseUploadPlace();
        return;
    }
    if (!readable(filePath)) {
        std::weak_ptr<ZEVNetworkClient> weak = weak_from_this();
        operationQueue_->addOperation([weak, filePath] {
            auto self = weak.lock();
            if (!self) return;
            if (auto delegate = self->delegate_.lock()) {
                delegate->networkClientDidFinishUploadWithPath(
                    *self, filePath, ns::Error(errorDomain, errorCodeFileNotReadable, {{"path", filePath}}));
            }
        });
        leaveLine();
        releaseUploadPlace();
        return;
    }
    auto task = current->uploadTaskWithRequest(request, filePath);
    if (!task) {
        leaveLine();
        releaseUploadPlace();
        return;
    }
    if (auto description = relativeTaskPathForAbsolutePath(filePath)) task->setTaskDescription(*description);
    {
        std::lock_guard lock(mutex_);
        liveTasks_.push_back(task);
        waitingPaths_.erase(filePath);
        claims_.insert_or_assign(task.get(), std::move(claim));
    }
    task->resume();
}

bool ZEVNetworkClient::heldByAnotherCopy(const ZEVItemClaim& claim, const std::string& filePath) {
    if (claim.state() != ZEVItemClaim::State::heldElsewhere) return false;
    ns::console("[Zevuzavidav:Crash:Client] Another copy of the app is uploading " + filePath + ", skipping");
    return true;
}

bool ZEVNetworkClient::canTakeMoreUploads() const {
    std::lock_guard lock(mutex_);
    return runningUploads_ < maximumConcurrentUploads && waitingUploads_.empty();
}

bool ZEVNetworkClient::takeUploadPlace(const net::URLRequest& request, const std::string& filePath) {
    std::lock_guard lock(mutex_);
    if (runningUploads_ < maximumConcurrentUploads && waitingUploads_.empty()) {
        ++runningUploads_;
        return true;
    }
    waitingUploads_.push_back({request, filePath});
    waitingPaths_.insert(filePath);
    return false;
}

void ZEVNetworkClient::releaseUploadPlace() {
    std::optional<WaitingUpload> next;
    {
        std::lock_guard lock(mutex_);
        if (waitingUploads_.empty()) {
            if (runningUploads_ > 0) --runningUploads_;
        } else {
            next = std::move(waitingUploads_.front());
            waitingUploads_.pop_front();
        }
    }
    if (next) {
        // The place goes to the next in line, started by its own operation so that a line of uploads
        // that cannot start never piles up on one stack.
        std::weak_ptr<ZEVNetworkClient> weak = weak_from_this();
        operationQueue_->addOperation([weak, next = std::move(*next)] {
            if (auto self = weak.lock()) self->startUploadTask(next.request, next.filePath);
        });
    }
    if (auto delegate = delegate_.lock()) delegate->networkClientDidEndUploadTask(*this);
}

void ZEVNetworkClient::URLSessionTaskDidCompleteWithError(net::URLSession&,
                                                          const net::URLSessionTaskRef& task,
                                                          const std::optional<ns::Error>& error) {
    if (!task) return;
    // The task's place goes first, so an upload its end starts again (a retry) queues behind those
    // already waiting.
    releaseUploadPlace();
    ZOVNetworkResponseHandler::handleCompletedResponse(
        task->response(), task->originalRequest().value_or(net::URLRequest()), error,
        [&](bool retry, std::optional<ns::Error> outcome) {
            if (retry) {
                restartTask(task);
            } else {
                handleTask(task, outcome);
            }
        });
    // Only now, with a package the server took already removed: a copy that waited for it finds it gone.
    // A retry claims it again when it starts.
    ZEVItemClaim ended;
    {
        std::lock_guard lock(mutex_);
        if (auto claim = claims_.find(task.get()); claim != claims_.end()) {
            ended = std::move(claim->second);
            claims_.erase(claim);
        }
    }
}

void ZEVNetworkClient::restartTask(const net::URLSessionTaskRef& task) {
    double delay = ZOVNetworkResponseHandler::retryValueForResponse(task->response());
    net::URLRequest request = task->originalRequest().value_or(net::URLRequest());
    std::string path = absolutePathForRelativeTaskPath(task->taskDescription());
    std::weak_ptr<ZEVNetworkClient> weak = weak_from_this();
    ZEVAddOperationAfterDelay(
        operationQueue_,
        [weak, request, path] {
            if (auto self = weak.lock()) self->startNewUploadRequest(request, path);
        },
        delay);
}

void ZEVNetworkClient::handleTask(const net::URLSessionTaskRef& task, const std::optional<ns::Error>& error) {
    handleTaskDescription(task->taskDescription(), error);
}

void ZEVNetworkClient::handleTaskDescription(const std::string& description,
                                             const std::optional<ns::Error>& error) {
    // A task without a description was for a path outside the tree: there is no package to tell of.
    if (description.empty()) return;
    if (auto delegate = delegate_.lock())
        delegate->networkClientDidFinishUploadWithPath(*this, absolutePathForRelativeTaskPath(description),
                                                       error);
}

void ZEVNetworkClient::URLSessionDidReceiveChallenge(
    net::URLSession& session, const net::URLAuthenticationChallenge& challenge,
    const net::ChallengeCompletionHandler& completionHandler) {
    answerChallenge(certPinner_.get(), session, challenge, completionHandler);
}

void ZEVNetworkClient::URLSessionDidBecomeInvalidWithError(net::URLSession&,
                                                           const std::optional<ns::Error>& error) {
    debugLog("[Zevuzavidav:Crash:Client] session became invalid: " +
             (error ? error->description() : "(null)"));
}

void ZEVNetworkClient::URLSessionDidFinishEventsForBackgroundURLSession(net::URLSession&) {
    auto handler = backgroundCompletionHandler();
    if (!handler) {
        ns::console("[Zevuzavidav:Crash:Client] background callback is nil?");
        return;
    }
    std::weak_ptr<ZEVNetworkClient> weak = weak_from_this();
    dispatch::OperationQueue::mainQueue().addOperation([weak, handler] {
        handler();
        auto self = weak.lock();
        if (!self) return;
        self->operationQueue_->addOperation([weak] {
            if (auto self = weak.lock()) self->setBackgroundCompletionHandler(nullptr);
        });
    });
}

std::function<void()> ZEVNetworkClient::backgroundCompletionHandler() const {
    std::lock_guard lock(mutex_);
    return backgroundCompletionHandler_;
}

void ZEVNetworkClient::setBackgroundCompletionHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    backgroundCompletionHandler_ = std::move(handler);
}

void ZEVNetworkClient::attemptToReconnectBackgroundSessionWithCompletionBlock(std::function<void()> block) {
    if (!block) return;
    if (supportsBackgroundRequests()) {
        dispatch::OperationQueue::mainQueue().addOperation(std::move(block));
    } else {
        block();
    }
}

std::optional<std::string> ZEVNetworkClient::relativeTaskPathForAbsolutePath(const std::string& path) const {
    const std::string root = rootPath();
    if (!root.empty() && path.size() > root.size() + 1 && path.compare(0, root.size(), root) == 0 &&
        path[root.size()] == '/') {
        return path.substr(root.size() + 1);
    }
    ZEVSDKLog("%s: Error: path '%s' is not at the root '%s'\n", "relativeTaskPathForAbsolutePath",
              path.c_str(), root.c_str());
    return std::nullopt;
}

std::string ZEVNetworkClient::absolutePathForRelativeTaskPath(const std::string& description) const {
    return rootPath() + "/" + description;
}
