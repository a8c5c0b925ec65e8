#pragma once
// A task of a URL session: one request run by the session. Tasks are made suspended; resume() starts
// them. The same interface serves the platform session's tasks and any other session that hands out
// tasks through URLSession.
//
// Failure contract: resume() and cancel() never fail and never block on the network; a second
// resume() or a cancel() after completion does nothing. Every accessor is thread-safe.
#include "platform/foundation/Error.hpp"
#include "platform/net/URLRequest.hpp"
#include "platform/net/URLResponse.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace net {

enum class URLSessionTaskState { running = 0, suspended = 1, canceling = 2, completed = 3 };
enum class URLSessionTaskKind { data, upload, download };

class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
  public:
    virtual ~URLSessionTask() = default;

    virtual void resume() = 0;
    virtual void cancel() = 0;

    virtual URLSessionTaskKind kind() const = 0;
    virtual std::uint64_t taskIdentifier() const = 0;
    virtual URLSessionTaskState state() const = 0;
    virtual std::optional<URLRequest> originalRequest() const = 0;
    virtual std::optional<URLRequest> currentRequest() const = 0;
    virtual URLResponseRef response() const = 0;
    virtual std::optional<ns::Error> error() const = 0;
    virtual std::string taskDescription() const = 0;
    virtual void setTaskDescription(std::string description) = 0;
};

using URLSessionTaskRef = std::shared_ptr<URLSessionTask>;

} // namespace net
