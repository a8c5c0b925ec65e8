#pragma once
// A connection in the style of the platform's older loading service: one request, its events handed to
// a delegate as they happen (response, data chunks, then finished or failed), no completion handler.
//
// All connections share one platform session without a session delegate, so certificates are judged
// by the system's default trust evaluation and no challenge reaches the caller. Events arrive on that
// session's serial delegate queue, in order, one at a time.
//
// Failure contract: the delegate hears exactly one of connectionDidFinishLoading /
// connectionDidFailWithError, unless cancel() came first: after cancel() it hears nothing more. The
// connection keeps its delegate alive until then. start() twice starts once.
#include "platform/foundation/Error.hpp"
#include "platform/net/URLRequest.hpp"
#include "platform/net/URLResponse.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace net {

class URLConnection;
class URLSessionTask;

class URLConnectionDelegate {
  public:
    virtual ~URLConnectionDelegate() = default;
    virtual void connectionDidReceiveResponse(URLConnection&, const URLResponseRef&) {}
    virtual void connectionDidReceiveData(URLConnection&, const std::vector<std::uint8_t>&) {}
    virtual void connectionDidFinishLoading(URLConnection&) {}
    virtual void connectionDidFailWithError(URLConnection&, const ns::Error&) {}
};

class URLConnection : public std::enable_shared_from_this<URLConnection> {
  public:
    static std::shared_ptr<URLConnection>
    connectionWithRequest(const URLRequest& request, std::shared_ptr<URLConnectionDelegate> delegate);

    void start();
    void cancel();
    const URLRequest& originalRequest() const { return request_; }

    // Used by the shared session's delegate.
    void deliverResponse(const URLResponseRef& response);
    void deliverData(const std::vector<std::uint8_t>& data);
    void deliverCompletion(const std::optional<ns::Error>& error);

  private:
    URLConnection(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate)
        : request_(std::move(request)), delegate_(std::move(delegate)) {}
    std::shared_ptr<URLConnectionDelegate> currentDelegate() const;

    const URLRequest request_;
    mutable std::mutex mutex_;
    std::shared_ptr<URLConnectionDelegate> delegate_;
    std::shared_ptr<URLSessionTask> task_;
    std::atomic<bool> started_{false};
};

} // namespace net
