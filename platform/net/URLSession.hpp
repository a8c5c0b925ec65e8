#pragma once
// A URL session: makes data, upload (body streamed from a file) and download (body written to a
// temporary file) tasks and tells its delegate about them on its delegate queue.
//
// sessionWithConfiguration() makes the platform's session: every session runs its transfers with
// libcurl on one I/O thread of its own (one multi handle), so connections are never shared between
// sessions and a session's server-trust decisions apply to its own connections only. Each new TLS
// connection raises a server-trust challenge to the delegate before any byte of the request is sent.
//
// Completion handlers and delegate calls run on the delegate queue (a serial queue made by the session
// when none is given). A download's temporary file exists (possibly empty) and is flushed when the
// handler or delegate gets it, and is deleted after that call returns, also after a failure.
//
// Failure contract:
//  - After invalidation the task factories answer null; running tasks finish (finishTasksAndInvalidate)
//    or are cancelled (invalidateAndCancel), then the delegate gets URLSessionDidBecomeInvalidWithError
//    and is released.
//  - Transport failures complete the task with a URLErrorDomain error (URLError.hpp): time-outs (the
//    request's timeoutInterval as an idle time-out), resets, refused or cancelled certificates, files
//    that cannot be read or written, cancellation (URLErrorCancelled).
//  - A request the request policy refuses (RequestPolicy.hpp), at its first URL or at a redirect, sends
//    nothing there and fails with URLErrorAppTransportSecurityRequiresSecureConnection; more than 16
//    redirects fail with URLErrorHTTPTooManyRedirects; an answer longer than the request's
//    maximumResponseLength fails with URLErrorDataLengthExceedsMaximum.
//  - A running task keeps its session alive until it completes.
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/foundation/Error.hpp"
#include "platform/net/URLRequest.hpp"
#include "platform/net/URLResponse.hpp"
#include "platform/net/URLSessionConfiguration.hpp"
#include "platform/net/URLSessionDelegate.hpp"
#include "platform/net/URLSessionTask.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace net {

using DataTaskCompletionHandler =
    std::function<void(const std::optional<std::vector<std::uint8_t>>& data, const URLResponseRef& response,
                       const std::optional<ns::Error>& error)>;
using DownloadTaskCompletionHandler =
    std::function<void(const std::optional<std::string>& location, const URLResponseRef& response,
                       const std::optional<ns::Error>& error)>;
using GetTasksCompletionHandler = std::function<void(const std::vector<URLSessionTaskRef>& dataTasks,
                                                     const std::vector<URLSessionTaskRef>& uploadTasks,
                                                     const std::vector<URLSessionTaskRef>& downloadTasks)>;

class URLSession {
  public:
    // The platform session. A null configuration means the default one; a null queue, a new serial one.
    static std::shared_ptr<URLSession>
    sessionWithConfiguration(URLSessionConfigurationRef configuration,
                             URLSessionDelegateRef delegate = nullptr,
                             std::shared_ptr<dispatch::OperationQueue> delegateQueue = nullptr);

    virtual ~URLSession() = default;

    virtual URLSessionTaskRef dataTaskWithRequest(const URLRequest& request,
                                                  DataTaskCompletionHandler handler = {}) = 0;
    virtual URLSessionTaskRef uploadTaskWithRequest(const URLRequest& request, const std::string& fileURL,
                                                    DataTaskCompletionHandler handler = {}) = 0;
    virtual URLSessionTaskRef downloadTaskWithRequest(const URLRequest& request,
                                                      DownloadTaskCompletionHandler handler = {}) = 0;

    virtual void invalidateAndCancel() = 0;
    virtual void finishTasksAndInvalidate() = 0;
    virtual void getTasksWithCompletionHandler(GetTasksCompletionHandler handler) = 0;

    virtual URLSessionDelegateRef delegate() const = 0;
    virtual std::shared_ptr<dispatch::OperationQueue> delegateQueue() const = 0;
    virtual URLSessionConfigurationRef configuration() const = 0;
    virtual std::string sessionDescription() const = 0;
    virtual void setSessionDescription(std::string description) = 0;
};

using URLSessionRef = std::shared_ptr<URLSession>;

} // namespace net
