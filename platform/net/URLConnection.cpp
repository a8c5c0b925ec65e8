#include "platform/net/URLConnection.hpp"

#include "platform/net/URLSession.hpp"

#include <map>

namespace net {
namespace {

// Routes the shared session's task events to the connection that owns the task.
class ConnectionRouter final : public URLSessionDelegate {
  public:
    bool respondsToSelector(URLSessionDelegateSelector selector) const override {
        return selector != URLSessionDelegateSelector::didReceiveChallenge;
    }
    void add(std::uint64_t task, const std::shared_ptr<URLConnection>& connection) {
        std::lock_guard lock(mutex_);
        connections_[task] = connection;
    }
    std::shared_ptr<URLConnection> find(const URLSessionTaskRef& task, bool remove = false) {
        std::lock_guard lock(mutex_);
        auto found = connections_.find(task->taskIdentifier());
        if (found == connections_.end()) return nullptr;
        auto connection = found->second.lock();
        if (remove) connections_.erase(found);
        return connection;
    }
    void URLSessionDataTaskDidReceiveResponse(
        URLSession&, const URLSessionTaskRef& task, const URLResponseRef& response,
        std::function<void(URLSessionResponseDisposition)> handler) override {
        if (auto connection = find(task)) connection->deliverResponse(response);
        handler(URLSessionResponseDisposition::allow);
    }
    void URLSessionDataTaskDidReceiveData(URLSession&, const URLSessionTaskRef& task,
                                          const std::vector<std::uint8_t>& data) override {
        if (auto connection = find(task)) connection->deliverData(data);
    }
    void URLSessionTaskDidCompleteWithError(URLSession&, const URLSessionTaskRef& task,
                                            const std::optional<ns::Error>& error) override {
        if (auto connection = find(task, true)) connection->deliverCompletion(error);
    }

  private:
    std::mutex mutex_;
    std::map<std::uint64_t, std::weak_ptr<URLConnection>> connections_;
};

struct SharedConnectionSession {
    std::shared_ptr<ConnectionRouter> router = std::make_shared<ConnectionRouter>();
    URLSessionRef session = URLSession::sessionWithConfiguration(nullptr, router);
};

SharedConnectionSession& shared() {
    // Made once and kept for the whole process, like the platform's own loader.
    static SharedConnectionSession* instance = new SharedConnectionSession();
    return *instance;
}

} // namespace

std::shared_ptr<URLConnection>
URLConnection::connectionWithRequest(const URLRequest& request,
                                     std::shared_ptr<URLConnectionDelegate> delegate) {
    return std::shared_ptr<URLConnection>(new URLConnection(request, std::move(delegate)));
}

void URLConnection::start() {
    if (started_.exchange(true)) return;
    if (!currentDelegate()) return; // cancelled before it started: nothing is made or sent
    auto& loader = shared();
    auto task = loader.session->dataTaskWithRequest(request_);
    if (!task) {
        deliverCompletion(ns::Error::make("NSURLErrorDomain", -1, "no task"));
        return;
    }
    // Routed before the task can run, so that no event of it is missed.
    loader.router->add(task->taskIdentifier(), shared_from_this());
    bool live = false;
    {
        std::lock_guard lock(mutex_);
        live = static_cast<bool>(delegate_);
        if (live) task_ = task;
    }
    // A cancel() that came meanwhile found no task to stop; this one never runs, and cancelling it
    // while suspended takes it out of the shared session (its completion finds no delegate to tell).
    if (!live) {
        task->cancel();
        return;
    }
    task->resume();
}

void URLConnection::cancel() {
    std::shared_ptr<URLSessionTask> task;
    {
        std::lock_guard lock(mutex_);
        delegate_.reset();
        task = std::move(task_);
    }
    if (task) task->cancel();
}

std::shared_ptr<URLConnectionDelegate> URLConnection::currentDelegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void URLConnection::deliverResponse(const URLResponseRef& response) {
    if (auto delegate = currentDelegate()) delegate->connectionDidReceiveResponse(*this, response);
}

void URLConnection::deliverData(const std::vector<std::uint8_t>& data) {
    if (auto delegate = currentDelegate()) delegate->connectionDidReceiveData(*this, data);
}

void URLConnection::deliverCompletion(const std::optional<ns::Error>& error) {
    std::shared_ptr<URLConnectionDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        delegate = std::move(delegate_);
        delegate_.reset();
        task_.reset();
    }
    if (!delegate) return;
    if (error)
        delegate->connectionDidFailWithError(*this, *error);
    else
        delegate->connectionDidFinishLoading(*this);
}

} // namespace net
