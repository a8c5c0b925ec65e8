#pragma once
// Uploads packaged crash reports from their files in "prepared" over the SDK's URL-session layer.
//
// Where it may, it uses a background session (identifier "com.rizudiz.zevuzavidav.ios.crash.background-
// session"); on this host that runs its transfers like any session, for as long as the process lives.
// Each upload task carries its package path relative to the report root as its task description
// (v3/prepared/<boundary>.multipartmime), and an offer of a package that a task of the session still
// uploads is skipped. Without background sessions (an app extension, or the owner says no) uploads use
// the default configuration, and an urgent upload is sent synchronously on the caller's thread with the
// request's own time-out.
//
// At most maximumConcurrentUploads upload tasks run at once; an upload offered while that many run
// waits, in the order offered, and starts when one ends (a backlog of thousands of packages is not
// thousands of connections and open files at once, and the server gets them oldest first). An offer
// of a package that already waits is skipped like one of a package being uploaded.
//
// Another copy of the app started on the same sandbox lists the same packages: each is claimed
// (ZEVItemClaim, an advisory lock) before its upload starts and held until the task's end has been
// handled, the package removed after a success; an offer of a package that another copy holds is
// skipped (console line "Another copy of the app is uploading <path>, skipping"), and one that is gone
// meanwhile ends as an unreadable package (below). A copy killed mid-upload leaves its package free
// for the next launch, which sends it again.
//
// Every finished task is judged by ZOVNetworkResponseHandler: statuses the server wants retried (408,
// 420, 429, 5xx) restart the upload after "Retry-After" seconds (300 without it), without a limit; every
// other end is reported to the delegate with the package's absolute path and the error or nothing.
// Server trust is judged against the SDK's pinned roots only (the platform's default handling while
// the SDK's debug flag is on), on the task path and on the synchronous path alike.
//
// Failure contract (all console lines "[Zevuzavidav:Crash:Client] ..."):
//  - a request the SDK's request policy refuses (EndpointPolicy.hpp: plain http:// to anything but a
//    loopback address): "Refusing to send a report to <URL>: <why>."; nothing is sent or reported, the
//    package waits in "prepared". A redirect to such a URL fails the task in the session (the package
//    stays as after any failed upload);
//  - no session: "Failed to initialize"; nothing is started, the next use tries again;
//  - a package that cannot be read: the delegate hears "ZEVNetworkError" -2 {"path"} on the task path;
//    the synchronous path logs "file unreadable" to the SDK log and reports nothing;
//  - a synchronous upload that fails reports nothing: the package waits in "prepared";
//  - a path outside the report root gets no description (SDK log line) and is never reported.
// Session events and every operation this class adds run on the work queue given at init, one at a time.
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/net/URLSession.hpp"
#include "sdk/zevuzavidav/store/ZEVFileManager.hpp"
#include "sdk/zevuzavidav/store/ZEVItemClaim.hpp"
#include "sdk/zevuzavidav/upload/ZEVNetworkClientDelegate.hpp"
#include "sdk/zovaze/network/ZOVCertificatePinner.hpp"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class ZEVNetworkClient : public std::enable_shared_from_this<ZEVNetworkClient> {
  public:
    static constexpr const char* backgroundSessionIdentifier =
        "com.rizudiz.zevuzavidav.ios.crash.background-session";
    static constexpr const char* errorDomain = "ZEVNetworkError";
    static constexpr long errorCodeFileNotReadable = -2;
    static constexpr std::size_t maximumConcurrentUploads = 4;

    static std::shared_ptr<ZEVNetworkClient> initWithQueue(std::shared_ptr<dispatch::OperationQueue> queue,
                                                           std::shared_ptr<ZEVFileManager> fileManager,
                                                           std::weak_ptr<ZEVNetworkClientDelegate> delegate);
    static std::shared_ptr<const ZOVCertificatePinner> pinner();
    ~ZEVNetworkClient();
    ZEVNetworkClient(const ZEVNetworkClient&) = delete;
    ZEVNetworkClient& operator=(const ZEVNetworkClient&) = delete;

    bool canUseBackgroundSession() const { return canUseBackgroundSession_; }
    // True while fewer uploads than maximumConcurrentUploads run and none waits for its turn.
    bool canTakeMoreUploads() const;
    bool supportsBackgroundRequests() const;
    // Made on first use (and again after a failed attempt).
    net::URLSessionRef session();
    const std::shared_ptr<dispatch::OperationQueue>& operationQueue() const { return operationQueue_; }
    const std::shared_ptr<const ZOVCertificatePinner>& certPinner() const { return certPinner_; }
    const std::shared_ptr<ZEVFileManager>& fileManager() const { return fileManager_; }

    void startUploadRequest(const net::URLRequest& request, const std::string& filePath, bool immediately);
    // Runs the block after the launch has gone on (on the main operation queue) when background
    // uploads are supported, else at once.
    void attemptToReconnectBackgroundSessionWithCompletionBlock(std::function<void()> block);

    // Session events (on the work queue).
    void URLSessionTaskDidCompleteWithError(net::URLSession& session, const net::URLSessionTaskRef& task,
                                            const std::optional<ns::Error>& error);
    void URLSessionDidReceiveChallenge(net::URLSession& session,
                                       const net::URLAuthenticationChallenge& challenge,
                                       const net::ChallengeCompletionHandler& completionHandler);
    void URLSessionDidBecomeInvalidWithError(net::URLSession& session, const std::optional<ns::Error>& error);
    void URLSessionDidFinishEventsForBackgroundURLSession(net::URLSession& session);

    std::function<void()> backgroundCompletionHandler() const;
    void setBackgroundCompletionHandler(std::function<void()> handler);

    void startImmediateUploadRequest(const net::URLRequest& request, const std::string& filePath);
    void startNewUploadRequest(const net::URLRequest& request, const std::string& filePath);
    void checkForExistingTaskMatchingDescription(const std::string& description,
                                                 std::function<void(bool found)> completionBlock);
    static bool taskArray(const std::vector<net::URLSessionTaskRef>& tasks, const std::string& description);
    void restartTask(const net::URLSessionTaskRef& task);
    void handleTask(const net::URLSessionTaskRef& task, const std::optional<ns::Error>& error);
    void handleTaskDescription(const std::string& description, const std::optional<ns::Error>& error);

    std::string rootPath() const { return fileManager_ ? fileManager_->rootPath() : std::string(); }
    std::optional<std::string> relativeTaskPathForAbsolutePath(const std::string& path) const;
    std::string absolutePathForRelativeTaskPath(const std::string& description) const;

  private:
    class SessionDelegate;
    ZEVNetworkClient() = default;
    bool sendSynchronously(const net::URLRequest& request, const std::string& filePath);
    // Whether a task this client made for the description is still running (the session's listing is
    // a snapshot taken when asked, so a task made since is found here).
    bool hasLiveTaskMatchingDescription(const std::string& description);
    // Takes a place among the running uploads, or puts the upload in line and answers false.
    bool takeUploadPlace(const net::URLRequest& request, const std::string& filePath);
    // Gives back a place taken by takeUploadPlace (to the next upload in line, if any) and tells the
    // owner.
    void releaseUploadPlace();
    // Starts the upload that holds a place; gives the place back when no task could be started.
    void startUploadTask(const net::URLRequest& request, const std::string& filePath);
    // Whether another copy of the app holds the package (a debug line says it is skipped).
    static bool heldByAnotherCopy(const ZEVItemClaim& claim, const std::string& filePath);

    std::shared_ptr<dispatch::OperationQueue> operationQueue_;
    std::shared_ptr<ZEVFileManager> fileManager_;
    std::weak_ptr<ZEVNetworkClientDelegate> delegate_;
    std::shared_ptr<const ZOVCertificatePinner> certPinner_;
    bool canUseBackgroundSession_ = false;

    mutable std::mutex mutex_;
    net::URLSessionRef session_;
    std::function<void()> backgroundCompletionHandler_;
    std::vector<std::weak_ptr<net::URLSessionTask>> liveTasks_;
    struct WaitingUpload {
        net::URLRequest request;
        std::string filePath;
    };
    std::deque<WaitingUpload> waitingUploads_;
    std::unordered_set<std::string> waitingPaths_;
    std::size_t runningUploads_ = 0;
    // The claim on the package of each running task, until the task's end has been handled.
    std::unordered_map<const net::URLSessionTask*, ZEVItemClaim> claims_;
};
