#pragma once
// What the SDK's own tasks tell the session that made them. Every operation is required; the session
// (ZEVURLSession) implements all of them and relays what its delegate wants to hear.
#include "platform/foundation/Error.hpp"
#include "platform/net/URLRequest.hpp"
#include "platform/net/URLResponse.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ZEVURLSessionTask;

class ZEVURLSessionTaskDelegate {
  public:
    virtual ~ZEVURLSessionTaskDelegate() = default;
    virtual std::optional<net::URLRequest>
    taskWillPerformHTTPRedirection(const std::shared_ptr<ZEVURLSessionTask>& task,
                                   const net::URLResponseRef& response,
                                   const net::URLRequest& newRequest) = 0;
    virtual void taskDidCompleteWithError(const std::shared_ptr<ZEVURLSessionTask>& task,
                                          const std::optional<ns::Error>& error) = 0;
};

class ZEVURLSessionDataDelegate : public ZEVURLSessionTaskDelegate {
  public:
    virtual void taskDidReceiveResponse(const std::shared_ptr<ZEVURLSessionTask>& task,
                                        const net::URLResponseRef& response) = 0;
    virtual void taskDidReceiveData(const std::shared_ptr<ZEVURLSessionTask>& task,
                                    const std::vector<std::uint8_t>& data) = 0;
};

class ZEVURLSessionDownloadDelegate : public ZEVURLSessionDataDelegate {
  public:
    virtual void downloadTask(const std::shared_ptr<ZEVURLSessionTask>& task,
                              const std::string& didFinishDownloadingToURL) = 0;
};
