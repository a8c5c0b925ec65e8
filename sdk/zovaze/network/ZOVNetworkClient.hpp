#pragma once
// The SDK's HTTP client: data and download requests over one URL session, each finished attempt judged
// by ZOVNetworkResponseHandler, retried while the server asks for it (delay from "Retry-After", times
// the attempt number, times a jitter in [0.9, 1.1)) up to a retry limit, and the session's server-trust
// challenges answered by a ZOVCertificatePinner when the client was given certificates.
//
// A request gets at most 1 + retryLimit attempts. The completion handler is called exactly once:
//  - transport errors (time-outs, resets, cancellations, refused certificates) at once, never retried;
//  - status or content-type failures with the response handler's error (-4, -5), no retry;
//  - when a retry is wanted but the limit is reached: (none, none, "ZOVNetworkError" -6);
//  - when the session makes no task (for instance after invalidateAndCancel), or the request is one the
//    SDK must not send (plain http:// to anything but a loopback address, EndpointPolicy.hpp, refused
//    with a console line): (none, none, -3), synchronously on the caller's thread.
// Completion handlers run on the session's delegate queue, or on the global queue that started a retried
// attempt; callers must not assume a thread.
//
// The session comes from the URL-session facade (ZEVURLSession): the platform's session, whose
// server-trust challenges reach the pinner, or the SDK's own session where the platform has none
// (no challenges there: pinning then does not apply).
//
// Lifetime: callers hold the client by shared_ptr. Requests in flight (and their pending retries) keep
// it alive; when the last reference goes, the client lets its session finish its tasks and invalidate.
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/dispatch/Queue.hpp"
#include "platform/net/URLSession.hpp"
#include "sdk/zovaze/network/ZOVCertificatePinner.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using ZOVNetworkClientCompletionHandler =
    std::function<void(const std::optional<std::vector<std::uint8_t>>& body,
                       const net::URLResponseRef& response, const std::optional<ns::Error>& error)>;
namespace zovaze {
using NetworkClientDownloadCompletionHandler =
    std::function<void(const std::optional<std::string>& fileURL, const net::URLResponseRef& response,
                       const std::optional<ns::Error>& error)>;
} // namespace zovaze

class ZOVNetworkClient : public std::enable_shared_from_this<ZOVNetworkClient> {
  public:
    static constexpr std::uint64_t defaultRetryLimit = 10;

    static std::shared_ptr<ZOVNetworkClient> init();
    static std::shared_ptr<ZOVNetworkClient> initWithQueue(std::shared_ptr<dispatch::OperationQueue> queue);
    // Certificates given, even an empty list, turn pinning on.
    static std::shared_ptr<ZOVNetworkClient>
    initWithQueue(std::shared_ptr<dispatch::OperationQueue> queue,
                  std::optional<zovaze::CertificateArray> pinnedCertificates);
    // Null when no session could be made.
    static std::shared_ptr<ZOVNetworkClient>
    initWithSessionConfiguration(net::URLSessionConfigurationRef configuration,
                                 std::shared_ptr<dispatch::OperationQueue> queue,
                                 std::optional<zovaze::CertificateArray> pinnedCertificates);

    ~ZOVNetworkClient();
    ZOVNetworkClient(const ZOVNetworkClient&) = delete;
    ZOVNetworkClient& operator=(const ZOVNetworkClient&) = delete;

    const std::shared_ptr<const ZOVCertificatePinner>& certPinner() const { return certPinner_; }
    const net::URLSessionRef& session() const { return session_; }

    void startDataTaskWithRequest(const net::URLRequest& request,
                                  ZOVNetworkClientCompletionHandler completionHandler);
    void startDataTaskWithRequest(const net::URLRequest& request, std::uint64_t retryLimit,
                                  ZOVNetworkClientCompletionHandler completionHandler);
    void startDataTaskWithRequest(const net::URLRequest& request, std::uint64_t retryLimit,
                                  std::uint64_t tries, ZOVNetworkClientCompletionHandler completionHandler);
    void startDownloadTaskWithRequest(const net::URLRequest& request,
                                      zovaze::NetworkClientDownloadCompletionHandler completionHandler);
    void startDownloadTaskWithRequest(const net::URLRequest& request, std::uint64_t retryLimit,
                                      zovaze::NetworkClientDownloadCompletionHandler completionHandler);
    void startDownloadTaskWithRequest(const net::URLRequest& request, std::uint64_t retryLimit,
                                      std::uint64_t tries,
                                      zovaze::NetworkClientDownloadCompletionHandler completionHandler);

    void invalidateAndCancel();

    // Session delegate calls.
    void URLSessionDidBecomeInvalidWithError(net::URLSession& session, const std::optional<ns::Error>& error);
    void URLSessionDidReceiveChallenge(net::URLSession& session,
                                       const net::URLAuthenticationChallenge& challenge,
                                       const net::ChallengeCompletionHandler& completionHandler);

    // Retry timing.
    double computeDelayForResponse(const net::URLResponseRef& response, std::uint64_t retryCount) const;
    static double generateRandomJitter();
    static double randomDoubleWithMin(double min, double max);
    void runAfterRetryValueFromResponse(const net::URLResponseRef& response, std::uint64_t attempts,
                                        dispatch::Queue& queue, std::function<void()> block) const;
    void runAfterRetryValueFromResponse(const net::URLResponseRef& response, std::uint64_t attempts,
                                        std::function<void()> block) const;

  private:
    class SessionDelegate;
    ZOVNetworkClient() = default;

    std::shared_ptr<const ZOVCertificatePinner> certPinner_;
    net::URLSessionRef session_;
};
