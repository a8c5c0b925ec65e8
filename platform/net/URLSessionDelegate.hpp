#pragma once
// What a session tells its delegate, on the session's delegate queue. Each method has the platform's
// default behaviour, so a delegate overrides only what it cares about; respondsToSelector() lets a
// delegate say that it does not implement a call at all (sessions then act as if the method were
// missing).
//
// Failure contract: a challenge handler must be called exactly once; a session that gets no answer
// within the request's time-out cancels the challenge.
#include "platform/foundation/Error.hpp"
#include "platform/net/AuthenticationChallenge.hpp"
#include "platform/net/URLResponse.hpp"
#include "platform/net/URLSessionTask.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace net {

class URLSession;

enum class URLSessionDelegateSelector {
    didBecomeInvalidWithError,
    didReceiveChallenge,
    taskDidCompleteWithError,
    dataTaskDidReceiveResponse,
    dataTaskDidReceiveData,
    downloadTaskDidFinishDownloadingToURL,
};

enum class URLSessionResponseDisposition { cancel = 0, allow = 1 };

class URLSessionDelegate {
  public:
    virtual ~URLSessionDelegate() = default;

    virtual bool respondsToSelector(URLSessionDelegateSelector) const { return true; }

    virtual void URLSessionDidBecomeInvalidWithError(URLSession&, const std::optional<ns::Error>&) {}
    virtual void URLSessionDidReceiveChallenge(URLSession&, const URLAuthenticationChallenge&,
                                               ChallengeCompletionHandler completionHandler) {
        completionHandler(AuthChallengeDisposition::performDefaultHandling, nullptr);
    }
    virtual void URLSessionTaskDidCompleteWithError(URLSession&, const URLSessionTaskRef&,
                                                    const std::optional<ns::Error>&) {}
    virtual void
    URLSessionDataTaskDidReceiveResponse(URLSession&, const URLSessionTaskRef&, const URLResponseRef&,
                                         std::function<void(URLSessionResponseDisposition)> handler) {
        handler(URLSessionResponseDisposition::allow);
    }
    virtual void URLSessionDataTaskDidReceiveData(URLSession&, const URLSessionTaskRef&,
                                                  const std::vector<std::uint8_t>&) {}
    // `location` is a temporary file that is deleted when this call returns.
    virtual void URLSessionDownloadTaskDidFinishDownloadingToURL(URLSession&, const URLSessionTaskRef&,
                                                                 const std::string& /*location*/) {}
};

using URLSessionDelegateRef = std::shared_ptr<URLSessionDelegate>;

} // namespace net
